#include "about/frmAbout.h"
#include "listing/ListingJsonWriter.h"
#include "main_window/FiltersDialog.h"
#include "main_window/FindBar.h"
#include "main_window/FormMain.h"
#include "main_window/GoToFolderDialog.h"
#include "main_window/NodeMenu.h"
#include "main_window/NodeModel.h"
#include "main_window/NodeTreeView.h"
#include "main_window/SearchMessages.h"
#include "main_window/WindowLayout.h"
#include "platform/controls/DriveList.h"
#include "platform/controls/FolderList.h"
#include "platform/controls/OptionsList.h"
#include "platform/controls/StatusBar.h"
#include "platform/files/PosixFileSystem.h"
#include "printing/CPrintTvw.h"
#include "printing/DirectoryPrint.h"
#include "scan/DetailTicks.h"
#include "support/LangFunctions.h"
#include "tests/common/ChooseFile.h"
#include "tests/common/RecordingPrinterDevice.h"
#include "tests/common/SettingsSandbox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>

using namespace quillmap;

namespace {

// The real file system, made to hold the scan at one folder listing until `open` says so, and
// to fail the property read of entries named "locked*".
class GateFileSystem : public PosixFileSystem
{
public:
    int holdAtListing = 0; // 1-based; 0 holds nothing
    std::function<bool()> open;
    std::atomic<bool> holding{false};

    int readFolder(Handle folder, FolderListing& out) override
    {
        if (++m_listings == holdAtListing) {
            holding = true;
            while (!open())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            holding = false;
        }
        return PosixFileSystem::readFolder(folder, out);
    }
    int stat(Handle folder, const char* name, bool follow, FileStat& out) override
    {
        if (std::string_view(name).starts_with("locked"))
            return EACCES;
        return PosixFileSystem::stat(folder, name, follow, out);
    }

private:
    int m_listings = 0;
};

// The real file system with every folder named "sealed*" unreadable, read on one thread.
class SealedFileSystem : public PosixFileSystem
{
public:
    int openSubfolder(Handle parent, const char* name, Handle& folder) override
    {
        return sealed(name) ? EACCES : PosixFileSystem::openSubfolder(parent, name, folder);
    }
    int openPlainSubfolder(Handle parent, const char* name, Handle& folder) override
    {
        return sealed(name) ? EACCES : PosixFileSystem::openPlainSubfolder(parent, name, folder);
    }
    std::unique_ptr<FileSystem> newReader() const override { return nullptr; }

private:
    static bool sealed(const char* name) { return std::string_view(name).starts_with("sealed"); }
};

// Folders d00 to d29 of 30 files each.
void makeBushyTree(const QString& root)
{
    for (int d = 0; d < 30; ++d) {
        const QString folder = root + QStringLiteral("/d%1").arg(d, 2, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        for (int f = 0; f < 30; ++f)
            QFile(folder + QStringLiteral("/f%1.txt").arg(f, 2, 10, QLatin1Char('0')))
                .open(QIODevice::WriteOnly);
    }
}

} // namespace

class TestFormMain : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void windowFrame();
    void layout_data();
    void layout();
    void layoutGrows_data();
    void layoutGrows();
    void tabOrder();
    void menus();
    void menuShortcuts_data();
    void menuShortcuts();
    void everyTextFromTheMessageFile();
    void captionsFitInEveryLanguage_data();
    void captionsFitInEveryLanguage();
    void toolbar();
    void toolbarPositions_data();
    void toolbarPositions();
    void levelsBox();
    void levelsTextIsNotCorrected();
    void optionsList();
    void allHandler_data();
    void allHandler();
    void searchUsesTheOpenedFolder();
    void searchRunsBesideTheWindow();
    void closeOrExitStopsTheSearch_data();
    void closeOrExitStopsTheSearch();
    void searchReportsUnreadableEntries();
    void exportWritesTheLastSearch();
    void selectedNodeFollowsTheView();
    void longFileLinesScrollSideways();
    void aboutIsModal();
    void unreadableDriveKeepsPreviousDriveAndFolder();
    void problemsMessage_data();
    void problemsMessage();
    void openedListingIsTheSearchedTree();
    void compareMarksEveryChange();
    void badListingChangesNothing_data();
    void badListingChangesNothing();
    void filtersReachTheSearch();
    void sortByColumnHeader_data();
    void sortByColumnHeader();
    void findKeepsMatchesAndRestoresTheTree();
    void nodeMenuCopiesAndSearchesFromHere();
    void goToFolderTakesTypedPaths_data();
    void goToFolderTakesTypedPaths();
    void droppedFolderBecomesTheStartFolder_data();
    void droppedFolderBecomesTheStartFolder();
    void unreadableFolderIsMarked();
    void settingsRoundTrip();
    void brokenSettingsMeanDefaults_data();
    void brokenSettingsMeanDefaults();

private:
    // Saves the tree shown as a listing at `path`.
    void saveListing(const QString& path);
    // Every node as "key text parent", and what the Print command prints but the clock.
    QStringList nodes();
    QStringList printout(const QStringList& closingPage = {});
    // Runs the search command and waits for it to end.
    void search();
    // Starts a search of a bushy tree in `tmp` that holds at its third folder listing (the
    // second subfolder) until the window asks it to stop.
    void startHeldSearch(const QTemporaryDir& tmp);

    // The settings file the windows of this test read and write.
    QString settingsFile() const { return m_settings.windowFile(); }

    FormMain* w = nullptr;
    int exits = 0;
    std::shared_ptr<GateFileSystem> m_gate;
    // Never the user's own settings; cleanup() removes what one test left for the next.
    test::SettingsSandbox m_settings;
};

void TestFormMain::search()
{
    QSignalSpy finished(w, &FormMain::searchFinished);
    w->MNU_Search->trigger();
    QVERIFY(finished.wait(60000));
    QVERIFY(!w->isSearching());
}

void TestFormMain::startHeldSearch(const QTemporaryDir& tmp)
{
    makeBushyTree(tmp.path());
    QVERIFY(w->Dir1->setPath(QFile::encodeName(tmp.path()).toStdString()));
    m_gate = std::make_shared<GateFileSystem>();
    m_gate->holdAtListing = 3;
    m_gate->open = [window = w] { return window->searchStopRequested(); };
    w->setFileSystem(m_gate);
    w->MNU_Search->trigger();
    QVERIFY(w->isSearching());
    QTRY_VERIFY(m_gate->holding);
}

void TestFormMain::init()
{
    exits = 0;
    w = new FormMain;
    w->setExitHandler([this] { ++exits; });
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
}

void TestFormMain::cleanup()
{
    LangFunctions::ResetMessages();
    delete w;
    w = nullptr;
    m_gate.reset();
    QFile::remove(settingsFile());
    QVERIFY(!QApplication::overrideCursor()); // start-up and commands restore the pointer
}

void TestFormMain::windowFrame()
{
    // The title names the folder the next search will search.
    QCOMPARE(w->windowTitle(), QStringLiteral("Quillmap Printer - ") + QDir::currentPath());
    QCOMPARE(w->centralWidget()->size(), QSize(360, 342));
    QCOMPARE(w->centralWidget()->minimumSize(), QSize(360, 342)); // never smaller
    const Qt::WindowFlags flags = w->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowMaximizeButtonHint);
    QVERIFY(!(flags & Qt::MSWindowsFixedSizeDialogHint));
    QVERIFY(w->minimumSize() != w->maximumSize()); // sizable
    QVERIFY(w->TreeView1 && w->Drive1 && w->Dir1 && w->Combo1 && w->Text1 && w->ListView1 &&
            w->StatusBar1 && w->Toolbar1);
    QVERIFY(w->model().rowCount() == 0);
    QVERIFY(w->statusText().isEmpty());
    QCOMPARE(w->Text1->text(), QStringLiteral("*.*"));
    // The folder list starts on the process's current folder.
    QCOMPARE(w->Dir1->path(), QFile::encodeName(QDir::currentPath()).toStdString());
}

void TestFormMain::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Toolbar1") << "Toolbar1" << QRect(0, 0, 5400, 870);
    QTest::newRow("TreeView1") << "TreeView1" << QRect(120, 960, 2895, 3735);
    QTest::newRow("Drive1") << "Drive1" << QRect(3120, 960, 2175, 315);
    QTest::newRow("Dir1") << "Dir1" << QRect(3120, 1320, 2175, 1215);
    QTest::newRow("Label1") << "Label1" << QRect(3120, 2640, 855, 255);
    QTest::newRow("Combo1") << "Combo1" << QRect(4080, 2640, 1215, 315);
    QTest::newRow("Label2") << "Label2" << QRect(3120, 3000, 855, 255);
    QTest::newRow("Text1") << "Text1" << QRect(4080, 3000, 1095, 285);
    QTest::newRow("ListView1") << "ListView1" << QRect(3120, 3360, 2175, 1335);
    QTest::newRow("StatusBar1") << "StatusBar1" << QRect(0, 4755, 5400, 375);
}

void TestFormMain::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    auto* control = w->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), w->centralWidget());
    const QRect pixels(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(control->geometry(), pixels);
}

