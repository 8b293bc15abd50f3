// The walk over real fixture trees, and over an injected file system for the failures.
#include "tests/common/ScanFixture.h"

#include "platform/files/PosixFileSystem.h"
#include "scan/ScanFilters.h"
#include "scan/SearchDir.h"
#include "support/SystemErrorText.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <pthread.h>
#include <set>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/statfs.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <utility>

using namespace quillmap;
using namespace quillmap::test;

Q_DECLARE_METATYPE(quillmap::ScanFilters)

namespace {

// The keys of the nodes below the root, relative to `top` (as git names them: a folder's without
// its "/").
QStringList pathsBelow(const NodeStore& store, const std::string& top, bool asGit = false)
{
    QStringList paths;
    for (NodeStore::Id id = 1; id < store.size(); ++id) {
        std::string key = store.key(id);
        if (asGit && key.back() == '/')
            key.pop_back();
        paths << QString::fromStdString(key.substr(top.size()));
    }
    return paths;
}

ScanFilters filtersOf(const QStringList& exclude, bool hidden = false)
{
    ScanFilters f;
    f.exclude = exclude;
    f.hidden = hidden;
    return f;
}

// The real file system with failures and changes injected by entry name.
class InjectingFileSystem : public PosixFileSystem
{
public:
    std::map<std::string, int> openErrors;       // subfolder name -> errno
    std::map<std::string, int> statErrors;       // entry name -> errno
    std::map<std::string, int> followErrors;     // entry name -> errno when a link is followed
    std::function<void(const char*)> beforeOpen; // called before a subfolder is opened
    bool hideKinds = false; // the enumeration tells no kinds, as some file systems do

    int readFolder(Handle folder, FolderListing& out) override
    {
        if (!hideKinds)
            return PosixFileSystem::readFolder(folder, out);
        FolderListing real;
        const int error = PosixFileSystem::readFolder(folder, real);
        real.sortByName();
        for (std::size_t i = 0; i < real.size(); ++i)
            out.append(real.name(i), FolderListing::Kind::Unknown);
        return error;
    }

