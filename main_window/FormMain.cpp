#include "main_window/FormMain.h"

#include "about/frmAbout.h"
#include "listing/SearchSession.h"
#include "main_window/ColumnSplitter.h"
#include "main_window/ExportDir.h"
#include "main_window/FiltersDialog.h"
#include "main_window/FindBar.h"
#include "main_window/FolderDrop.h"
#include "main_window/GoToFolderDialog.h"
#include "main_window/ListingDir.h"
#include "main_window/MenuBuilder.h"
#include "main_window/NodeMenu.h"
#include "main_window/NodeModel.h"
#include "main_window/NodeTreeView.h"
#include "main_window/PrintDir.h"
#include "main_window/SearchMessages.h"
#include "main_window/StatusMessages.h"
#include "main_window/WindowLayout.h"
#include "main_window/WindowSettings.h"
#include "platform/controls/DriveFolderPair.h"
#include "platform/controls/DriveList.h"
#include "platform/controls/FolderList.h"
#include "platform/controls/OptionsList.h"
#include "platform/controls/StatusBar.h"
#include "platform/controls/ToolbarImages.h"
#include "platform/controls/Twips.h"
#include "platform/controls/WaitCursor.h"
#include "platform/controls/WindowScanControls.h"
#include "platform/files/PathFunctions.h"
#include "platform/files/PosixFileSystem.h"
#include "scan/DetailTicks.h"
#include "support/LangFunctions.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QToolBar>

