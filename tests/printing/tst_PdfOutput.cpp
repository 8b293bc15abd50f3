// The Print command's document written as a PDF file and read back.
#include "PdfCheck.h"
#include "platform/print/PainterPrinterDevice.h"
#include "platform/print/PrintFont.h"
#include "platform/print/QtPrintBackend.h"
#include "printing/CPrintTvw.h"
#include "printing/DirectoryPrint.h"
#include "printing/PrintJob.h"
#include "tree/NodeStore.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillmap;

namespace {

// The platform's printers and PDF writer, as the window and quillmap_list print through them.
PrintBackend& backend()
{
    static QtPrintBackend platform;
    return platform;
}

// A tree of `lines` file lines under one folder: a PDF of some tens of KB.
void fill(NodeStore& store, int lines)
{
    const auto root = store.add(NodeStore::npos, "/data/", "/data/");
    for (int i = 0; i < lines; ++i) {
        const std::string name = "file number " + std::to_string(i) + ".txt";
        store.addChild(root, name, false, name);
    }
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Every name in `folder`, hidden ones too: a temporary file left behind shows here.
QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

bool isPdf(const QByteArray& bytes)
{
    return bytes.startsWith("%PDF-") && bytes.trimmed().endsWith("%%EOF");
}

} // namespace

class TestPdfOutput : public QObject
{
    Q_OBJECT

private slots:
    void printedTree_data()
    {
        QTest::addColumn<int>("folders");
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("minPages");
        QTest::addColumn<QString>("extra"); // one more file, in the last folder
        QTest::addColumn<bool>("extraReadable");
        QTest::addColumn<int>("fonts");        // embedded
        QTest::addColumn<QString>("readBack"); // the extra file's line as the page shows it
        QTest::newRow("one line") << 0 << 0 << 1 << QString() << true << 1 << QString();
        QTest::newRow("one page") << 2 << 5 << 1 << QString() << true << 1 << QString();
        QTest::newRow("several pages") << 12 << 20 << 3 << QString() << true << 1 << QString();
        // Accents and Greek are in the print font: printed and read back as they are.
        QTest::newRow("accents") << 1 << 2 << 1 << QStringLiteral("Résumé Ωmega ñ.txt") << true << 1
                                 << QString();
        // A script the print font lacks: drawn in a fallback font (scripts/setup installs
        // TrueType and CFF ones; CMakeLists.txt runs this row with only the CFF one too), found
        // in the text as it is.
        QTest::newRow("other script")
            << 1 << 2 << 1 << QStringLiteral("\u65E5\u672C\u8A9E.txt") << true << 2 << QString();
        // Right to left, in the print font: shaped (the letters joined) and shown from right to
        // left, read back in the order it is written.
        QTest::newRow("right to left")
            << 1 << 2 << 1 << QStringLiteral("\u0645\u0644\u0641 \u0639\u0631\u0628\u064A.txt")
            << true << 1 << QString();
        // As a browser shows them (the Unicode bidirectional algorithm): a number in
        // right-to-left text keeps its order, brackets go round what they enclose, a number
        // after right-to-left words goes with them. The text reads as the page shows it.
        QTest::newRow("right to left, number")
            << 1 << 2 << 1 << QStringLiteral("\u0645\u0644\u0641 10.5.txt") << true << 1
            << QStringLiteral("10.5 \u0645\u0644\u0641.txt");
        QTest::newRow("right to left, brackets")
            << 1 << 2 << 1 << QStringLiteral("\u0645\u0644\u0641 (2).txt") << true << 1
            << QStringLiteral("(2) \u0645\u0644\u0641.txt");
        QTest::newRow("right to left, mixed")
            << 1 << 2 << 1 << QStringLiteral("report \u0645\u0644\u0641 12.txt") << true << 1
            << QStringLiteral("report 12 \u0645\u0644\u0641.txt");
        // Scripts whose letters combine, in fallback fonts (Devanagari and Thai from
        // scripts/setup), and emoji in a font with outlines: shaped, read back as written.
        QTest::newRow("letters that combine")
            << 1 << 2 << 1
            << QStringLiteral("\u0939\u093F\u0928\u094D\u0926\u0940 \u0915\u094D"
                              "\u0937\u0924\u094D\u0930\u093F\u092F \u0E44"
                              "\u0E21\u0E49.txt")
            << true << 3 << QString();
        QTest::newRow("emoji") << 1 << 2 << 1 << QStringLiteral("\U0001F389\U0001F44D.txt") << true
                               << 2 << QString();
        // No installed font has it: a box on the page, the character in the text.
        QTest::newRow("no font has it")
            << 1 << 2 << 1 << QStringLiteral("box \U0010FFFD.txt") << true << 1 << QString();
    }
    void printedTree()
    {
        QFETCH(int, folders);
        QFETCH(int, files);
        QFETCH(int, minPages);
        QFETCH(QString, extra);
        QFETCH(bool, extraReadable);
        QFETCH(int, fonts);
        QFETCH(QString, readBack);
        NodeStore store;
        const auto root = store.add(NodeStore::npos, "/data/", "/data/");
        QStringList expected{QStringLiteral("/data/")};
        auto parent = root;
        for (int d = 0; d < folders; ++d) {
            const std::string name = "folder " + std::to_string(d);
            const auto folder = store.addChild(root, name, true, name);
            parent = folder;
            expected << QString::fromStdString(name);
            for (int f = 0; f < files; ++f) {
                const std::string file = "file-" + std::to_string(d) + "-" + std::to_string(f) +
                                         ".txt  Size=" + std::to_string(f * 37);
                store.addChild(folder, file.substr(0, file.find(' ')), false, file);
                expected << QString::fromStdString(file);
            }
        }
        if (!extra.isEmpty()) {
            store.addChild(parent, extra.toStdString(), false, extra.toStdString());
            if (extraReadable)
                expected << (readBack.isEmpty() ? extra : readBack);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tree.pdf"));
        const auto print = NewDirectoryPrint(store);
        QString error;
        QVERIFY2(PrintToPdfFile(*print, backend(), path, &error), qPrintable(error));
        int pages = 0;
        const QString problem =
            pdfcheck::checkPrintedTree(path, QStringLiteral("View of /data/"), expected, &pages);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(pages >= minPages);
        // The fonts carry only the glyphs used.
        QVERIFY2(QFileInfo(path).size() < 64 * 1024,
                 qPrintable(QString::number(QFileInfo(path).size())));
        QProcess pdffonts;
        pdffonts.start(QStringLiteral("pdffonts"), {path});
        QVERIFY(pdffonts.waitForFinished(60000) && pdffonts.exitCode() == 0);
        const QList<QByteArray> fontLines = pdffonts.readAllStandardOutput().trimmed().split('\n');
        QVERIFY2(fontLines.size() - 2 == fonts, fontLines.join('\n').constData());
    }

    // Letters that combine are shaped as the fonts say: a conjunct in one glyph, a vowel sign
    // drawn before the letter it follows, a mark placed on its letter; the first glyph of each
    // cluster stands for all of its characters in the text.
    void shaping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("glyphs");
        QTest::addColumn<bool>("ownFirst");   // the first glyph is the first letter's own
        QTest::addColumn<bool>("markPlaced"); // the last glyph takes no room of its own
        QTest::newRow("conjunct") << QStringLiteral("\u0915\u094D\u0937") << 1 << false << false;
        QTest::newRow("vowel sign before its letter")
            << QStringLiteral("\u0915\u093F") << 2 << false << false;
        QTest::newRow("Thai tone mark") << QStringLiteral("\u0E21\u0E49") << 2 << true << true;
        QTest::newRow("combining accent") << QStringLiteral("q\u0301") << 2 << true << true;
    }
    void shaping()
    {
        QFETCH(QString, text);
        QFETCH(int, glyphs);
        QFETCH(bool, ownFirst);
        QFETCH(bool, markPlaced);
        const PrintFont font;
        const char32_t first = text.at(0).unicode();
        std::vector<PrintFont::Glyph> laid;
        font.layout(QString(text.at(0)), false, laid);
        if (laid.size() != 1 || laid[0].font == PrintFont::kNoFont)
            QSKIP("no font for this script here");
        const quint32 own = laid[0].id;
        font.layout(text, false, laid);
        QCOMPARE(int(laid.size()), glyphs);
        QCOMPARE(laid[0].character, first);
        QCOMPARE(laid[0].clusterLength, int(text.size()));
        QCOMPARE(laid[0].id == own, ownFirst);
        if (markPlaced)
            QCOMPARE(laid.back().advance, 0.0f);
    }

