// Real printing: a private CUPS server with a PDF queue whose device is a file, made the
// default printer; the Print command (through its dialog, on that printer, with the number of
// pages it will print) and `quillmap_list --print` send jobs to it, and the file that reaches
// the "printer" is read back.
#include "PdfCheck.h"
#include "main_window/FormMain.h"
#include "main_window/PdfPreview.h"
#include "main_window/PrintDir.h"
#include "main_window/PrintOptionsPanel.h"
#include "platform/controls/FolderList.h"
#include "platform/print/QtPrintBackend.h"
#include "printing/CPrintTvw.h"
#include "tests/common/ChooseFile.h"
#include "tests/common/SettingsSandbox.h"
#include "tree/NodeStore.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QPdfSelection>
#include <QPrintDialog>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

using namespace quillmap;

namespace {

const QString kCupsd = QStringLiteral("/usr/sbin/cupsd");
const QString kPdfPpd = QStringLiteral("/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd");
const QString kQueue = QStringLiteral("quillmap-test-pdf");

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// The node texts in pre-order: the order the tree is printed in.
QStringList preOrder(const NodeStore& store)
{
    QStringList texts;
    std::vector<NodeStore::Id> pending;
    for (NodeStore::Id top = store.firstTopLevel(); top != NodeStore::npos;
         top = store.nextSibling(top))
        pending.insert(pending.begin(), top);
    while (!pending.empty()) {
        const NodeStore::Id id = pending.back();
        pending.pop_back();
        texts << store.displayText(id);
        std::vector<NodeStore::Id> children;
        for (NodeStore::Id c = store.firstChild(id); c != NodeStore::npos; c = store.nextSibling(c))
            children.push_back(c);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return texts;
}

void makeFolderTree(const QTemporaryDir& tree)
{
    QVERIFY(QDir(tree.path()).mkpath(QStringLiteral("alpha/beta")));
    QVERIFY(QDir(tree.path()).mkpath(QStringLiteral("gamma")));
    for (const QString& name :
         {QStringLiteral("alpha/one.txt"), QStringLiteral("alpha/beta/two.txt"),
          QStringLiteral("gamma/three.txt"), QStringLiteral("four.txt")}) {
        QFile file(tree.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(name.toUtf8());
    }
}

bool writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text.toUtf8()) == text.toUtf8().size();
}

} // namespace

