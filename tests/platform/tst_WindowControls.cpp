#include "platform/controls/DriveList.h"
#include "platform/controls/FolderList.h"
#include "platform/controls/OptionsList.h"
#include "platform/controls/StatusBar.h"
#include "platform/controls/ToolbarImages.h"
#include "platform/controls/WindowScanControls.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmap;

Q_DECLARE_METATYPE(std::string)

class TestWindowControls : public QObject
{
    Q_OBJECT
private slots:
    void mountInfo();
    void volumeOf_data();
    void volumeOf();
    void folderList();
    void folderListOpensOnlyOnActivation();
    void folderListKeepsPathWhenUnreadable();
    void normalise_data();
    void normalise();
    void optionsListReportsChecksOnly();
    void statusBarPanels();
    void scanControlsReadTheControls();
    void toolbarImages();
};

void TestWindowControls::mountInfo()
{
    const QByteArray text = "21 1 0:19 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                            "22 21 0:5 / /proc rw,nosuid - proc proc rw\n"
                            "23 21 0:20 / /sys rw - sysfs sysfs rw\n"
                            "24 23 0:21 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
                            "25 21 0:6 / /dev rw - devtmpfs udev rw\n"
                            "26 21 0:22 / /run rw - tmpfs tmpfs rw\n"
                            "27 21 8:2 / /home rw shared:5 master:1 - ext4 /dev/sda2 rw\n"
                            "28 26 8:17 / /run/media/ann/USB\\040STICK rw - vfat /dev/sdb1 rw\n"
                            "29 21 0:30 / /tmp rw - tmpfs tmpfs rw\n"
                            "30 21 8:3 / /home rw - xfs /dev/sda3 rw\n"
                            "garbage line\n"
                            "31 21 0:31 / /mnt/tab\\011name rw - nfs server:/x rw\n";
    const auto volumes = DriveList::parseMountInfo(text);
    std::vector<std::string> mounts;
    for (const auto& v : volumes)
        mounts.push_back(v.mountPoint);
    const std::vector<std::string> expected = {"/", "/home", "/mnt/tab\tname",
                                               "/run/media/ann/USB STICK", "/tmp"};
    QCOMPARE(mounts, expected);
    // The later mount on /home hides the earlier one.
    QCOMPARE(volumes[1].fsType, QStringLiteral("xfs"));
    QCOMPARE(volumes[1].source, QStringLiteral("/dev/sda3"));
}

void TestWindowControls::volumeOf_data()
{
    QTest::addColumn<std::string>("path");
    QTest::addColumn<int>("volume");
    QTest::newRow("root") << std::string("/") << 0;
    QTest::newRow("mount point itself") << std::string("/home") << 1;
    QTest::newRow("inside") << std::string("/home/ann/x") << 1;
    QTest::newRow("same prefix, other folder") << std::string("/homework") << 0;
    QTest::newRow("nested mount") << std::string("/home/ann/usb/file") << 2;
}

void TestWindowControls::volumeOf()
{
    QFETCH(std::string, path);
    QFETCH(int, volume);
    const std::vector<DriveList::Volume> volumes = {
        {"/", {}, {}}, {"/home", {}, {}}, {"/home/ann/usb", {}, {}}};
    QCOMPARE(DriveList::volumeIndexOf(volumes, path), volume);
}

namespace {

void makeTree(const QString& root)
{
    QDir dir(root);
    QVERIFY(dir.mkpath("beta"));
    QVERIFY(dir.mkpath("Alpha"));
    QVERIFY(dir.mkpath("gamma/inner"));
    QVERIFY(dir.mkpath(".hidden"));
    QFile file(root + "/file.txt");
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(root + "/beta", root + "/link-to-beta"));
}

QStringList rowTexts(const FolderList& list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts << list.item(i)->text();
    return texts;
}

} // namespace

void TestWindowControls::folderList()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    makeTree(tmp.path());
    FolderList list;
    QSignalSpy changed(&list, &FolderList::pathChanged);
    const std::string root = QFile::encodeName(tmp.path()).toStdString();
    QVERIFY(list.setPath(root + "/"));
    QCOMPARE(list.path(), root);
    QCOMPARE(changed.count(), 1);

    // Ancestors from "/" down, then the subfolders in scan order; no files, no hidden folders.
    QStringList expected = {"/"};
    expected << QDir::fromNativeSeparators(tmp.path()).split('/', Qt::SkipEmptyParts);
    QCOMPARE(list.ancestorCount(), expected.size());
    expected << "Alpha"
             << "beta"
             << "gamma"
             << "link-to-beta";
    QCOMPARE(rowTexts(list), expected);
    QCOMPARE(list.currentRow(), list.ancestorCount() - 1);
    QCOMPARE(list.entryPath(list.ancestorCount()), root + "/Alpha");
    QCOMPARE(list.entryPath(0), std::string("/"));
}