    // The PDF written directly and the one Qt's writer makes through QPainter have the same
    // pages, line for line.
    void directAndPainterPdfAgree()
    {
        NodeStore store;
        const auto root = store.add(NodeStore::npos, "/srv/", "/srv/");
        for (int d = 0; d < 6; ++d) {
            const std::string name = "Folder " + std::to_string(d);
            const auto folder = store.addChild(root, name, true, name);
            for (int f = 0; f < 30; ++f) {
                const std::string file = "document number " + std::to_string(f) + ".odt";
                store.addChild(folder, file, false, file);
            }
        }
        const auto print = NewDirectoryPrint(store);
        QTemporaryDir dir;
        const QString direct = dir.filePath(QStringLiteral("direct.pdf"));
        QString error;
        QVERIFY2(PrintToPdfFile(*print, backend(), direct, &error), qPrintable(error));
        const QString painted = dir.filePath(QStringLiteral("painted.pdf"));
        {
            QPdfWriter writer(painted);
            writer.setPageLayout(
                PainterPrinterDevice::standardLayout(PainterPrinterDevice::localePageSize()));
            PainterPrinterDevice device(writer);
            QVERIFY(print->PrintTvw(device));
        }
        QVERIFY(pdfcheck::pages(direct) > 2);
        QCOMPARE(pdfcheck::pages(direct), pdfcheck::pages(painted));
        QCOMPARE(pdfcheck::linesWithoutFooters(direct), pdfcheck::linesWithoutFooters(painted));
    }