namespace quillmap {

using LangFunctions::MessageText;

namespace {

const QString kCaption = QStringLiteral("Quillmap Printer ");
constexpr double kControlsPointSize = 8;

} // namespace

FormMain::FormMain(QWidget* parent)
    : QMainWindow(parent),
      m_session(std::make_unique<SearchSession>(m_document, std::make_shared<PosixFileSystem>())),
      m_exit([] { QCoreApplication::exit(0); })
{
    setObjectName(QStringLiteral("FormMain"));
    // A sizable border with minimise and maximise buttons.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);

    buildControls();
    buildMenus();
    buildToolbar();
    resize(twipsToPixels(5400), twipsToPixels(5130) + menuBar()->sizeHint().height());

    // The window only shows what the session and the document tell.
    connect(m_session.get(), &SearchSession::progress, m_status, &StatusMessages::counts);
    connect(m_session.get(), &SearchSession::finished, this,
            [this](const ScanReport& report, const QString& failure) {
                searchEnded(report, failure, true);
            });
    m_filters->showOn(*StatusBar1, m_document);
    // A comparison is shown with its marks, as it prints.
    m_document.setComparisonView(MNU_ChangedOnly->isChecked(), true);
    m_stopShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_stopShortcut->setEnabled(false); // Esc keeps its usual meaning between searches
    connect(m_stopShortcut, &QShortcut::activated, this, &FormMain::stopSearch);
    startUp();

    // What the last run left; a folder that is gone no longer counts.
    const WindowSettings settings = WindowSettings::load();
    const std::string cwd = PathFunctions::CurrentFolder();
    m_pair->start(settings.folder ? *settings.folder : cwd.empty() ? std::string("/") : cwd);
    settings.applyTo(*this);
    showTitle();
}

FormMain::~FormMain()
{
    // A search still running stops before the document it fills goes; the view and its model
    // borrow the document's tree, and the document is a member that goes before the children.
    m_session.reset();
    delete TreeView1;
}

void FormMain::buildMenus()
{
    // Each menu is a table, one row per item: caption with its access key, shortcut, command.
    using Item = MenuBuilder::Item;
    const auto item = [this](QAction** slot, const char* name, int message, const char* english,
                             QKeySequence key, void (FormMain::*command)(),
                             bool checkable = false) {
        return Item{slot,     name, message, english, key, [this, command] { (this->*command)(); },
                    checkable};
    };
    m_filters = new FiltersDialog(this);
    QMenuBar& bar = *menuBar();
    const QKeySequence none;
    MNU_File = MenuBuilder::addMenu(
        bar, this, "MNU_File", 100, "&File",
        {item(&MNU_Search, "MNU_Search", 101, "&Search", Qt::Key_F5, &FormMain::searchCommand),
         item(&MNU_Print, "MNU_Print", 102, "&Print", Qt::CTRL | Qt::Key_P,
              &FormMain::printCommand),
         item(&MNU_PrintPreview, "MNU_PrintPreview", 103, "Print Pre&view",
              Qt::CTRL | Qt::SHIFT | Qt::Key_P, &FormMain::printPreviewCommand),
         item(&MNU_SaveAsPdf, "MNU_SaveAsPdf", 104, "Save as P&DF...", Qt::CTRL | Qt::Key_S,
              &FormMain::saveAsPdfCommand),
         item(&MNU_Export, "MNU_Export", 105, "&Export...", Qt::CTRL | Qt::Key_E,
              &FormMain::exportCommand),
         Item(),
         item(&MNU_OpenListing, "MNU_OpenListing", 106, "&Open Listing...", Qt::CTRL | Qt::Key_O,
              &FormMain::openListingCommand),
         item(&MNU_CompareListing, "MNU_CompareListing", 107, "Co&mpare with Listing...", none,
              &FormMain::compareListingCommand),
         item(&MNU_ChangedOnly, "MNU_ChangedOnly", 108, "Show Only C&hanges", none,
              &FormMain::changedOnlyCommand, true),
         Item(),
         item(&MNU_GoToFolder, "MNU_GoToFolder", 109, "&Go to Folder...", Qt::CTRL | Qt::Key_L,
              &FormMain::goToFolderCommand),
         Item{&MNU_Filters, "MNU_Filters", 250, "&Filters...", none, [this] { m_filters->edit(); },
              false},
         Item(),
         item(&MNU_Exit, "MNU_Exit", 110, "E&xit", Qt::CTRL | Qt::Key_Q, &FormMain::exitCommand)});
    MNU_Edit = MenuBuilder::addMenu(bar, this, "MNU_Edit", 111, "&Edit",
                                    {MenuBuilder::use(m_nodeMenu->copyPath),
                                     MenuBuilder::use(m_nodeMenu->copyLine), Item(),
                                     item(&MNU_Find, "MNU_Find", 114, "&Find...",
                                          Qt::CTRL | Qt::Key_F, &FormMain::findCommand)});
    MNU_View = MenuBuilder::addMenu(bar, this, "MNU_View", 115, "&View",
                                    {item(&MNU_AsPrinted, "MNU_AsPrinted", 116, "As P&rinted", none,
                                          &FormMain::asPrintedCommand, true)});
    // A top-level item without a menu acts on its click.
    MNU_About = MenuBuilder::addTopItem(
        bar, this, item(nullptr, "MNU_About", 117, "&About", Qt::Key_F1, &FormMain::aboutCommand));
    // F10 opens the menu bar, as on other desktops.
    connect(new QShortcut(Qt::Key_F10, this), &QShortcut::activated, this,
            [this] { menuBar()->setActiveAction(MNU_File->menuAction()); });
}

void FormMain::changedOnlyCommand()
{
    m_document.setComparisonView(MNU_ChangedOnly->isChecked(), true);
    TreeView1->showTop();
}

void FormMain::asPrintedCommand()
{
    TreeView1->setAsPrinted(MNU_AsPrinted->isChecked());
}

void FormMain::findCommand()
{
    m_findBar->open();
}

void FormMain::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    // The layout is drawn for 8-point texts: at a desktop's usual 9 or 10 points "Date Last
    // Accessed" no longer fits its 2000-twip column, nor "File Types" its label.
    QFont controlsFont = client->font();
    if (controlsFont.pointSizeF() > kControlsPointSize)
        controlsFont.setPointSizeF(kControlsPointSize);
    client->setFont(controlsFont);
    m_layout = new WindowLayout(*client, QSize(5400, 5130));
    const auto place = [this](QWidget* widget, const char* name, QRect twips,
                              WindowLayout::Grow grow) {
        widget->setObjectName(QString::fromLatin1(name));
        m_layout->add(widget, twips, grow);
    };