    int openSubfolder(Handle parent, const char* name, Handle& folder) override
    {
        if (beforeOpen)
            beforeOpen(name);
        if (auto it = openErrors.find(name); it != openErrors.end())
            return it->second;
        return PosixFileSystem::openSubfolder(parent, name, folder);
    }
    int stat(Handle folder, const char* name, bool follow, FileStat& out) override
    {
        if (auto it = statErrors.find(name); it != statErrors.end())
            return it->second;
        if (auto it = followErrors.find(name); follow && it != followErrors.end())
            return it->second;
        return PosixFileSystem::stat(folder, name, follow, out);
    }
};

// A FUSE mount of a folder through bindfs, its daemon a child of this process, so that a test
// can take it away mid-scan. Ends the mount (and the daemon) when it goes.
class FuseMount
{
public:
    FuseMount(const std::string& source, const std::string& target) : m_target(target)
    {
        const QString bindfs = QStandardPaths::findExecutable(QStringLiteral("bindfs"));
        if (bindfs.isEmpty()) {
            m_why = QStringLiteral("bindfs is not installed (bash scripts/setup --tests)");
            return;
        }
        ::mkdir(target.c_str(), 0755);
        const std::string program = bindfs.toStdString();
        m_daemon = ::fork();
        if (m_daemon == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(program.c_str(), program.c_str(), "-f", source.c_str(), target.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Mounted once the target is a FUSE file system; not at all if the daemon gave up.
        for (int i = 0; i < 200; ++i) {
            struct statfs fs;
            if (::statfs(target.c_str(), &fs) == 0 && fs.f_type == kFuseMagic)
                return;
            int status = 0;
            if (::waitpid(m_daemon, &status, WNOHANG) == m_daemon) {
                m_daemon = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        m_why = QStringLiteral("FUSE is not available here (bindfs could not mount)");
        kill();
    }
    ~FuseMount()
    {
        unmount();
        kill();
    }
    FuseMount(const FuseMount&) = delete;
    FuseMount& operator=(const FuseMount&) = delete;

    // Empty when mounted, else why not.
    const QString& why() const { return m_why; }
    // The daemon killed: the mount is left without its server.
    void kill()
    {
        if (m_daemon > 0) {
            ::kill(m_daemon, SIGKILL);
            ::waitpid(m_daemon, nullptr, 0);
            m_daemon = -1;
        }
    }
    void unmount()
    {
        if (!m_why.isEmpty() || !std::exchange(m_mounted, false))
            return;
        if (QProcess::execute(QStringLiteral("fusermount3"),
                              {QStringLiteral("-uz"), QString::fromStdString(m_target)}) != 0)
            ::umount2(m_target.c_str(), MNT_DETACH);
    }

private:
    static constexpr unsigned long kFuseMagic = 0x65735546UL;
    std::string m_target;
    pid_t m_daemon = -1;
    bool m_mounted = true;
    QString m_why;
};

} // namespace

class TestSearchDir : public QObject
{
    Q_OBJECT

private:
    static constexpr std::int64_t kWhen = 1'700'000'000;
    QTemporaryDir m_temp;
    int m_serial = 0;

    // A fresh fixture folder; returns its path with a trailing "/".
    std::string fixture(const QStringList& entries)
    {
        const std::string root = m_temp.path().toStdString() + "/t" + std::to_string(++m_serial);
        ::mkdir(root.c_str(), 0755);
        makeTree(root, entries);
        return root + "/";
    }

    ScanReport scan(TestControls& c, NodeStore& store, const std::string& root,
                    FileSystem* fs = nullptr)
    {
        c.folder = root;
        c.store = &store;
        PosixFileSystem real;
        return SearchDir(c, store, fs ? *fs : real);
    }

private slots:
    void workedExample()
    {
        const std::string root = fixture({"Letters/", "a.txt", "Old/", "b.doc", "Letters/Note.txt",
                                          "Old/2005/", "Old/2005/x.txt"});
        TestControls c;
        c.levels = QStringLiteral("1");
        NodeStore store;
        const ScanReport r = scan(c, store, root);
        QCOMPARE(nodeLines(store, root),
                 QStringList({"/|" + QString::fromStdString(root), "Letters/|Letters",
                              "Letters/Note.txt|Note.txt", "Old/|Old", "Old/2005/|2005",
                              "a.txt|a.txt", "b.doc|b.doc"}));
        // Parents, and the status text after each node.
        QCOMPARE(store.parent(1), NodeStore::Id(0));
        QCOMPARE(store.parent(2), NodeStore::Id(1));
        QCOMPARE(store.parent(4), NodeStore::Id(3));
        QCOMPARE(store.parent(5), NodeStore::Id(0));
        const QStringList expected = {"Dirs = 1 Files = 0", "Dirs = 1 Files = 1",
                                      "Dirs = 2 Files = 1", "Dirs = 3 Files = 1",
                                      "Dirs = 3 Files = 2", "Dirs = 3 Files = 3"};
        QCOMPARE(c.shown.size(), std::size_t(1 + expected.size()));
        QCOMPARE(c.shown.front().second, QStringLiteral("Dirs = 0 Files = 0"));
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(c.shown[i + 1].first, std::size_t(i + 2)); // after node i + 1 was added
            QCOMPARE(c.shown[i + 1].second, expected[i]);
        }
        QCOMPARE(r.dirCount, 3.0);
        QCOMPARE(r.fileCount, 3.0);
        QVERIFY(r.problems.isEmpty());
        QCOMPARE(c.busyDepth, 0);
    }

    // A stop asked for mid-scan, in a nested folder pass or in a file pass: the scan ends at
    // once, keeping exactly the nodes added before it, and says it stopped.
    void stopKeepsWhatWasFound_data()
    {
        QTest::addColumn<int>("stopAt");
        QTest::newRow("in a subfolder's file pass") << 3;
        QTest::newRow("in a nested folder pass") << 6;
        QTest::newRow("in the start folder's file pass") << 8;
        QTest::newRow("never") << 0;
    }

    void stopKeepsWhatWasFound()
    {
        QFETCH(int, stopAt);
        const std::string root = fixture({"Letters/", "a.txt", "Old/", "b.doc", "Letters/Note.txt",
                                          "Letters/Other.txt", "Old/2005/", "Old/2005/x.txt"});
        const QStringList all = {"/|" + QString::fromStdString(root),
                                 "Letters/|Letters",
                                 "Letters/Note.txt|Note.txt",
                                 "Letters/Other.txt|Other.txt",
                                 "Old/|Old",
                                 "Old/2005/|2005",
                                 "Old/2005/x.txt|x.txt",
                                 "a.txt|a.txt",
                                 "b.doc|b.doc"};
        TestControls c;
        c.stopAtSize = std::size_t(stopAt);
        NodeStore store;
        const ScanReport r = scan(c, store, root);
        const qsizetype kept = stopAt > 0 ? stopAt : all.size();
        QCOMPARE(nodeLines(store, root), all.mid(0, kept));
        QCOMPARE(r.stopped, stopAt > 0);
        QCOMPARE(r.dirCount + r.fileCount, double(kept - 1));
        QCOMPARE(c.busyDepth, 0);
    }

    void depthRule_data()
    {
        QTest::addColumn<QString>("levels");
        QTest::addColumn<QStringList>("nodes");
        // d0 holds f0 and folder d1, which holds f1 and d2, ... down to d4 with f4.
        const QStringList all = {"d1/|d1",          "d1/d2/|d2",         "d1/d2/d3/|d3",
                                 "d1/d2/d3/d4/|d4", "d1/d2/d3/d4/f4|f4", "d1/d2/d3/f3|f3",
                                 "d1/d2/f2|f2",     "d1/f1|f1",          "f0|f0"};
        const QStringList upTo0 = {"d1/|d1", "f0|f0"};
        const QStringList upTo1 = {"d1/|d1", "d1/d2/|d2", "d1/f1|f1", "f0|f0"};
        const QStringList upTo2 = {"d1/|d1",      "d1/d2/|d2", "d1/d2/d3/|d3",
                                   "d1/d2/f2|f2", "d1/f1|f1",  "f0|f0"};
        const QStringList upTo3 = {"d1/|d1",          "d1/d2/|d2",      "d1/d2/d3/|d3",
                                   "d1/d2/d3/d4/|d4", "d1/d2/d3/f3|f3", "d1/d2/f2|f2",
                                   "d1/f1|f1",        "f0|f0"};
        QTest::newRow("ALL") << "ALL" << all;
        QTest::newRow("1") << "1" << upTo1;
        QTest::newRow("3") << "3" << upTo3;
        QTest::newRow("0") << "0" << upTo0;
        QTest::newRow("empty") << "" << upTo0;
        QTest::newRow("all lower case") << "all" << upTo0;
        QTest::newRow("2.5") << "2.5" << upTo3;
        QTest::newRow("2abc") << "2abc" << upTo2;
        QTest::newRow("-1") << "-1" << upTo0;
        QTest::newRow("1000 typed") << "1000" << all;
    }
    void depthRule()
    {
        QFETCH(QString, levels);
        QFETCH(QStringList, nodes);
        const std::string root = fixture({"f0", "d1/", "d1/f1", "d1/d2/", "d1/d2/f2", "d1/d2/d3/",
                                          "d1/d2/d3/f3", "d1/d2/d3/d4/", "d1/d2/d3/d4/f4"});
        TestControls c;
        c.levels = levels;
        NodeStore store;
        const ScanReport r = scan(c, store, root);
        QStringList got = nodeLines(store, root);
        got.removeFirst();
        QCOMPARE(got, nodes);
        // Folder nodes at the limit are counted; the root never is.
        QCOMPARE(r.dirCount, double(got.filter(QStringLiteral("/|")).size()));
    }

    void patternAndHidden_data()
    {
        QTest::addColumn<QString>("types");
        QTest::addColumn<QStringList>("nodes");
        QTest::newRow("*.txt") << "*.txt"
                               << QStringList{"old.txt/|old.txt", "a.TXT|a.TXT", "b.txt|b.txt"};
        QTest::newRow("empty") << ""
                               << QStringList{"old.txt/|old.txt", "a.TXT|a.TXT", "b.txt|b.txt",
                                              "c.doc|c.doc", "README|README"};
        QTest::newRow("*.*") << "*.*"
                             << QStringList{"old.txt/|old.txt", "a.TXT|a.TXT", "b.txt|b.txt",
                                            "c.doc|c.doc", "README|README"};
        QTest::newRow("?.doc") << "?.doc" << QStringList{"old.txt/|old.txt", "c.doc|c.doc"};
        QTest::newRow("readme") << "readme" << QStringList{"old.txt/|old.txt", "README|README"};
        QTest::newRow("no match") << "*.pdf" << QStringList{"old.txt/|old.txt"};
    }
    void patternAndHidden()
    {
        QFETCH(QString, types);
        QFETCH(QStringList, nodes);
        const std::string root = fixture({"old.txt/", "b.txt", "a.TXT", "c.doc", "README",
                                          ".hidden.txt", ".config/", ".config/in.txt"});
        const std::string fifo = root + "pipe.txt";
        QCOMPARE(::mkfifo(fifo.c_str(), 0644), 0);
        ::symlink("pipe.txt", (root + "tofifo.txt").c_str()); // a link to a special file
        TestControls c;
        c.types = types;
        NodeStore store;
        const ScanReport r = scan(c, store, root);
        QStringList got = nodeLines(store, root);
        got.removeFirst();
        QCOMPARE(got, nodes);
        QCOMPARE(r.dirCount, 1.0);
        QCOMPARE(r.fileCount, double(nodes.size() - 1));
        QVERIFY(r.problems.isEmpty());
    }

    void linksAndSockets_data()
    {
        QTest::addColumn<bool>("hideKinds");
        QTest::newRow("kinds from the enumeration") << false;
        QTest::newRow("kinds from the properties") << true;
    }
    void linksAndSockets()
    {
        QFETCH(bool, hideKinds);
        const std::string root = fixture({"real/", "real/inside.txt", "file.txt"});
        ::symlink("real", (root + "loop").c_str());
        ::symlink(".", (root + "self").c_str());
        ::symlink("file.txt", (root + "tofile").c_str());
        ::symlink("missing", (root + "broken").c_str());
        ::symlink("file.txt/sub", (root + "through").c_str()); // broken: a file is no folder
        ::mkfifo((root + "pipe").c_str(), 0644);
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string sock = root + "sock";
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sock.c_str());
        const bool haveSocket = ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        TestControls c;
        c.ticks.set(DetailTicks::Size, true);
        NodeStore store;
        InjectingFileSystem fs;
        fs.hideKinds = hideKinds;
        const ScanReport r = scan(c, store, root, &fs);
        ::close(s);
        QStringList got = nodeLines(store, root);
        got.removeFirst();
        // Links to folders are listed and counted but not opened; a link to a file shows the
        // target's size, a broken link its own (the length of what it points to).
        QCOMPARE(got, QStringList({"loop/|loop", "real/|real", "real/inside.txt|inside.txt-----",
                                   "self/|self", "broken|broken-----7", "file.txt|file.txt-----",
                                   "through|through-----12", "tofile|tofile-----"}));
        QCOMPARE(r.dirCount, 3.0);
        QCOMPARE(r.fileCount, 5.0);
        QVERIFY(r.problems.isEmpty());
        QVERIFY(haveSocket);
    }

    void countsAndRescan()
    {
        const std::string root = fixture({"a/", "b/", "c/"});
        TestControls c;
        NodeStore store;
        ScanReport r = scan(c, store, root);
        QCOMPARE(c.shown.back().second, QStringLiteral("Dirs = 3 Files = 0"));
        QCOMPARE(r.dirCount, 3.0);
        // A second scan, of an empty folder, starts from nothing.
        const std::string empty = fixture({});
        c.shown.clear();
        r = scan(c, store, empty);
        QCOMPARE(store.size(), std::size_t(1));
        QCOMPARE(c.shown.size(), std::size_t(1));
        QCOMPARE(c.shown.back().second, QStringLiteral("Dirs = 0 Files = 0"));
        QCOMPARE(r.dirCount + r.fileCount, 0.0);
        // Without the trailing "/" the root key gets one; "/" itself is left alone.
        std::string noSlash = empty;
        noSlash.pop_back();
        scan(c, store, noSlash);
        QCOMPARE(store.key(0), empty);
    }

    void nonUtf8Name()
    {
        const std::string root = fixture({});
        const std::string name = "bad\xff\xfe.txt";
        makeTree(root, {});
        const int fd = ::open((root + name).c_str(), O_CREAT | O_WRONLY, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        TestControls c;
        c.types = QStringLiteral("*.TXT");
        NodeStore store;
        const ScanReport r = scan(c, store, root);
        QCOMPARE(store.size(), std::size_t(2));
        QCOMPARE(std::string(store.text(1)), name); // bytes kept as they are
        QCOMPARE(store.key(1), root + name);
        QCOMPARE(store.displayText(1), QString::fromUtf8("bad\xEF\xBF\xBD\xEF\xBF\xBD.txt"));
        QVERIFY(r.problems.isEmpty());
        ::unlink((root + name).c_str()); // QTemporaryDir can't remove a name that isn't UTF-8
    }

    void injectedFailures()
    {
        const std::string root = fixture({"a/", "a/in.txt", "locked/", "locked/secret.txt", "z/",
                                          "z/last.txt", "bad.txt", "gone.txt", "ok.txt"});
        InjectingFileSystem fs;
        fs.openErrors["locked"] = EACCES;
        fs.statErrors["gone.txt"] = ENOENT;
        fs.statErrors["bad.txt"] = EIO;
        // A link whose target may not be looked at is listed with its own properties.
        ::symlink("a/in.txt", (root + "guarded").c_str());
        fs.followErrors["guarded"] = EACCES;
        TestControls c;
        c.ticks.set(DetailTicks::DateLastModified, true);
        c.ticks.set(DetailTicks::Type, true);
        c.ticks.set(DetailTicks::Size, true);
        NodeStore store;
        const ScanReport r = scan(c, store, root, &fs);
        QStringList got = nodeLines(store, root);
        got.removeFirst();
        // The scan goes on past each failure: the locked folder stays a childless node, the
        // vanished file is left out, the unreadable one is listed with what its name tells.
        QCOMPARE(got.size(), 8);
        QCOMPARE(got.mid(0, 5),
                 QStringList({"a/|a", QStringLiteral("a/in.txt|") + got[1].section(u'|', 1),
                              "locked/|locked", "z/|z",
                              QStringLiteral("z/last.txt|") + got[4].section(u'|', 1)}));
        QCOMPARE(got[5], QStringLiteral("bad.txt|bad.txt-----") + "--/---/----  --:--:--" +
                             "------TXT-----");
        QVERIFY2(got[6].startsWith(QStringLiteral("guarded|guarded-----")) &&
                     got[6].endsWith(QStringLiteral("--------------8")) &&
                     !got[6].contains(QStringLiteral("--:--")),
                 qPrintable(got[6]));
        QVERIFY(got[7].startsWith(QStringLiteral("ok.txt|ok.txt-----")));
        const QString base = QString::fromStdString(root);
        QCOMPARE(r.problems,
                 QStringList({base + "locked: " + QString::fromLocal8Bit(strerror(EACCES)),
                              base + "bad.txt: " + QString::fromLocal8Bit(strerror(EIO)),
                              base + "gone.txt: " + QString::fromLocal8Bit(strerror(ENOENT))}));
        QCOMPARE(r.dirCount, 3.0);
        QCOMPARE(r.fileCount, 5.0);
        QCOMPARE(c.busyDepth, 0);
    }

    void startFolderUnreadable()
    {
        InjectingFileSystem fs;
        TestControls c;
        NodeStore store;
        const ScanReport r = scan(c, store, m_temp.path().toStdString() + "/no such folder", &fs);
        QVERIFY(!r.startFolderRead);
        QCOMPARE(store.size(), std::size_t(1));
        QCOMPARE(r.problems.size(), 1);
        QCOMPARE(c.busyDepth, 0);
    }

    // Entries added and removed while a subfolder is being walked: the walk keeps to the
    // listing it read, so nothing is repeated or skipped and no key clashes.
    void folderChangedMidScan()
    {
        const std::string root = fixture({"A/", "A/a.txt", "B/", "C/", "c1.txt", "c2.txt"});
        InjectingFileSystem fs;
        bool changed = false;
        fs.beforeOpen = [&](const char* name) {
            if (changed || std::string(name) != "A")
                return;
            changed = true;
            ::mkdir((root + "AA").c_str(), 0755);
            ::mkdir((root + "0first").c_str(), 0755);
            ::rmdir((root + "C").c_str());
            ::unlink((root + "c1.txt").c_str());
            makeTree(root, {"new.txt"});
        };
        TestControls c;
        NodeStore store;
        const ScanReport r = scan(c, store, root, &fs);
        QVERIFY(changed);
        QStringList got = nodeLines(store, root);
        got.removeFirst();
        QCOMPARE(got, QStringList({"A/|A", "A/a.txt|a.txt", "B/|B", "C/|C", "c2.txt|c2.txt"}));
        const QString base = QString::fromStdString(root);
        QCOMPARE(r.problems,
                 QStringList({base + "C: " + QString::fromLocal8Bit(strerror(ENOENT)),
                              base + "c1.txt: " + QString::fromLocal8Bit(strerror(ENOENT))}));
    }

    // Many entries in one folder: sorted, none lost, no 32,766 limit.
    void largeFolder()
    {
        const std::string root = fixture({});
        QStringList names;
        for (int i = 0; i < 33000; ++i)
            names << QStringLiteral("f%1").arg(i, 5, 10, QLatin1Char('0'));
        makeTree(root, names);
        TestControls c;
        NodeStore store;
        const ScanReport r = scan(c, store, root);
        QCOMPARE(r.fileCount, 33000.0);
        QCOMPARE(std::string(store.text(store.lastChild(0))), std::string("f32999"));
    }

    // Far deeper than the descriptors the test allows itself, with a path longer than any
    // path the system takes, scanned on a thread with a small stack: every level is listed,
    // each file from its own folder, and no descriptor is left open. Each level also holds
    // empty folders that the walk comes back to only from the bottom: none of them may keep
    // a descriptor the walk needs on the way down.
    void deepTree()
    {
        constexpr int kDepth = 3000;
        const std::string root = fixture({});
        int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < kDepth && fd >= 0; ++i) {
            ::close(::openat(fd, "f.txt", O_CREAT | O_WRONLY, 0644));
            for (const char* name : {"d", "e0", "e1", "e2"})
                QCOMPARE(::mkdirat(fd, name, 0755), 0);
            const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        QVERIFY(fd >= 0);
        ::close(::openat(fd, "bottom.txt", O_CREAT | O_WRONLY, 0644));
        ::close(fd);

        rlimit saved;
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        const auto openDescriptors = [] {
            return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                 std::filesystem::directory_iterator());
        };
        const auto before = openDescriptors();
        rlimit low = saved;
        low.rlim_cur = std::min<rlim_t>(saved.rlim_max, rlim_t(before) + 48);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
        TestControls c;
        c.ticks.set(DetailTicks::Size, true);
        NodeStore store;
        ScanReport r;
        struct Job
        {
            TestSearchDir* self;
            TestControls* c;
            NodeStore* store;
            const std::string* root;
            ScanReport* r;
        } job{this, &c, &store, &root, &r};
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setstacksize(&attr, 256 * 1024);
        pthread_t thread;
        const auto body = [](void* p) -> void* {
            auto* j = static_cast<Job*>(p);
            *j->r = j->self->scan(*j->c, *j->store, *j->root);
            return nullptr;
        };
        QCOMPARE(pthread_create(&thread, &attr, body, &job), 0);
        pthread_join(thread, nullptr);
        pthread_attr_destroy(&attr);
        const auto after = openDescriptors();
        ::setrlimit(RLIMIT_NOFILE, &saved);

        QVERIFY2(r.problems.isEmpty(), qPrintable(r.problems.mid(0, 3).join(u'\n')));
        QCOMPARE(r.dirCount, double(4 * kDepth));
        QCOMPARE(r.fileCount, double(kDepth + 1));
        QCOMPARE(after, before);
        QCOMPARE(c.levelsReads, 1); // the Levels text is read once per scan, not per folder
        // The chain of folders first, each in the one before; then from the bottom up each
        // level's empty folders and file, in their own folder.
        QCOMPARE(store.size(), std::size_t(5 * kDepth + 2));
        for (NodeStore::Id id = 1; id <= kDepth; ++id)
            QCOMPARE(store.parent(id), id - 1);
        QCOMPARE(std::string(store.text(kDepth + 1)), std::string("bottom.txt-----"));
        QCOMPARE(store.parent(kDepth + 1), NodeStore::Id(kDepth));
        for (NodeStore::Id id = kDepth + 2; id < store.size(); ++id)
            QCOMPARE(store.parent(id), NodeStore::Id(kDepth - 1 - (id - kDepth - 2) / 4));

        // QTemporaryDir can't remove a path this long: take it apart level by level.
        std::vector<int> chain{::open(root.c_str(), O_RDONLY | O_DIRECTORY)};
        while (chain.back() >= 0 && chain.size() <= kDepth)
            chain.push_back(::openat(chain.back(), "d", O_RDONLY | O_DIRECTORY));
        ::unlinkat(chain.back(), "bottom.txt", 0);
        for (std::size_t i = chain.size() - 1; i-- > 0;) {
            ::close(chain[i + 1]);
            for (const char* name : {"d", "e0", "e1", "e2"})
                ::unlinkat(chain[i], name, AT_REMOVEDIR);
            ::unlinkat(chain[i], "f.txt", 0);
        }
        ::close(chain[0]);
    }

    // Descriptors taken by another part of the program once the scan has begun, so that the
    // walk runs out of them on its way down: it closes folders above and opens them again
    // later, and loses nothing.
    void descriptorsTakenMidScan()
    {
        constexpr int kDepth = 60;
        QStringList entries;
        QString path;
        for (int i = 0; i < kDepth; ++i) {
            path += QStringLiteral("d/");
            entries << path << path + QStringLiteral("f.txt");
        }
        const std::string root = fixture(entries);
        rlimit saved;
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        const auto open = std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                        std::filesystem::directory_iterator());
        rlimit low = saved;
        low.rlim_cur = std::min<rlim_t>(saved.rlim_max, rlim_t(open) + 64);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
        std::vector<int> taken;
        InjectingFileSystem fs;
        fs.beforeOpen = [&](const char*) {
            if (!taken.empty())
                return;
            for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
                taken.push_back(fd);
            for (int i = 0; i < 3; ++i) {
                ::close(taken.back());
                taken.pop_back();
            }
        };
        TestControls c;
        NodeStore store;
        const ScanReport r = scan(c, store, root, &fs);
        for (int fd : taken)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &saved);
        QVERIFY(!taken.empty());
        QVERIFY2(r.problems.isEmpty(), qPrintable(r.problems.mid(0, 3).join(u'\n')));
        QCOMPARE(r.dirCount, double(kDepth));
        QCOMPARE(r.fileCount, double(kDepth));
    }