    // A print that fails leaves what was at the path: the user's earlier PDF (through a link
    // too) on a full disk (a file size limit stands in for it) or after a rejected print, and
    // a device that refuses the data.
    void failedWriteKeepsWhatWasThere_data()
    {
        QTest::addColumn<QString>("kind");  // file, link or device
        QTest::addColumn<bool>("diskFull"); // else the print is rejected before any output
        QTest::newRow("earlier PDF, disk full") << "file" << true;
        QTest::newRow("earlier PDF, print rejected") << "file" << false;
        QTest::newRow("link to an earlier PDF, disk full") << "link" << true;
        QTest::newRow("device that is full") << "device" << true;
    }
    void failedWriteKeepsWhatWasThere()
    {
        QFETCH(QString, kind);
        QFETCH(bool, diskFull);
        QTemporaryDir dir;
        const QString old = dir.filePath(QStringLiteral("old.pdf"));
        const QByteArray oldBytes = "%PDF-1.4 the user's earlier document\n%%EOF\n";
        QFile oldFile(old);
        QVERIFY(oldFile.open(QIODevice::WriteOnly) && oldFile.write(oldBytes) == oldBytes.size());
        oldFile.close();
        QString target = old;
        if (kind == QLatin1String("link")) {
            target = dir.filePath(QStringLiteral("link.pdf"));
            QVERIFY(QFile::link(QStringLiteral("old.pdf"), target));
        } else if (kind == QLatin1String("device")) {
            target = QStringLiteral("/dev/full");
        }
        const QStringList namesBefore = namesIn(dir.path());

        NodeStore store;
        if (diskFull)
            fill(store, 400);
        const auto print = NewDirectoryPrint(store);
        QString error;
        rlimit limit{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &limit) == 0);
        const auto oldXfsz = std::signal(SIGXFSZ, SIG_IGN);
        if (diskFull) {
            rlimit small = limit;
            small.rlim_cur = 16384;
            QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        }
        const bool printed = PrintToPdfFile(*print, backend(), target, &error);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, oldXfsz);
        QVERIFY(!printed);
        QVERIFY2(error.contains(diskFull ? QStringLiteral("Cannot write ") + target
                                         : QStringLiteral("empty")),
                 qPrintable(error));