// Each row: how much larger the window is made than described (maximised: as large as the
// screen), and how far the splitter is dragged to the left.
void TestFormMain::layoutGrows_data()
{
    QTest::addColumn<QSize>("grow");
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<int>("drag");
    QTest::newRow("larger") << QSize(200, 150) << false << 0;
    QTest::newRow("smaller is refused") << QSize(-40, -60) << false << 0;
    QTest::newRow("splitter dragged") << QSize(200, 150) << false << 50;
    QTest::newRow("splitter dragged past the tree's minimum") << QSize(0, 0) << false << 400;
    QTest::newRow("maximised") << QSize() << true << 0;
}

void TestFormMain::layoutGrows()
{
    QFETCH(QSize, grow);
    QFETCH(bool, maximised);
    QFETCH(int, drag);
    if (maximised) {
        w->showMaximized();
        QTRY_VERIFY(w->centralWidget()->width() > 360 + 200);
    } else {
        w->resize(w->size() + grow);
        QTRY_COMPARE(w->centralWidget()->size(),
                     QSize(360, 342).expandedTo(QSize(360, 342) + grow));
    }
    auto* handle = w->findChild<QWidget*>("ColumnSplitter");
    QVERIFY(handle);
    QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(3, 10));
    QTest::mouseMove(handle, QPoint(3 - drag, 10));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(3 - drag, 10));

    // The tree takes the room; the column keeps to the right edge, its list the extra height,
    // widened by what the splitter gave it, the tree never below 96 pixels.
    const QSize client = w->centralWidget()->size();
    const int dx = client.width() - 360, dy = client.height() - 342;
    const int extra = std::min(drag, 193 + dx - 96);
    QCOMPARE(w->TreeView1->geometry(), QRect(8, 64, 193 + dx - extra, 249 + dy));
    QCOMPARE(handle->geometry(), QRect(201 + dx - extra, 64, 7, 249 + dy));
    const int left = 208 + dx - extra;
    QCOMPARE(w->Drive1->geometry(), QRect(left, 64, 145 + extra, 21));
    QCOMPARE(w->Dir1->geometry(), QRect(left, 88, 145 + extra, 81));
    QCOMPARE(w->Label1->geometry(), QRect(left, 176, 57, 17));
    QCOMPARE(w->Combo1->geometry(), QRect(left + 64, 176, 81 + extra, 21));
    QCOMPARE(w->Label2->geometry(), QRect(left, 200, 57, 17));
    QCOMPARE(w->Text1->geometry(), QRect(left + 64, 200, 73 + extra, 19));
    QCOMPARE(w->ListView1->geometry(), QRect(left, 224, 145 + extra, 89 + dy));
    QCOMPARE(w->Toolbar1->geometry(), QRect(0, 0, client.width(), 58));
    QCOMPARE(w->StatusBar1->geometry(), QRect(0, client.height() - 25, client.width(), 25));
    // The status text takes the bar's extra width.
    QCOMPARE(w->StatusBar1->panelRect(1).width(), 160 + dx);
}

void TestFormMain::tabOrder()
{
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    w->TreeView1->setFocus();
    QCOMPARE(QApplication::focusWidget(), w->TreeView1);
    // Labels and the bars take no focus, so Tab passes over them.
    const QList<QWidget*> expected = {w->Dir1,  w->Drive1,    w->Combo1,
                                      w->Text1, w->ListView1, w->TreeView1};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        if (focus && next->isAncestorOf(focus))
            focus = next; // an editable combo box focuses its line edit
        QCOMPARE(focus ? focus->objectName() : QString(), next->objectName());
    }
}

void TestFormMain::menus()
{
    const QList<QAction*> top = w->menuBar()->actions();
    QCOMPARE(top.size(), 4);
    QCOMPARE(top[0]->text(), QStringLiteral("&File"));
    QCOMPARE(top[0]->menu(), w->MNU_File);
    QCOMPARE(top[1]->menu(), w->MNU_Edit);
    QCOMPARE(top[2]->menu(), w->MNU_View);
    QCOMPARE(top[3], w->MNU_About);
    QCOMPARE(w->MNU_About->text(), QStringLiteral("&About"));
    QVERIFY(!w->MNU_About->menu());

    // Search, Print and Exit in that order, Exit last (print variants may stand between).
    const QList<QAction*> items = w->MNU_File->actions();
    QVERIFY(items.size() >= 3);
    QCOMPARE(items.first(), w->MNU_Search);
    QCOMPARE(items[1], w->MNU_Print);
    QCOMPARE(items.last(), w->MNU_Exit);
    QCOMPARE(items.indexOf(w->MNU_Export), items.indexOf(w->MNU_SaveAsPdf) + 1);
    QCOMPARE(w->MNU_Edit->actions().first(), w->nodeMenu().copyPath);
    for (const char* name : {"MNU_File", "MNU_Search", "MNU_Print", "MNU_Exit", "MNU_About"})
        QVERIFY2(w->findChild<QObject*>(name), name);

    w->MNU_Exit->trigger();
    QCOMPARE(exits, 1);
}

void TestFormMain::menuShortcuts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QKeySequence>("shortcut");
    const struct
    {
        const char* name;
        const char* caption;
        QKeySequence shortcut;
    } rows[] = {
        {"MNU_Search", "&Search", Qt::Key_F5},
        {"MNU_Print", "&Print", Qt::CTRL | Qt::Key_P},
        {"MNU_PrintPreview", "Print Pre&view", Qt::CTRL | Qt::SHIFT | Qt::Key_P},
        {"MNU_SaveAsPdf", "Save as P&DF...", Qt::CTRL | Qt::Key_S},
        {"MNU_Export", "&Export...", Qt::CTRL | Qt::Key_E},
        {"MNU_OpenListing", "&Open Listing...", Qt::CTRL | Qt::Key_O},
        {"MNU_Find", "&Find...", Qt::CTRL | Qt::Key_F},
        {"MNU_GoToFolder", "&Go to Folder...", Qt::CTRL | Qt::Key_L},
        {"MNU_Exit", "E&xit", Qt::CTRL | Qt::Key_Q},
        {"MNU_About", "&About", Qt::Key_F1},
        {"MNU_CopyPath", "Copy &Path", Qt::CTRL | Qt::Key_C},
        {"MNU_CompareListing", "Co&mpare with Listing...", QKeySequence()},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << r.name << r.caption << r.shortcut;
}

void TestFormMain::menuShortcuts()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QKeySequence, shortcut);
    auto* action = w->findChild<QAction*>(name);
    QVERIFY(action);
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->shortcut(), shortcut);
}

namespace {

// Every text the window shows of its own: menus, the tree's menu, labels, toolbar, options list,
// column headings, the find box.
QStringList windowTexts(FormMain& w)
{
    QStringList texts;
    for (QAction* top : w.menuBar()->actions()) {
        texts << top->text();
        if (top->menu())
            for (QAction* item : top->menu()->actions())
                if (!item->isSeparator())
                    texts << item->text();
    }
    for (QAction* item : w.TreeView1->findChild<QMenu*>()->actions())
        if (!item->isSeparator())
            texts << item->text();
    texts << w.Label1->text() << w.Label2->text() << w.ListView1->columnHeading();
    for (int i = 1; i <= w.ListView1->itemCount(); ++i)
        texts << w.ListView1->itemText(i);
    for (QAction* button : w.Toolbar1->actions())
        if (!button->isSeparator())
            texts << button->text() << button->toolTip();
    w.model().setColumns(NodeColumns::forTicks(DetailTicks::all()));
    for (int c = 0; c < w.model().columnCount(); ++c)
        texts << w.model().headerData(c, Qt::Horizontal).toString();
    texts << w.findBar().textBox()->placeholderText();
    return texts;
}

} // namespace

void TestFormMain::everyTextFromTheMessageFile()
{
    // A message file whose French texts are the English ones in brackets: every text of the
    // window must come from it, none from the program.
    QTemporaryDir folder;
    QFile source(QStringLiteral(QUILLMAP_SOURCE_DIR "/resources/lang.ini"));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QFile marked(folder.filePath("lang.ini"));
    QVERIFY(marked.open(QIODevice::WriteOnly));
    for (QByteArray line : source.readAll().split('\n')) {
        if (line.startsWith("MES")) {
            QList<QByteArray> texts = line.split('|');
            const QByteArray english = texts[0].mid(texts[0].indexOf('=') + 1);
            texts[1] = "[" + english + "]";
            line = texts.join('|');
        }
        marked.write(line + '\n');
    }
    marked.close();
    LangFunctions::ResetMessages(folder.path() + u'/');
    LangFunctions::LanguageName = QStringLiteral("FRENCH");
    FormMain french;
    for (const QString& text : windowTexts(french))
        QVERIFY2(text.startsWith(u'[') && text.endsWith(u']'), qPrintable(text));
}

void TestFormMain::captionsFitInEveryLanguage_data()
{
    QTest::addColumn<QString>("language");
    for (const char* language :
         {"ENGLISH", "FRENCH", "GERMAN", "ITALIAN", "PORTUGUESE", "SPANISH", "DUTCH", "NORWEGIAN"})
        QTest::newRow(language) << QString::fromLatin1(language);
}