    // The same tree on a FUSE mount (where the read-ahead runs with many readers, and DOS
    // attributes are looked for once for the whole mount) gives the same nodes, node for node,
    // as on the local disk: awkward names, links, a folder of more files than a batch and of
    // more subfolders than a group, and a chain deeper than the folders the walk keeps open.
    void fuseMountAsLocalDisk()
    {
        QStringList entries = {"with space/", "with space/a b.txt", "-dash.txt",     "a.b.c.tar.gz",
                               "empty/",      "Ünïcödé/",           "Ünïcödé/ß.TXT", "wide/",
                               "many/"};
        entries << QString(255, u'n');
        for (int i = 0; i < 1500; ++i)
            entries << QStringLiteral("many/f%1.dat").arg(i, 4, 10, QLatin1Char('0'));
        for (int i = 0; i < 300; ++i)
            entries << QStringLiteral("wide/d%1/").arg(i, 3, 10, QLatin1Char('0'))
                    << QStringLiteral("wide/d%1/x.txt").arg(i, 3, 10, QLatin1Char('0'));
        QString chain;
        for (int i = 0; i < 40; ++i) {
            chain += QStringLiteral("c/");
            entries << chain << chain + QStringLiteral("f.txt");
        }
        const std::string root = fixture(entries);
        ::symlink("with space", (root + "folderlink").c_str());
        ::symlink("-dash.txt", (root + "filelink").c_str());
        ::symlink("missing", (root + "broken").c_str());
        const std::string odd = root + "odd\xff\n.txt";
        ::close(::open(odd.c_str(), O_CREAT | O_WRONLY, 0600));
        ::truncate((root + "-dash.txt").c_str(), 1234);

        std::string mounted = root;
        mounted.pop_back();
        mounted += "-fuse";
        FuseMount mount(root, mounted);
        if (!mount.why().isEmpty()) {
            ::unlink(odd.c_str());
            QSKIP(qPrintable(mount.why()));
        }
        mounted += '/';
        // Every detail but the creation date, which FUSE does not pass on.
        TestControls c;
        c.ticks = DetailTicks::all();
        c.ticks.set(DetailTicks::DateCreated, false);
        NodeStore local, remote;
        const ScanReport l = scan(c, local, root);
        const ScanReport r = scan(c, remote, mounted);
        mount.unmount();
        ::unlink(odd.c_str()); // QTemporaryDir can't remove a name that isn't UTF-8
        QVERIFY2(l.problems.isEmpty() && r.problems.isEmpty(),
                 qPrintable((l.problems + r.problems).mid(0, 3).join(u'\n')));
        QCOMPARE(r.dirCount, l.dirCount);
        QCOMPARE(r.fileCount, l.fileCount);
        QStringList remoteLines = nodeLines(remote, mounted), localLines = nodeLines(local, root);
        remoteLines.removeFirst(); // the root, named by its path
        localLines.removeFirst();
        QCOMPARE(remoteLines, localLines);
    }