        QCOMPARE(readAll(old), oldBytes);
        QCOMPARE(namesIn(dir.path()), namesBefore);
        if (kind == QLatin1String("link"))
            QVERIFY(QFileInfo(target).isSymLink());
        struct stat st
        {
        };
        if (kind == QLatin1String("device"))
            QVERIFY(::stat("/dev/full", &st) == 0 && S_ISCHR(st.st_mode));
    }

    // A link is followed (its target replaced, the link kept); a FIFO is written in place; a
    // replaced file keeps its mode; nothing else is left in the folder.
    void writesThroughLinksAndPipes_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to an earlier PDF") << "link";
        QTest::newRow("link to a new file") << "dangling link";
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("earlier PDF, mode 0640") << "mode";
    }
    void writesThroughLinksAndPipes()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("real.pdf"));
        const QString link = dir.filePath(QStringLiteral("link.pdf"));
        QString target = real;
        if (kind == QLatin1String("link") || kind == QLatin1String("mode")) {
            QFile file(real);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("old") == 3);
        }
        if (kind.contains(QLatin1String("link"))) {
            QVERIFY(QFile::link(QStringLiteral("real.pdf"), link));
            target = link;
        }
        if (kind == QLatin1String("mode"))
            QVERIFY(::chmod(QFile::encodeName(real).constData(), 0640) == 0);
        QProcess reader;
        if (kind == QLatin1String("fifo")) {
            target = dir.filePath(QStringLiteral("pipe"));
            QVERIFY(::mkfifo(QFile::encodeName(target).constData(), 0600) == 0);
            reader.setStandardOutputFile(dir.filePath(QStringLiteral("read")));
            reader.start(QStringLiteral("cat"), {target});
            QVERIFY(reader.waitForStarted());
        }
        const QStringList namesBefore = namesIn(dir.path());

        NodeStore store;
        fill(store, 20);
        const auto print = NewDirectoryPrint(store);
        QString error;
        QVERIFY2(PrintToPdfFile(*print, backend(), target, &error), qPrintable(error));

        struct stat st
        {
        };
        if (kind == QLatin1String("fifo")) {
            QVERIFY(reader.waitForFinished(30000));
            QVERIFY(isPdf(readAll(dir.filePath(QStringLiteral("read")))));
            QVERIFY(::lstat(QFile::encodeName(target).constData(), &st) == 0 &&
                    S_ISFIFO(st.st_mode));
            QCOMPARE(namesIn(dir.path()), namesBefore);
            return;
        }
        QVERIFY(isPdf(readAll(real)));
        QCOMPARE(pdfcheck::pages(real), 1);
        if (kind.contains(QLatin1String("link")))
            QCOMPARE(QFileInfo(link).symLinkTarget(), real);
        const QStringList expectedNames = kind == QLatin1String("dangling link")
                                              ? QStringList{"link.pdf", "real.pdf"}
                                              : namesBefore;
        QCOMPARE(namesIn(dir.path()), expectedNames);
        QVERIFY(::stat(QFile::encodeName(real).constData(), &st) == 0);
        if (kind == QLatin1String("mode"))
            QCOMPARE(int(st.st_mode & 0777), 0640);
    }

    // SIGHUP, SIGINT or SIGTERM in the middle of a print ends the program as before, and
    // removes the half-written file: the earlier PDF stays.
    void signalMidWrite_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }
    void signalMidWrite()
    {
        QFETCH(int, signalNumber);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("tree.pdf"));
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        NodeStore store;
        fill(store, 400);
        const auto print = NewDirectoryPrint(store);
        // The signal comes once the first tree line is printed: the file is open and written.
        connect(print.get(), &CPrintTvw::ProcessingTreeView,
                [signalNumber] { ::raise(signalNumber); });
        const pid_t child = ::fork();
        if (child == 0) {
            QString error;
            PrintToPdfFile(*print, backend(), target, &error);
            ::_exit(3); // not reached: the signal ends the program
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), signalNumber);
        QCOMPARE(readAll(target), QByteArray("old"));
        QCOMPARE(namesIn(dir.path()), QStringList{"tree.pdf"});
    }

    void unwritableFileIsReported()
    {
        NodeStore store;
        store.add(NodeStore::npos, "/x/", "/x/");
        const auto print = NewDirectoryPrint(store);
        QString error;
        QVERIFY(!PrintToPdfFile(*print, backend(), QStringLiteral("/nonexistent-folder/tree.pdf"),
                                &error));
        QVERIFY(error.contains(QLatin1String("/nonexistent-folder/tree.pdf")));
    }
};

QTEST_MAIN(TestPdfOutput)
#include "tst_PdfOutput.moc"