class TestPrintJob : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    test::SettingsSandbox m_settings; // the windows made here read no user's settings
    QProcess m_cupsd;
    QString m_output;     // the file the queue's device writes
    qint64 m_logSeen = 0; // how much of the server's error log has been looked at

    QString path(const QString& name) const { return m_dir.filePath(name); }

    bool queueIdle()
    {
        QProcess lpstat;
        lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-o")});
        return lpstat.waitForFinished(10000) && lpstat.exitCode() == 0 &&
               lpstat.readAllStandardOutput().trimmed().isEmpty();
    }

    // Waits for the printed job's file. Gives up within seconds, with the print server's reason
    // in `why`, when the queue stops (a failing filter stops it), the job ends without a file
    // (aborted or cancelled) or the server logs an error for a job and no file follows (a job
    // stopped on its own, as when the device can't be opened, leaves the queue enabled and busy).
    bool waitForPrintedFile(QString* why = nullptr)
    {
        QTest::qWait(200);
        int idleWithoutFile = 0;
        QStringList jobErrors;
        QElapsedTimer sinceJobError;
        for (int i = 0; i < 600; ++i) {
            const bool idle = queueIdle();
            if (idle && QFile::exists(m_output) && pdfcheck::pages(m_output) > 0) {
                newJobErrors(); // not this wait's: an earlier one's, or past
                return true;
            }
            idleWithoutFile = idle ? idleWithoutFile + 1 : 0;
            jobErrors += newJobErrors();
            if (!jobErrors.isEmpty() && !sinceJobError.isValid())
                sinceJobError.start();
            QProcess lpstat;
            lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-p"), kQueue});
            const bool stopped = lpstat.waitForFinished(10000) &&
                                 lpstat.readAllStandardOutput().contains("disabled");
            const bool jobFailed = sinceJobError.isValid() && sinceJobError.elapsed() > 3000;
            if (stopped || jobFailed || idleWithoutFile > 20) {
                if (why)
                    *why = QStringLiteral("the job %1:\n%2")
                               .arg(stopped     ? QStringLiteral("stopped the queue")
                                    : jobFailed ? QStringLiteral("failed")
                                                : QStringLiteral("ended without output"),
                                    jobErrors.isEmpty() ? serverLog()
                                                        : jobErrors.join(QLatin1Char('\n')));
                newJobErrors();
                return false;
            }
            QTest::qWait(100);
        }
        if (why)
            *why = QStringLiteral("no output in time:\n") + serverLog();
        return false;
    }

    // The print server's error lines about jobs ("E ... [Job n] ...") logged since the last call.
    QStringList newJobErrors()
    {
        QFile log(path(QStringLiteral("log/error_log")));
        QStringList errors;
        if (!log.open(QIODevice::ReadOnly) || log.size() < m_logSeen || !log.seek(m_logSeen))
            return errors;
        const QByteArray text = log.readAll();
        const qsizetype whole = text.lastIndexOf('\n') + 1; // a line being written waits
        m_logSeen += whole;
        for (const QByteArray& line : text.left(whole).split('\n'))
            if (line.startsWith("E ") && line.contains("[Job "))
                errors << QString::fromUtf8(line);
        return errors;
    }

    // The print server's errors (its log's "E" lines), else the end of its log.
    QString serverLog() const
    {
        QFile log(path(QStringLiteral("log/error_log")));
        if (!log.open(QIODevice::ReadOnly))
            return QString();
        const QByteArray text = log.readAll();
        QStringList errors;
        for (const QByteArray& line : text.split('\n'))
            if (line.startsWith("E "))
                errors << QString::fromUtf8(line);
        return errors.isEmpty() ? QString::fromUtf8(text.right(3000))
                                : errors.mid(errors.size() - 20).join(QLatin1Char('\n'));
    }

    void stopCupsd()
    {
        if (m_cupsd.state() != QProcess::NotRunning) {
            m_cupsd.terminate();
            if (!m_cupsd.waitForFinished(10000)) {
                m_cupsd.kill();
                m_cupsd.waitForFinished(5000);
            }
        }
    }

    // Runs `action`, printing from the print dialog it opens once the dialog has counted the
    // pages; returns the count it showed, -1 when it showed none or chose another printer.
    int printFromDialog(const std::function<void()>& action)
    {
        int counted = -1;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            const auto* options = dialog->findChild<PrintOptionsPanel*>();
            const auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
            if (!options || options->pageCount() < 0)
                return; // still counting
            if (printers && printers->currentText() == kQueue)
                counted = options->pageCount();
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        timer.start(20);
        action();
        return counted;
    }

