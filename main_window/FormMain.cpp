#include "main_window/FormMain.h"

#include "about/frmAbout.h"
#include "main_window/ExportDir.h"
#include "main_window/ListingDir.h"
#include "main_window/NodeModel.h"
#include "main_window/PrintDir.h"
#include "listing/SavedListingSource.h"
#include "listing/SearchSession.h"
#include "platform/controls/DriveList.h"
#include "platform/controls/FolderList.h"
#include "platform/controls/OptionsList.h"
#include "platform/controls/StatusBar.h"
#include "platform/controls/ToolbarImages.h"
#include "platform/controls/Twips.h"
#include "platform/controls/WaitCursor.h"
#include "platform/controls/WindowScanControls.h"
#include "platform/files/PosixFileSystem.h"
#include "scan/DetailTicks.h"
#include "support/LangFunctions.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QScrollBar>
#include <QShortcut>
#include <QToolBar>
#include <QTreeView>

#include <cerrno>
#include <exception>
#include <unistd.h>

namespace quillmap {

using LangFunctions::MessageText;

namespace {

const QString kCaption = QStringLiteral("Quillmap Printer ");
// How many unreadable entries the message after a search names one by one; all of them are
// behind its Show Details button.
constexpr int kProblemsNamed = 8;
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

std::string currentFolder()
{
    std::string cwd(4096, '\0');
    while (!::getcwd(cwd.data(), cwd.size())) {
        if (errno != ERANGE)
            return "/";
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(std::char_traits<char>::length(cwd.c_str()));
    return cwd;
}

// Finds the one toolbar button (positions 1 to 5, separators included) by its place.
struct ToolbarButton
{
    bool separator;
    const char* name;
    const char* toolTip;
    int image; // 1-based index into the image list
};
constexpr ToolbarButton kToolbarButtons[] = {
    {true, nullptr, nullptr, 0},
    {false, "Exit", "Exit the system", 1},
    {true, nullptr, nullptr, 0},
    {false, "Search", "Search for files", 2},
    {false, "Print", "Print the directory tree", 3},
};

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
    MNU_Search = MNU_File->addAction(QStringLiteral("Search"));
    MNU_Search->setObjectName(QStringLiteral("MNU_Search"));
    MNU_Print = MNU_File->addAction(QStringLiteral("Print"));
    MNU_Print->setObjectName(QStringLiteral("MNU_Print"));
    MNU_PrintPreview = MNU_File->addAction(QStringLiteral("Print Preview"));
    MNU_PrintPreview->setObjectName(QStringLiteral("MNU_PrintPreview"));
    MNU_SaveAsPdf = MNU_File->addAction(QStringLiteral("Save as PDF..."));
    MNU_SaveAsPdf->setObjectName(QStringLiteral("MNU_SaveAsPdf"));
    MNU_Export = MNU_File->addAction(QStringLiteral("Export..."));
    MNU_Export->setObjectName(QStringLiteral("MNU_Export"));
    MNU_OpenListing = MNU_File->addAction(QStringLiteral("Open Listing..."));
    MNU_OpenListing->setObjectName(QStringLiteral("MNU_OpenListing"));
    MNU_CompareListing = MNU_File->addAction(QStringLiteral("Compare with Listing..."));
    MNU_CompareListing->setObjectName(QStringLiteral("MNU_CompareListing"));
    MNU_ChangedOnly = MNU_File->addAction(QStringLiteral("Show Only Changes"));
    MNU_ChangedOnly->setObjectName(QStringLiteral("MNU_ChangedOnly"));
    MNU_ChangedOnly->setCheckable(true);
    MNU_Exit = MNU_File->addAction(QStringLiteral("Exit"));
    MNU_Exit->setObjectName(QStringLiteral("MNU_Exit"));
    // A top-level item without a menu acts on its click.
    MNU_About = menuBar()->addAction(QStringLiteral("About"));
    MNU_About->setObjectName(QStringLiteral("MNU_About"));

    connect(MNU_Search, &QAction::triggered, this, &FormMain::searchCommand);
    connect(MNU_Print, &QAction::triggered, this, &FormMain::printCommand);
    connect(MNU_PrintPreview, &QAction::triggered, this, &FormMain::printPreviewCommand);
    connect(MNU_SaveAsPdf, &QAction::triggered, this, &FormMain::saveAsPdfCommand);
    connect(MNU_Export, &QAction::triggered, this, &FormMain::exportCommand);
    connect(MNU_OpenListing, &QAction::triggered, this, &FormMain::openListingCommand);
    connect(MNU_CompareListing, &QAction::triggered, this, &FormMain::compareListingCommand);
    connect(MNU_ChangedOnly, &QAction::toggled, this, [this](bool onlyChanges) {
        m_document.setComparisonView(onlyChanges, true);
        showTreeTop();
    });
    connect(MNU_Exit, &QAction::triggered, this, &FormMain::exitCommand);
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
    m_model->setExtraData([this](NodeStore::Id id, int role) -> QVariant {
        const std::vector<NodeChange>& changes = m_document.changes();
        if (id >= changes.size())
            return {};
        const NodeChange change = changes[id];
        if (role == Qt::ForegroundRole && change != NodeChange::Same)
            return QColor(change == NodeChange::Added     ? QColor(0x00, 0x80, 0x00)
                          : change == NodeChange::Removed ? QColor(0xC0, 0x00, 0x00)
                                                          : QColor(0x00, 0x50, 0xC0));
        if (role == Qt::FontRole && change == NodeChange::Removed) {
            QFont font = TreeView1->font();
            font.setItalic(true);
            return font;
        }
        return {};
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

    // The drive and folder that are current for the process; if that folder can't be listed,
    // its volume's mount point, and the root as the last resort.
    connect(Dir1, &FolderList::pathChanged, this, &FormMain::Dir1_PathChanged);
    connect(Dir1, &FolderList::openFailed, this, [this](const QString& path, const QString& why) {
        QMessageBox::warning(this, kCaption.trimmed(),
                             MessageText(60, "The folder %1 can't be opened: %2.").arg(path, why));
    });
    const std::string cwd = currentFolder();
    if (!Dir1->setPath(cwd)) {
        const int volume = DriveList::volumeIndexOf(Drive1->volumes(), cwd);
        if (volume < 0 || !Dir1->setPath(Drive1->volumes()[volume].mountPoint))
            Dir1->setPath("/");
    }
    m_driveIndex = Drive1->selectVolumeOf(Dir1->path());
    connect(Drive1, &QComboBox::currentIndexChanged, this, &FormMain::Drive1_Change);
}

void FormMain::buildToolbar()
{
    for (int i = 1; i <= ToolbarImages::kCount; ++i)
        ImageList1.append(ToolbarImages::image(i));

    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->setIconSize(QSize(ToolbarImages::kSize, ToolbarImages::kSize));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    int position = 0;
    for (const ToolbarButton& button : kToolbarButtons) {
        ++position;
        QAction* action = nullptr;
        if (button.separator) {
            action = Toolbar1->addSeparator();
        } else {
            action = Toolbar1->addAction(QIcon(QPixmap::fromImage(ImageList1[button.image - 1])),
                                         QString::fromLatin1(button.name));
            action->setToolTip(QString::fromLatin1(button.toolTip));
        }
        connect(action, &QAction::triggered, this,
                [this, position] { Toolbar1_ButtonClick(position); });
    }
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
    reportSearch(report, failure);
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

void FormMain::reportSearch(const ScanReport& report, const QString& failure)
{
    if (!failure.isEmpty()) {
        QMessageBox::warning(this, kCaption.trimmed(),
                             MessageText(54, "The search stopped early: %1. The tree shows what "
                                             "was found up to then.")
                                 .arg(failure));
    }
    const QStringList& problems = report.problems;
    if (!problems.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, kCaption.trimmed(), problemsText(problems),
                        QMessageBox::Ok, this);
        // Every entry, to select and copy, behind the box's Show Details button.
        box.setDetailedText(problems.join(QLatin1Char('\n')));
        box.exec();
    }
}

QString FormMain::problemsText(const QStringList& problems)
{
    // All are named when no more than one would be left over, so "and N more" is plural.
    const auto count = problems.size();
    const qsizetype named = count <= kProblemsNamed + 1 ? count : kProblemsNamed;
    QString text =
        count == 1
            ? MessageText(57, "One entry could not be read:")
            : (named == count ? MessageText(58, "%1 entries could not be read:")
                              : MessageText(51, "%1 entries could not be read. The first of them:"))
                  .arg(count);
    for (qsizetype i = 0; i < named; ++i)
        text += QLatin1Char('\n') + problems[i];
    if (named < count)
        text += QLatin1Char('\n') + MessageText(59, "and %1 more.").arg(count - named);
    return text;
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
        PrintDir(this, m_document.tree(), m_printObject, closingPage());
}

void FormMain::printPreviewCommand()
{
    if (!m_session->isRunning())
        PrintPreview(this, m_document.tree(), m_printObject, closingPage());
}

void FormMain::saveAsPdfCommand()
{
    if (!m_session->isRunning())
        SaveAsPdf(this, m_document.tree(), m_printObject, closingPage());
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
    if (m_session->isRunning())
        return; // the document is being filled
    if (m_document.isEmpty()) {
        QMessageBox::information(this, MessageText(81, "Compare with Listing"),
                                 MessageText(88, "There is nothing to compare yet. Search a folder "
                                                 "or open a listing first."));
        return;
    }
    const QString path = ChooseListing(this, MessageText(81, "Compare with Listing"));
    if (!path.isEmpty())
        compareWithListing(path);
}

bool FormMain::openListing(const QString& path)
{
    if (m_session->isRunning())
        return false; // the document is being filled
    SavedListingSource source(QFile::encodeName(path).toStdString());
    if (!m_document.load(source, ListingDocument::Origin::SavedListing, source.path())) {
        QMessageBox::warning(
            this, MessageText(80, "Open Listing"),
            ListingErrorText(source.result(), QDir::toNativeSeparators(path), source.systemError()));
        return false;
    }
    const ScanReport& report = m_document.record().report;
    StatusBar1->setPanelText(1, ScanControls::statusText(report.dirCount, report.fileCount));
    showTreeTop();
    showTitle();
    return true;
}

bool FormMain::compareWithListing(const QString& path)
{
    if (m_session->isRunning())
        return false; // the document is being filled
    const QString caption = MessageText(81, "Compare with Listing");
    if (m_document.isEmpty()) {
        QMessageBox::information(this, caption,
                                 MessageText(88, "There is nothing to compare yet. Search a folder "
                                                 "or open a listing first."));
        return false;
    }
    SavedListingSource source(QFile::encodeName(path).toStdString());
    if (!m_document.compareWith(source, QFileInfo(path).fileName())) {
        QMessageBox::warning(
            this, caption,
            ListingErrorText(source.result(), QDir::toNativeSeparators(path), source.systemError()));
        return false;
    }
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

void FormMain::Drive1_Change()
{
    const std::string mountPoint = Drive1->currentMountPoint();
    const QByteArray last = m_lastFolderOn.value(QByteArray::fromStdString(mountPoint));
    bool opened = !last.isEmpty() && Dir1->setPath(last.toStdString());
    if (!opened)
        opened = Dir1->setPath(mountPoint);
    if (!opened) {
        // A volume that can't be read keeps the previous drive and folder.
        const QString reason = Dir1->lastError();
        {
            const QSignalBlocker block(Drive1);
            Drive1->setCurrentIndex(m_driveIndex);
        }
        QMessageBox::warning(this, kCaption.trimmed(),
                             MessageText(61, "The drive %1 can't be read: %2.")
                                 .arg(NodeStore::displayString(mountPoint), reason));
    }
}

void FormMain::Dir1_PathChanged()
{
    // The drive list follows the folder onto whichever volume now holds it.
    m_driveIndex = Drive1->selectVolumeOf(Dir1->path());
    const std::string mountPoint = Drive1->currentMountPoint();
    if (!mountPoint.empty())
        m_lastFolderOn.insert(QByteArray::fromStdString(mountPoint),
                              QByteArray::fromStdString(Dir1->path()));
}

} // namespace quillmap
