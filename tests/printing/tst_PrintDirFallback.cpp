// The Print command without a default printer (the print server named in CUPS_SERVER does not
// exist): its dialog proposes a PDF in the documents folder, with the number of pages, asks once
// more about a long job, and tells the user where the file went with a button that opens it;
// with no searched tree the user is told to search first. A long save shows its progress and
// can be cancelled.
#include "PdfCheck.h"
#include "main_window/PdfPreview.h"
#include "main_window/PrintDir.h"
#include "main_window/PrintOptionsPanel.h"
#include "platform/print/QtPrintBackend.h"
#include "printing/CPrintTvw.h"
#include "support/LangFunctions.h"
#include "support/SystemErrorText.h"
#include "tests/common/ChooseFile.h"
#include "tree/NodeStore.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
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

    // Runs `action`, printing from the print dialog it opens and answering the message box that
    // follows (with its Open button, where `open`); returns the box's text.
    template <typename F> QString answerMessage(F action, bool open = false)
    {
        QString text;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<QPrintDialog*>(modal)) {
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                text = box->text();
                QAbstractButton* button = nullptr;
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == QLatin1String("Open"))
                        button = b;
                if (open && button)
                    button->click();
                else
                    box->accept();
            }
        });
        timer.start(20);
        action();
        return text;
    }

    // What the desktop was asked to open.
    QList<QUrl> m_opened;
    Q_INVOKABLE void openUrl(const QUrl& url) { m_opened << url; }

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
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
        QVERIFY(QtPrintBackend().defaultPrinterName().isEmpty());
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

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
        m_opened.clear();
        const QString text = answerMessage([&] { PrintDir(nullptr, store, printObject); }, true);
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(folder.startsWith(m_home.path()));
        const QStringList pdfs = QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files);
        QCOMPARE(pdfs.size(), 1);
        QVERIFY(pdfs.first().startsWith(QLatin1String("View of _home_ann_ ")));
        const QString path = QDir(folder).filePath(pdfs.first());
        QVERIFY2(text.contains(path), qPrintable(text));
        QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(path)});
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

    // The preview's Print button: the print dialog proposes the PDF in the documents folder.
    void previewPrintsToAFile()
    {
        NodeStore store;
        const auto root = store.add(NodeStore::npos, "/srv/share/", "/srv/share/");
        store.addChild(root, "plan.odt", false, "plan.odt");
        std::shared_ptr<CPrintTvw> printObject;
        QString proposed;
        bool told = false;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<QPrintDialog*>(modal)) {
                // The print dialog, set to print into the proposed file.
                if (auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename")))
                    proposed = file->text();
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                told = true;
                box->accept();
            } else if (auto* preview = qobject_cast<PdfPreview*>(modal)) {
                if (told) {
                    preview->reject();
                    return;
                }
                if (!proposed.isEmpty() || !preview->complete())
                    return;
                QCOMPARE(preview->pagesShown(), 1);
                for (QPushButton* button : preview->findChildren<QPushButton*>())
                    if (button->text() == QLatin1String("Print...")) {
                        QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
                        return;
                    }
            }
        });
        timer.start(50);
        PrintPreview(nullptr, store, printObject);
        timer.stop();
        QVERIFY(told);
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

    // The print dialog counts the pages the tree makes (those the PDF then has); a job of more
    // than 100 pages is asked about once more, naming them, and a No prints nothing; a page
    // range prints those pages.
    void dialogCountsAndAsks_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("from"); // 0: all pages
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("asked");
        QTest::newRow("one page") << 10 << 0 << 0 << true << false;
        QTest::newRow("over 100 pages, printed") << 12000 << 0 << 0 << true << true;
        QTest::newRow("over 100 pages, not printed") << 12000 << 0 << 0 << false << true;
        QTest::newRow("pages 2 to 3 of them") << 12000 << 2 << 3 << true << false;
    }
    void dialogCountsAndAsks()
    {
        QFETCH(int, files);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, yes);
        QFETCH(bool, asked);
        NodeStore store;
        const auto root = store.add(NodeStore::npos, "/count/", "/count/");
        for (int i = 0; i < files; ++i) {
            const std::string name = "file " + std::to_string(i) + ".txt";
            store.addChild(root, name, false, name);
        }
        int counted = -1;
        QString question;
        QString told;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<QPrintDialog*>(modal)) {
                counted = dialog->findChild<PrintOptionsPanel*>()->pageCount();
                if (counted < 0)
                    return; // still counting
                if (from > 0) {
                    dialog->findChild<QRadioButton*>(QStringLiteral("printRange"))
                        ->setChecked(true);
                    dialog->findChild<QSpinBox*>(QStringLiteral("from"))->setValue(from);
                    dialog->findChild<QSpinBox*>(QStringLiteral("to"))->setValue(to);
                }
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                if (box->button(QMessageBox::Yes)) {
                    question = box->text();
                    box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
                } else {
                    told = box->text();
                    box->accept();
                }
            }
        });
        timer.start(20);
        std::shared_ptr<CPrintTvw> printObject;
        PrintDir(nullptr, store, printObject);
        timer.stop();
        QVERIFY(counted > 0);
        QCOMPARE(!question.isEmpty(), asked);
        if (asked)
            QVERIFY2(question.contains(QStringLiteral(" %1 pages").arg(counted)),
                     qPrintable(question));
        QCOMPARE(!told.isEmpty(), yes);
        if (!yes)
            return;
        const QString path = told.section(QStringLiteral("file: "), 1);
        QCOMPARE(pdfcheck::pages(path), from > 0 ? to - from + 1 : counted);
        QVERIFY(pdfcheck::pageLines(path, 1).last().contains(
            QStringLiteral("-Page %1-").arg(from > 0 ? from : 1)));
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