    Toolbar1 = new QToolBar(client);
    place(Toolbar1, "Toolbar1", {0, 0, 5400, 870}, WindowLayout::TopBar);
    TreeView1 = new NodeTreeView(m_document, client);
    m_model = &TreeView1->nodeModel();
    place(TreeView1, "TreeView1", {120, 960, 2895, 3735}, WindowLayout::Tree);
    Drive1 = new DriveList(client);
    place(Drive1, "Drive1", {3120, 960, 2175, 315}, WindowLayout::Column);
    Dir1 = new FolderList(client);
    place(Dir1, "Dir1", {3120, 1320, 2175, 1215}, WindowLayout::Column);
    Label1 = new QLabel(MessageText(124, "Levels"), client);
    Label1->setTextFormat(Qt::PlainText);
    place(Label1, "Label1", {3120, 2640, 855, 255}, WindowLayout::ColumnLabel);
    Combo1 = new QComboBox(client);
    Combo1->setEditable(true);
    // The depth is read as typed: no completion may change what the user writes (typing "all"
    // must stay "all"), and Enter must not add the text to the list.
    Combo1->setCompleter(nullptr);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    place(Combo1, "Combo1", {4080, 2640, 1215, 315}, WindowLayout::Column);
    Label2 = new QLabel(MessageText(125, "File Types"), client);
    Label2->setTextFormat(Qt::PlainText);
    place(Label2, "Label2", {3120, 3000, 855, 255}, WindowLayout::ColumnLabel);
    Text1 = new QLineEdit(QStringLiteral("*.*"), client);
    place(Text1, "Text1", {4080, 3000, 1095, 285}, WindowLayout::Column);
    ListView1 = new OptionsList(client);
    place(ListView1, "ListView1", {3120, 3360, 2175, 1335}, WindowLayout::ColumnList);
    connect(ListView1, &OptionsList::itemCheck, this, &FormMain::ListView1_ItemCheck);
    StatusBar1 = new StatusBar(client);
    place(StatusBar1, "StatusBar1", {0, 4755, 5400, 375}, WindowLayout::BottomBar);
    auto* splitter = new ColumnSplitter(client);
    splitter->setObjectName(QStringLiteral("ColumnSplitter"));
    m_layout->addSplitter(splitter);
    m_status = new StatusMessages(*StatusBar1);

    // The tab order of the window; labels and bars take no focus and are passed over.
    const QList<QWidget*> tabOrder = {TreeView1, Dir1,  Drive1,    Label1,   Combo1,
                                      Label2,    Text1, ListView1, Toolbar1, StatusBar1};
    for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    TreeView1->setFocus();

    m_nodeMenu = new NodeMenu(*TreeView1, this, kCaption.trimmed());
    m_nodeMenu->searchFrom = [this](const std::string& folder) { openStartFolder(folder); };
    m_nodeMenu->printBranch = [this](NodeStore::Id branch) { printBranch(branch); };
    m_findBar = new FindBar(*TreeView1, client);
    new FolderDrop(*this, [this](const std::string& folder) { openStartFolder(folder); });

    connect(Dir1, &FolderList::pathChanged, this, &FormMain::showTitle);
    connect(Dir1, &FolderList::openFailed, this, [this](const QString& path, const QString& why) {
        QMessageBox::warning(this, kCaption.trimmed(),
                             MessageText(60, "The folder %1 can't be opened: %2.").arg(path, why));
    });
    m_pair = new DriveFolderPair(*Drive1, *Dir1, this);
    connect(m_pair, &DriveFolderPair::driveUnreadable, this,
            [this](const QString& mountPoint, const QString& why) {
                QMessageBox::warning(
                    this, kCaption.trimmed(),
                    MessageText(61, "The drive %1 can't be read: %2.").arg(mountPoint, why));
            });
}

