// The Print command's document written as a PDF file and read back.
#include "PdfCheck.h"
#include "platform/NodeStore.h"
#include "printing/CPrintTvw.h"
#include "printing/DirectoryPrint.h"

#include <QGuiApplication>
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
        QTest::newRow("one line") << 0 << 0 << 1;
        QTest::newRow("one page") << 2 << 5 << 1;
        QTest::newRow("several pages") << 12 << 20 << 3;
    }
    void printedTree()
    {
        QFETCH(int, folders);
        QFETCH(int, files);
        QFETCH(int, minPages);
        NodeStore store;
        const auto root = store.add(NodeStore::npos, "/data/", "/data/");
        QStringList expected{QStringLiteral("/data/")};
        for (int d = 0; d < folders; ++d) {
            const std::string name = "folder " + std::to_string(d);
            const auto folder = store.addChild(root, name, true, name);
            expected << QString::fromStdString(name);
            for (int f = 0; f < files; ++f) {
                const std::string file = "file-" + std::to_string(d) + "-" + std::to_string(f) +
                                         ".txt  Size=" + std::to_string(f * 37);
                store.addChild(folder, file.substr(0, file.find(' ')), false, file);
                expected << QString::fromStdString(file);
            }
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