void TestFormMain::captionsFitInEveryLanguage()
{
    QFETCH(QString, language);
    LangFunctions::ResetMessages(QStringLiteral(QUILLMAP_SOURCE_DIR "/resources/"));
    LangFunctions::LanguageName = language;
    FormMain window;
    window.show();
    // The labels and the options read in full at the described size.
    for (const QLabel* label : {window.Label1, window.Label2})
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
    OptionsList* list = window.ListView1;
    for (int i = 1; i <= list->itemCount(); ++i)
        QVERIFY2(list->sizeHintForIndex(list->model()->index(i - 1, 0)).width() <=
                     list->columnWidth(0),
                 qPrintable(list->itemText(i)));
    // Every menu and item has one access key, none twice in one menu (the tree's own included).
    QList<QList<QAction*>> groups = {window.menuBar()->actions()};
    for (QAction* top : window.menuBar()->actions())
        if (top->menu())
            groups << top->menu()->actions();
    groups << window.TreeView1->findChild<QMenu*>()->actions();
    for (const QList<QAction*>& group : groups) {
        QSet<QChar> keys;
        for (QAction* action : group) {
            if (action->isSeparator())
                continue;
            const QString text = action->text();
            const qsizetype amp = text.indexOf(u'&');
            QVERIFY2(amp >= 0 && amp + 1 < text.size() && text.count(u'&') == 1, qPrintable(text));
            const QChar key = text[amp + 1].toLower();
            QVERIFY2(!keys.contains(key), qPrintable(text));
            keys.insert(key);
        }
    }
}

void TestFormMain::toolbar()
{
    const QList<QAction*> actions = w->Toolbar1->actions();
    QCOMPARE(actions.size(), 5);
    QVERIFY(actions[0]->isSeparator());
    QVERIFY(actions[2]->isSeparator());
    QCOMPARE(actions[1]->text(), QStringLiteral("Exit"));
    QCOMPARE(actions[1]->toolTip(), QStringLiteral("Exit the system"));
    QCOMPARE(actions[3]->text(), QStringLiteral("Search"));
    QCOMPARE(actions[3]->toolTip(), QStringLiteral("Search for files"));
    QCOMPARE(actions[4]->text(), QStringLiteral("Print"));
    QCOMPARE(actions[4]->toolTip(), QStringLiteral("Print the directory tree"));
    QCOMPARE(w->Toolbar1->iconSize(), QSize(32, 32));
    QCOMPARE(w->ImageList1.size(), 3);
    // Image 1 on Exit, 2 on Search, 3 on Print.
    for (int i = 0; i < 3; ++i) {
        const QImage shown = actions[i == 0 ? 1 : i + 2]->icon().pixmap(32, 32).toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32),
                 w->ImageList1[i].convertToFormat(QImage::Format_ARGB32));
    }
    // The buttons' clicks reach the same handler.
    actions[1]->trigger();
    QCOMPARE(exits, 1);
}

void TestFormMain::toolbarPositions_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("exits");
    QTest::addColumn<bool>("searches");
    QTest::addColumn<bool>("prints");
    QTest::newRow("1 separator") << 1 << false << false << false;
    QTest::newRow("2 exit") << 2 << true << false << false;
    QTest::newRow("3 separator") << 3 << false << false << false;
    QTest::newRow("4 search") << 4 << false << true << false;
    QTest::newRow("5 print") << 5 << false << false << true;
    QTest::newRow("0") << 0 << false << false << false;
    QTest::newRow("6") << 6 << false << false << false;
    QTest::newRow("-1") << -1 << false << false << false;
}

void TestFormMain::toolbarPositions()
{
    QFETCH(int, position);
    QFETCH(bool, exits);
    QFETCH(bool, searches);
    QFETCH(bool, prints);
    QTemporaryDir tmp;
    QVERIFY(w->Dir1->setPath(QFile::encodeName(tmp.path()).toStdString()));
    // Print with nothing searched answers with a message; note and close it.
    bool modalShown = false;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&modalShown] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modalShown = true;
            modal->close();
        }
    });
    closer.start(20);
    w->Toolbar1_ButtonClick(position);
    QTRY_VERIFY(!w->isSearching());
    closer.stop();
    QCOMPARE(modalShown, prints);
    QCOMPARE(this->exits, exits ? 1 : 0);
    QCOMPARE(w->store().size() > 0, searches);
    QCOMPARE(w->statusText().isEmpty(), !searches);
}

void TestFormMain::levelsBox()
{
    QCOMPARE(w->Combo1->count(), 1001);
    QCOMPARE(w->Combo1->itemText(0), QStringLiteral("ALL"));
    for (int i = 1; i <= 1000; ++i)
        QCOMPARE(w->Combo1->itemText(i), QString::number(i));
    QCOMPARE(w->Combo1->currentIndex(), 0);
    QCOMPARE(w->Combo1->currentText(), QStringLiteral("ALL"));
    QVERIFY(w->Combo1->isEditable());

    // A second SetUp leaves the same list, not a doubled one.
    w->SetUp();
    QCOMPARE(w->Combo1->count(), 1001);
    QCOMPARE(w->ListView1->itemCount(), 12);
}

void TestFormMain::levelsTextIsNotCorrected()
{
    QLineEdit* edit = w->Combo1->lineEdit();
    QVERIFY(edit);
    edit->selectAll();
    QTest::keyClicks(edit, "all");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(w->Combo1->currentText(), QStringLiteral("all"));
    edit->selectAll();
    QTest::keyClicks(edit, "1500");
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(w->Combo1->currentText(), QStringLiteral("1500"));
    QCOMPARE(w->Combo1->count(), 1001); // typing adds nothing to the list
}

void TestFormMain::optionsList()
{
    OptionsList* list = w->ListView1;
    QCOMPARE(list->columnCount(), 1);
    QCOMPARE(list->columnKey(), QStringLiteral("ch1"));
    QCOMPARE(list->columnHeading(), QStringLiteral("Show"));
    QCOMPARE(list->columnWidthTwips(), 2000);
    QCOMPARE(list->itemCount(), 12);
    for (int i = 1; i <= 12; ++i) {
        QCOMPARE(list->itemKey(i), QString::fromLatin1(kDetailItems[i - 1].key));
        QCOMPARE(list->itemText(i), QString::fromLatin1(kDetailItems[i - 1].text));
        QVERIFY(!list->isChecked(i));
        QVERIFY(list->topLevelItem(i - 1)->icon(0).isNull());
        // Each item reads in full, check box included, in the 2000-twip column.
        const QModelIndex index = list->model()->index(i - 1, 0);
        QVERIFY2(list->sizeHintForIndex(index).width() <= list->columnWidth(0),
                 qPrintable(list->itemText(i) + QStringLiteral(": %1 pixels wide in %2, %3 pt %4")
                                                    .arg(list->sizeHintForIndex(index).width())
                                                    .arg(list->columnWidth(0))
                                                    .arg(list->font().pointSizeF())
                                                    .arg(list->font().family())));
    }
    // So do the labels.
    for (const QLabel* label : {w->Label1, w->Label2})
        QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
}

void TestFormMain::allHandler_data()
{
    // Steps: +n ticks item n, -n unticks it (through the list, as a click would).
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<QList<int>>("ticked");
    QList<int> all;
    for (int i = 1; i <= 12; ++i)
        all << i;
    QList<int> allButOne = all;
    allButOne.removeAll(5);
    QTest::newRow("tick ALL") << QList<int>{1} << all;
    QTest::newRow("untick ALL") << QList<int>{1, -1} << QList<int>{};
    QTest::newRow("tick ALL over some") << QList<int>{3, 7, 1} << all;
    QTest::newRow("untick ALL clears hand ticks") << QList<int>{3, 1, -1} << QList<int>{};
    QTest::newRow("untick one leaves ALL") << QList<int>{1, -5} << allButOne;
    QList<int> untickAll = {1};
    for (int i = 2; i <= 12; ++i)
        untickAll << -i;
    QTest::newRow("untick 2 to 12") << untickAll << QList<int>{1};
    QList<int> tickOthers;
    for (int i = 2; i <= 12; ++i)
        tickOthers << i;
    QList<int> others = all;
    others.removeAll(1);
    QTest::newRow("ticking the others leaves ALL") << tickOthers << others;
    QTest::newRow("untick ALL with others ticked by hand")
        << (tickOthers + QList<int>{1, -1}) << QList<int>{};
}

void TestFormMain::allHandler()
{
    QFETCH(QList<int>, steps);
    QFETCH(QList<int>, ticked);
    for (int step : steps)
        w->ListView1->setChecked(std::abs(step), step > 0);
    QList<int> actual;
    for (int i = 1; i <= 12; ++i)
        if (w->ListView1->isChecked(i))
            actual << i;
    QCOMPARE(actual, ticked);
}

