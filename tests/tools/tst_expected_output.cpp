// Every output of quillmap_list for one small fixed tree with awkward names and fixed dates,
// compared byte for byte with the expected files in tests/tools/expected/. Run with
// QUILLMAP_UPDATE_EXPECTED=1 to write them anew from the program (QUILLMAP_LIST: another
// build's quillmap_list), then read the difference before committing it.
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kExpected = QStringLiteral(QUILLMAP_SOURCE_DIR "/tests/tools/expected/");

QString program()
{
    const QString other = qEnvironmentVariable("QUILLMAP_LIST");
    return other.isEmpty() ? QStringLiteral(QUILLMAP_BIN_DIR "/quillmap_list") : other;
}

// 2019-10-03 12:34:56 and 2020-01-02 03:04:05 UTC.
constexpr time_t kModified = 1570106096;
constexpr time_t kAccessed = 1577934245;

void setTimes(const QByteArray& path, time_t modified = kModified)
{
    const timespec times[2] = {{kAccessed, 0}, {modified, 0}};
    ::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW);
}

void file(const QByteArray& path, const QByteArray& content, time_t modified = kModified)
{
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd >= 0) {
        const ssize_t n = ::write(fd, content.constData(), size_t(content.size()));
        Q_UNUSED(n);
        ::close(fd);
    }
    setTimes(path, modified);
}

// The tree as it was when its listing was saved, under `root`; `changed` gives the tree later,
// with one file added, one removed and one grown.
void makeTree(const QByteArray& root, bool changed)
{
    for (const char* d : {"", "/Folder", "/Folder/Sub", "/Folder/Empty", "/zeta folder"})
        ::mkdir(root + d, 0755);
    file(root + "/a b.txt", "hello");
    file(root + "/-leading dash.txt", "-");
    file(root + "/=SUM(1+1).csv", "1,2");
    file(root + "/0012", "twelve");
    file(root + "/quote \"and\", comma.txt", "q");
    file(root + "/<b>&amp;.html", "<b>");
    file(root + "/caf\xc3\xa9.txt", "caf\xc3\xa9");
    file(root + "/\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt", "ja");
    file(root + "/\xd9\x85\xd9\x84\xd9\x81 10.5.txt", "ar");
    file(root + "/bad\xff.bin", QByteArray(300, 'x'));
    file(root + "/new\nline.txt", "nl");
    file(root + "/Zeta.TXT", "Z");
    file(root + "/alpha.txt", "A");
    file(root + "/.hidden", "h");
    file(root + "/Folder/Sub/deep.tar.gz", QByteArray(2048, 'd'));
    file(root + "/Folder/readonly.txt", "r");
    ::chmod(root + "/Folder/readonly.txt", 0444);
    if (changed) {
        file(root + "/zeta folder/added.txt", "new");
        file(root + "/alpha.txt", "AAAA", kModified + 60);
    } else {
        file(root + "/zeta folder/removed.txt", "old");
    }
    ::symlink("Folder", root + "/link to folder");
    ::symlink("nowhere", root + "/broken link");
    for (const char* d : {"/link to folder", "/broken link", "/Folder/Sub", "/Folder/Empty",
                          "/Folder", "/zeta folder", ""})
        setTimes(root + d);
}