void TestWindowControls::folderListOpensOnlyOnActivation()
{
    QTemporaryDir tmp;
    makeTree(tmp.path());
    FolderList list;
    list.resize(200, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const std::string root = QFile::encodeName(tmp.path()).toStdString();
    QVERIFY(list.setPath(root));
    const int gamma = list.ancestorCount() + 2;

    // Highlighting an entry changes nothing.
    list.setCurrentRow(gamma);
    QCOMPARE(list.path(), root);

    // Enter opens the highlighted entry.
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(list.path(), root + "/gamma");
    QCOMPARE(list.item(list.count() - 1)->text(), QStringLiteral("inner"));

    // A double click on an ancestor opens it.
    const int parentRow = list.ancestorCount() - 2;
    list.scrollToItem(list.item(parentRow));
    const QRect rect = list.visualItemRect(list.item(parentRow));
    QTest::mousePress(list.viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(list.path(), root + "/gamma"); // one click only highlights
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(list.path(), root);

    // A link to a folder opens under its own name.
    list.setCurrentRow(list.count() - 1);
    QTest::keyClick(&list, Qt::Key_Enter);
    QCOMPARE(list.path(), root + "/link-to-beta");
}

void TestWindowControls::folderListKeepsPathWhenUnreadable()
{
    QTemporaryDir tmp;
    makeTree(tmp.path());
    FolderList list;
    const std::string root = QFile::encodeName(tmp.path()).toStdString();
    QVERIFY(list.setPath(root));
    const QStringList before = rowTexts(list);
    QSignalSpy changed(&list, &FolderList::pathChanged);
    QVERIFY(!list.setPath(root + "/no-such-folder"));
    QVERIFY(!list.setPath(root + "/file.txt"));
    QVERIFY(!list.lastError().isEmpty());
    QCOMPARE(list.path(), root);
    QCOMPARE(rowTexts(list), before);
    QCOMPARE(changed.count(), 0);

    // An entry that vanished since it was listed: opening it reports and keeps the path.
    QSignalSpy failed(&list, &FolderList::openFailed);
    QVERIFY(QDir(tmp.path() + "/Alpha").removeRecursively());
    list.setCurrentRow(list.ancestorCount());
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(list.path(), root);
    // The current folder stays the highlighted one, and the tool tip names it in full.
    QCOMPARE(list.currentRow(), list.ancestorCount() - 1);
    QCOMPARE(list.toolTip(), tmp.path());
}

void TestWindowControls::normalise_data()
{
    QTest::addColumn<std::string>("in");
    QTest::addColumn<std::string>("out");
    QTest::newRow("root") << std::string("/") << std::string("/");
    QTest::newRow("trailing slash") << std::string("/a/b/") << std::string("/a/b");
    QTest::newRow("doubled") << std::string("//a//b") << std::string("/a/b");
    QTest::newRow("dots") << std::string("/a/./b/../c") << std::string("/a/c");
    QTest::newRow("above root") << std::string("/../..") << std::string("/");
}

void TestWindowControls::normalise()
{
    QFETCH(std::string, in);
    QFETCH(std::string, out);
    QCOMPARE(FolderList::normalise(in), out);
}

void TestWindowControls::optionsListReportsChecksOnly()
{
    OptionsList list;
    list.setColumn("ch1", "Show", 2000);
    QCOMPARE(list.columnKey(), QStringLiteral("ch1"));
    QCOMPARE(list.columnHeading(), QStringLiteral("Show"));
    QCOMPARE(list.columnWidth(0), 133);
    QSignalSpy spy(&list, &OptionsList::itemCheck);
    QCOMPARE(list.addItem("a", "ALL"), 1);
    QCOMPARE(list.addItem("b", "Archive"), 2);
    QCOMPARE(spy.count(), 0); // adding items is no check
    QCOMPARE(list.itemKey(2), QStringLiteral("b"));

    list.setChecked(2, true);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.takeFirst().at(0).toInt(), 2);
    list.setChecked(2, true); // no change, no event
    list.topLevelItem(1)->setText(0, "Archive!");
    QCOMPARE(spy.count(), 0);
    QVERIFY(list.isChecked(2));
    QVERIFY(!list.isChecked(1));
    QVERIFY(!list.isChecked(3)); // no such item
    list.setChecked(2, false);
    QCOMPARE(spy.count(), 1);
    QVERIFY(!list.isChecked(2));
}

void TestWindowControls::statusBarPanels()
{
    StatusBar bar;
    bar.resize(360, 25);
    bar.show();
    QCOMPARE(bar.panelRect(1).width(), 160);
    QCOMPARE(bar.panelRect(2).width(), 96);
    QCOMPARE(bar.panelRect(3).width(), 96);
    QCOMPARE(bar.panelRect(2).left(), 160);
    QCOMPARE(bar.panelRect(3).left(), 256);
    QVERIFY(bar.panelText(1).isEmpty());
    bar.setPanelText(1, "Dirs = 1 Files = 2");
    QCOMPARE(bar.panelText(1), QStringLiteral("Dirs = 1 Files = 2"));
    // Wider than described, panel 1 takes the room; the clock keeps its panels.
    bar.resize(560, 25);
    QCOMPARE(bar.panelRect(1).width(), 360);
    QCOMPARE(bar.panelRect(3).left(), 456);
    // A link: a click on it is told, and plain text again ends it.
    QSignalSpy clicked(&bar, &StatusBar::linkActivated);
    bar.setPanelLink(1, "Exported to /x.html");
    QVERIFY(bar.isPanelLink(1));
    QTest::mouseClick(bar.childAt(bar.panelRect(1).center()), Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.takeFirst().at(0).toInt(), 1);
    bar.setPanelText(1, "Dirs = 1 Files = 2");
    QVERIFY(!bar.isPanelLink(1));
    QTest::mouseClick(bar.childAt(bar.panelRect(1).center()), Qt::LeftButton);
    QCOMPARE(clicked.count(), 0);

    // Panels 2 and 3 show the date and time as the locale writes them; retry once in case the
    // clock turned over between the two readings.
    const QLocale locale;
    for (int attempt = 0; attempt < 2; ++attempt) {
        bar.refreshClock();
        const QDateTime now = QDateTime::currentDateTime();
        if (bar.panelText(3) == locale.toString(now.time(), QLocale::ShortFormat)) {
            QCOMPARE(bar.panelText(2), locale.toString(now.date(), QLocale::ShortFormat));
            return;
        }
    }
    QFAIL("the time panel does not show the current time");
}

void TestWindowControls::scanControlsReadTheControls()
{
    QTemporaryDir tmp;
    FolderList dir1;
    QVERIFY(dir1.setPath(QFile::encodeName(tmp.path()).toStdString()));
    QComboBox combo1;
    combo1.setEditable(true);
    combo1.addItems({"ALL", "1"});
    combo1.setEditText("7x");
    QLineEdit text1("*.txt");
    OptionsList options;
    options.setColumn("ch1", "Show", 2000);
    for (int i = 0; i < 12; ++i)
        options.addItem(QString(QChar('a' + i)), QString::number(i));
    options.setChecked(3, true);
    WindowScanControls controls(dir1, combo1, text1, options);
    // Read once: what the user changes afterwards is not what the running scan sees.
    combo1.setEditText("ALL");
    text1.setText("*.*");
    options.setChecked(3, false);
    options.setChecked(1, true);
    QCOMPARE(controls.startFolder(), QFile::encodeName(tmp.path()).toStdString());
    QCOMPARE(controls.levelsText(), QStringLiteral("7x"));
    QCOMPARE(controls.fileTypesText(), QStringLiteral("*.txt"));
    QVERIFY(controls.isTicked(3));
    QVERIFY(!controls.isTicked(1));
    QVERIFY(!controls.isTicked(0) && !controls.isTicked(13));
}

void TestWindowControls::toolbarImages()
{
    for (int i = 1; i <= ToolbarImages::kCount; ++i) {
        const QImage img = ToolbarImages::image(i);
        QCOMPARE(img.size(), QSize(32, 32));
        // Something is drawn, and each picture differs from the others.
        QVERIFY(img.pixelColor(16, 16).alpha() > 0 || img.pixelColor(8, 8).alpha() > 0);
        for (int j = 1; j < i; ++j)
            QVERIFY(img != ToolbarImages::image(j));
    }
    QVERIFY(ToolbarImages::image(0).isNull());
    QVERIFY(ToolbarImages::image(4).isNull());
}

QTEST_MAIN(TestWindowControls)
#include "tst_WindowControls.moc"
