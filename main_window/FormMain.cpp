#include "main_window/FormMain.h"

#include "about/frmAbout.h"
#include "listing/SearchSession.h"
#include "main_window/ExportDir.h"
#include "main_window/ListingDir.h"
#include "main_window/NodeModel.h"
#include "main_window/PrintDir.h"
#include "main_window/SearchMessages.h"
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
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollBar>
#include <QShortcut>
#include <QToolBar>
#include <QTreeView>

namespace quillmap {

using LangFunctions::MessageText;

namespace {

const QString kCaption = QStringLiteral("Quillmap Printer ");
constexpr double kControlsPointSize = 8;

// What the status bar says, before the counts, after a search was stopped with Esc.
QString searchStoppedText()
{
    return MessageText(55, "The search was stopped. The tree shows what was found up to then.");
}

void placeTwips(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                        twipsToPixels(height));
}

} // namespace

FormMain::FormMain(QWidget* parent)
    : QMainWindow(parent),
      m_session(std::make_unique<SearchSession>(m_document, std::make_shared<PosixFileSystem>())),
      m_exit([] { QCoreApplication::exit(0); })
{
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(kCaption);
    // A sizable border with a minimise button and no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    buildMenus();
    buildControls();
    buildToolbar();
    resize(twipsToPixels(5400), twipsToPixels(5130) + menuBar()->sizeHint().height());

    // The window only shows what the session and the document tell.
    connect(m_session.get(), &SearchSession::progress, this, &FormMain::showSearchCounts);
    connect(m_session.get(), &SearchSession::finished, this,
            [this](const ScanReport& report, const QString& failure) {
                searchEnded(report, failure, true);
            });
    connect(&m_document, &ListingDocument::aboutToChange, m_model, &NodeModel::beginChange);
    connect(&m_document, &ListingDocument::changed, m_model, &NodeModel::endChange);
    // A comparison is shown with its marks, as it prints.
    m_document.setComparisonView(MNU_ChangedOnly->isChecked(), true);
    m_stopShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_stopShortcut->setEnabled(false); // Esc keeps its usual meaning between searches
    connect(m_stopShortcut, &QShortcut::activated, this, &FormMain::stopSearch);
    startUp();
}

FormMain::~FormMain()
{
    // A search still running stops before the document it fills goes; the view and the model
    // borrow the document's tree, and the document is a member that goes before the children.
    m_session.reset();
    delete TreeView1;
    delete m_model;
}

void FormMain::buildMenus()
{
    // Captions carry no '&', so Qt makes no access keys of them; no item gets a shortcut.
    MNU_File = menuBar()->addMenu(QStringLiteral("File"));
    MNU_File->setObjectName(QStringLiteral("MNU_File"));
    const auto item = [this](const char* name, const char* caption, auto command) {
        QAction* action = MNU_File->addAction(QString::fromLatin1(caption));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, command);
        return action;
    };
    MNU_Search = item("MNU_Search", "Search", &FormMain::searchCommand);
    MNU_Print = item("MNU_Print", "Print", &FormMain::printCommand);
    MNU_PrintPreview = item("MNU_PrintPreview", "Print Preview", &FormMain::printPreviewCommand);
    MNU_SaveAsPdf = item("MNU_SaveAsPdf", "Save as PDF...", &FormMain::saveAsPdfCommand);
    MNU_Export = item("MNU_Export", "Export...", &FormMain::exportCommand);
    MNU_OpenListing = item("MNU_OpenListing", "Open Listing...", &FormMain::openListingCommand);
    MNU_CompareListing =
        item("MNU_CompareListing", "Compare with Listing...", &FormMain::compareListingCommand);
    MNU_ChangedOnly = item("MNU_ChangedOnly", "Show Only Changes", [this] {
        m_document.setComparisonView(MNU_ChangedOnly->isChecked(), true);
        showTreeTop();
    });
    MNU_ChangedOnly->setCheckable(true);
    MNU_Exit = item("MNU_Exit", "Exit", &FormMain::exitCommand);
    // A top-level item without a menu acts on its click.
    MNU_About = menuBar()->addAction(QStringLiteral("About"));
    MNU_About->setObjectName(QStringLiteral("MNU_About"));
    connect(MNU_About, &QAction::triggered, this, &FormMain::aboutCommand);
}