bool digits(const QByteArray& s, qsizetype at, qsizetype n)
{
    if (at < 0 || at + n > s.size())
        return false;
    for (qsizetype i = at; i < at + n; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

// What differs from run to run: the temporary folder, and the times of about now (the search's,
// and the files' creation, which can't be set), as seconds since 1970 or in ISO 8601. The
// output is bytes (names that are not UTF-8 among them), so it is read byte by byte.
QByteArray normalised(QByteArray out, const QByteArray& temp)
{
    out.replace(temp, "@TMP@");
    out.replace(temp.toHex(), "@TMP_HEX@"); // in the "_bytes" fields of the JSON
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QByteArray today =
        QDateTime::currentDateTimeUtc().date().toString(Qt::ISODate).toLatin1();
    const QByteArray yesterday =
        QDateTime::currentDateTimeUtc().date().addDays(-1).toString(Qt::ISODate).toLatin1();
    // As the file line writes them (a link's last access: following it is one).
    for (const QDate day : {QDate::currentDate(), QDate::currentDate().addDays(-1)}) {
        const QByteArray line =
            QLocale::c().toString(day, QStringLiteral("dd/MMM/yyyy")).toLatin1();
        for (qsizetype at = 0; (at = out.indexOf(line + "  ", at)) >= 0;)
            out.replace(at, line.size() + 10, "@NOW@");
    }
    QByteArray result;
    for (qsizetype i = 0; i < out.size();) {
        const bool boundary = i == 0 || out[i - 1] < '0' || out[i - 1] > '9';
        // 2026-12-09T06:49:12+00:00 or ...Z
        if (boundary && digits(out, i, 4) && out.mid(i + 10, 1) == "T" &&
            (out.mid(i, 10) == today || out.mid(i, 10) == yesterday) && digits(out, i + 11, 2)) {
            qsizetype end = i + 19;
            if (out.mid(end, 1) == "Z")
                end += 1;
            else if (out.mid(end, 1) == "+" || out.mid(end, 1) == "-")
                end += 6;
            result += "@NOW@";
            i = end;
            continue;
        }
        if (boundary && digits(out, i, 10) && !digits(out, i + 10, 1) &&
            std::abs(out.mid(i, 10).toLongLong() - now) < 86400) {
            result += "@NOW@";
            i += 10;
            continue;
        }
        result += out[i++];
    }
    return result;
}

} // namespace

// Every detail but the creation date, which can't be set.
const char* const kDetails = "archive,compressed,hidden,normal,readonly,system,"
                             "date-last-accessed,date-last-modified,type,size";

class TestExpectedOutput : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_temp;
    QByteArray m_tempPath;

    QByteArray run(const QStringList& args, int& exitCode)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(m_temp.path());
        p.start(program(), args);
        p.waitForFinished(120000);
        exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return p.readAllStandardOutput();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        m_tempPath = QFile::encodeName(QDir(m_temp.path()).canonicalPath());
        ::mkdir(m_tempPath + "/before", 0755);
        ::mkdir(m_tempPath + "/after", 0755);
        makeTree(m_tempPath + "/before/Tree", false);
        makeTree(m_tempPath + "/after/Tree", true);
        int exitCode = -1;
        QFile saved(QFile::decodeName(m_tempPath + "/before.json"));
        QVERIFY(saved.open(QIODevice::WriteOnly));
        saved.write(run({"--details", kDetails, "--format", "json", "before/Tree"}, exitCode));
        QCOMPARE(exitCode, 0);
    }

    void cleanupTestCase()
    {
        // Qt can't remove a name that is not UTF-8.
        std::error_code error;
        std::filesystem::remove_all(m_tempPath.toStdString(), error);
    }

    void outputs_data()
    {
        const QString details = kDetails;
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        const QStringList tree{"--details", details, "before/Tree"};
        QTest::newRow("text") << tree << 0;
        QTest::newRow("tsv") << (QStringList{"--format", "tsv"} + tree) << 0;
        QTest::newRow("json") << (QStringList{"--format", "json"} + tree) << 0;
        QTest::newRow("html") << (QStringList{"--format", "html"} + tree) << 0;
        QTest::newRow("csv") << (QStringList{"--format", "csv"} + tree) << 0;
        QTest::newRow("totals") << (QStringList{"--totals"} + tree) << 0;
        QTest::newRow("totals-human") << (QStringList{"--totals", "-h"} + tree) << 0;
        QTest::newRow("bare names, two levels, *.txt")
            << QStringList{"--levels", "2", "--types", "*.txt", "before/Tree"} << 0;
        const QStringList compare{"--compare", "before.json", "after/Tree"};
        QTest::newRow("compare") << compare << 1;
        QTest::newRow("compare-tsv") << (QStringList{"--format", "tsv"} + compare) << 1;
        QTest::newRow("compare-json") << (QStringList{"--format", "json"} + compare) << 1;
        QTest::newRow("compare-changed-only") << (QStringList{"--changed-only"} + compare) << 1;
        QTest::newRow("compare-listings")
            << QStringList{"--compare", "before.json", "before.json"} << 0;
    }
    void outputs()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        int exited = -1;
        const QByteArray out = normalised(run(args, exited), m_tempPath);
        QCOMPARE(exited, exitCode);
        QString name = QString::fromLatin1(QTest::currentDataTag());
        name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9-]+")), QStringLiteral("-"));
        QFile expected(kExpected + name + QStringLiteral(".out"));
        if (qEnvironmentVariableIsSet("QUILLMAP_UPDATE_EXPECTED")) {
            QVERIFY(expected.open(QIODevice::WriteOnly));
            expected.write(out);
            return;
        }
        QVERIFY2(expected.open(QIODevice::ReadOnly), qPrintable(expected.fileName()));
        const QByteArray want = expected.readAll();
        if (out != want) {
            // The first line that differs, to start from.
            const QList<QByteArray> a = out.split('\n'), b = want.split('\n');
            qsizetype line = 0;
            while (line < a.size() && line < b.size() && a[line] == b[line])
                ++line;
            QFAIL(qPrintable(
                QStringLiteral("%1 differs at line %2:\n  got  %3\n  want %4")
                    .arg(expected.fileName())
                    .arg(line + 1)
                    .arg(QString::fromUtf8(a.value(line)), QString::fromUtf8(b.value(line)))));
        }
    }
};

QTEST_GUILESS_MAIN(TestExpectedOutput)
#include "tst_expected_output.moc"