void TestFormMain::searchUsesTheOpenedFolder()
{
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath("sub");
    QFile(tmp.path() + "/sub/x.txt").open(QIODevice::WriteOnly);
    QFile(tmp.path() + "/top.txt").open(QIODevice::WriteOnly);
    const std::string root = QFile::encodeName(tmp.path()).toStdString();
    QVERIFY(w->Dir1->setPath(root));
    // Highlighting "sub" doesn't make it the start folder.
    w->Dir1->setCurrentRow(w->Dir1->ancestorCount());
    QCOMPARE(w->Dir1->entryPath(w->Dir1->currentRow()), root + "/sub");

    search();
    const NodeStore& s = w->store();
    QCOMPARE(s.key(s.item1()), root + "/");
    QCOMPARE(s.text(s.item1()), root + "/");
    QCOMPARE(w->model().rowCount(), 1);
    QVERIFY(s.find(root + "/sub/x.txt") != NodeStore::npos);
    QVERIFY(s.find(root + "/top.txt") != NodeStore::npos);
    QCOMPARE(w->statusText(), QStringLiteral("Dirs = 1 Files = 2"));
    QVERIFY(w->TreeView1->isExpanded(w->model().indexOf(s.item1())));

    // Another drive or folder leaves the tree and the text until the next search.
    QVERIFY(w->Dir1->setPath(root + "/sub"));
    QCOMPARE(w->statusText(), QStringLiteral("Dirs = 1 Files = 2"));
    QCOMPARE(s.size(), std::size_t(4));
}

void TestFormMain::searchRunsBesideTheWindow()
{
    QTemporaryDir tmp;
    startHeldSearch(tmp);

    // The window answers while the scan works: a timer fires, the status bar counts, the view
    // shows nothing of the half-built tree, and print and a second Search are refused.
    bool fired = false;
    QTimer::singleShot(10, this, [&fired] { fired = true; });
    QTRY_VERIFY(fired);
    QTRY_COMPARE(w->statusText(), QStringLiteral("Dirs = 2 Files = 30"));
    QCOMPARE(w->model().rowCount(), 0);
    QVERIFY(!w->MNU_Print->isEnabled());
    w->MNU_Search->trigger();
    QVERIFY(w->isSearching());
    QVERIFY(!w->searchStopRequested());

    // Esc stops it: what was found stays, printable, and the status says it stopped.
    QSignalSpy finished(w, &FormMain::searchFinished);
    QTest::keyClick(w->TreeView1, Qt::Key_Escape);
    QVERIFY(finished.wait(30000));
    QVERIFY(!w->isSearching());
    const NodeStore& s = w->store();
    QCOMPARE(s.size(), std::size_t(33)); // the root, d00 and its 30 files, d01
    QCOMPARE(std::string(s.text(s.lastChild(s.item1()))), std::string("d01"));
    QCOMPARE(w->statusText(), QStringLiteral("The search was stopped. The tree shows what was "
                                             "found up to then. Dirs = 2 Files = 30"));
    QCOMPARE(w->model().rowCount(), 1);
    QVERIFY(w->TreeView1->isExpanded(w->model().indexOf(s.item1())));
    QVERIFY(w->MNU_Print->isEnabled());
    QVERIFY(!QApplication::overrideCursor());

    // The next search is a whole one again.
    w->setFileSystem(nullptr);
    search();
    QCOMPARE(w->statusText(), QStringLiteral("Dirs = 30 Files = 900"));
}

void TestFormMain::closeOrExitStopsTheSearch_data()
{
    QTest::addColumn<bool>("close");
    QTest::newRow("close") << true;
    QTest::newRow("exit") << false;
}

void TestFormMain::closeOrExitStopsTheSearch()
{
    QFETCH(bool, close);
    QTemporaryDir tmp;
    startHeldSearch(tmp);
    if (close) {
        // The scan has ended by the time the window is closed.
        QVERIFY(w->close());
        QVERIFY(!w->isSearching());
        QVERIFY(!w->isVisible());
    } else {
        w->MNU_Exit->trigger();
        QCOMPARE(exits, 1);
        QTRY_VERIFY(!w->isSearching());
    }
    QCOMPARE(w->store().size(), std::size_t(33));
    QVERIFY(!QApplication::overrideCursor());
}

void TestFormMain::searchReportsUnreadableEntries()
{
    // The start folder is removed after it was opened in the list: the scan can't read it and
    // the window says so in one message box.
    QTemporaryDir tmp;
    const QString gone = tmp.path() + "/gone";
    QVERIFY(QDir().mkpath(gone));
    QVERIFY(w->Dir1->setPath(QFile::encodeName(gone).toStdString()));
    QVERIFY(QDir(gone).removeRecursively());
    QString shown;
    QString details;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            details = box->detailedText();
            box->accept();
        }
    });
    closer.start(20);
    search();
    QVERIFY2(shown.contains("could not be read"), qPrintable(shown));
    QVERIFY2(shown.contains(gone), qPrintable(shown));

    // Many unreadable entries: the message names the first few, its details every one.
    QVERIFY(QDir().mkpath(gone));
    QVERIFY(w->Dir1->setPath(QFile::encodeName(gone).toStdString()));
    for (int i = 0; i < 12; ++i)
        QFile(gone + QStringLiteral("/locked%1").arg(i, 2, 10, QLatin1Char('0')))
            .open(QIODevice::WriteOnly);
    w->setFileSystem(std::make_shared<GateFileSystem>());
    shown.clear();
    search();
    QVERIFY2(shown.contains("12 entries"), qPrintable(shown));
    const QStringList lines = details.split(u'\n');
    QCOMPARE(lines.size(), 12);
    for (int i = 0; i < 12; ++i)
        QVERIFY2(lines[i].startsWith(gone +
                                     QStringLiteral("/locked%1: ").arg(i, 2, 10, QLatin1Char('0'))),
                 qPrintable(lines[i]));
}

void TestFormMain::exportWritesTheLastSearch()
{
    QString shown;
    const auto answer = [&shown](const QString& file, const QString& filter) {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            shown = box->text();
            box->accept();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            shown = dialog->selectedFiles().value(0);
            dialog->selectNameFilter(filter);
            emit dialog->filterSelected(filter); // as picking it in the list does
            test::chooseFile(*dialog, file);
            static_cast<QDialog*>(dialog)->accept();
        }
    };
    QTimer::singleShot(0, this, [&] { answer({}, {}); });
    w->MNU_Export->trigger();
    QVERIFY2(shown.contains("nothing to export"), qPrintable(shown));

    // The options are those of the search, not what the controls show by the time of export.
    QTemporaryDir tmp;
    QVERIFY(QDir(tmp.path()).mkpath("Data/sub"));
    QFile f(tmp.path() + "/Data/sub/x.txt");
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("12345") == 5);
    f.close();
    QVERIFY(w->Dir1->setPath(QFile::encodeName(tmp.path() + "/Data").toStdString()));
    w->Text1->setText("*.txt");
    search();
    w->Text1->setText("*.doc");

    // A name without suffix takes the type picked.
    const QString target = tmp.path() + "/listing";
    QTimer::singleShot(0, this, [&] { answer(target, "Spreadsheet (*.csv)"); });
    w->MNU_Export->trigger();
    QCOMPARE(QFileInfo(shown).fileName(), QStringLiteral("Data.html"));
    QFile csv(target + ".csv");
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csv.readAll().split('\n');
    QCOMPARE(rows.size(), 5); // heading, Data, sub, x.txt, and the end of the last line
    QVERIFY(rows[0].startsWith("level,kind,path,name,size,"));
    QVERIFY2(rows[1].startsWith("0,root,") && rows[1].endsWith(",5,1,1,\r"), rows[1]);
    QVERIFY2(rows[3].startsWith("2,file,") && rows[3].contains(",x.txt,5,"), rows[3]);

    // The status bar says what was written where, and a click on it opens it.
    QCOMPARE(w->statusText(),
             QStringLiteral("Exported to %1. Click here to open it.").arg(target + ".csv"));
    QVERIFY(w->StatusBar1->isPanelLink(1));

    const QString page = tmp.path() + "/page.html";
    QTimer::singleShot(0, this, [&] { answer(page, "Web page (*.html)"); });
    w->MNU_Export->trigger();
    QFile html(page);
    QVERIFY(html.open(QIODevice::ReadOnly));
    QVERIFY(html.readAll().contains("\"types\":\"*.txt\""));
}

void TestFormMain::selectedNodeFollowsTheView()
{
    QTemporaryDir tmp;
    QFile(tmp.path() + "/a.txt").open(QIODevice::WriteOnly);
    QVERIFY(w->Dir1->setPath(QFile::encodeName(tmp.path()).toStdString()));
    search();
    NodeStore& s = w->store();
    QCOMPARE(s.selected(), NodeStore::npos);
    const auto file = s.find(QFile::encodeName(tmp.path()).toStdString() + "/a.txt");
    QVERIFY(file != NodeStore::npos);
    w->TreeView1->setCurrentIndex(w->model().indexOf(file));
    QCOMPARE(s.selected(), file);
    search(); // a new search starts with nothing selected
    QCOMPARE(s.selected(), NodeStore::npos);
}