public:
    ~TestPrintJob() override { stopCupsd(); }

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("the private print server needs root (it runs its jobs as the user lp)");
        QVERIFY2(QFile::exists(kCupsd) && QFile::exists(kPdfPpd),
                 "cups and cups-filters are needed (scripts/setup installs them)");
        QVERIFY(m_dir.isValid());
        // The print settings the dialogs remember go here, not into the user's.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(QStringLiteral("config"))));
        // cupsd runs filters as lp: its folders must be reachable and its temp folder writable.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther);
        for (const char* sub : {"spool", "cache", "state", "log", "ppd", "tmp", "out"})
            QVERIFY(QDir(m_dir.path()).mkpath(QString::fromLatin1(sub)));
        QVERIFY(::chmod(QFile::encodeName(path(QStringLiteral("tmp"))).constData(), 01777) == 0);
        // The queue's paper is the locale's (A4 here), as for a PDF file, so that every way of
        // printing gives the same pages.
        QFile ppd(kPdfPpd);
        QVERIFY(ppd.open(QIODevice::ReadOnly));
        QByteArray ppdText = ppd.readAll();
        for (const char* key : {"*DefaultPageSize: ", "*DefaultImageableArea: ",
                                "*DefaultPaperDimension: ", "*DefaultPageRegion: "})
            ppdText.replace(QByteArray(key) + "Letter", QByteArray(key) + "A4");
        QFile queuePpd(path(QStringLiteral("ppd/%1.ppd").arg(kQueue)));
        QVERIFY(queuePpd.open(QIODevice::WriteOnly) && queuePpd.write(ppdText) == ppdText.size());
        queuePpd.close();
        m_output = path(QStringLiteral("out/printed.pdf"));

        const QString root = m_dir.path();
        const int port = freePort();
        QVERIFY(port > 0);
        QVERIFY(writeFile(path(QStringLiteral("cups-files.conf")),
                          QStringLiteral("User lp\nGroup lp\nSystemGroup root\nFileDevice Yes\n"
                                         "ServerRoot %1\nRequestRoot %1/spool\nTempDir %1/tmp\n"
                                         "CacheDir %1/cache\nStateDir %1/state\n"
                                         "ErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                                         "PageLog %1/log/page_log\n")
                              .arg(root)));
        QVERIFY(writeFile(path(QStringLiteral("cupsd.conf")),
                          QStringLiteral("Listen 127.0.0.1:%1\nListen %2/cups.sock\n"
                                         "LogLevel info\nBrowsing No\nWebInterface No\n"
                                         "DefaultAuthType None\n"
                                         "<Location />\nOrder allow,deny\nAllow all\n</Location>\n")
                              .arg(port)
                              .arg(root)));
        QVERIFY(writeFile(path(QStringLiteral("printers.conf")),
                          QStringLiteral("<DefaultPrinter %1>\nInfo Quillmap test PDF printer\n"
                                         "DeviceURI file://%2\nState Idle\nAccepting Yes\n"
                                         "Shared No\n</DefaultPrinter>\n")
                              .arg(kQueue, m_output)));

        // The server dies with this process, even if the test crashes.
        m_cupsd.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_cupsd.setProcessChannelMode(QProcess::ForwardedChannels);
        m_cupsd.start(kCupsd, {QStringLiteral("-f"), QStringLiteral("-c"),
                               path(QStringLiteral("cupsd.conf")), QStringLiteral("-s"),
                               path(QStringLiteral("cups-files.conf"))});
        QVERIFY2(m_cupsd.waitForStarted(10000), "cupsd did not start");

        // Every client of this process (Qt's print support, lpstat, quillmap_list) uses it.
        qputenv("CUPS_SERVER", QFile::encodeName(path(QStringLiteral("cups.sock"))));
        qputenv("LPDEST", kQueue.toUtf8());
        bool up = false;
        for (int i = 0; i < 200 && !up; ++i) {
            QTest::qWait(100);
            QProcess lpstat;
            lpstat.start(QStringLiteral("lpstat"), {QStringLiteral("-d")});
            up = lpstat.waitForFinished(5000) && lpstat.exitCode() == 0 &&
                 lpstat.readAllStandardOutput().contains(kQueue.toUtf8());
        }
        QVERIFY2(up,
                 qPrintable(QStringLiteral("the print server did not come up:\n") + serverLog()));
        newJobErrors();
        QCOMPARE(QtPrintBackend().defaultPrinterName(), kQueue);
    }

    void cleanupTestCase() { stopCupsd(); }

    void printCommandPrintsTheTree_data()
    {
        QTest::addColumn<int>("folders");
        QTest::addColumn<int>("files");
        QTest::newRow("one page") << 1 << 4;
        QTest::newRow("several pages") << 8 << 16;
    }
    void printCommandPrintsTheTree()
    {
        QFETCH(int, folders);
        QFETCH(int, files);
        NodeStore store;
        const auto root = store.add(NodeStore::npos, "/srv/data/", "/srv/data/");
        QStringList expected{QStringLiteral("/srv/data/")};
        for (int d = 0; d < folders; ++d) {
            const std::string name = "folder " + std::to_string(d);
            const auto folder = store.addChild(root, name, true, name);
            expected << QString::fromStdString(name);
            for (int f = 0; f < files; ++f) {
                const std::string file =
                    "report-" + std::to_string(d) + "-" + std::to_string(f) + ".odt";
                store.addChild(folder, file, false, file);
                expected << QString::fromStdString(file);
            }
        }
        QFile::remove(m_output);
        std::shared_ptr<CPrintTvw> printObject;
        const int counted = printFromDialog([&] { PrintDir(nullptr, store, printObject); });
        QVERIFY(printObject);
        QVERIFY2(printObject->errorString().isEmpty(), qPrintable(printObject->errorString()));
        QString why;
        QVERIFY2(waitForPrintedFile(&why), qPrintable(why));
        int pages = 0;
        const QString problem = pdfcheck::checkPrintedTree(
            m_output, QStringLiteral("View of /srv/data/"), expected, &pages);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(folders < 8 || pages > 1);
        // The dialog, on the default printer, showed the pages that were printed.
        QCOMPARE(counted, pages);
    }

    // The window's own commands: a search of a real folder, then File > Print.
    void windowSearchThenPrint()
    {
        QTemporaryDir tree;
        makeFolderTree(tree);
        FormMain window;
        QVERIFY(window.Dir1->setPath(QFile::encodeName(tree.path()).toStdString()));
        QSignalSpy searched(&window, &FormMain::searchFinished);
        window.MNU_Search->trigger();
        QVERIFY(searched.wait(60000)); // the search runs beside the window
        const QStringList expected = preOrder(window.store());
        QCOMPARE(expected.size(), 8);

        QFile::remove(m_output);
        QVERIFY(printFromDialog([&] { window.MNU_Print->trigger(); }) > 0);
        QString why;
        QVERIFY2(waitForPrintedFile(&why), qPrintable(why));
        const QString problem = pdfcheck::checkPrintedTree(
            m_output, QStringLiteral("View of ") + expected.first(), expected);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // Print, Print Preview, Save as PDF... and quillmap_list --pdf give the same document.
    void sameDocumentEverywhere()
    {
        QTemporaryDir tree;
        for (int d = 0; d < 3; ++d) {
            const QString folder = QStringLiteral("Folder %1").arg(d);
            QVERIFY(QDir(tree.path()).mkpath(folder));
            for (int f = 0; f < 40; ++f)
                QVERIFY(writeFile(tree.filePath(folder + QStringLiteral("/file %1.txt").arg(f)),
                                  QStringLiteral("x")));
        }
        FormMain window;
        QVERIFY(window.Dir1->setPath(QFile::encodeName(tree.path()).toStdString()));
        QSignalSpy searched(&window, &FormMain::searchFinished);
        window.MNU_Search->trigger();
        QVERIFY(searched.wait(60000)); // the search runs beside the window

        QFile::remove(m_output);
        QVERIFY(printFromDialog([&] { window.MNU_Print->trigger(); }) > 0);
        QString why;
        QVERIFY2(waitForPrintedFile(&why), qPrintable(why));
        const int pages = pdfcheck::pages(m_output);
        const QStringList printed = pdfcheck::linesWithoutFooters(m_output);
        QVERIFY(pages >= 2);
        QVERIFY(printed.size() > 120);

        // Answers the next modal dialog with `answer`.
        const auto answering = [](std::function<void(QWidget*)> answer) {
            auto* timer = new QTimer;
            QObject::connect(timer, &QTimer::timeout, [timer, answer] {
                if (QWidget* modal = QApplication::activeModalWidget()) {
                    timer->stop();
                    timer->deleteLater();
                    answer(modal);
                    // Whatever the answer found, never leave a modal dialog waiting.
                    if (modal->isVisible())
                        QMetaObject::invokeMethod(modal, "reject");
                }
            });
            timer->start(20);
        };

        const QString saved = m_dir.filePath(QStringLiteral("saved.pdf"));
        answering([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(),
                     QFileInfo(tree.path()).fileName() + QStringLiteral(".pdf"));
            test::chooseFile(*dialog, saved);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        window.MNU_SaveAsPdf->trigger();
        QCOMPARE(pdfcheck::pages(saved), pages);
        QCOMPARE(pdfcheck::linesWithoutFooters(saved), printed);

        // The preview shows the document the PDF writer makes: the same pages, the same lines.
        int previewPages = -1;
        QStringList previewLines;
        answering([&](QWidget* modal) {
            auto* preview = qobject_cast<PdfPreview*>(modal);
            QVERIFY(preview);
            QTRY_VERIFY_WITH_TIMEOUT(preview->complete(), 60000);
            previewPages = preview->pagesShown();
            for (int page = 0; page < previewPages; ++page)
                for (const QString& line :
                     preview->document().getAllText(page).text().split(QLatin1Char('\n')))
                    if (!line.trimmed().isEmpty() &&
                        !line.contains(QStringLiteral("-Page %1-").arg(page + 1)))
                        previewLines << line.simplified();
            preview->reject();
        });
        window.MNU_PrintPreview->trigger();
        QCOMPARE(previewPages, pages);
        QCOMPARE(previewLines.size(), printed.size());

        const QString listed = m_dir.filePath(QStringLiteral("listed.pdf"));
        QProcess list;
        list.start(QStringLiteral(QUILLMAP_BIN_DIR "/quillmap_list"),
                   {QStringLiteral("--pdf"), listed, tree.path()});
        QVERIFY(list.waitForFinished(60000));
        QCOMPARE(list.exitCode(), 0);
        QCOMPARE(pdfcheck::pages(listed), pages);
        QCOMPARE(pdfcheck::linesWithoutFooters(listed), printed);
    }

    void listerPrintsAScannedFolder()
    {
        const QString program = QStringLiteral(QUILLMAP_BIN_DIR "/quillmap_list");
        if (!QFile::exists(program))
            QSKIP("quillmap_list is not built");
        QTemporaryDir tree;
        QVERIFY(QDir(tree.path()).mkpath(QStringLiteral("alpha/beta")));
        QVERIFY(QDir(tree.path()).mkpath(QStringLiteral("gamma")));
        for (const QString& name :
             {QStringLiteral("alpha/one.txt"), QStringLiteral("alpha/beta/two.txt"),
              QStringLiteral("gamma/three.txt"), QStringLiteral("four.txt")})
            QVERIFY(writeFile(tree.filePath(name), name));

        // The listing gives the lines in tree order; the printed pages must show the same.
        QProcess list;
        list.start(program, {QStringLiteral("--format"), QStringLiteral("tsv"), tree.path()});
        QVERIFY(list.waitForFinished(60000));
        QCOMPARE(list.exitCode(), 0);
        QStringList expected;
        for (const QByteArray& line : list.readAllStandardOutput().split('\n'))
            if (!line.isEmpty())
                expected << QString::fromUtf8(line.split('\t').value(3));
        QCOMPARE(expected.size(), 8);

        QFile::remove(m_output);
        QProcess print;
        print.start(program, {QStringLiteral("--print"), tree.path()});
        QVERIFY(print.waitForFinished(60000));
        QVERIFY2(print.exitCode() == 0, print.readAllStandardError().constData());
        QString why;
        QVERIFY2(waitForPrintedFile(&why), qPrintable(why));
        const QString problem = pdfcheck::checkPrintedTree(
            m_output, QStringLiteral("View of ") + expected.first(), expected);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
};

QTEST_MAIN(TestPrintJob)
#include "tst_PrintJob.moc"