    // The mount's daemon killed mid-scan: the scan ends (no wait without end), keeps what it
    // had found, and reports the folders it could no longer read, each once, as folders that
    // can't be read, rather than an error for every entry left in them.
    void fuseMountGoneMidScan()
    {
        QStringList entries;
        for (int d = 0; d < 40; ++d) {
            const QString folder = QStringLiteral("d%1/").arg(d, 2, 10, QLatin1Char('0'));
            entries << folder << folder + QStringLiteral("sub/");
            for (int f = 0; f < 30; ++f)
                entries << folder + QStringLiteral("f%1.txt").arg(f)
                        << folder + QStringLiteral("sub/g%1.txt").arg(f);
        }
        const std::string root = fixture(entries);
        std::string mounted = root;
        mounted.pop_back();
        mounted += "-fuse";
        FuseMount mount(root, mounted);
        if (!mount.why().isEmpty())
            QSKIP(qPrintable(mount.why()));
        mounted += '/';

        class KillingControls : public TestControls
        {
        public:
            FuseMount* mount = nullptr;
            double killedAt = 0;
            void showCounts(double dirs, double files) override
            {
                if (files >= 200 && killedAt == 0) {
                    killedAt = dirs + files;
                    mount->kill();
                }
            }
        } c;
        c.mount = &mount;
        c.ticks.set(DetailTicks::Size, true);
        NodeStore store;
        ScanReport r;
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        std::thread scanning([&] {
            r = scan(c, store, mounted);
            const std::lock_guard<std::mutex> lock(mutex);
            done = true;
            ended.notify_all();
        });
        {
            std::unique_lock<std::mutex> lock(mutex);
            if (!ended.wait_for(lock, std::chrono::seconds(60), [&] { return done; }))
                qFatal("the scan did not end after its mount went away");
        }
        scanning.join();
        mount.unmount();
        QVERIFY(c.killedAt > 0);
        QVERIFY(r.dirCount + r.fileCount >= c.killedAt);
        QVERIFY(r.dirCount + r.fileCount < double(entries.size()));
        QVERIFY(!r.problems.isEmpty());
        qInfo("%lld folders reported", static_cast<long long>(r.problems.size()));
        // Folders only, each once.
        const std::set<std::string> paths(r.problemPaths.begin(), r.problemPaths.end());
        QCOMPARE(paths.size(), r.problemPaths.size());
        // As the mount says it is gone; ECONNABORTED for a request under way at that moment.
        const QStringList gone = {SystemErrorText(ENOTCONN), SystemErrorText(ECONNABORTED)};
        for (qsizetype i = 0; i < r.problems.size(); ++i) {
            QVERIFY2(gone.contains(r.problemReason(i)), qPrintable(r.problems[i]));
            const NodeStore::Id folder = store.find(r.problemPaths[std::size_t(i)] + '/');
            QVERIFY2(folder != NodeStore::npos, qPrintable(r.problems[i]));
        }
    }

