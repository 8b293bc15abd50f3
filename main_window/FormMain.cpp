#include "main_window/FormMain.h"

#include "about/frmAbout.h"
#include "main_window/ExportDir.h"
#include "main_window/ListingDir.h"
#include "main_window/PrintDir.h"
#include "main_window/WindowScanControls.h"
#include "platform/controls/DriveList.h"
#include "platform/controls/FolderList.h"
#include "platform/controls/OptionsList.h"
#include "platform/controls/StatusBar.h"
#include "platform/controls/ToolbarImages.h"
#include "platform/controls/Twips.h"
#include "platform/controls/WaitCursor.h"
#include "platform/tree/NodeModel.h"
#include "scan/DetailTicks.h"
#include "scan/ListingJsonReader.h"
#include "scan/SearchDir.h"
#include "scan/TreeComparison.h"
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
#include <QThread>
#include <QTimer>
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
// The status bar shows a running search's counts this often.
constexpr int kCountIntervalMs = 50;

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

FormMain::FormMain(QWidget* parent) : QMainWindow(parent), m_exit([] { QCoreApplication::exit(0); })
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

    m_countTimer = new QTimer(this);
    m_countTimer->setInterval(kCountIntervalMs);
    connect(m_countTimer, &QTimer::timeout, this, &FormMain::showSearchCounts);
    m_stopShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_stopShortcut->setEnabled(false); // Esc keeps its usual meaning between searches
    connect(m_stopShortcut, &QShortcut::activated, this, &FormMain::stopSearch);
    startUp();
}

