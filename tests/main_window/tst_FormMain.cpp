#include "about/frmAbout.h"
#include "listing/ListingJsonWriter.h"
#include "main_window/FiltersDialog.h"
#include "main_window/FormMain.h"
#include "main_window/NodeModel.h"
#include "main_window/SearchMessages.h"
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

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

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
    void layoutStaysOnResize();
    void tabOrder();
    void menus();
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

    FormMain* w = nullptr;
    int exits = 0;
    std::shared_ptr<GateFileSystem> m_gate;
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
    QVERIFY(!QApplication::overrideCursor()); // start-up and commands restore the pointer
}

void TestFormMain::windowFrame()
{
    QCOMPARE(w->windowTitle(), QStringLiteral("Quillmap Printer "));
    QCOMPARE(w->centralWidget()->size(), QSize(360, 342));
    const Qt::WindowFlags flags = w->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
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

void TestFormMain::layoutStaysOnResize()
{
    // The controls keep their places; the toolbar and the status bar stay docked to the top
    // and bottom edges, as wide as the window.
    const QRect tree = w->TreeView1->geometry();
    const QRect options = w->ListView1->geometry();
    const QSize start = w->size();
    for (const QSize grow : {QSize(200, 150), QSize(-40, -60)}) {
        w->resize(start + grow);
        QTRY_COMPARE(w->centralWidget()->size(), QSize(360, 342) + grow);
        const QSize client = w->centralWidget()->size();
        QCOMPARE(w->TreeView1->geometry(), tree);
        QCOMPARE(w->ListView1->geometry(), options);
        QCOMPARE(w->Toolbar1->geometry(), QRect(0, 0, client.width(), 58));
        QCOMPARE(w->StatusBar1->geometry(), QRect(0, client.height() - 25, client.width(), 25));
    }
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
    QCOMPARE(top.size(), 2);
    QCOMPARE(top[0]->text(), QStringLiteral("File"));
    QCOMPARE(top[0]->menu(), w->MNU_File);
    QCOMPARE(top[1], w->MNU_About);
    QCOMPARE(w->MNU_About->text(), QStringLiteral("About"));
    QVERIFY(!w->MNU_About->menu());

    // Search, Print and Exit in that order, Exit last (print variants may stand between).
    const QList<QAction*> items = w->MNU_File->actions();
    QVERIFY(items.size() >= 3);
    QCOMPARE(items.first(), w->MNU_Search);
    QCOMPARE(items[1], w->MNU_Print);
    QCOMPARE(items.last(), w->MNU_Exit);
    QCOMPARE(w->MNU_Search->text(), QStringLiteral("Search"));
    QCOMPARE(w->MNU_Print->text(), QStringLiteral("Print"));
    QCOMPARE(w->MNU_Exit->text(), QStringLiteral("Exit"));
    QCOMPARE(items.indexOf(w->MNU_Export), items.indexOf(w->MNU_SaveAsPdf) + 1);
    QCOMPARE(w->MNU_Export->text(), QStringLiteral("Export..."));
    for (QAction* a : items + top) {
        QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->text()));
        QVERIFY2(!a->text().contains('&'), qPrintable(a->text()));
    }
    for (const char* name : {"MNU_File", "MNU_Search", "MNU_Print", "MNU_Exit", "MNU_About"})
        QVERIFY2(w->findChild<QObject*>(name), name);

    w->MNU_Exit->trigger();
    QCOMPARE(exits, 1);
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
    // With every detail ticked a file line is far wider than the tree view: the view must
    // scroll sideways to it instead of cutting the details off.
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
    QCOMPARE(w->windowTitle(), QStringLiteral("Quillmap Printer "));
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
        QCOMPARE(w->windowTitle(), QStringLiteral("Quillmap Printer "));
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
    QCOMPARE(w->MNU_Filters->text(), QStringLiteral("Filters..."));
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

QTEST_MAIN(TestFormMain)
#include "tst_FormMain.moc"