void FormMain::buildToolbar()
{
    for (int i = 1; i <= ToolbarImages::kCount; ++i)
        ImageList1.append(ToolbarImages::image(i));
    ToolbarImages::fill(*Toolbar1, ImageList1,
                        [this](int position) { Toolbar1_ButtonClick(position); });
}

void FormMain::startUp()
{
    // Each step that fails is skipped; start-up goes on with the next one.
    WaitCursor wait;
    try {
        SetUp();
    } catch (...) {
    }
}

void FormMain::SetUp()
{
    Combo1->clear();
    Combo1->addItem(QStringLiteral("ALL"));
    QStringList levels;
    levels.reserve(1000);
    for (int level = 1; level <= 1000; ++level)
        levels.append(QString::number(level));
    Combo1->addItems(levels);
    Combo1->setCurrentIndex(0);

    ListView1->clearItems();
    ListView1->setColumn(QStringLiteral("ch1"), MessageText(126, "Show"), 2000);
    // The items' texts in the user's language: messages 127 to 138, in the items' order.
    int message = 127;
    for (const DetailItem& item : kDetailItems)
        ListView1->addItem(QString::fromLatin1(item.key), MessageText(message++, item.text));
}

void FormMain::ListView1_ItemCheck(int index)
{
    // Only a change of "ALL" itself (told by its key: its text is the user's language's) moves
    // the others; the changes made here come back to this handler for items 2 to 12 and end at
    // the first step.
    if (ListView1->itemKey(index) != QLatin1String(kDetailItems[0].key))
        return;
    const bool all = ListView1->isChecked(1);
    for (int i = 2; i <= ListView1->itemCount(); ++i)
        ListView1->setChecked(i, all);
}

void FormMain::Toolbar1_ButtonClick(int position)
{
    switch (position) {
    case 2:
        exitCommand();
        break;
    case 4:
        searchCommand();
        break;
    case 5:
        printCommand();
        break;
    default:
        break; // a separator, or no button at all
    }
}

QString FormMain::statusText() const
{
    return StatusBar1->panelText(1);
}

void FormMain::closeEvent(QCloseEvent* event)
{
    WindowSettings::of(*this).save();
    // Closing ends the program at once: a running search stops where it is.
    if (m_session->isRunning()) {
        m_session->abandon();
        searchEnded(m_document.record().report, QString(), false);
    }
    QMainWindow::closeEvent(event);
}

void FormMain::setFileSystem(std::shared_ptr<FileSystem> fs)
{
    m_session->setFileSystem(fs ? std::move(fs) : std::make_shared<PosixFileSystem>());
}

bool FormMain::isSearching() const
{
    return m_session->isRunning();
}

bool FormMain::searchStopRequested() const
{
    return m_session->isRunning() && m_session->stopRequested();
}

void FormMain::stopSearch()
{
    if (m_session->isRunning())
        m_session->stop();
}

void FormMain::searchCommand()
{
    if (m_session->isRunning())
        return; // one search at a time
    // The tree shown goes as the search starts; the new one is shown when it ends.
    auto controls = std::make_unique<WindowScanControls>(*Dir1, *Combo1, *Text1, *ListView1);
    controls->setFilters(m_filters->forSearch());
    m_session->start(std::move(controls));
    showTitle();
    m_status->counts(0, 0);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    setPrintEnabled(false);
    m_stopShortcut->setEnabled(true);
}

void FormMain::searchEnded(const ScanReport& report, const QString& failure, bool interactive)
{
    m_stopShortcut->setEnabled(false);
    m_status->searchEnded(report, m_session->dirCount(), m_session->fileCount());
    TreeView1->showNewTree();
    QApplication::restoreOverrideCursor();
    setPrintEnabled(true);
    if (!interactive)
        return;
    ReportSearch(this, kCaption.trimmed(), report, failure);
    emit searchFinished();
}

void FormMain::setPrintEnabled(bool enabled)
{
    // The tree being filled can't be printed, replaced or compared.
    for (QAction* action : {MNU_Print, MNU_PrintPreview, MNU_SaveAsPdf, MNU_Export, MNU_OpenListing,
                            MNU_CompareListing})
        action->setEnabled(enabled);
    Toolbar1->actions().at(4)->setEnabled(enabled);
}

