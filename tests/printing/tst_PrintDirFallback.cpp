// The Print command without a default printer (the print server named in CUPS_SERVER does not
// exist): the tree goes into a PDF in the documents folder and the user is told where; with no
// searched tree the user is told to search first. A long save shows its progress and can be
// cancelled.
#include "PdfCheck.h"
#include "main_window/PrintDir.h"
#include "platform/print/QtPrintBackend.h"
#include "printing/CPrintTvw.h"
#include "support/LangFunctions.h"
#include "support/SystemErrorText.h"
#include "tests/common/ChooseFile.h"
#include "tree/NodeStore.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <clocale>
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

    // Runs Save as PDF on `store` into `target`, agreeing to replace what is there and calling
    // `onProgress` on the progress dialog; returns the text of the message box it ends with.
    template <typename F>
    QString saveAs(NodeStore& store, const QString& target, std::shared_ptr<CPrintTvw>& print,
                   F onProgress)
    {
        QString message;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* files = qobject_cast<QFileDialog*>(modal)) {
                test::chooseFile(*files, target);
                QMetaObject::invokeMethod(files, "accept", Qt::QueuedConnection);
            } else if (auto* progress = qobject_cast<QProgressDialog*>(modal)) {
                onProgress(progress);
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
                    yes->click(); // replace what is there: yes
                } else {
                    message = box->text();
                    box->accept();
                }
            }
        });
        timer.start(20);
        SaveAsPdf(nullptr, store, print);
        return message;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qunsetenv("XDG_CONFIG_HOME");
        QVERIFY(QtPrintBackend().defaultPrinterName().isEmpty());
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

    // Save as PDF... before any search says there is nothing to save; a save that fails says
    // why, from the message file in the user's language and with the C library's reason in
    // it (Qt's own English reason for a full disk must not reach the user).
    void saveMessages_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("searched");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing, English") << "ENGLISH" << false
                                          << "There is nothing to save yet. Search a folder "
                                             "first, then save its tree as a PDF file.";
        QTest::newRow("nothing, German") << "GERMAN" << false
                                         << "Es gibt noch nichts zu speichern. Durchsuchen Sie "
                                            "zuerst einen Ordner und speichern Sie dann seinen "
                                            "Baum als PDF-Datei.";
        QTest::newRow("disk full, English")
            << "ENGLISH" << true
            << "The PDF file could not be saved. The file %P could not be written: %R";
        QTest::newRow("disk full, German")
            << "GERMAN" << true
            << "Die PDF-Datei konnte nicht gespeichert werden. Die Datei %P konnte nicht "
               "geschrieben werden: %R";
    }
    void saveMessages()
    {
        QFETCH(QString, language);
        QFETCH(bool, searched);
        QFETCH(QString, expected);
        LangFunctions::ResetMessages(QStringLiteral(QUILLMAP_SOURCE_DIR "/resources/"));
        LangFunctions::LanguageName = language;
        // The C library's reason in German too, where the machine has the German locale.
        if (language == QLatin1String("GERMAN"))
            std::setlocale(LC_MESSAGES, "de_DE.UTF-8");
        expected.replace(QLatin1String("%R"), SystemErrorText(ENOSPC));
        // A full disk: a link to /dev/full, which the save writes through.
        QTemporaryDir out;
        const QString target = out.filePath(QStringLiteral("tree.pdf"));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), target));
        expected.replace(QLatin1String("%P"), target);
        NodeStore store;
        if (searched)
            store.add(NodeStore::npos, "/srv/", "/srv/");
        std::shared_ptr<CPrintTvw> printObject;
        const QString message = saveAs(store, target, printObject, [](QProgressDialog*) {});
        LangFunctions::ResetMessages();
        std::setlocale(LC_MESSAGES, "");
        QCOMPARE(message, expected);
    }

    void previewPrintsToAFile()
    {
        NodeStore store;
        const auto root = store.add(NodeStore::npos, "/srv/share/", "/srv/share/");
        store.addChild(root, "plan.odt", false, "plan.odt");
        std::shared_ptr<CPrintTvw> printObject;
        QString proposed;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<QPrintDialog*>(modal)) {
                // The print dialog, set to print into the proposed file.
                if (auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename")))
                    proposed = file->text();
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            } else if (auto* preview = qobject_cast<QPrintPreviewDialog*>(modal)) {
                if (!proposed.isEmpty())
                    return;
                for (QAction* action : preview->findChildren<QAction*>())
                    if (action->text() == QLatin1String("Print")) {
                        QMetaObject::invokeMethod(action, "trigger", Qt::QueuedConnection);
                        return;
                    }
            }
        });
        timer.start(50);
        PrintPreview(nullptr, store, printObject);
        timer.stop();
        QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!QFileInfo(folder).isDir())
            folder = QDir::homePath();
        QCOMPARE(QFileInfo(proposed).absolutePath(), folder);
        QVERIFY2(QFileInfo(proposed).fileName().startsWith(QLatin1String("View of _srv_share_ ")),
                 qPrintable(proposed));
        const QString problem = pdfcheck::checkPrintedTree(
            proposed, QStringLiteral("View of /srv/share/"), {"/srv/share/", "plan.odt"});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // Save as PDF of a tree of thousands of pages, cancelled from its progress dialog: no
    // message, no file left behind, the earlier file as it was.
    void cancelledSaveKeepsTheEarlierFile()
    {
        NodeStore store;
        const auto root = store.add(NodeStore::npos, "/big/", "/big/");
        for (int i = 0; i < 200000; ++i) {
            const std::string name = "file " + std::to_string(i) + ".txt";
            store.addChild(root, name, false, name);
        }
        QTemporaryDir out;
        const QString target = out.filePath(QStringLiteral("tree.pdf"));
        QFile earlier(target);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
        earlier.close();

        bool cancelled = false;
        std::shared_ptr<CPrintTvw> printObject;
        const QString message =
            saveAs(store, target, printObject, [&cancelled](QProgressDialog* progress) {
                cancelled = progress->labelText().startsWith(QLatin1String("Pages done: "));
                progress->cancel();
            });
        QVERIFY(cancelled);
        QVERIFY(printObject->Cancelled());
        QVERIFY2(message.isEmpty(), qPrintable(message));
        QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"tree.pdf"});
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier"));
    }
};

QTEST_MAIN(TestPrintDirFallback)
#include "tst_PrintDirFallback.moc"