void TestFormMain::longFileLinesScrollSideways()
{
    // With every detail ticked a file line is far wider than the tree view: the view "as
    // printed" must scroll sideways to it instead of cutting the details off.
    w->MNU_AsPrinted->trigger();
    QVERIFY(w->TreeView1->asPrinted());
    QTemporaryDir tmp;
    QFile(tmp.path() + "/" + QString(60, 'n') + ".txt").open(QIODevice::WriteOnly);
    for (int i = 0; i < 100; ++i)
        QFile(tmp.path() + QStringLiteral("/more%1").arg(i)).open(QIODevice::WriteOnly);
    QVERIFY(w->Dir1->setPath(QFile::encodeName(tmp.path()).toStdString()));
    w->ListView1->setChecked(1, true);
    search();
    const NodeStore& s = w->store();
    const auto file = s.firstChild(s.item1());
    QVERIFY(file != NodeStore::npos);
    QTreeView* view = w->TreeView1;
    const int textWidth =
        view->fontMetrics().horizontalAdvance(w->model().data(w->model().indexOf(file)).toString());
    QVERIFY(textWidth > view->viewport()->width());
    QTRY_VERIFY(view->columnWidth(0) >= view->indentation() + textWidth);
    QTRY_VERIFY(view->horizontalScrollBar()->maximum() > 0);

    // Scrolled down and sideways, the view shows the next search's tree from its top: the
    // root at the top left, expanded.
    QTRY_VERIFY(view->verticalScrollBar()->maximum() > 0);
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
    search();
    const QModelIndex root = w->model().indexOf(s.item1());
    QVERIFY(view->isExpanded(root));
    QTRY_COMPARE(view->indexAt(QPoint(1, 1)), root);
    QCOMPARE(view->verticalScrollBar()->value(), 0);
    QCOMPARE(view->horizontalScrollBar()->value(), 0);
}

void TestFormMain::aboutIsModal()
{
    QCOMPARE(w->aboutWindow(), nullptr);
    QWidget* seen = nullptr;
    bool modal = false;
    auto closeIt = [&] {
        seen = QApplication::activeModalWidget();
        // Application-modal: while it is open, the main window's menus and toolbar take no input.
        modal = seen && seen->isModal() && seen->windowModality() == Qt::ApplicationModal;
        if (seen)
            seen->close();
    };
    QTimer::singleShot(0, this, closeIt);
    w->MNU_About->trigger();
    QVERIFY(w->aboutWindow());
    QCOMPARE(seen, static_cast<QWidget*>(w->aboutWindow()));
    QVERIFY(modal);

    // The same window object is shown again on the next click.
    frmAbout* first = w->aboutWindow();
    seen = nullptr;
    QTimer::singleShot(0, this, closeIt);
    w->MNU_About->trigger();
    QCOMPARE(w->aboutWindow(), first);
    QCOMPARE(seen, static_cast<QWidget*>(first));
    QVERIFY(!QApplication::activeModalWidget());
}

void TestFormMain::unreadableDriveKeepsPreviousDriveAndFolder()
{
    QTemporaryDir tmp;
    const std::string readable = QFile::encodeName(tmp.path()).toStdString();
    w->Drive1->setVolumes({{"/", "ext4", "/dev/x"},
                           {readable, "tmpfs", "tmpfs"},
                           {readable + "/not-mounted-any-more", "nfs", "server:/"}});
    QVERIFY(w->Dir1->setPath("/"));
    QCOMPARE(w->Drive1->currentIndex(), 0);

    // A readable volume: the folder list moves to its mount point.
    w->Drive1->setCurrentIndex(1);
    QCOMPARE(w->Dir1->path(), readable);

    // An unreadable one: a message in the user's language, and the previous drive and folder
    // stay.
    LangFunctions::ResetMessages(QStringLiteral(QUILLMAP_SOURCE_DIR "/resources/"));
    LangFunctions::LanguageName = QStringLiteral("GERMAN");
    QDir(tmp.path()).mkpath("inner");
    QVERIFY(w->Dir1->setPath(readable + "/inner"));
    QString message;
    QTimer::singleShot(0, this, [&message] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            message = box->text();
            box->accept();
        }
    });
    w->Drive1->setCurrentIndex(2);
    QVERIFY2(message.contains("not-mounted-any-more"), qPrintable(message));
    QVERIFY2(message.startsWith("Das Laufwerk "), qPrintable(message));
    QCOMPARE(w->Drive1->currentIndex(), 1);
    QCOMPARE(w->Dir1->path(), readable + "/inner");

    // Back to a volume shows the folder last opened on it.
    w->Drive1->setCurrentIndex(0);
    QCOMPARE(w->Dir1->path(), std::string("/"));
    w->Drive1->setCurrentIndex(1);
    QCOMPARE(w->Dir1->path(), readable + "/inner");
}

// The report after a search, from the message file in the user's language: singular, plural
// with every entry named, and plural with the rest counted.
void TestFormMain::problemsMessage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<bool>("messageFile");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    const struct
    {
        const char* language;
        bool messageFile;
        int count;
        const char* first;
        const char* last;
    } rows[] = {
        {"ENGLISH", true, 1, "One entry could not be read:", "p1: why"},
        {"ENGLISH", true, 9, "9 entries could not be read:", "p9: why"},
        {"ENGLISH", true, 12, "12 entries could not be read. The first of them:", "and 4 more."},
        {"GERMAN", true, 1, "Ein Eintrag konnte nicht gelesen werden:", "p1: why"},
        {"GERMAN", true, 3, "3 Einträge konnten nicht gelesen werden:", "p3: why"},
        {"GERMAN", true, 10,
         "10 Einträge konnten nicht gelesen werden. Die ersten davon:", "und 2 weitere."},
        // Without a message file the texts built into the program.
        {"GERMAN", false, 1, "One entry could not be read:", "p1: why"},
        {"GERMAN", false, 10, "10 entries could not be read. The first of them:", "and 2 more."},
    };
    for (const auto& r : rows)
        QTest::addRow("%s %s %d", r.language, r.messageFile ? "file" : "built-in", r.count)
            << QString::fromLatin1(r.language) << r.messageFile << r.count
            << QString::fromUtf8(r.first) << QString::fromUtf8(r.last);
}

void TestFormMain::problemsMessage()
{
    QFETCH(QString, language);
    QFETCH(bool, messageFile);
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QTemporaryDir empty;
    LangFunctions::ResetMessages(messageFile ? QStringLiteral(QUILLMAP_SOURCE_DIR "/resources/")
                                             : empty.path() + QLatin1Char('/'));
    LangFunctions::LanguageName = language;
    QStringList problems;
    for (int i = 1; i <= count; ++i)
        problems << QStringLiteral("p%1: why").arg(i);
    const QStringList lines = ProblemsText(problems).split(QLatin1Char('\n'));
    QCOMPARE(lines.first(), first);
    QCOMPARE(lines.last(), last);
    QCOMPARE(lines.size(), 1 + qMin(count, count == 9 ? 9 : 8) + (count > 9 ? 1 : 0));
}

void TestFormMain::saveListing(const QString& path)
{
    std::FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    QVERIFY(out);
    QVERIFY(ListingJsonWriter(w->store(), w->lastSearch(), out).write());
    std::fclose(out);
}

QStringList TestFormMain::nodes()
{
    QStringList lines;
    const NodeStore& s = w->store();
    for (NodeStore::Id id = 0; id < s.size(); ++id)
        lines << QString::fromLatin1(QByteArray::fromStdString(s.key(id)).toHex()) + u' ' +
                     s.displayText(id) + u' ' + QString::number(qint64(s.parent(id)));
    return lines;
}

QStringList TestFormMain::printout(const QStringList& closingPage)
{
    const auto print = NewDirectoryPrint(w->store());
    print->setClosingPage(closingPage);
    RecordingPrinterDevice device;
    if (!print->PrintTvw(device))
        return {QStringLiteral("failed")};
    QStringList texts;
    for (const auto& op : device.ops())
        if (op.kind == RecordingPrinterDevice::Op::Text && !op.text.isEmpty() &&
            !op.text.contains(QRegularExpression("^[0-9]")))
            texts << QStringLiteral("%1 %2 %3 %4").arg(op.page).arg(op.x).arg(op.y).arg(op.text);
    return texts;
}

void TestFormMain::openedListingIsTheSearchedTree()
{
    QTemporaryDir tmp;
    const QByteArray root = QFile::encodeName(tmp.path()) + "/tree";
    for (const char* d : {"", "/sub", "/sub/deep", "/empty"})
        ::mkdir(root + d, 0755);
    for (const char* f : {"/a.txt", "/sub/b.doc", "/sub/deep/c", "/odd\xff\"name\n"})
        ::close(::open(root + f, O_CREAT | O_WRONLY, 0644));
    QVERIFY(w->Dir1->setPath(root.toStdString()));
    w->ListView1->setChecked(1, true);
    search();
    const QStringList searched = nodes();
    const QStringList printed = printout();
    const QString status = w->statusText();
    const QString listing = tmp.path() + "/saved.json";
    saveListing(listing);

    // Another tree in between, then the listing: the very same nodes, status and printout, with
    // the folder itself gone.
    QVERIFY(w->Dir1->setPath(QFile::encodeName(tmp.path()).toStdString()));
    search();
    ::unlink(root + "/odd\xff\"name\n"); // a name QDir can't remove
    QVERIFY(QDir(QFile::decodeName(root)).removeRecursively());
    QVERIFY(w->openListing(listing));
    QCOMPARE(nodes(), searched);
    QCOMPARE(w->statusText(), status);
    QCOMPARE(printout(), printed);
    QVERIFY2(w->windowTitle().contains("saved.json"), qPrintable(w->windowTitle()));
    QVERIFY(w->TreeView1->isExpanded(w->model().indexOf(w->store().item1())));
    // Saved again, the same file.
    const QString again = tmp.path() + "/again.json";
    saveListing(again);
    QFile a(listing), b(again);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), a.readAll());

    search(); // a search shows the window's own title again
    QCOMPARE(w->windowTitle(), QStringLiteral("Quillmap Printer - ") + tmp.path());
}

