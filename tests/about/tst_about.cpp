#include "about/frmAbout.h"
#include "support/GenFunctions.h"
#include "support/LangFunctions.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace quillmap;
namespace LF = quillmap::LangFunctions;

// Receives the pages the About box asks the desktop to open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// What a notice box showed; filled by watchForNotice.
struct Notice
{
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons;
};

class TestAbout : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_path;

    template <typename T> static T* child(QWidget& w, const char* name)
    {
        T* c = w.findChild<T*>(QString::fromLatin1(name));
        if (!c)
            qFatal("no child %s", name);
        return c;
    }

    // Closes the next modal message box and records what it showed.
    static void watchForNotice(Notice& notice)
    {
        auto* timer = new QTimer;
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, &notice] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            notice.shown = true;
            notice.title = box->windowTitle();
            notice.text = box->text();
            notice.icon = box->icon();
            notice.buttons = box->standardButtons();
            box->accept();
            timer->deleteLater();
        });
        timer->start();
    }

    QString writeScript(const QString& relPath, const QString& marker)
    {
        const QString path = m_dir.filePath(relPath);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        f.write("#!/bin/sh\n: > '" + marker.toUtf8() + "'\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

private slots:
    void initTestCase()
    {
        m_path = qgetenv("PATH");
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath("bin"));
        QVERIFY(QDir(m_dir.path()).mkpath("empty"));
    }

    void cleanup()
    {
        qputenv("PATH", m_path);
        qunsetenv("QUILLMAP_SYSINFO");
        qputenv("LC_ALL", "C.UTF-8");
    }

    void captions_data()
    {
        QTest::addColumn<QByteArray>("locale");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("disclaimerStart");
        QTest::addColumn<QString>("ok");
        QTest::addColumn<QString>("sysInfo");
        QTest::addColumn<QString>("otherProducts");
        QTest::newRow("German") << QByteArray("de_DE.UTF-8") << QString::fromUtf8("Über Tst About")
                                << "Tst About\nListet einen Ordnerbaum auf und druckt ihn"
                                << "Version 1.0.0"
                                << "Hinweis:"
                                << "OK"
                                << "Systeminfo..."
                                << "Weitere Produkte von Tallowmere";
        QTest::newRow("English") << QByteArray("en_GB.UTF-8") << "About Tst About"
                                 << "Tst About\nLists a folder tree and prints it"
                                 << "Version 1.0.0"
                                 << "Warning:"
                                 << "OK"
                                 << "System Info..."
                                 << "Other products from Tallowmere";
    }

    void captions()
    {
        QFETCH(QByteArray, locale);
        QFETCH(QString, caption);
        QFETCH(QString, title);
        QFETCH(QString, version);
        QFETCH(QString, disclaimerStart);
        QFETCH(QString, ok);
        QFETCH(QString, sysInfo);
        QFETCH(QString, otherProducts);

        // A fresh run: the language is detected on the first lookup, from the locale.
        qputenv("LC_ALL", locale);
        LF::ResetMessages(QStringLiteral(QUILLMAP_SOURCE_DIR "/resources/"));

        QWidget mainWindow;
        frmAbout about(&mainWindow);
        about.show();
        QVERIFY(about.isModal());
        QCOMPARE(about.windowTitle(), caption);
        QCOMPARE(child<QLabel>(about, "lblTitle")->text(), title);
        QCOMPARE(child<QLabel>(about, "lblVersion")->text(), version);
        QVERIFY(child<QLabel>(about, "lblDisclaimer")->text().startsWith(disclaimerStart));
        QCOMPARE(child<QPushButton>(about, "cmdOK")->text(), ok);
        QCOMPARE(child<QPushButton>(about, "cmdSysInfo")->text(), sysInfo);
        QVERIFY(child<QLabel>(about, "Label3")->text().contains(otherProducts));
        QVERIFY(child<QLabel>(about, "Label1")->text().contains("www.tallowmere.example"));
        const QPixmap picture = child<QLabel>(about, "Image1")->pixmap();
        QCOMPARE(picture.size(), QSize(60, 80));

        const QRect screen = about.screen()->geometry();
        QCOMPARE(about.pos(), GenFunctions::CentredPosition(about.size(), screen));
        about.hide();
    }

    void reloadedOnEveryShowing()
    {
        qputenv("LC_ALL", "en_US.UTF-8");
        LF::ResetMessages(QStringLiteral(QUILLMAP_SOURCE_DIR "/resources/"));
        frmAbout about;
        about.show();
        QCOMPARE(about.windowTitle(), QStringLiteral("About Tst About"));
        about.hide();
        LF::LanguageName = QStringLiteral("FRENCH");
        about.show();
        QCOMPARE(about.windowTitle(), QString::fromUtf8("À propos de Tst About"));
        about.hide();
    }

    void noMessageFile()
    {
        LF::ResetMessages(m_dir.filePath("empty") + QLatin1Char('/'));
        frmAbout about;
        about.show();
        QCOMPARE(about.windowTitle(), QStringLiteral(" Tst About"));
        QCOMPARE(child<QLabel>(about, "lblVersion")->text(), QStringLiteral(" 1.0.0"));
        QCOMPARE(child<QPushButton>(about, "cmdOK")->text(), QString());
        about.hide();
    }

    void keysClose_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(QDialog::Accepted);
        QTest::newRow("Esc") << int(Qt::Key_Escape) << int(QDialog::Rejected);
    }

    void keysClose()
    {
        QFETCH(int, key);
        QFETCH(int, result);
        LF::ResetMessages(QStringLiteral(QUILLMAP_SOURCE_DIR "/resources/"));
        frmAbout about;
        auto* ok = child<QPushButton>(about, "cmdOK");
        auto* sysInfo = child<QPushButton>(about, "cmdSysInfo");
        about.show();
        QVERIFY(ok->isDefault());
        // Even with the focus on the other button, Enter means OK.
        sysInfo->setFocus();
        QTest::keyClick(sysInfo, Qt::Key(key));
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), result);
        // Shown again by the next About click.
        about.show();
        QVERIFY(about.isVisible());
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!about.isVisible());
    }

    void links()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
        frmAbout about;
        about.show();
        for (const char* name : {"Label1", "Label3"}) {
            auto* label = child<QLabel>(about, name);
            QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(4, label->height() / 2));
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(catcher.urls,
                 (QList<QUrl>{QUrl("https://www.tallowmere.example/index.html"),
                              QUrl("https://www.tallowmere.example/cart/index.php")}));
        QVERIFY(about.isVisible());
    }

    void getKeyValue_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("variable"); // QUILLMAP_SYSINFO, unset when empty
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("keyVal");
        const QString msinfo = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
        QTest::newRow("PATH set") << msinfo << "PATH" << QByteArray("/opt/x/sysinfo") << true
                                  << "/opt/x/sysinfo";
        QTest::newRow("names without case")
            << msinfo.toLower() << "path" << QByteArray("/opt/x/sysinfo") << true
            << "/opt/x/sysinfo";
        QTest::newRow("PATH unset") << msinfo << "PATH" << QByteArray() << false << "";
        QTest::newRow("unknown value") << msinfo << "VERSION" << QByteArray("/x") << false << "";
        QTest::newRow("unknown key") << "SOFTWARE\\Other"
                                     << "PATH" << QByteArray("/x") << false << "";
    }

    void getKeyValue()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, variable);
        QFETCH(bool, found);
        QFETCH(QString, keyVal);
        if (variable.isEmpty())
            qunsetenv("QUILLMAP_SYSINFO");
        else
            qputenv("QUILLMAP_SYSINFO", variable);
        QString result = QStringLiteral("stale");
        QCOMPARE(frmAbout::GetKeyValue(key, value, result), found);
        QCOMPARE(result, keyVal);
    }

    // Which program the System Info button starts, or the notice when there is none.
    void sysInfo_data()
    {
        QTest::addColumn<bool>("variable");         // QUILLMAP_SYSINFO names a script
        QTest::addColumn<bool>("variableExists");   // ... that exists
        QTest::addColumn<QStringList>("onPath");    // tools placed in a PATH folder
        QTest::addColumn<QString>("expectStarted"); // marker name; empty: the notice
        QTest::newRow("variable") << true << true << QStringList{"hardinfo"} << "variable";
        QTest::newRow("variable not a program")
            << true << false << QStringList{"hardinfo"} << QString();
        QTest::newRow("first tool on PATH")
            << false << false << QStringList{"hardinfo", "gnome-system-monitor"}
            << "gnome-system-monitor";
        QTest::newRow("last tool on PATH")
            << false << false << QStringList{"hardinfo"} << "hardinfo";
        QTest::newRow("nothing") << false << false << QStringList{} << QString();
    }

    void sysInfo()
    {
        QFETCH(bool, variable);
        QFETCH(bool, variableExists);
        QFETCH(QStringList, onPath);
        QFETCH(QString, expectStarted);

        QTemporaryDir run;
        QVERIFY(QDir(run.path()).mkpath("bin"));
        QTemporaryDir tools;
        const auto marker = [&](const QString& name) { return run.filePath(name + ".started"); };
        for (const QString& tool : onPath) {
            QFile::copy(writeScript("bin/" + tool, marker(tool)),
                        tools.filePath(tool)); // keeps the permissions
        }
        qputenv("PATH", tools.path().toUtf8());
        if (variable) {
            const QString script = writeScript("variable.sh", marker("variable"));
            qputenv("QUILLMAP_SYSINFO",
                    variableExists ? script.toUtf8() : m_dir.filePath("absent").toUtf8());
        }

        LF::ResetMessages(QStringLiteral(QUILLMAP_SOURCE_DIR "/resources/"));
        frmAbout about;
        about.show();
        Notice notice;
        if (expectStarted.isEmpty())
            watchForNotice(notice);
        QTest::mouseClick(child<QPushButton>(about, "cmdSysInfo"), Qt::LeftButton);

        if (expectStarted.isEmpty()) {
            QVERIFY(notice.shown);
            QCOMPARE(notice.title, about.windowTitle());
            QCOMPARE(notice.text, LF::GetMessageText(19));
            QVERIFY(!notice.text.isEmpty());
            QCOMPARE(notice.icon, QMessageBox::NoIcon);
            QCOMPARE(notice.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        } else {
            QTRY_VERIFY(QFile::exists(marker(expectStarted)));
            for (const QString& tool : onPath) {
                if (tool != expectStarted)
                    QVERIFY(!QFile::exists(marker(tool)));
            }
        }
        QVERIFY(about.isVisible());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