FormMain::~FormMain()
{
    // A search still running stops before the store it fills goes.
    if (m_scanThread) {
        m_scanControls->requestStop();
        finishSearch(false);
    }
    // The view and the model borrow the node store, a member that goes before the children.
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
    connect(MNU_ChangedOnly, &QAction::toggled, this, [this] {
        if (m_compared)
            showComparison();
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

    m_model = new NodeModel(m_store, this);
    TreeView1 = new QTreeView(client);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setUniformRowHeights(true);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A comparison's marks: the symbol begins each text; colour (and italics for what is
    // gone) make them stand out.
    m_model->setExtraData([this](NodeStore::Id id, int role) -> QVariant {
        if (id >= m_changes.size())
            return {};
        const NodeChange change = m_changes[id];
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
                // While a search fills the store on its thread, the window leaves it alone.
                if (!m_scanThread)
                    m_store.setSelected(m_model->idOf(current));
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
    if (m_scanThread) {
        m_scanControls->requestStop();
        finishSearch(false);
    }
    QMainWindow::closeEvent(event);
}

bool FormMain::searchStopRequested() const
{
    return m_scanControls && m_scanControls->stopRequested();
}

void FormMain::stopSearch()
{
    if (m_scanThread)
        m_scanControls->requestStop();
}

void FormMain::searchCommand()
{
    if (m_scanThread)
        return; // one search at a time
    m_scanControls = std::make_unique<WindowScanControls>(*Dir1, *Combo1, *Text1, *ListView1);
    m_scanReport = ScanReport();
    m_scanFailure.clear();
    endComparison();
    m_lastSearch = SearchRecord::startedWith(*m_scanControls);
    // The view shows nothing of the store until the scan's thread has ended.
    m_model->beginChange();
    StatusBar1->setPanelText(1, ScanControls::statusText(0, 0));
    QApplication::setOverrideCursor(Qt::BusyCursor);
    setPrintEnabled(false);
    m_stopShortcut->setEnabled(true);
    m_countTimer->start();

    const quint64 serial = ++m_searchSerial;
    m_scanThread.reset(QThread::create([this, controls = m_scanControls.get(), fs = m_fileSystem] {
        // Nothing may escape the thread: a failure is kept for the window to tell.
        try {
            m_scanReport = fs ? SearchDir(*controls, m_store, *fs) : SearchDir(*controls, m_store);
        } catch (const std::exception& e) {
            m_scanFailure = QString::fromLocal8Bit(e.what());
        } catch (...) {
            m_scanFailure = MessageText(56, "unknown error");
        }
    }));
    // Queued to the window's thread. A search already ended by closing the window has no
    // thread left, and a later search has another serial number.
    connect(m_scanThread.get(), &QThread::finished, this, [this, serial] {
        if (m_scanThread && serial == m_searchSerial)
            finishSearch(true);
    });
    m_scanThread->start();
}

void FormMain::showSearchCounts()
{
    if (m_scanControls)
        StatusBar1->setPanelText(
            1, ScanControls::statusText(m_scanControls->dirCount(), m_scanControls->fileCount()));
}

void FormMain::finishSearch(bool interactive)
{
    m_scanThread->wait();
    m_scanThread.reset();
    m_countTimer->stop();
    m_stopShortcut->setEnabled(false);

    QString status =
        ScanControls::statusText(m_scanControls->dirCount(), m_scanControls->fileCount());
    if (m_scanReport.stopped)
        status = searchStoppedText() + QLatin1Char(' ') + status;
    StatusBar1->setPanelText(1, status);
    m_lastSearch.report = m_scanReport;

    // The new tree from its top: the root at the top left, expanded, whatever the previous
    // tree's view was scrolled to.
    m_model->endChange();
    if (m_store.item1() != NodeStore::npos)
        TreeView1->expand(m_model->indexOf(m_store.item1()));
    TreeView1->scrollToTop();
    TreeView1->horizontalScrollBar()->setValue(0);

    QApplication::restoreOverrideCursor();
    setPrintEnabled(true);
    if (!interactive)
        return;
    reportSearch();
    emit searchFinished();
}

void FormMain::reportSearch()
{
    if (!m_scanFailure.isEmpty()) {
        QMessageBox::warning(this, kCaption.trimmed(),
                             MessageText(54, "The search stopped early: %1. The tree shows what "
                                             "was found up to then.")
                                 .arg(m_scanFailure));
    }
    const QStringList& problems = m_scanReport.problems;
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
    if (!m_scanThread)
        PrintDir(this, m_store, m_printObject, m_closingPage);
}

void FormMain::printPreviewCommand()
{
    if (!m_scanThread)
        PrintPreview(this, m_store, m_printObject, m_closingPage);
}

void FormMain::saveAsPdfCommand()
{
    if (!m_scanThread)
        SaveAsPdf(this, m_store, m_printObject, m_closingPage);
}

void FormMain::openListingCommand()
{
    if (m_scanThread)
        return; // the store is being filled
    const QString path = ChooseListing(this, MessageText(80, "Open Listing"));
    if (!path.isEmpty())
        openListing(path);
}

void FormMain::compareListingCommand()
{
    if (m_scanThread)
        return; // the store is being filled
    if (m_store.isEmpty()) {
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
    if (m_scanThread)
        return false; // the store is being filled
    NodeStore store;
    SearchRecord record;
    ListingJsonReader reader;
    const auto result = reader.read(QFile::encodeName(path).toStdString(), store, record);
    if (result != ListingJsonReader::Result::Ok) {
        QMessageBox::warning(
            this, MessageText(80, "Open Listing"),
            ListingErrorText(result, QDir::toNativeSeparators(path), reader.systemError()));
        return false;
    }
    endComparison();
    m_model->beginChange();
    m_store = std::move(store);
    m_model->endChange();
    m_lastSearch = std::move(record);
    StatusBar1->setPanelText(
        1, ScanControls::statusText(m_lastSearch.report.dirCount, m_lastSearch.report.fileCount));
    if (m_store.item1() != NodeStore::npos)
        TreeView1->expand(m_model->indexOf(m_store.item1()));
    setWindowTitle(kCaption + QStringLiteral("- ") + QFileInfo(path).fileName());
    return true;
}

bool FormMain::compareWithListing(const QString& path)
{
    if (m_scanThread)
        return false; // the store is being filled
    const QString caption = MessageText(81, "Compare with Listing");
    if (m_store.isEmpty()) {
        QMessageBox::information(this, caption,
                                 MessageText(88, "There is nothing to compare yet. Search a folder "
                                                 "or open a listing first."));
        return false;
    }
    NodeStore saved;
    SearchRecord record;
    ListingJsonReader reader;
    reader.setKeepUnread(false); // only its tree is compared, and shown
    const auto result = reader.read(QFile::encodeName(path).toStdString(), saved, record);
    if (result != ListingJsonReader::Result::Ok) {
        QMessageBox::warning(
            this, caption,
            ListingErrorText(result, QDir::toNativeSeparators(path), reader.systemError()));
        return false;
    }
    // Another comparison starts again from the tree the first one was made on.
    if (!m_compared)
        m_compareBase = std::move(m_store);
    m_compareSaved = std::move(saved);
    m_compareFile = QFileInfo(path).fileName();
    m_compared = true;
    showComparison();
    return true;
}

void FormMain::showComparison()
{
    TreeComparison comparison;
    NodeStore merged;
    TreeComparison::Options options;
    options.onlyChanges = MNU_ChangedOnly->isChecked();
    options.markTexts = true;
    comparison.compare(m_compareSaved, m_compareBase, merged, options);
    m_model->beginChange();
    m_store = std::move(merged);
    m_changes = comparison.changes();
    m_model->endChange();
    m_closingPage = ComparisonSummary(comparison.summary(), m_compareFile);
    if (m_store.item1() != NodeStore::npos)
        TreeView1->expand(m_model->indexOf(m_store.item1()));
    setWindowTitle(kCaption + QStringLiteral("- ") +
                   MessageText(89, "Compared with %1").arg(m_compareFile));
}

void FormMain::endComparison()
{
    if (m_compared) {
        m_model->beginChange();
        m_changes.clear();
        m_model->endChange();
    }
    m_compared = false;
    m_compareBase.clear();
    m_compareSaved.clear();
    m_compareFile.clear();
    m_closingPage.clear();
    setWindowTitle(kCaption);
}

void FormMain::exportCommand()
{
    if (!m_scanThread)
        ExportDir(this, m_store, m_lastSearch);
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
