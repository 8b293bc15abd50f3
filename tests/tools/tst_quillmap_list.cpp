// quillmap_list as a script sees it: options, output formats, escaping, exit status.
#include "listing/ListingJsonReader.h"
#include "scan/SearchRecord.h"
#include "tree/NodeStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kProgram = QStringLiteral(QUILLMAP_BIN_DIR "/quillmap_list");

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QStringList& args, const QString& program = kProgram,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

void touch(const QByteArray& path, const QByteArray& content = QByteArray())
{
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd >= 0) {
        const ssize_t n = ::write(fd, content.constData(), std::size_t(content.size()));
        Q_UNUSED(n);
        ::close(fd);
    }
}

// What the program writes on standard output when that is a terminal.
QByteArray runOnTerminal(const QStringList& args)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return "(no terminal)";
    QProcess p;
    p.setStandardOutputFile(QString::fromLocal8Bit(::ptsname(master)));
    p.start(kProgram, args);
    p.waitForFinished(120000);
    QByteArray out;
    char buffer[4096];
    // Until the terminal has nothing more: the program's end has closed it.
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    ::close(master);
    return out;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// An ncdu export as "path size" lines, a folder's path ending in "/" (its size: the bytes of
// the files below it); empty when it can't be read.
QStringList ncduLines(const QByteArray& bytes)
{
    std::FILE* in = fmemopen(const_cast<char*>(bytes.constData()), std::size_t(bytes.size()), "rb");
    quillmap::NodeStore tree;
    quillmap::SearchRecord record;
    const bool read = in && quillmap::ListingJsonReader().read(in, tree, record) ==
                                quillmap::ListingJsonReader::Result::Ok;
    if (in)
        std::fclose(in);
    QStringList lines;
    if (!read)
        return lines;
    std::vector<std::uint64_t> sizes(tree.size(), 0);
    for (quillmap::NodeStore::Id id = tree.size(); id-- > 1;) {
        if (const auto d = tree.details(id))
            sizes[id] += d->size.value_or(0);
        sizes[tree.parent(id)] += sizes[id];
    }
    const std::string root = tree.key(0);
    for (quillmap::NodeStore::Id id = 1; id < tree.size(); ++id)
        lines << quillmap::NodeStore::displayString(tree.key(id).substr(root.size())) + u' ' +
                     QString::number(sizes[id]);
    lines.sort();
    return lines;
}

} // namespace

class TestQuillmapList : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_temp;
    QByteArray m_data; // the worked example's start folder, no trailing "/"