void TestFormMain::compareMarksEveryChange()
{
    QTemporaryDir tmp;
    const QByteArray root = QFile::encodeName(tmp.path()) + "/tree";
    const auto write = [&](const char* name, const char* content) {
        const int fd = ::open(root + name, O_CREAT | O_WRONLY | O_TRUNC, 0644);
        QVERIFY(fd >= 0 && ::write(fd, content, strlen(content)) == ssize_t(strlen(content)));
        ::close(fd);
    };
    for (const char* d : {"", "/keep", "/gone", "/swap"})
        ::mkdir(root + d, 0755);
    for (const char* f :
         {"/keep/same.txt", "/keep/grows.txt", "/keep/touched.txt", "/gone/z.txt", "/old-name.txt"})
        write(f, "1");
    QVERIFY(w->Dir1->setPath(root.toStdString()));
    search();
    const QString listing = tmp.path() + "/saved.json";
    saveListing(listing);

    write("/keep/grows.txt", "12");
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1'000'000'000, 0}};
    ::utimensat(AT_FDCWD, root + "/keep/touched.txt", times, 0);
    ::rename(root + "/old-name.txt", root + "/new-name.txt");
    QVERIFY(QDir(QFile::decodeName(root + "/gone")).removeRecursively());
    ::rmdir(root + "/swap");
    write("/swap", "");
    write("/keep/added.txt", "123");
    search();
    QVERIFY(w->compareWithListing(listing));

    const auto marks = [this] {
        QStringList out;
        const NodeStore& s = w->store();
        for (NodeStore::Id id = 0; id < s.size(); ++id) {
            const QModelIndex index = w->model().indexOf(id);
            const QVariant colour = w->model().data(index, Qt::ForegroundRole);
            out << s.displayText(id) + (colour.isValid() ? " coloured" : "") + u' ' +
                       QString::fromLatin1(ChangeWord(w->changes()[id]).data());
        }
        return out;
    };
    const QString top = QFile::decodeName(root) + u'/';
    QCOMPARE(marks(), QStringList({"~ " + top + " coloured changed", "- gone coloured removed",
                                   "- z.txt coloured removed", "~ keep coloured changed",
                                   "+ added.txt coloured added", "~ grows.txt coloured changed",
                                   "= same.txt same", "~ touched.txt coloured changed",
                                   "- swap coloured removed", "+ new-name.txt coloured added",
                                   "- old-name.txt coloured removed", "+ swap coloured added"}));
    QVERIFY2(w->windowTitle().contains("saved.json"), qPrintable(w->windowTitle()));
    // The status bar counts the changes and tells what the marks mean; the names carry them.
    QCOMPARE(w->statusText(),
             QStringLiteral("Compared with saved.json: 3 added, 4 removed, 3 changed. Marks: + "
                            "added, - removed, ~ changed, = the same"));
    const NodeStore::Id gone = w->store().find(root.toStdString() + "/gone/");
    QCOMPARE(w->model().indexOf(gone).data().toString(), QStringLiteral("- gone"));

    // Only what changed, with the folders leading to it; the printout ends with the summary.
    w->MNU_ChangedOnly->trigger();
    QCOMPARE(w->store().size(), std::size_t(11));
    QVERIFY(w->store().find(root.toStdString() + "/keep/same.txt") == NodeStore::npos);
    const QStringList printed = printout(w->closingPage());
    // The summary on a page of its own after the tree's.
    const QStringList summary = printed.filter(QRegularExpression("^2 "));
    QCOMPARE(summary.size(), 6);
    QVERIFY2(summary[0].endsWith(" Compared with saved.json"), qPrintable(summary[0]));
    QVERIFY(summary[1].endsWith(" -Page 2-"));
    QVERIFY(summary[2].endsWith(" Files: 3 added, 2 removed, 2 changed, 1 the same"));
    QVERIFY(summary[3].endsWith(" Folders: 0 added, 2 removed, 1 changed, 0 the same"));
    QVERIFY(summary[4].endsWith(" Bytes added: 5, bytes removed: 2"));
    QVERIFY(summary[5].endsWith(" Marks: + added, - removed, ~ changed, = the same"));
    w->MNU_ChangedOnly->trigger();
    QCOMPARE(w->store().size(), std::size_t(12));
}

void TestFormMain::badListingChangesNothing_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("not json") << QByteArray("%PDF-1.4") << "is not a saved listing";
    QTest::newRow("other json") << QByteArray(R"({"type":"FeatureCollection"})")
                                << "is not a saved listing";
    QTest::newRow("cut short") << QByteArray(
                                      R"({"format":"quillmap-listing","version":1,"tree":{"ke)")
                               << "is cut short";
    QTest::newRow("no version") << QByteArray(R"({"key":"/x/","text":"/x/","children":[]})")
                                << "older version";
    QTest::newRow("nested deep") << QByteArray(
                                        R"({"format":"quillmap-listing","version":1,"tree":)") +
                                        QByteArray(100000, '[')
                                 << "is damaged";
    QTest::newRow("text past the bound")
        << QByteArray(R"({"format":"quillmap-listing","version":1,"tree":{"key":")") +
               QByteArray(17 << 20, 'k') + "\"}}"
        << "longer than 16 MB";
    QTest::newRow("missing") << QByteArray() << "can't be read";
}

void TestFormMain::badListingChangesNothing()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QTemporaryDir tmp;
    QFile(tmp.path() + "/a.txt").open(QIODevice::WriteOnly);
    QVERIFY(w->Dir1->setPath(QFile::encodeName(tmp.path()).toStdString()));
    search();
    const QStringList before = nodes();
    const QString status = w->statusText();
    const QString path = tmp.path() + "/listing.json";
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    for (const bool compare : {false, true}) {
        QString shown;
        QTimer::singleShot(0, this, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->accept();
            }
        });
        QVERIFY(!(compare ? w->compareWithListing(path) : w->openListing(path)));
        QVERIFY2(shown.contains(message), qPrintable(shown));
        QCOMPARE(nodes(), before);
        QCOMPARE(w->statusText(), status);
        QCOMPARE(w->windowTitle(), QStringLiteral("Quillmap Printer - ") + tmp.path());
        QVERIFY(w->changes().empty());
    }
}