    // Each filter at its edges: what is left out by name, by path below the start folder, by
    // kind, by size and by date, with the files read ahead of the walk as they are for real.
    void filters_data()
    {
        QTest::addColumn<ScanFilters>("filters");
        QTest::addColumn<QStringList>("nodes");
        const QStringList all = {
            "keep/", "keep/out",  "keep/x.txt", "node_modules/", "node_modules/m.js",
            "out/",  "out/o.txt", "a.txt",      "b.log",         "d+1",
            "d-1",   "d0",        "s0",         "s1023",         "s1024",
            "s1025"};
        const auto without = [&](const QStringList& gone) {
            QStringList kept = all;
            for (const QString& g : gone)
                kept.removeAll(g);
            return kept;
        };
        QTest::newRow("none") << ScanFilters() << all;
        QTest::newRow("hidden") << filtersOf({}, true)
                                << QStringList{".cfg/", ".cfg/c.txt"} + all.mid(0, 7) +
                                       QStringList{".hidden"} + all.mid(7);
        QTest::newRow("a name at any depth")
            << filtersOf({"out"}) << without({"keep/out", "out/", "out/o.txt"});
        QTest::newRow("folders only by pattern")
            << filtersOf({"out/"}) << without({"out/", "out/o.txt"});
        QTest::newRow("a path from the start folder")
            << filtersOf({"/keep/x.txt", "node_modules"})
            << without({"keep/x.txt", "node_modules/", "node_modules/m.js"});
        QTest::newRow("negation") << filtersOf({"*.txt", "!a.txt"})
                                  << without({"keep/x.txt", "out/o.txt"});
        ScanFilters f;
        f.foldersOnly = true;
        QTest::newRow("folders only") << f << QStringList{"keep/", "node_modules/", "out/"};
        f = ScanFilters();
        f.minSize = 1024;
        QTest::newRow("at least 1K")
            << f << QStringList{"keep/", "node_modules/", "out/", "s1024", "s1025"};
        f = ScanFilters();
        f.maxSize = 1024;
        QTest::newRow("at most 1K") << f << without({"s1025"});
        f = ScanFilters();
        f.newer = kWhen;
        QTest::newRow("modified since") << f << without({"d-1"});
        f = ScanFilters();
        f.older = kWhen;
        QTest::newRow("modified before")
            << f << QStringList{"keep/", "node_modules/", "out/", "d-1"};
    }
    void filters()
    {
        QFETCH(ScanFilters, filters);
        QFETCH(QStringList, nodes);
        const std::string root =
            fixture({".cfg/", ".cfg/c.txt", ".hidden", "keep/", "keep/out", "keep/x.txt",
                     "node_modules/", "node_modules/m.js", "out/", "out/o.txt", "a.txt", "b.log",
                     "d-1", "d0", "d+1", "s0", "s1023", "s1024", "s1025"});
        for (const int size : {1023, 1024, 1025})
            QCOMPARE(::truncate((root + "s" + std::to_string(size)).c_str(), size), 0);
        for (const auto& [name, at] :
             {std::pair{"d-1", kWhen - 1}, std::pair{"d0", kWhen}, std::pair{"d+1", kWhen + 1}}) {
            const struct timespec times[2] = {{0, UTIME_OMIT}, {at, 0}};
            QCOMPARE(::utimensat(AT_FDCWD, (root + name).c_str(), times, 0), 0);
        }
        TestControls c;
        c.scanFilters = filters;
        NodeStore store;
        const ScanReport r = scan(c, store, root);
        QCOMPARE(pathsBelow(store, root), nodes);
        QVERIFY(r.problems.isEmpty());
        QCOMPARE(r.dirCount + r.fileCount, double(nodes.size()));
    }