void FormMain::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    // The fixed layout is drawn for 8-point texts: at a desktop's usual 9 or 10 points "Date
    // Last Accessed" no longer fits its 2000-twip column, nor "File Types" its label.
    QFont controlsFont = client->font();
    if (controlsFont.pointSizeF() > kControlsPointSize)
        controlsFont.setPointSizeF(kControlsPointSize);
    client->setFont(controlsFont);

    Toolbar1 = new QToolBar(client);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    placeTwips(Toolbar1, 0, 0, 5400, 870);

    m_model = new NodeModel(m_document.tree(), this);
    TreeView1 = new QTreeView(client);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setUniformRowHeights(true);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A comparison's marks: the symbol begins each text; colour (and italics for what is
    // gone) make them stand out.
    m_model->setExtraData([this](NodeStore::Id id, int role) {
        return ChangeMark(m_document.changes(), id, role, TreeView1->font());
    });
    TreeView1->setModel(m_model);
    // A file line with its details is far wider than the view: the column takes the width of
    // the lines shown and the view scrolls sideways, rather than cutting the details off.
    TreeView1->header()->setStretchLastSection(false);
    TreeView1->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    placeTwips(TreeView1, 120, 960, 2895, 3735);
    connect(TreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                m_document.tree().setSelected(m_model->idOf(current));
            });

    Drive1 = new DriveList(client);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    placeTwips(Drive1, 3120, 960, 2175, 315);

    Dir1 = new FolderList(client);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    placeTwips(Dir1, 3120, 1320, 2175, 1215);

    Label1 = new QLabel(QStringLiteral("Levels"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    placeTwips(Label1, 3120, 2640, 855, 255);

    Combo1 = new QComboBox(client);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    // The depth is read as typed: no completion may change what the user writes (typing "all"
    // must stay "all"), and Enter must not add the text to the list.
    Combo1->setCompleter(nullptr);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    placeTwips(Combo1, 4080, 2640, 1215, 315);

    Label2 = new QLabel(QStringLiteral("File Types"), client);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setTextFormat(Qt::PlainText);
    placeTwips(Label2, 3120, 3000, 855, 255);

    Text1 = new QLineEdit(QStringLiteral("*.*"), client);
    Text1->setObjectName(QStringLiteral("Text1"));
    placeTwips(Text1, 4080, 3000, 1095, 285);

    ListView1 = new OptionsList(client);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    placeTwips(ListView1, 3120, 3360, 2175, 1335);
    connect(ListView1, &OptionsList::itemCheck, this, &FormMain::ListView1_ItemCheck);

    StatusBar1 = new StatusBar(client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    placeTwips(StatusBar1, 0, 4755, 5400, 375);

    // The tab order of the window; labels and bars take no focus and are passed over.
    const QList<QWidget*> tabOrder = {TreeView1, Dir1,  Drive1,    Label1,   Combo1,
                                      Label2,    Text1, ListView1, Toolbar1, StatusBar1};
    for (qsizetype i = 0; i + 1 < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    TreeView1->setFocus();

    // The bars keep to the edges of the client area when the window is resized.
    client->installEventFilter(this);

    // The drive and folder that are current for the process.
    connect(Dir1, &FolderList::openFailed, this, [this](const QString& path, const QString& why) {
        QMessageBox::warning(this, kCaption.trimmed(),
                             MessageText(60, "The folder %1 can't be opened: %2.").arg(path, why));
    });
    auto* pair = new DriveFolderPair(*Drive1, *Dir1, this);
    connect(pair, &DriveFolderPair::driveUnreadable, this,
            [this](const QString& mountPoint, const QString& why) {
                QMessageBox::warning(
                    this, kCaption.trimmed(),
                    MessageText(61, "The drive %1 can't be read: %2.").arg(mountPoint, why));
            });
    const std::string cwd = PathFunctions::CurrentFolder();
    pair->start(cwd.empty() ? std::string("/") : cwd);
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
    ListView1->setColumn(QStringLiteral("ch1"), QStringLiteral("Show"), 2000);
    for (const DetailItem& item : kDetailItems)
        ListView1->addItem(QString::fromLatin1(item.key), QString::fromLatin1(item.text));
}

void FormMain::ListView1_ItemCheck(int index)
{
    // Only a change of "ALL" itself moves the others; the changes made here come back to this
    // handler for items 2 to 12 and end at the first step.
    if (ListView1->itemText(index) != QLatin1String("ALL"))
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

bool FormMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        placeDockedBars();
    return QMainWindow::eventFilter(watched, event);
}

void FormMain::placeDockedBars()
{
    const QWidget* client = centralWidget();
    const int statusHeight = twipsToPixels(375);
    Toolbar1->setGeometry(0, 0, client->width(), twipsToPixels(870));
    StatusBar1->setGeometry(0, client->height() - statusHeight, client->width(), statusHeight);
}

void FormMain::closeEvent(QCloseEvent* event)
{
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
    m_session->start(std::make_unique<WindowScanControls>(*Dir1, *Combo1, *Text1, *ListView1));
    showTitle();
    StatusBar1->setPanelText(1, ScanControls::statusText(0, 0));
    QApplication::setOverrideCursor(Qt::BusyCursor);
    setPrintEnabled(false);
    m_stopShortcut->setEnabled(true);
}

void FormMain::showSearchCounts(double dirCount, double fileCount)
{
    StatusBar1->setPanelText(1, ScanControls::statusText(dirCount, fileCount));
}

void FormMain::searchEnded(const ScanReport& report, const QString& failure, bool interactive)
{
    m_stopShortcut->setEnabled(false);
    QString status = ScanControls::statusText(m_session->dirCount(), m_session->fileCount());
    if (report.stopped)
        status = searchStoppedText() + QLatin1Char(' ') + status;
    StatusBar1->setPanelText(1, status);
    showTreeTop();
    QApplication::restoreOverrideCursor();
    setPrintEnabled(true);
    if (!interactive)
        return;
    ReportSearch(this, kCaption.trimmed(), report, failure);
    emit searchFinished();
}

void FormMain::showTreeTop()
{
    // The tree from its top: the root at the top left, expanded, whatever the previous tree's
    // view was scrolled to.
    const NodeStore& tree = m_document.tree();
    if (tree.item1() != NodeStore::npos)
        TreeView1->expand(m_model->indexOf(tree.item1()));
    TreeView1->scrollToTop();
    TreeView1->horizontalScrollBar()->setValue(0);
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
    if (!m_session->isRunning())
        PrintDir(this, m_document.tree(), m_printObject, closingPage(),
                 m_document.record().details);
}

void FormMain::printPreviewCommand()
{
    if (!m_session->isRunning())
        PrintPreview(this, m_document.tree(), m_printObject, closingPage(),
                     m_document.record().details);
}

void FormMain::saveAsPdfCommand()
{
    if (!m_session->isRunning())
        SaveAsPdf(this, m_document.tree(), m_printObject, closingPage(),
                  m_document.record().details);
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
    StatusBar1->setPanelText(1, ScanControls::statusText(report.dirCount, report.fileCount));
    showTreeTop();
    showTitle();
    return true;
}

bool FormMain::compareWithListing(const QString& path)
{
    if (m_session->isRunning() || !CompareWithListing(this, m_document, path))
        return false;
    showTreeTop();
    showTitle();
    return true;
}

void FormMain::showTitle()
{
    if (m_document.isCompared())
        setWindowTitle(kCaption + QStringLiteral("- ") +
                       MessageText(89, "Compared with %1").arg(m_document.comparedWith()));
    else if (m_document.origin() == ListingDocument::Origin::SavedListing)
        setWindowTitle(kCaption + QStringLiteral("- ") +
                       QFileInfo(QFile::decodeName(m_document.listingPath().c_str())).fileName());
    else
        setWindowTitle(kCaption);
}

void FormMain::exportCommand()
{
    if (!m_session->isRunning())
        ExportDir(this, m_document.tree(), m_document.record());
}

void FormMain::exitCommand()
{
    // The program ends at once; a running search stops before the window goes.
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