// File > Filters...: what it takes reaches the next search and the status bar's tool tip, a
// field it can't take is told, and a comparison with a listing made without them says so.
void TestFormMain::filtersReachTheSearch()
{
    QTemporaryDir tmp;
    QVERIFY(QDir(tmp.path()).mkpath("node_modules"));
    for (const char* f : {"/node_modules/m.js", "/.env", "/a.txt"})
        QFile(tmp.path() + f).open(QIODevice::WriteOnly);
    QVERIFY(w->Dir1->setPath(QFile::encodeName(tmp.path()).toStdString()));
    search();
    QCOMPARE(w->statusText(), QStringLiteral("Dirs = 1 Files = 2"));
    const QString plain = tmp.path() + "/plain.json";
    saveListing(plain);

    auto* dialog = w->findChild<FiltersDialog*>();
    QVERIFY(dialog);
    QCOMPARE(w->MNU_Filters->text(), QStringLiteral("&Filters..."));
    QVERIFY(w->MNU_File->actions().contains(w->MNU_Filters));
    dialog->minSizeBox()->setText(QStringLiteral("3Q"));
    ScanFilters read;
    QVERIFY(dialog->read(read, 0).contains(QStringLiteral("3Q is not a size")));
    ScanFilters chosen;
    chosen.exclude = QStringList{QStringLiteral("node_modules")};
    chosen.hidden = true;
    dialog->setChoices(chosen);
    QVERIFY2(w->StatusBar1->toolTip().contains(
                 QStringLiteral("next search: exclude: node_modules; hidden entries")),
             qPrintable(w->StatusBar1->toolTip()));

    search();
    QCOMPARE(w->statusText(), QStringLiteral("Dirs = 0 Files = 3"));
    const std::string root = QFile::encodeName(tmp.path()).toStdString() + "/";
    QVERIFY(w->store().find(root + ".env") != NodeStore::npos);
    QVERIFY(w->store().find(root + "node_modules/") == NodeStore::npos);
    QVERIFY(w->lastSearch().filters.sameChoices(chosen));

    QString shown;
    QTimer::singleShot(0, this, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    QVERIFY(w->compareWithListing(plain));
    QVERIFY2(shown.contains(QStringLiteral("different filters")) &&
                 shown.contains(QStringLiteral("Compared with: none")),
             qPrintable(shown));
}

namespace {

// The section of the tree view's header that shows `column`, or -1.
int sectionOf(FormMain& w, NodeColumns::Column column)
{
    for (int section = 0; section < w.model().columnCount(); ++section)
        if (w.model().columnAt(section) == column)
            return section;
    return -1;
}

void clickHeader(FormMain& w, int section)
{
    QHeaderView* header = w.TreeView1->header();
    const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

void touch(const QByteArray& path, int size, std::int64_t modified, mode_t mode = 0644)
{
    const int fd = ::open(path, O_CREAT | O_WRONLY | O_TRUNC, mode);
    QVERIFY(fd >= 0);
    QVERIFY(::write(fd, QByteArray(size, 'x').constData(), size) == size);
    ::close(fd);
    const struct timespec times[2] = {{modified, 0}, {modified, 0}};
    QVERIFY(::utimensat(AT_FDCWD, path, times, 0) == 0);
}

} // namespace

// Each row: the column whose heading is clicked, the order that gives, and the first folder
// and file under the root then.
void TestFormMain::sortByColumnHeader_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    using C = NodeColumns;
    // a: 2 files, 30 bytes; b: a folder, 1 file, 5 bytes; k.txt: 1 byte, read-only, new;
    // m.zip: 100 bytes, old.
    QTest::newRow("name, again: reversed") << int(C::Name) << int(SortKey::Name) << "b"
                                           << "m.zip";
    QTest::newRow("size") << int(C::Size) << int(SortKey::Size) << "b"
                          << "k.txt";
    QTest::newRow("files") << int(C::Files) << int(SortKey::Files) << "b"
                           << "k.txt";
    QTest::newRow("folders") << int(C::Folders) << int(SortKey::Folders) << "a"
                             << "k.txt";
    QTest::newRow("created") << int(C::Created) << int(SortKey::Created) << "a"
                             << "k.txt";
    QTest::newRow("accessed") << int(C::Accessed) << int(SortKey::Accessed) << "a"
                              << "m.zip";
    QTest::newRow("modified") << int(C::Modified) << int(SortKey::Modified) << "a"
                              << "m.zip";
    QTest::newRow("attributes") << int(C::Attributes) << int(SortKey::Attributes) << "a"
                                << "m.zip";
    QTest::newRow("type") << int(C::Type) << int(SortKey::Type) << "a"
                          << "k.txt";
}

void TestFormMain::sortByColumnHeader()
{
    QFETCH(int, column);
    QFETCH(int, key);
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QTemporaryDir tmp;
    const QByteArray root = QFile::encodeName(tmp.path());
    for (const char* d : {"/a", "/b", "/b/c"})
        ::mkdir(root + d, 0755);
    touch(root + "/a/1", 10, 2'000'000'000);
    touch(root + "/a/2", 20, 2'000'000'000);
    touch(root + "/b/c/3", 5, 2'000'000'000);
    touch(root + "/k.txt", 1, 1'900'000'000, 0444);
    touch(root + "/m.zip", 100, 1'000'000'000);
    QVERIFY(w->Dir1->setPath(root.toStdString()));
    w->ListView1->setChecked(1, true); // every detail, so every column
    search();
    const NodeStore& s = w->store();
    const QModelIndex a = w->model().indexOf(s.find(root.toStdString() + "/a/"));
    w->TreeView1->expand(a);
    w->TreeView1->setCurrentIndex(w->model().indexOf(s.find(root.toStdString() + "/a/2")));
    QCOMPARE(w->document().order(), SortOrder()); // the described order first

    const auto firstOf = [&](bool folders) {
        const QModelIndex top = w->model().index(0, 0);
        for (int row = 0; row < w->model().rowCount(top); ++row) {
            const NodeStore::Id id = w->model().idOf(w->model().index(row, 0, top));
            if (s.isFolder(id) == folders)
                return QString::fromStdString(std::string(s.name(id)));
        }
        return QString();
    };
    const int section = sectionOf(*w, NodeColumns::Column(column));
    QVERIFY(section >= 0);
    clickHeader(*w, section);
    const bool reversed = column == NodeColumns::Name; // it was sorted by name already
    QCOMPARE(w->document().order(), (SortOrder{SortKey(key), reversed}));
    QCOMPARE(w->TreeView1->header()->sortIndicatorSection(), section);
    QCOMPARE(firstOf(true), folder);
    QCOMPARE(firstOf(false), file);
    // The view keeps its open folders and current node; what prints is what shows.
    QVERIFY(w->TreeView1->isExpanded(w->model().indexOf(s.find(root.toStdString() + "/a/"))));
    QCOMPARE(std::string(s.name(w->model().idOf(w->TreeView1->currentIndex()))), "2");
    const QStringList printed = printout();
    const qsizetype top = printed.indexOf(
        QRegularExpression("\\d+ \\d+ \\d+ " + QRegularExpression::escape(tmp.path() + "/")));
    QVERIFY(top > 0);
    QVERIFY2(printed.value(top + 1).endsWith(u' ' + folder), qPrintable(printed.value(top + 1)));
    clickHeader(*w, section);
    QCOMPARE(w->document().order(), (SortOrder{SortKey(key), !reversed}));
    // The described order is one click away, and stays for the next search.
    clickHeader(*w, sectionOf(*w, NodeColumns::Name));
    if (w->document().order() != SortOrder())
        clickHeader(*w, sectionOf(*w, NodeColumns::Name));
    QCOMPARE(w->document().order(), SortOrder());
    QCOMPARE(firstOf(true), QStringLiteral("a"));
    clickHeader(*w, section);
    search();
    QCOMPARE(w->document().order(), (SortOrder{SortKey(key), reversed}));
}

void TestFormMain::findKeepsMatchesAndRestoresTheTree()
{
    QTemporaryDir tmp;
    makeBushyTree(tmp.path());
    QVERIFY(w->Dir1->setPath(QFile::encodeName(tmp.path()).toStdString()));
    search();
    NodeModel& model = w->model();
    const NodeStore& s = w->store();
    const std::string root = QFile::encodeName(tmp.path()).toStdString();
    const auto index = [&](const std::string& key) { return model.indexOf(s.find(root + key)); };
    w->TreeView1->expand(index("/d03/"));
    w->TreeView1->setCurrentIndex(index("/d03/f05.txt"));

    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w->TreeView1, Qt::Key_F, Qt::ControlModifier);
    FindBar& bar = w->findBar();
    QVERIFY(bar.isOpen());
    QCOMPARE(QApplication::focusWidget(), bar.textBox());
    QTest::keyClicks(bar.textBox(), "F17");
    // Only the matches and the folders that lead to them, opened.
    QCOMPARE(bar.countText(), QStringLiteral("30 matches"));
    const QModelIndex top = model.index(0, 0);
    QCOMPARE(model.rowCount(top), 30);
    for (int row = 0; row < 30; ++row) {
        const QModelIndex folder = model.index(row, 0, top);
        QVERIFY(w->TreeView1->isExpanded(folder));
        QCOMPARE(model.rowCount(folder), 1);
        QCOMPARE(model.index(0, 0, folder).data().toString(), QStringLiteral("f17.txt"));
    }
    QTest::keyClicks(bar.textBox(), "x");
    QCOMPARE(bar.countText(), QStringLiteral("No matches"));
    QCOMPARE(model.rowCount(), 0);
    QTest::keyClick(bar.textBox(), Qt::Key_Backspace);
    QCOMPARE(bar.countText(), QStringLiteral("30 matches"));

    // Esc: the whole tree where it was.
    QTest::keyClick(bar.textBox(), Qt::Key_Escape);
    QVERIFY(!bar.isOpen());
    QVERIFY(!model.isFiltered());
    QCOMPARE(model.rowCount(model.index(0, 0)), 30);
    QVERIFY(w->TreeView1->isExpanded(index("/d03/")));
    QVERIFY(!w->TreeView1->isExpanded(index("/d04/")));
    QCOMPARE(w->TreeView1->currentIndex(), index("/d03/f05.txt"));

    // A node picked among the matches is the one shown after Esc.
    w->MNU_Find->trigger();
    QTest::keyClicks(bar.textBox(), "f29");
    w->TreeView1->setCurrentIndex(index("/d10/f29.txt"));
    QTest::keyClick(w->TreeView1, Qt::Key_Escape);
    QVERIFY(!bar.isOpen());
    QCOMPARE(w->TreeView1->currentIndex(), index("/d10/f29.txt"));
    QVERIFY(w->TreeView1->isExpanded(index("/d10/")));
    QVERIFY(w->TreeView1->isExpanded(index("/d03/")));
}

void TestFormMain::nodeMenuCopiesAndSearchesFromHere()
{
    QTemporaryDir tmp;
    QVERIFY(QDir(tmp.path()).mkpath("sub/deeper"));
    QFile(tmp.path() + "/a.txt").open(QIODevice::WriteOnly);
    QFile(tmp.path() + "/sub/b.txt").open(QIODevice::WriteOnly);
    const std::string root = QFile::encodeName(tmp.path()).toStdString();
    QVERIFY(w->Dir1->setPath(root));
    search();
    const NodeStore& s = w->store();
    const QModelIndex sub = w->model().indexOf(s.find(root + "/sub/"));
    const QModelIndex file = w->model().indexOf(s.find(root + "/a.txt"));
    QItemSelectionModel* selection = w->TreeView1->selectionModel();
    selection->select(file, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(sub, QItemSelectionModel::Select | QItemSelectionModel::Rows);

    // The selected nodes' paths, in the order shown, and their lines.
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    w->nodeMenu().copyPath->trigger();
    QCOMPARE(clipboard->text(), tmp.path() + "/sub\n" + tmp.path() + "/a.txt");
    w->nodeMenu().copyLine->trigger();
    QCOMPARE(clipboard->text(), QStringLiteral("sub\na.txt"));
    // Ctrl+C on the tree copies the paths, not the lines.
    clipboard->clear();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
    w->TreeView1->setFocus();
    QTest::keyClick(w->TreeView1, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), tmp.path() + "/sub\n" + tmp.path() + "/a.txt");

    // Search From Here makes the folder the start folder, and the title says so.
    w->TreeView1->setCurrentIndex(sub);
    w->nodeMenu().searchFromHere->trigger();
    QCOMPARE(w->Dir1->path(), root + "/sub");
    QCOMPARE(w->windowTitle(), "Quillmap Printer - " + tmp.path() + "/sub");

    // Expand All Below opens every folder under it; Collapse All Below closes them again.
    w->TreeView1->setCurrentIndex(sub);
    w->nodeMenu().expandBelow->trigger();
    const QModelIndex deeper = w->model().indexOf(s.find(root + "/sub/deeper/"));
    QVERIFY(w->TreeView1->isExpanded(sub));
    w->nodeMenu().collapseBelow->trigger();
    QVERIFY(!w->TreeView1->isExpanded(sub));
    QVERIFY(!w->TreeView1->isExpanded(deeper));

    // Print This Branch prints that folder's subtree alone, titled with its path.
    const auto print = NewBranchPrint(w->store(), s.find(root + "/sub/"));
    RecordingPrinterDevice device;
    QVERIFY(print->PrintTvw(device));
    QStringList texts;
    for (const auto& op : device.ops())
        if (op.kind == RecordingPrinterDevice::Op::Text)
            texts << op.text;
    QCOMPARE(texts.first(), "View of " + tmp.path() + "/sub/");
    QVERIFY(texts.contains("b.txt") && texts.contains("deeper") && !texts.contains("a.txt"));
}

// Each row: what is typed in Go to Folder (the folder list being on /srv/data), and the folder
// that becomes the start folder.
void TestFormMain::goToFolderTakesTypedPaths_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("folder");
    QTest::newRow("absolute") << "/usr/share"
                              << "/usr/share";
    QTest::newRow("relative to the folder shown") << "sub/deeper"
                                                  << "/srv/data/sub/deeper";
    QTest::newRow("up and doubled slashes") << " /srv//data/../other/ "
                                            << "/srv/other";
    QTest::newRow("home") << "~/Photos" << QDir::homePath() + "/Photos";
    QTest::newRow("nothing") << ""
                             << "";
}

void TestFormMain::goToFolderTakesTypedPaths()
{
    QFETCH(QString, typed);
    QFETCH(QString, folder);
    GoToFolderDialog dialog("/srv/data");
    dialog.pathBox()->setText(typed);
    QCOMPARE(QString::fromStdString(dialog.folder()), folder);
}

void TestFormMain::droppedFolderBecomesTheStartFolder_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<bool>("taken");
    QTest::newRow("a folder") << QStringList({"sub"}) << true;
    QTest::newRow("a file") << QStringList({"a.txt"}) << false;
    QTest::newRow("two folders") << QStringList({"sub", "sub"}) << false;
    QTest::newRow("a folder gone") << QStringList({"gone"}) << false;
    QTest::newRow("a web page") << QStringList({"https://example.org/"}) << false;
}

void TestFormMain::droppedFolderBecomesTheStartFolder()
{
    QFETCH(QStringList, urls);
    QFETCH(bool, taken);
    QTemporaryDir tmp;
    QVERIFY(QDir(tmp.path()).mkpath("sub"));
    QFile(tmp.path() + "/a.txt").open(QIODevice::WriteOnly);
    const std::string before = w->Dir1->path();
    QMimeData data;
    QList<QUrl> list;
    for (const QString& url : urls)
        list << (url.contains(u':') ? QUrl(url) : QUrl::fromLocalFile(tmp.filePath(url)));
    data.setUrls(list);
    QDragEnterEvent enter(QPoint(20, 100), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(w, &enter);
    QCOMPARE(enter.isAccepted(), taken);
    QDropEvent drop(QPointF(20, 100), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(w, &drop);
    QCOMPARE(w->Dir1->path(),
             taken ? QFile::encodeName(tmp.filePath("sub")).toStdString() : before);
}

void TestFormMain::unreadableFolderIsMarked()
{
    QTemporaryDir tmp;
    QVERIFY(QDir(tmp.path()).mkpath("sealed"));
    QVERIFY(QDir(tmp.path()).mkpath("open"));
    const std::string root = QFile::encodeName(tmp.path()).toStdString();
    QVERIFY(w->Dir1->setPath(root));
    w->setFileSystem(std::make_shared<SealedFileSystem>());
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->accept();
    });
    closer.start(20);
    search();
    const QModelIndex sealed = w->model().indexOf(w->store().find(root + "/sealed/"));
    const QModelIndex open = w->model().indexOf(w->store().find(root + "/open/"));
    QVERIFY(sealed.isValid() && open.isValid());
    // Both are empty folders; the one that could not be read says so.
    QVERIFY2(sealed.data(Qt::ToolTipRole).toString().contains("This folder could not be read: "),
             qPrintable(sealed.data(Qt::ToolTipRole).toString()));
    QVERIFY(!open.data(Qt::ToolTipRole).toString().contains("could not be read"));
    const auto icon = [](const QModelIndex& i) {
        return i.data(Qt::DecorationRole).value<QIcon>().pixmap(16).toImage();
    };
    QVERIFY(icon(sealed) != icon(open));
    QVERIFY(!icon(open).isNull());
}

void TestFormMain::settingsRoundTrip()
{
    QTemporaryDir folder;
    QVERIFY(w->Dir1->setPath(QFile::encodeName(folder.path()).toStdString()));
    w->Combo1->setEditText("3");
    w->Text1->setText("*.txt");
    w->ListView1->setChecked(3, true);
    w->ListView1->setChecked(9, true);
    w->resize(w->size() + QSize(100, 50));
    QTRY_COMPARE(w->centralWidget()->size(), QSize(460, 392));
    w->windowLayout().setColumnExtra(40);
    w->TreeView1->header()->resizeSection(1, 150); // Size, by the user
    w->TreeView1->setSortOrder({SortKey::Size, true});
    w->MNU_AsPrinted->trigger();
    QVERIFY(w->close());
    delete w;

    w = new FormMain;
    w->setExitHandler([this] { ++exits; });
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->Dir1->path(), QFile::encodeName(folder.path()).toStdString());
    QCOMPARE(w->windowTitle(), "Quillmap Printer - " + folder.path());
    QCOMPARE(w->Combo1->currentText(), QStringLiteral("3"));
    QCOMPARE(w->Text1->text(), QStringLiteral("*.txt"));
    for (int i = 1; i <= 12; ++i)
        QCOMPARE(w->ListView1->isChecked(i), i == 3 || i == 9);
    QTRY_COMPARE(w->centralWidget()->size(), QSize(460, 392));
    QCOMPARE(w->windowLayout().columnExtra(), 40);
    QCOMPARE(w->TreeView1->columnWidths().value("size"), 150);
    QCOMPARE(w->TreeView1->sortOrder(), (SortOrder{SortKey::Size, true}));
    QVERIFY(w->TreeView1->asPrinted());
    QVERIFY(w->MNU_AsPrinted->isChecked());
}

void TestFormMain::brokenSettingsMeanDefaults_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("folderInItsPlace");
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += char((i * 7919) % 251);
    QTest::newRow("garbage") << garbage << false;
    QTest::newRow("values of the wrong kind or out of range")
        << QByteArray("[window]\ngeometry=nonsense\ncolumnExtra=-5\n"
                      "[search]\nticks=99999\nfolder=/no/such/folder\nlevels=@Variant(\\0\\0)\n"
                      "fileTypes=@ByteArray(x)\n[tree]\nsortBy=colour\nsortReverse=maybe\n"
                      "asPrinted=2\n[columns]\nsize=0\nname=-1\n")
        << false;
    QTest::newRow("a folder in its place") << QByteArray() << true;
}

void TestFormMain::brokenSettingsMeanDefaults()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, folderInItsPlace);
    delete w;
    w = nullptr;
    QVERIFY(QDir().mkpath(m_settings.path() + "/quillmap"));
    if (folderInItsPlace) {
        QVERIFY(QDir().mkpath(settingsFile()));
    } else {
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    w = new FormMain;
    w->setExitHandler([this] { ++exits; });
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCOMPARE(w->centralWidget()->size(), QSize(360, 342));
    QCOMPARE(w->TreeView1->geometry(), QRect(8, 64, 193, 249));
    QCOMPARE(w->Dir1->path(), QFile::encodeName(QDir::currentPath()).toStdString());
    QCOMPARE(w->Combo1->currentText(), QStringLiteral("ALL"));
    QCOMPARE(w->Text1->text(), QStringLiteral("*.*"));
    for (int i = 1; i <= 12; ++i)
        QVERIFY(!w->ListView1->isChecked(i));
    QCOMPARE(w->TreeView1->sortOrder(), SortOrder());
    QVERIFY(!w->TreeView1->asPrinted());
    QVERIFY(w->TreeView1->columnWidths().isEmpty());
    // Closing saves in place of a damaged file where it can; it never fails.
    QVERIFY(w->close());
    if (folderInItsPlace)
        QVERIFY(QDir(settingsFile()).removeRecursively());
    else
        QCOMPARE(QSettings(settingsFile(), QSettings::IniFormat).value("search/fileTypes"),
                 QVariant("*.*"));
}

QTEST_MAIN(TestFormMain)
#include "tst_FormMain.moc"