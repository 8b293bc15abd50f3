// The Print command without a default printer (the print server named in CUPS_SERVER does not
// exist): the tree goes into a PDF in the documents folder and the user is told where; with no
// searched tree the user is told to search first.
#include "PdfCheck.h"
#include "main_window/PrintDir.h"
#include "platform/print/DefaultPrinter.h"
#include "platform/tree/NodeStore.h"
#include "printing/CPrintTvw.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace quillmap;

class TestPrintDirFallback : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    // Runs `action`, answering the message box it opens; returns the box's text.
    template <typename F> QString answerMessage(F action)
    {
        QString text;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text();
                box->accept();
            }
        });
        timer.start(20);
        action();
        return text;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qunsetenv("XDG_CONFIG_HOME");
        QVERIFY(DefaultPrinterName().isEmpty());
    }

    void emptyTreeAsksForASearch()
    {
        NodeStore store;
        std::shared_ptr<CPrintTvw> printObject;
        const QString text = answerMessage([&] { PrintDir(nullptr, store, printObject); });
        QVERIFY2(text.contains(QLatin1String("Search a folder first")), qPrintable(text));
        QVERIFY(!printObject);
    }

    void noPrinterWritesAPdf()
    {
        NodeStore store;
        const auto root = store.add(NodeStore::npos, "/home/ann/", "/home/ann/");
        store.addChild(root, "notes.txt", false, "notes.txt");
        std::shared_ptr<CPrintTvw> printObject;
        const QString text = answerMessage([&] { PrintDir(nullptr, store, printObject); });
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(folder.startsWith(m_home.path()));
        const QStringList pdfs = QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files);
        QCOMPARE(pdfs.size(), 1);
        QVERIFY(pdfs.first().startsWith(QLatin1String("View of _home_ann_ ")));
        const QString path = QDir(folder).filePath(pdfs.first());
        QVERIFY2(text.contains(path), qPrintable(text));
        const QString problem = pdfcheck::checkPrintedTree(
            path, QStringLiteral("View of /home/ann/"), {"/home/ann/", "notes.txt"});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        // A second print at once makes a second object and a second file.
        const CPrintTvw* first = printObject.get();
        answerMessage([&] { PrintDir(nullptr, store, printObject); });
        QVERIFY(printObject.get() != first);
        QCOMPARE(QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files).size(), 2);
    }
};

QTEST_MAIN(TestPrintDirFallback)
#include "tst_PrintDirFallback.moc"