    // A folder left out is never opened: one that can't be opened is not even met.
    void excludedFolderIsNeverOpened()
    {
        const std::string root = fixture({"node_modules/", "node_modules/m.js", "src/", "src/a.c"});
        InjectingFileSystem fs;
        fs.openErrors["node_modules"] = EACCES;
        TestControls c;
        NodeStore store;
        QCOMPARE(scan(c, store, root, &fs).problems.size(), 1);
        c.scanFilters = filtersOf({"node_modules"});
        const ScanReport r = scan(c, store, root, &fs);
        QVERIFY(r.problems.isEmpty());
        QCOMPARE(pathsBelow(store, root), QStringList({"src/", "src/a.c"}));
    }

    // .gitignore files in a generated repository, against what git check-ignore says of every
    // entry: nested files, negations, anchored, folder-only and "**" patterns, escapes and sets,
    // info/exclude below them all, and a search that starts below the repository's top.
    void gitignoreAsGit_data()
    {
        QTest::addColumn<QStringList>("rules"); // path of a rule file, then its text
        QTest::addColumn<QString>("start");
        QTest::newRow("names and negation")
            << QStringList{".gitignore", "*.log\n!keep.log\n*.o\n"} << "";
        QTest::newRow("anchored") << QStringList{".gitignore",
                                                 "/a.txt\n/src/main.c\ndocs/readme.md\nlib/z.o\n"}
                                  << "";
        QTest::newRow("folders only")
            << QStringList{".gitignore", "build/\nfoo/\nlinkdir/\n"} << "";
        QTest::newRow("double star")
            << QStringList{".gitignore",
                           "**/z\ndocs/**/*.md\n**/deep/**\nsrc/**/z.o\na/**/foo\nfoo**/bar\n"}
            << "";
        QTest::newRow("nested files")
            << QStringList{".gitignore",     "*.tmp\nbuild\n",    "src/.gitignore",
                           "!build\n/lib\n", "deep/x/.gitignore", "!file.tmp\n"}
            << "";
        QTest::newRow("nothing back below an excluded folder")
            << QStringList{".gitignore", "build/\n!build/keep/\n!build/keep/x\n"} << "";
        QTest::newRow("escapes, blanks and line ends")
            << QStringList{".gitignore", "\\#hash\n\\!bang\n\\[set\\]\n[ab].txt\n[!k]*.log\n"
                                         "sp\\ ace.txt\ntrailing\\ \nx.md   \n#c\nkeep.log\r\n"
                                         "q\\?x\nfoo\\\n[\n"}
            << "";
        QTest::newRow("sets and classes")
            << QStringList{".gitignore", "[a-c].*\n*[[:digit:]]*\n[[:upper:]].O\n[]a]\n[^a-z]*\n"
                                         "[[:foo:]]\n"}
            << "";
        QTest::newRow("info/exclude under .gitignore")
            << QStringList{".git/info/exclude", "*.md\nkeep.log\n", ".gitignore",
                           "!docs/readme.md\n"}
            << "";
        QTest::newRow("only some back")
            << QStringList{".gitignore", "*\n!*/\n!*.c\n!.gitignore\n/*/\n!/src/\n"} << "";
        QTest::newRow("search below the top")
            << QStringList{".gitignore", "/src/lib\n*.c\n", "src/.gitignore", "b.log\n"} << "src";
    }
    void gitignoreAsGit()
    {
        QFETCH(QStringList, rules);
        QFETCH(QString, start);
        const QString git = QStandardPaths::findExecutable(QStringLiteral("git"));
        if (git.isEmpty())
            QSKIP("git is not installed (scripts/setup --tests installs it)");
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // No rules of this machine's or this user's git.
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        env.insert(QStringLiteral("GIT_CONFIG_NOSYSTEM"), QStringLiteral("1"));
        const std::string repo = fixture({}) + "repo/";
        QProcess init;
        init.setProcessEnvironment(env);
        init.start(git, {"init", "-q", QString::fromStdString(repo)});
        QVERIFY(init.waitForFinished() && init.exitCode() == 0);
        makeTree(repo, {"a.txt",
                        "b.log",
                        "keep.log",
                        "c.o",
                        "C.O",
                        "sp ace.txt",
                        "trailing ",
                        "#hash",
                        "!bang",
                        "[set]",
                        "x.md",
                        "foo",
                        "1.txt",
                        "q?x",
                        "build/",
                        "build/out.bin",
                        "build/keep/",
                        "build/keep/x",
                        "src/",
                        "src/main.c",
                        "src/b.log",
                        "src/build/",
                        "src/build/y",
                        "src/lib/",
                        "src/lib/z.o",
                        "docs/",
                        "docs/readme.md",
                        "docs/a/",
                        "docs/a/b/",
                        "docs/a/b/c.md",
                        "docs/a/foo",
                        "deep/",
                        "deep/x/",
                        "deep/x/file.tmp",
                        "deep/x/y/",
                        "deep/x/y/z/",
                        "deep/x/y/z/file.tmp",
                        "sub/",
                        "sub/foo/",
                        "sub/foo/f",
                        "a/",
                        "a/b/",
                        "a/b/foo",
                        "fooz/",
                        "fooz/q/",
                        "fooz/q/bar"});
        QCOMPARE(::symlink("src", (repo + "linkdir").c_str()), 0);
        for (qsizetype i = 0; i + 1 < rules.size(); i += 2) {
            QFile file(QString::fromStdString(repo) + rules[i]);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(rules[i + 1].toUtf8()) >= 0);
        }
        const std::string from = start.isEmpty() ? repo : repo + start.toStdString() + "/";
        const auto listed = [&](bool gitignore) {
            TestControls c;
            c.scanFilters.hidden = true;
            c.scanFilters.gitignore = gitignore;
            NodeStore store;
            const ScanReport r = scan(c, store, from);
            if (!r.problems.isEmpty())
                return QStringList{r.problems};
            return pathsBelow(store, repo, true);
        };
        // Every entry, but the repository's own files, which git never looks at.
        QStringList all;
        for (const QString& p : listed(false))
            if (p != QLatin1String(".git") && !p.startsWith(QLatin1String(".git/")))
                all << p;
        QProcess check;
        check.setProcessEnvironment(env);
        check.setWorkingDirectory(QString::fromStdString(repo));
        check.start(git, {"check-ignore", "--no-index", "--stdin", "-z"});
        check.write(all.join(QChar(0)).toUtf8() + '\0');
        check.closeWriteChannel();
        QVERIFY(check.waitForFinished());
        QStringList expected = all;
        for (const QByteArray& ignored : check.readAllStandardOutput().split('\0'))
            expected.removeAll(QString::fromUtf8(ignored));
        QCOMPARE(listed(true), expected);
    }

    void initTestCase() { QVERIFY(m_temp.isValid()); }
};

QTEST_GUILESS_MAIN(TestSearchDir)
#include "tst_search_dir.moc"