private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        m_data = QFile::encodeName(m_temp.path()) + "/Data";
        for (const char* d : {"", "/Letters", "/Old", "/Old/2005"})
            ::mkdir(m_data + d, 0755);
        touch(m_data + "/a.txt", "abc");
        touch(m_data + "/b.doc");
        touch(m_data + "/Letters/Note.txt");
        touch(m_data + "/Old/2005/x.txt");
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--details LIST"
                              << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "quillmap_list 1.0.0\n"
                                 << "";
        QTest::newRow("no folder") << QStringList{} << 2 << ""
                                   << "no folder given";
        QTest::newRow("empty folder") << QStringList{"--levels", "0", ""} << 2 << ""
                                      << "the folder name is empty";
        QTest::newRow("two folders") << QStringList{"a", "b"} << 2 << ""
                                     << "more than one folder";
        QTest::newRow("unknown option") << QStringList{"--depth", "1", "x"} << 2 << ""
                                        << "unknown option '--depth'";
        QTest::newRow("missing value") << QStringList{"x", "--levels"} << 2 << ""
                                       << "needs a value";
        QTest::newRow("bad format") << QStringList{"--format", "xml", "x"} << 2 << ""
                                    << "text, tsv, json";
        QTest::newRow("bad detail")
            << QStringList{"--details", "size,colour", "x"} << 2 << ""
            << "unknown detail 'colour' (valid: all, archive, compressed, hidden, normal, "
               "readonly, "
               "system, date-created, date-last-accessed, date-last-modified, type, size)";
        QTest::newRow("missing folder")
            << QStringList{"/nonexistent/folder"} << 2 << ""
            << "cannot list the folder /nonexistent/folder: No such file";
        QTest::newRow("bad pattern") << QStringList{"--exclude", "a[b", "x"} << 2 << ""
                                     << "the pattern 'a[b' has a \"[\" that is not closed";
        QTest::newRow("unreadable exclude file")
            << QStringList{"--exclude-from", "/nonexistent/ignore", "x"} << 2 << ""
            << "cannot read the exclude file '/nonexistent/ignore': No such file";
        QTest::newRow("bad size") << QStringList{"--max-size", "10 apples", "x"} << 2 << ""
                                  << "'10 apples' is not a size";
        QTest::newRow("bad date") << QStringList{"--older", "2024-13-01", "x"} << 2 << ""
                                  << "'2024-13-01' is not a date or an age";
        QTest::newRow("sizes that exclude all")
            << QStringList{"--min-size", "2K", "--max-size", "2047", "x"} << 2 << ""
            << "no file is at least 2048 and at most 2047 bytes";
        QTest::newRow("dates that exclude all")
            << QStringList{"--newer", "2024-01-02", "--older", "2024-01-02", "x"} << 2 << ""
            << "no date is both at or after '2024-01-02' and before '2024-01-02'";
        QTest::newRow("bad sort order") << QStringList{"--sort", "colour", "x"} << 2 << ""
                                        << "unknown sort order 'colour' (valid: name, size,";
        QTest::newRow("sorted by size")
            << QStringList{"--sort", "size", "--levels", "0", QFile::decodeName(m_data)} << 0
            << "\u2500\u2500 b.doc\n\u2514\u2500\u2500 a.txt\n"
            << "";
        QTest::newRow("reversed") << QStringList{"--sort",   "name", "--reverse",
                                                 "--levels", "0",    QFile::decodeName(m_data)}
                                  << 0
                                  << "Old\n\u251c\u2500\u2500 Letters\n\u251c\u2500\u2500 b.doc"
                                  << "";
        QTest::newRow("bad layout")
            << QStringList{"--layout", "grid", "--pdf", "p.pdf", "x"} << 2 << ""
            << "unknown layout 'grid' (valid: lines, columns)";
        QTest::newRow("font size too large")
            << QStringList{"--font-size", "200", "--pdf", "p.pdf", "x"} << 2 << ""
            << "font size '200' is not a whole number of points from 4 to 72";
        QTest::newRow("pages backwards") << QStringList{"--pages", "5-2", "--print", "x"} << 2 << ""
                                         << "page range '5-2' is not";
        QTest::newRow("pages from 0") << QStringList{"--pages", "0-2", "--print", "x"} << 2 << ""
                                      << "page range '0-2' is not";
        QTest::newRow("no such printer")
            << QStringList{"--printer", "no-such-printer", "x"} << 2 << ""
            << "There is no printer named no-such-printer.";
        QTest::newRow("print option without a print")
            << QStringList{"--regular", "x"} << 2 << ""
            << "option '--regular' is for a print: give '--pdf FILE' or '--print' too";
    }
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run r = run(args);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(QString::fromUtf8(r.out).contains(out), r.out.constData());
        QVERIFY2(QString::fromUtf8(r.err).contains(err), r.err.constData());
        if (exitCode == 2)
            QVERIFY(r.out.isEmpty());
    }

    void workedExampleTsv()
    {
        const Run r = run({"--levels", "1", "--format", "tsv", QFile::decodeName(m_data)});
        QCOMPARE(r.exitCode, 0);
        const QByteArray d = m_data + "/";
        QCOMPARE(r.out, "0\tR\t" + d + "\t" + d + "\n" + "1\tD\t" + d + "Letters/\tLetters\n" +
                            "2\tF\t" + d + "Letters/Note.txt\tNote.txt\n" + "1\tD\t" + d +
                            "Old/\tOld\n" + "2\tD\t" + d + "Old/2005/\t2005\n" + "1\tF\t" + d +
                            "a.txt\ta.txt\n" + "1\tF\t" + d + "b.doc\tb.doc\n");
        QCOMPARE(r.err, QByteArray("Dirs = 3 Files = 3\n"));
    }

    // FOLDER is taken as the window takes the folder it opens: absolute and normalised.
    void relativeFolder_data()
    {
        QTest::addColumn<QString>("folder");
        for (const char* f : {"Data", "Data//", "./Data", "Data/../Data/.", "../Data"})
            QTest::newRow(f) << QString::fromLatin1(f);
    }
    void relativeFolder()
    {
        QFETCH(QString, folder);
        QProcess p;
        // "../Data" from inside Data itself, the others from the folder that holds it.
        p.setWorkingDirectory(QFile::decodeName(folder.startsWith("..") ? m_data : m_data + "/.."));
        p.start(kProgram, {"--levels", "0", "--format", "tsv", folder});
        QVERIFY(p.waitForFinished(120000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        const QByteArray root = m_data + "/";
        QCOMPARE(p.readAllStandardOutput().split('\n').first(), "0\tR\t" + root + "\t" + root);
    }

    void textTree()
    {
        const Run r = run({QFile::decodeName(m_data), "--types=*.txt"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(QString::fromUtf8(r.out),
                 QString::fromUtf8(m_data) + QStringLiteral("/\n"
                                                            "├── Letters\n"
                                                            "│   └── Note.txt\n"
                                                            "├── Old\n"
                                                            "│   └── 2005\n"
                                                            "│       └── x.txt\n"
                                                            "└── a.txt\n"));
    }

    // Folder totals in the text format, in bytes and readable by people (-h).
    void totals_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("out"); // after the root's path
        QTest::newRow("bytes") << QStringList{"--totals"}
                               << "/  (2 files, 1 folder)\n"
                                  "├── [  10]  sub  (1 file, 0 folders)\n"
                                  "│   └── [  10]  x\n"
                                  "└── [1536]  k.bin\n\n"
                                  "1546 bytes in 1 folder, 2 files\n";
        QTest::newRow("human") << QStringList{"--totals", "-h"}
                               << "/  (2 files, 1 folder)\n"
                                  "├── [  10]  sub  (1 file, 0 folders)\n"
                                  "│   └── [  10]  x\n"
                                  "└── [1.5K]  k.bin\n\n"
                                  "1.5K in 1 folder, 2 files\n";
    }
    void totals()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, out);
        const QByteArray root = QFile::encodeName(m_temp.path()) + "/sums";
        ::mkdir(root, 0755);
        ::mkdir(root + "/sub", 0755);
        touch(root + "/sub/x", "0123456789");
        touch(root + "/k.bin", QByteArray(1536, 'k').constData());
        const Run r = run(options << QFile::decodeName(root));
        QCOMPARE(r.exitCode, 0);
        const QString first = options.contains("-h") ? "[1.5K]  " : "[1546]  ";
        QCOMPARE(QString::fromUtf8(r.out), first + QFile::decodeName(root) + out);
    }

    void details_data()
    {
        QTest::addColumn<QString>("details");
        QTest::addColumn<QString>("line"); // a.txt's line: 3 bytes, writable
        QTest::newRow("readonly,size") << "readonly,size"
                                       << "a.txt-------3";
        QTest::newRow("case and dashes") << "ReadOnly,SIZE,Type"
                                         << "a.txt-------TXT-----3";
        QTest::newRow("underscore") << "Normal,file_type_is_not_a_name"
                                    << "";
        QTest::newRow("empty list") << ""
                                    << "a.txt";
    }
    void details()
    {
        QFETCH(QString, details);
        QFETCH(QString, line);
        const Run r = run(
            {"--details", details, "--format", "tsv", "--levels", "0", QFile::decodeName(m_data)});
        if (line.isEmpty()) {
            QCOMPARE(r.exitCode, 2);
            return;
        }
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains("\t" + line.toUtf8() + "\n"), r.out.constData());
    }

    void allDetails()
    {
        const QString folder = QFile::decodeName(m_data);
        const Run all = run({"--details", "all", "--format", "tsv", folder});
        const Run each = run({"--details",
                              "ALL,archive,compressed,hidden,normal,read_only,system,date-created,"
                              "date_last_accessed,Date-Last-Modified,type,size",
                              "--format", "tsv", folder});
        QCOMPARE(all.exitCode, 0);
        // "read_only" is not an item ("ReadOnly" is one word).
        QCOMPARE(each.exitCode, 2);
        const Run listed = run({"--details",
                                "all,archive,compressed,hidden,normal,readonly,system,date-created,"
                                "date_last_accessed,Date-Last-Modified,type,size",
                                "--format", "tsv", folder});
        QCOMPARE(listed.out, all.out);
        QVERIFY(all.out.contains("\tb.doc----------N----------"));
    }

    // Names with tabs, newlines, backslashes and bytes that are not UTF-8.
    void escaping()
    {
        const QByteArray root = QFile::encodeName(m_temp.path()) + "/odd";
        ::mkdir(root, 0755);
        touch(root + "/tab\there");
        touch(root + "/line\nbreak\r");
        touch(root + "/back\\slash");
        touch(root + "/bad\xff"
                     "byte");
        touch(root + "/quote\"d");
        const Run tsv = run({"--format", "tsv", QFile::decodeName(root)});
        QCOMPARE(tsv.exitCode, 0);
        const QList<QByteArray> lines = tsv.out.split('\n');
        QCOMPARE(lines.size(), 7); // root, five files, and the empty rest after the last "\n"
        QVERIFY(tsv.out.contains("\tback\\\\slash\n"));
        QVERIFY(tsv.out.contains("\tbad\\xFFbyte\n"));
        QVERIFY(tsv.out.contains("\tline\\nbreak\\r\n"));
        QVERIFY(tsv.out.contains("\ttab\\there\n"));
        for (const QByteArray& l : lines)
            QVERIFY(l.isEmpty() || l.count('\t') == 3);

        const Run json = run({"--format", "json", QFile::decodeName(root)});
        QCOMPARE(json.exitCode, 0);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(json.out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonArray children =
            doc.object().value("tree").toObject().value("children").toArray();
        QStringList texts, exact;
        for (const QJsonValue& c : children) {
            texts << c.toObject().value("text").toString();
            exact << c.toObject().value("text_bytes").toString();
        }
        QCOMPARE(exact, QStringList({"", "626164ff62797465", "", "", ""}));
        QCOMPARE(texts, QStringList({"back\\slash",
                                     QString::fromUtf8("bad\xEF\xBF\xBD"
                                                       "byte"),
                                     "line\nbreak\r", "quote\"d", "tab\there"}));

        const Run text = run({QFile::decodeName(root)});
        QCOMPARE(text.out.count('\n'), 6); // one line per node, whatever the name holds
        ::unlink(root + "/bad\xff"
                        "byte"); // QTemporaryDir can't remove it

        // Names that would act on a terminal: escape sequences, DEL, a C1 control (CSI) and a
        // right-to-left override. TSV escapes every C0 control; text and standard error show
        // none of them raw, the start folder's error included.
        const QByteArray hostile = QFile::encodeName(m_temp.path()) + "/hostile";
        ::mkdir(hostile, 0755);
        touch(hostile + "/esc\x1b[31mred");
        touch(hostile + "/del\x7f");
        touch(hostile + "/csi\xc2\x9b"
                        "2J");
        touch(hostile + "/rlo\xe2\x80\xae"
                        "txt.exe");
        touch(hostile + "/bell\x07\x01");
        const QList<QByteArray> raw = {"\x1b", "\x7f", "\xc2\x9b", "\xe2\x80\xae", "\x07", "\x01"};
        const Run hostileTsv = run({"--format", "tsv", QFile::decodeName(hostile)});
        QCOMPARE(hostileTsv.exitCode, 0);
        QVERIFY(hostileTsv.out.contains("\tesc\\x1B[31mred\n"));
        QVERIFY(hostileTsv.out.contains("\tdel\\x7F\n"));
        QVERIFY(hostileTsv.out.contains("\tbell\\x07\\x01\n"));
        const Run hostileText = run({QFile::decodeName(hostile)});
        QCOMPARE(hostileText.exitCode, 0);
        QCOMPARE(hostileText.out.count('\n'), 6);
        QVERIFY(hostileText.out.contains("rlo?txt.exe\n"));
        const Run missing =
            run({QFile::decodeName(hostile + "/gone\x1b]0;title\x07\n\xe2\x80\xae")});
        QCOMPARE(missing.exitCode, 2);
        QCOMPARE(missing.err.count('\n'), 1);
        QVERIFY2(missing.err.contains("gone?]0;title??"), missing.err.constData());
        for (const QByteArray& bytes : raw) {
            QVERIFY2(!hostileText.out.contains(bytes), hostileText.out.toHex().constData());
            QVERIFY(!hostileText.err.contains(bytes) && !missing.err.contains(bytes));
        }
        for (const char* bytes : {"\x1b", "\x7f", "\x07", "\x01"})
            QVERIFY(!hostileTsv.out.contains(bytes));
        // The spreadsheet keeps the exact names in a file, and shows none of them raw on a
        // terminal.
        const Run csv = run({"--format", "csv", QFile::decodeName(hostile)});
        QVERIFY(csv.out.contains("esc\x1b[31mred"));
        const QByteArray csvOnTerminal =
            runOnTerminal({"--format", "csv", QFile::decodeName(hostile)});
        QVERIFY2(csvOnTerminal.contains("esc?[31mred"), csvOnTerminal.constData());
        for (const QByteArray& bytes : raw)
            QVERIFY2(!csvOnTerminal.contains(bytes), csvOnTerminal.toHex().constData());
    }

    // --pdf: drawn offscreen whatever display the environment names (none answers here), and
    // a file that can't be written is told before the scan (no count of what it found).
    void pdfFile_data()
    {
        QTest::addColumn<QString>("pdf"); // in the temporary folder unless absolute
        QTest::addColumn<QStringList>("env");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::newRow("DISPLAY nobody answers")
            << "x11.pdf" << QStringList{"DISPLAY=:97", "QT_QPA_PLATFORM="} << 0 << "Dirs = ";
        QTest::newRow("WAYLAND_DISPLAY nobody answers")
            << "wayland.pdf" << QStringList{"WAYLAND_DISPLAY=nowhere-0", "QT_QPA_PLATFORM="} << 0
            << "Dirs = ";
        QTest::newRow("missing folder")
            << "/nonexistent-quillmap/x.pdf" << QStringList{} << 2
            << "Cannot write /nonexistent-quillmap/x.pdf: the folder /nonexistent-quillmap does "
               "not exist";
        QTest::newRow("a folder") << "Data" << QStringList{} << 2 << ": it is a folder";
    }
    void pdfFile()
    {
        QFETCH(QString, pdf);
        QFETCH(QStringList, env);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& setting : env) {
            const QString name = setting.section(QLatin1Char('='), 0, 0);
            const QString value = setting.section(QLatin1Char('='), 1);
            if (value.isEmpty())
                environment.remove(name);
            else
                environment.insert(name, value);
        }
        const QString path = pdf.startsWith(QLatin1Char('/')) ? pdf : m_temp.filePath(pdf);
        const Run r = run({"--pdf", path, QFile::decodeName(m_data)}, kProgram, environment);
        QVERIFY2(r.exitCode == exitCode, r.err.constData());
        QVERIFY2(QString::fromUtf8(r.err).contains(err), r.err.constData());
        if (exitCode == 0) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-");
        } else {
            QVERIFY2(!r.err.contains("Dirs = "), r.err.constData());
        }
    }

    // The print's settings and pages: the layout (columns under their headings), the type,
    // the footer, a page range (numbered as in the whole document; past its end a failure).
    void printOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("firstPageHas"); // a line of the first page printed
        QTest::addColumn<bool>("labelled");        // pages have their footer
        QTest::addColumn<bool>("regular");         // the tree in the regular font
        QTest::newRow("defaults") << QStringList{} << 0 << 5 << "folder0" << true << false;
        QTest::newRow("columns") << QStringList{"--layout", "columns", "--details", "size"} << 0
                                 << 5 << "Name Size" << true << false;
        QTest::newRow("regular, no footer, 12 pt")
            << QStringList{"--regular", "--no-footer", "--font-size", "12"} << 0 << 6 << "folder0"
            << false << true;
        QTest::newRow("pages 2 to 3")
            << QStringList{"--pages", "2-3"} << 0 << 2 << "-Page 2-" << true << false;
        QTest::newRow("page 5 on")
            << QStringList{"--pages", "5-"} << 0 << 1 << "-Page 5-" << true << false;
        QTest::newRow("past the end")
            << QStringList{"--pages", "9"} << 2 << 0 << "" << true << false;
    }
    void printOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(int, pages);
        QFETCH(QString, firstPageHas);
        QFETCH(bool, labelled);
        QFETCH(bool, regular);
        const QString tree = m_temp.filePath(QStringLiteral("pages"));
        if (!QFileInfo::exists(tree)) {
            for (int d = 0; d < 4; ++d) {
                const QByteArray folder =
                    QFile::encodeName(tree) + "/folder" + QByteArray::number(d);
                QVERIFY(QDir().mkpath(QFile::decodeName(folder)));
                for (int f = 0; f < 60; ++f)
                    touch(folder + "/file " + QByteArray::number(f) + ".txt", "x");
            }
        }
        const QString pdf = m_temp.filePath(QStringLiteral("options.pdf"));
        QFile::remove(pdf);
        const Run r = run(args + QStringList{"--pdf", pdf, tree});
        QVERIFY2(r.exitCode == exitCode, r.err.constData());
        if (exitCode != 0) {
            QVERIFY2(r.err.contains("The tree makes 5 pages: there is no page 9 to print."),
                     r.err.constData());
            QVERIFY(!QFileInfo::exists(pdf));
            return;
        }
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {pdf});
        QVERIFY(info.waitForFinished(60000));
        const QString pdfInfo = QString::fromUtf8(info.readAllStandardOutput());
        QCOMPARE(QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(pdfInfo).captured(1),
                 QString::number(pages));
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(60000));
        const QString firstPage = QString::fromUtf8(text.readAllStandardOutput()).simplified();
        QVERIFY2(firstPage.contains(firstPageHas), qPrintable(firstPage));
        QCOMPARE(firstPage.contains(QLatin1String("-Page ")), labelled);
        QProcess fonts;
        fonts.start(QStringLiteral("pdffonts"), {pdf});
        QVERIFY(fonts.waitForFinished(60000));
        QCOMPARE(fonts.readAllStandardOutput().contains("DejaVuSans "), regular);
    }

    // --pdf into every kind of target: only the target changes, and only once the PDF is
    // complete; a replaced file keeps its owner, mode and links; a refusal comes before the scan.
    void pdfTargets_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("target");  // as given, from the row's folder
        QTest::addColumn<QString>("written"); // the file that must hold the PDF ("": stdout)
        QTest::addColumn<bool>("asUser");     // run as nobody (needs root)
        QTest::addColumn<int>("exitCode");
        const QString shm = QStringLiteral("/dev/shm/quillmap-test-%1.pdf").arg(::getpid());
        QTest::newRow("link to a folder, then ..") << "dotdot"
                                                   << "sym/../victim.pdf"
                                                   << "a/victim.pdf" << false << 0;
        QTest::newRow("new file in /dev/shm") << "new" << shm << shm << false << 0;
        QTest::newRow("file in /dev/shm") << "old" << shm << shm << false << 0;
        QTest::newRow("/dev/stdout into a pipe") << "pipe"
                                                 << "/dev/stdout"
                                                 << "" << false << 0;
        QTest::newRow("/dev/fd/1 into a pipe") << "pipe"
                                               << "/dev/fd/1"
                                               << "" << false << 0;
        QTest::newRow("hard-linked file") << "hardlink"
                                          << "t.pdf"
                                          << "t.pdf" << false << 0;
        QTest::newRow("another user's file") << "owner"
                                             << "t.pdf"
                                             << "t.pdf" << false << 0;
        QTest::newRow("255-byte name")
            << "new" << QString(251, u'n') + ".pdf" << QString(251, u'n') + ".pdf" << false << 0;
        QTest::newRow("full disk under /dev/shm")
            << "full" << QStringLiteral("/dev/shm/quillmap-full-%1/t.pdf").arg(::getpid()) << ""
            << false << 2;
        QTest::newRow("writable file, read-only folder") << "rofolder"
                                                         << "ro/t.pdf"
                                                         << "ro/t.pdf" << true << 0;
        QTest::newRow("another user's file, sticky folder") << "sticky"
                                                            << "st/t.pdf"
                                                            << "st/t.pdf" << true << 0;
        QTest::newRow("new file, read-only folder") << "new"
                                                    << "ro/n.pdf"
                                                    << "" << true << 2;
    }
    void pdfTargets()
    {
        QFETCH(QString, kind);
        QFETCH(QString, target);
        QFETCH(QString, written);
        QFETCH(bool, asUser);
        QFETCH(int, exitCode);
        const bool root = ::geteuid() == 0;
        if ((asUser || kind == "owner" || kind == "full") && !root)
            QSKIP("needs root");
        if (asUser && QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("setpriv is not installed");
        if (target.startsWith("/dev/shm") && !QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            QSKIP("no /dev/shm here");
        QTemporaryDir dir;
        const QByteArray d = QFile::encodeName(dir.path());
        ::chmod(d, 0755);
        const QByteArray old = "%PDF-1.4 the user's earlier file\n";
        const QByteArray t = target.startsWith('/') ? QFile::encodeName(target)
                                                    : d + '/' + QFile::encodeName(target);
        const QByteArray full = t.left(t.lastIndexOf('/'));
        const auto cleanup = qScopeGuard([&] {
            if (target.startsWith("/dev/shm"))
                ::unlink(t);
            if (kind == "full") {
                ::umount2(full, MNT_DETACH);
                ::rmdir(full);
            }
        });
        ::mkdir(d + "/ro", 0755);
        ::mkdir(d + "/st", 01777);
        ::chmod(d + "/st", 01777);
        if (kind == "dotdot") {
            ::mkdir(d + "/a", 0755);
            ::mkdir(d + "/a/b", 0755);
            QVERIFY(::symlink("a/b", d + "/sym") == 0);
            touch(d + "/victim.pdf", old);
        } else if (kind == "full") {
            ::mkdir(full, 0755);
            if (::mount("tmpfs", full, "tmpfs", 0, "size=64k") != 0)
                QSKIP("can't mount a file system here");
            touch(t, old);
            touch(full + "/fill", QByteArray(59 * 1024, 'x')); // the rest of it

        } else if (kind != "new" && kind != "pipe") {
            touch(t, old);
        }
        if (kind == "hardlink")
            QVERIFY(::link(t, d + "/second.pdf") == 0);
        if (kind == "owner") {
            QVERIFY(::chown(t, 65534, 65534) == 0);
            QVERIFY(::chmod(t, 0640) == 0);
        }
        if (kind == "rofolder" || kind == "sticky")
            QVERIFY(::chmod(t, 0666) == 0);
        ::chmod(d + "/ro", 0555);
        struct stat before
        {
        };
        ::stat(t, &before);
        const auto names = [](const QString& folder) {
            return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                          QDir::Name);
        };
        const QStringList namesBefore = names(dir.path());

        QProcess p;
        p.setWorkingDirectory(dir.path());
        QString program = kProgram;
        QStringList args{"--pdf", target, dir.path()};
        if (asUser) {
            program = dir.filePath("quillmap_list");
            QVERIFY(QFile::copy(kProgram, program));
            args = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + args;
            program = QStringLiteral("setpriv");
        }
        p.start(program, args);
        QVERIFY(p.waitForFinished(120000));
        const QByteArray out = p.readAllStandardOutput();
        const QByteArray err = p.readAllStandardError();
        QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == exitCode,
                 err.constData());
        if (exitCode != 0) {
            if (kind == "full") {
                QCOMPARE(readFile(QFile::decodeName(t)), old);
                QCOMPARE(names(QFile::decodeName(full)), QStringList({"fill", "t.pdf"}));
            } else {
                QVERIFY2(!err.contains("Dirs = "), err.constData()); // refused before the scan
            }
            QStringList namesAfter = names(dir.path());
            namesAfter.removeAll("quillmap_list");
            QCOMPARE(namesAfter, namesBefore);
            return;
        }
        const QByteArray pdf =
            written.isEmpty() ? out
                              : readFile(written.startsWith('/') ? written : dir.filePath(written));
        QVERIFY2(pdf.startsWith("%PDF-") && pdf.trimmed().endsWith("%%EOF"),
                 pdf.left(40).constData());
        if (kind == "dotdot")
            QCOMPARE(readFile(dir.filePath("victim.pdf")), old);
        struct stat after
        {
        };
        ::stat(t, &after);
        if (kind == "hardlink" || kind == "rofolder" || kind == "sticky")
            QCOMPARE(after.st_ino, before.st_ino); // the same file, with all its names
        if (kind == "hardlink")
            QCOMPARE(readFile(dir.filePath("second.pdf")), pdf);
        if (kind != "new" && kind != "pipe" && kind != "dotdot") {
            QCOMPARE(after.st_uid, before.st_uid);
            QCOMPARE(after.st_gid, before.st_gid);
            QCOMPARE(after.st_mode, before.st_mode);
        }
        // Nothing else left behind.
        QStringList namesAfter = names(dir.path());
        namesAfter.removeAll("quillmap_list");
        QStringList expected = namesBefore;
        if (kind == "new" && !target.startsWith('/'))
            expected << written;
        expected.sort();
        QCOMPARE(namesAfter, expected);
    }

    // A tree deeper than the open-files limit allows folders open, listed whole at any limit
    // where find lists it, also with descriptors the program inherits.
    void lowOpenFilesLimit_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("inherited");
        QTest::newRow("16 descriptors") << 16 << 0;
        QTest::newRow("64 descriptors, 40 of them inherited") << 64 << 40;
    }
    void lowOpenFilesLimit()
    {
        QFETCH(int, limit);
        QFETCH(int, inherited);
        QTemporaryDir dir;
        QByteArray path = QFile::encodeName(dir.path());
        for (int i = 0; i < 100; ++i) {
            path += "/d";
            QCOMPARE(::mkdir(path, 0755), 0);
            touch(path + "/f.txt");
        }
        QProcess p;
        p.setChildProcessModifier([limit, inherited] {
            for (int i = 0; i < inherited; ++i)
                ::open("/dev/null", O_RDONLY);
            const rlimit low{rlim_t(limit), rlim_t(limit)};
            ::setrlimit(RLIMIT_NOFILE, &low);
        });
        p.start(kProgram, {"--format", "tsv", dir.path()});
        QVERIFY(p.waitForFinished(120000));
        const QByteArray err = p.readAllStandardError();
        QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, err.constData());
        QCOMPARE(p.readAllStandardOutput().count('\n'), 201);
        QVERIFY2(err.contains("Dirs = 100 Files = 100"), err.constData());
    }

    // A listing saved, the tree changed in every way, then compared: each node's mark, and
    // diff's exit status.
    void compare()
    {
        const QByteArray root = QFile::encodeName(m_temp.path()) + "/cmp";
        for (const char* d : {"", "/keep", "/gone", "/gone/inner", "/swap"})
            ::mkdir(root + d, 0755);
        touch(root + "/keep/same.txt", "1");
        touch(root + "/keep/grows.txt", "1");
        touch(root + "/keep/touched.txt", "1");
        touch(root + "/gone/inner/z.txt");
        touch(root + "/old-name.txt");
        const QString folder = QFile::decodeName(root);
        const QString saved = m_temp.path() + "/cmp.json";
        const Run save = run({"--format", "json", folder});
        QCOMPARE(save.exitCode, 0);
        QFile file(saved);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(save.out) == save.out.size());
        file.close();

        touch(root + "/keep/grows.txt", "12");
        const struct timespec times[2] = {{0, UTIME_OMIT}, {1'000'000'000, 0}};
        ::utimensat(AT_FDCWD, root + "/keep/touched.txt", times, 0);
        ::rename(root + "/old-name.txt", root + "/new-name.txt");
        ::unlink(root + "/gone/inner/z.txt");
        ::rmdir(root + "/gone/inner");
        ::rmdir(root + "/gone");
        ::rmdir(root + "/swap");
        touch(root + "/swap");
        touch(root + "/keep/added.txt");

        const Run r = run({"--compare", saved, "--format", "tsv", folder});
        QCOMPARE(r.exitCode, 1);
        QStringList marks;
        for (const QByteArray& line : r.out.split('\n'))
            if (!line.isEmpty())
                marks << QString::fromUtf8(line.split('\t')[2].mid(root.size()) + ' ' +
                                           line.split('\t')[4]);
        QCOMPARE(marks,
                 QStringList({"/ changed", "/gone/ removed", "/gone/inner/ removed",
                              "/gone/inner/z.txt removed", "/keep/ changed",
                              "/keep/added.txt added", "/keep/grows.txt changed",
                              "/keep/same.txt same", "/keep/touched.txt changed", "/swap/ removed",
                              "/new-name.txt added", "/old-name.txt removed", "/swap added"}));
        QVERIFY2(r.err.contains("Files: 3 added, 2 removed, 2 changed, 1 same. Folders: 0 added, "
                                "3 removed, 1 changed, 0 same. Bytes: 1 added, 0 removed."),
                 r.err.constData());

        const Run changedOnly = run({"--compare", saved, "--changed-only", folder});
        QCOMPARE(changedOnly.exitCode, 1);
        QVERIFY(changedOnly.out.contains("\xE2\x94\x80\xE2\x94\x80 + added.txt\n"));
        QVERIFY(!changedOnly.out.contains("same.txt"));

        const Run json = run({"--compare", saved, "--format", "json", saved});
        QCOMPARE(json.exitCode, 0);
        QVERIFY(json.out.contains(R"("kind":"root","change":"same","children":[)"));

        touch(root + "/broken.json", "{\"format\":\"quillmap-listing\",\"version\":1,\"tree\":{");
        const Run broken = run({"--compare", QFile::decodeName(root + "/broken.json"), folder});
        QCOMPARE(broken.exitCode, 2);
        QVERIFY2(broken.err.contains("is cut short"), broken.err.constData());
        QVERIFY(broken.out.isEmpty());
    }

    // A filtered search says so in every output that records its options, and a comparison
    // with a listing made without them says they differ.
    void filtersRecorded()
    {
        const QString folder = QFile::decodeName(m_data);
        const QStringList filters = {"--exclude", "Old", "--hidden", "--min-size", "1"};
        const QString text = QStringLiteral("exclude: Old; hidden entries; size from 1");
        const Run json = run(filters + QStringList{"--format", "json", folder});
        QCOMPARE(json.exitCode, 0);
        const QJsonObject options =
            QJsonDocument::fromJson(json.out).object()["options"].toObject();
        QCOMPARE(options["filters"].toObject(),
                 QJsonObject({{"exclude", QJsonArray{"Old"}}, {"hidden", true}, {"minSize", 1}}));
        QVERIFY(!json.out.contains("\"key\":\"" + m_data + "/Old/\""));
        QVERIFY(!json.out.contains("b.doc")); // empty

        const Run csv = run(filters + QStringList{"--format", "csv", folder});
        QCOMPARE(csv.out.split('\n').value(1), ",filters,," + text.toUtf8() + ",,,,,,,,,,\r");
        const Run html = run(filters + QStringList{"--format", "html", folder});
        QVERIFY(html.out.contains("<p id=\"filters\">Filters: " + text.toUtf8() + "</p>"));

        const QString saved = m_temp.path() + "/filtered.json";
        QVERIFY(writeFile(saved, json.out));
        const Run compared = run({"--compare", saved, folder});
        QCOMPARE(compared.exitCode, 1);
        QVERIFY2(compared.err.contains("the listings were made with different filters (" + m_data +
                                       "/: none; " + QFile::encodeName(saved) + ": " +
                                       text.toUtf8() + ")"),
                 compared.err.constData());
        const Run same = run(filters + QStringList{"--compare", saved, folder});
        QCOMPARE(same.exitCode, 0);
        QVERIFY(!same.err.contains("different filters"));

        // The printout's second line.
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext is not installed (scripts/setup --tests installs it)");
        const QString pdf = m_temp.path() + "/filtered.pdf";
        QCOMPARE(run(filters + QStringList{"--pdf", pdf, folder}).exitCode, 0);
        const Run pdfText = run({"-layout", pdf, "-"}, QStringLiteral("pdftotext"));
        QVERIFY2(pdfText.out.simplified().contains("Filters: " + text.toUtf8()),
                 pdfText.out.constData());
    }

    // What ncdu -f and gdu -f open from an ncdu export written here, and what ncdu -o and
    // gdu -o write read back here as the same tree.
    void ncduExports_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::newRow("ncdu") << "ncdu";
        QTest::newRow("gdu") << "gdu";
    }
    void ncduExports()
    {
        QFETCH(QString, tool);
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(tool + " is not installed (scripts/setup --tests installs it)"));
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path()) + "/tree";
        for (const char* d : {"", "/sub", "/sub/deeper", "/empty"})
            ::mkdir(root + d, 0755);
        touch(root + "/a b.txt", "abc");
        touch(root + "/q\"uote\\d.txt", "quo");
        touch(root + "/.hidden", "hi");
        touch(root + "/sub/x.bin", QByteArray(5000, 'x'));
        touch(root + "/sub/deeper/y", "y");
        // gdu reads names as UTF-8 only. (Qt can't remove a name that isn't: done here.)
        const QByteArray badName = root + "/bad\xfe.bin";
        const auto removeBadName = qScopeGuard([&] { ::unlink(badName.constData()); });
        if (tool == "ncdu")
            touch(badName, "bad!");
        const QString folder = QFile::decodeName(root);
        const Run ours = run({"--format", "ncdu", "--hidden", folder});
        QCOMPARE(ours.exitCode, 0);
        const QString file = dir.path() + "/ours.json";
        QVERIFY(writeFile(file, ours.out));
        const QStringList lines = ncduLines(ours.out);
        QCOMPARE(lines.size(), tool == "ncdu" ? 9 : 8);

        if (tool == "ncdu") {
            // ncdu reads it and writes it out again: the same entries with the same sizes.
            const Run again = run({"-f", file, "-o", "-"}, tool);
            QCOMPARE(again.exitCode, 0);
            QCOMPARE(ncduLines(again.out), lines);
        } else {
            // gdu shows each entry of the top with its size, counting every folder as 4096
            // bytes of its own.
            const Run shown = run({"-f", file, "-n", "-p", "--no-prefix", "-a"}, tool);
            QCOMPARE(shown.exitCode, 0);
            QStringList got;
            for (const QByteArray& line : shown.out.split('\n'))
                if (!line.trimmed().isEmpty())
                    got << QString::fromUtf8(line.simplified()).remove(u'/');
            got.sort();
            QStringList expected;
            for (const QString& line : lines) {
                const QString path = line.section(u' ', 0, -2);
                const qint64 bytes = line.section(u' ', -1).toLongLong();
                if (path.count(u'/') > (path.endsWith(u'/') ? 1 : 0))
                    continue; // below the top
                const qsizetype folders =
                    path.endsWith(u'/')
                        ? lines
                              .filter(QRegularExpression("^" + QRegularExpression::escape(path) +
                                                         "(.*/)? "))
                              .size()
                        : 0;
                expected << QString::number(bytes + 4096 * folders) + u' ' +
                                path.chopped(path.endsWith(u'/') ? 1 : 0);
            }
            expected.sort();
            QCOMPARE(got, expected);
        }

        // The tool's own export, compared with the folder here: nothing differs.
        const QString theirs = dir.path() + "/theirs.json";
        const Run exported = run(tool == "ncdu" ? QStringList{"-o", theirs, folder}
                                                : QStringList{"-p", "-o", theirs, folder},
                                 tool);
        QCOMPARE(exported.exitCode, 0);
        const Run compared = run({"--compare", theirs, "--hidden", "--format", "tsv", folder});
        QVERIFY2(compared.exitCode == 0, compared.out.constData());
        QVERIFY2(!compared.err.contains("different filters"), compared.err.constData());
        QCOMPARE(compared.out.count("\tsame\n"), lines.size() + 1);
    }

    // As root, for real: an unprivileged user can't list a folder with mode 000.
    void unreadableAsUser()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to switch to an unprivileged user");
        if (QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("setpriv is not installed");
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path());
        ::chmod(root, 0755);
        // A copy of the program where the user can surely run it.
        const QByteArray program = root + "/quillmap_list";
        QVERIFY(QFile::copy(kProgram, QFile::decodeName(program)));
        ::chmod(program, 0755);
        const QByteArray tree = root + "/tree";
        for (const char* d : {"", "/open", "/locked", "/locked/inner", "/shut", "/shut\nline"})
            ::mkdir(tree + d, 0755);
        touch(tree + "/open/seen.txt");
        touch(tree + "/locked/hidden_from_user.txt");
        touch(tree + "/top.txt");
        ::chmod(tree + "/locked", 0);
        ::chmod(tree + "/shut", 0);
        ::chmod(tree + "/shut\nline", 0);
        const QStringList asNobody = {"--reuid=65534", "--regid=65534", "--clear-groups",
                                      QFile::decodeName(program)};
        const Run r = run(asNobody + QStringList{"--format", "tsv", QFile::decodeName(tree)},
                          QStringLiteral("setpriv"));
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.out.contains("\tlocked\n") && r.out.contains("\tseen.txt\n") &&
                     r.out.contains("\ttop.txt\n") && !r.out.contains("hidden_from_user"),
                 r.out.constData());
        // One line for each, whatever the name holds.
        QCOMPARE(r.err, "Dirs = 4 Files = 2\n" + tree + "/locked: Permission denied\n" + tree +
                            "/shut: Permission denied\n" + tree +
                            "/shut?line: Permission denied\n");

        const Run start = run(asNobody + QStringList{QFile::decodeName(tree + "/shut")},
                              QStringLiteral("setpriv"));
        QCOMPARE(start.exitCode, 2);
        QVERIFY(start.err.contains("cannot list the folder"));
        QVERIFY(start.out.isEmpty());
        ::chmod(tree + "/locked", 0755);
        ::chmod(tree + "/shut", 0755);
        ::chmod(tree + "/shut\nline", 0755);
    }
};

QTEST_GUILESS_MAIN(TestQuillmapList)
#include "tst_quillmap_list.moc"
