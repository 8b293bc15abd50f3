// One test drives both: the window's search and quillmap_list give the same nodes for the
// same options.
#include "main_window/FormMain.h"
#include "platform/controls/FolderList.h"
#include "platform/controls/OptionsList.h"
#include "tests/common/SettingsSandbox.h"
#include "tree/NodeStore.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmap;

class TestListMatchesWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_temp;
    test::SettingsSandbox m_settings; // the windows made here read no user's settings
    QByteArray m_root;

    static void touch(const QByteArray& path, int size)
    {
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::ftruncate(fd, size), 0);
        ::close(fd);
    }

    // The window's nodes in the TSV layout of quillmap_list (the fixture needs no escapes).
    static QByteArray windowTsv(const NodeStore& store)
    {
        QByteArray out;
        std::vector<int> levels(store.size(), 0);
        for (NodeStore::Id id = 0; id < store.size(); ++id) {
            const NodeStore::Id parent = store.parent(id);
            if (parent != NodeStore::npos)
                levels[id] = levels[parent] + 1;
            const std::string key = store.key(id);
            const char kind = parent == NodeStore::npos ? 'R' : key.back() == '/' ? 'D' : 'F';
            out += QByteArray::number(levels[id]) + '\t' + kind + '\t' +
                   QByteArray::fromStdString(key) + '\t' +
                   QByteArray(store.text(id).data(), qsizetype(store.text(id).size())) + '\n';
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        m_root = QFile::encodeName(m_temp.path()) + "/tree";
        for (const char* d :
             {"", "/Alpha", "/alpha.d", "/Alpha/Deep", "/Alpha/Deep/Deeper", "/beta", "/.cache"})
            ::mkdir(m_root + d, 0755);
        int size = 0;
        for (const char* f :
             {"/Read.Me.txt", "/b.doc", "/c", "/Alpha/x.TXT", "/Alpha/Deep/y.txt",
              "/Alpha/Deep/Deeper/z.c", "/beta/w.tar.gz", "/.cache/hidden.txt", "/alpha.d/q.txt"})
            touch(m_root + f, size++ * 100);
        ::chmod(m_root + "/b.doc", 0444);
        ::symlink("Alpha", m_root + "/link-to-Alpha");
        ::symlink("b.doc", m_root + "/link-to-b");
    }

    void sameNodes_data()
    {
        QTest::addColumn<QString>("levels");
        QTest::addColumn<QString>("types");
        QTest::addColumn<QString>("details");
        QTest::addColumn<QList<int>>("ticks");
        QTest::newRow("defaults") << "ALL"
                                  << "*.*"
                                  << "" << QList<int>{};
        QTest::newRow("levels 1, *.txt, some details")
            << "1"
            << "*.txt"
            << "archive,readonly,date-modified,size" << QList<int>{2, 6, 10, 12};
        QTest::newRow("2.5, empty pattern, all") << "2.5"
                                                 << ""
                                                 << "all" << QList<int>{1};
        QTest::newRow("all lower case, ?.doc, type") << "all"
                                                     << "?.doc"
                                                     << "type" << QList<int>{11};
    }
    void sameNodes()
    {
        QFETCH(QString, levels);
        QFETCH(QString, types);
        QFETCH(QString, details);
        QFETCH(QList<int>, ticks);
        // "date-modified" is not an item; the list names it "date-last-modified".
        details.replace(QStringLiteral("date-modified"), QStringLiteral("date-last-modified"));

        FormMain window;
        window.setExitHandler([] {});
        QVERIFY(window.Dir1->setPath(m_root.toStdString()));
        window.Combo1->setEditText(levels);
        window.Text1->setText(types);
        for (int i : ticks)
            window.ListView1->setChecked(i, true); // ticking "ALL" ticks the rest
        QSignalSpy searched(&window, &FormMain::searchFinished);
        window.MNU_Search->trigger();
        QVERIFY(searched.wait(60000)); // the search runs beside the window
        const QByteArray fromWindow = windowTsv(window.store());

        QProcess list;
        list.start(QStringLiteral(QUILLMAP_BIN_DIR "/quillmap_list"),
                   {"--levels", levels, "--types", types, "--details", details, "--format", "tsv",
                    QFile::decodeName(m_root)});
        QVERIFY(list.waitForFinished(60000));
        QCOMPARE(list.exitCode(), 0);
        QVERIFY(fromWindow.count('\n') > 1);
        QCOMPARE(list.readAllStandardOutput(), fromWindow);
        QCOMPARE(QString::fromUtf8(list.readAllStandardError()).trimmed(), window.statusText());
    }
};

QTEST_MAIN(TestListMatchesWindow)
#include "tst_list_matches_window.moc"