void FormMain::printCommand()
{
    printBranch(NodeStore::npos);
}

PrintRequest FormMain::printRequest(NodeStore::Id branch) const
{
    // The whole tree, with a comparison's summary after it, or one folder's branch.
    PrintRequest request;
    request.details = m_document.record().details;
    request.closingPage = branch == NodeStore::npos ? closingPage() : QStringList();
    request.secondTitle = m_document.record().filters.heading();
    request.branch = branch;
    return request;
}

void FormMain::printBranch(NodeStore::Id branch)
{
    if (!m_session->isRunning())
        m_status->written(PrintDir(this, m_document.tree(), m_printObject, printRequest(branch)),
                          156, "Printed as a PDF file to %1. Click here to open it.");
}

void FormMain::printPreviewCommand()
{
    if (!m_session->isRunning())
        PrintPreview(this, m_document.tree(), m_printObject, printRequest(NodeStore::npos));
}

void FormMain::saveAsPdfCommand()
{
    if (!m_session->isRunning())
        m_status->written(
            SaveAsPdf(this, m_document.tree(), m_printObject, printRequest(NodeStore::npos)), 155,
            "Saved as PDF to %1. Click here to open it.");
}

void FormMain::exportCommand()
{
    if (!m_session->isRunning())
        m_status->written(ExportDir(this, m_document.tree(), m_document.record()), 154,
                          "Exported to %1. Click here to open it.");
}

QStringList FormMain::closingPage() const
{
    if (!m_document.isCompared())
        return {};
    return ComparisonSummary(m_document.summary(), m_document.comparedWith());
}

void FormMain::openListingCommand()
{
    if (m_session->isRunning())
        return; // the document is being filled
    const QString path = ChooseListing(this, MessageText(80, "Open Listing"));
    if (!path.isEmpty())
        openListing(path);
}

void FormMain::compareListingCommand()
{
    if (m_session->isRunning() || !SomethingToCompare(this, m_document))
        return;
    const QString path = ChooseListing(this, MessageText(81, "Compare with Listing"));
    if (!path.isEmpty())
        compareWithListing(path);
}

bool FormMain::openListing(const QString& path)
{
    if (m_session->isRunning() || !OpenListing(this, m_document, path))
        return false;
    const ScanReport& report = m_document.record().report;
    m_status->counts(report.dirCount, report.fileCount);
    TreeView1->showNewTree();
    showTitle();
    return true;
}

bool FormMain::compareWithListing(const QString& path)
{
    if (m_session->isRunning() || !CompareWithListing(this, m_document, path))
        return false;
    TreeView1->showTop();
    showTitle();
    m_status->compared(m_document);
    return true;
}

void FormMain::showTitle()
{
    setWindowTitle(kCaption + QStringLiteral("- ") +
                   QFile::decodeName(QByteArray::fromStdString(Dir1->path())) +
                   ListingTitle(m_document));
}

void FormMain::goToFolderCommand()
{
    GoToFolderDialog dialog(Dir1->path(), this);
    if (dialog.exec() == QDialog::Accepted)
        openStartFolder(dialog.folder());
}

bool FormMain::openStartFolder(const std::string& folder)
{
    if (folder.empty())
        return false;
    if (Dir1->setPath(folder))
        return true;
    QMessageBox::warning(this, kCaption.trimmed(),
                         MessageText(60, "The folder %1 can't be opened: %2.")
                             .arg(NodeStore::displayString(folder), Dir1->lastError()));
    return false;
}

void FormMain::exitCommand()
{
    // The program ends at once; a running search stops before the window goes.
    WindowSettings::of(*this).save();
    stopSearch();
    if (m_exit)
        m_exit();
}

void FormMain::aboutCommand()
{
    if (!m_about)
        m_about = new frmAbout(this);
    m_about->exec();
}

} // namespace quillmap
