// The Print command's document written as a PDF file and read back.
#include "PdfCheck.h"
#include "platform/NodeStore.h"
#include "platform/PainterPrinterDevice.h"
#include "printing/CPrintTvw.h"
#include "printing/DirectoryPrint.h"

#include <QGuiApplication>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>

#include <string>

using namespace quillmap;

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
        QTest::newRow("one line") << 0 << 0 << 1 << QString() << true;
        QTest::newRow("one page") << 2 << 5 << 1 << QString() << true;
        QTest::newRow("several pages") << 12 << 20 << 3 << QString() << true;
        // Accents and Greek are in the print font: printed and read back as they are.
        QTest::newRow("accents") << 1 << 2 << 1 << QStringLiteral("Résumé Ωmega ñ.txt") << true;
        // A script the print font lacks: Qt's writer prints it with another font, and the rest
        // of the document is the same.
        QTest::newRow("other script") << 1 << 2 << 1 << QStringLiteral("\u6587\u4EF6.txt") << false;
    }
    void printedTree()
    {
        QFETCH(int, folders);
        QFETCH(int, files);
        QFETCH(int, minPages);
        QFETCH(QString, extra);
        QFETCH(bool, extraReadable);
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
                expected << extra;
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tree.pdf"));
        const auto print = NewDirectoryPrint(store);
        QString error;
        QVERIFY2(PrintToPdfFile(*print, path, &error), qPrintable(error));
        int pages = 0;
        const QString problem =
            pdfcheck::checkPrintedTree(path, QStringLiteral("View of /data/"), expected, &pages);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(pages >= minPages);
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
        QVERIFY2(PrintToPdfFile(*print, direct, &error), qPrintable(error));
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

    void unwritableFileIsReported()
    {
        NodeStore store;
        store.add(NodeStore::npos, "/x/", "/x/");
        const auto print = NewDirectoryPrint(store);
        QString error;
        QVERIFY(!PrintToPdfFile(*print, QStringLiteral("/nonexistent-folder/tree.pdf"), &error));
        QVERIFY(error.contains(QLatin1String("/nonexistent-folder/tree.pdf")));
    }
};

QTEST_MAIN(TestPdfOutput)
#include "tst_PdfOutput.moc"
