#include "main_window/NodeModel.h"
#include "support/LangFunctions.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace quillmap;

class TestNodeModel : public QObject
{
    Q_OBJECT
private slots:
    void modelTester();
    void indexesFollowTheStore();
    void columnsReadTheProperties();
    void findKeepsMatchesAndTheirFolders_data();
    void findKeepsMatchesAndTheirFolders();
};

namespace {

void buildTree(NodeStore& s)
{
    const auto root = s.add(NodeStore::npos, "/t/", "/t/");
    for (int d = 0; d < 6; ++d) {
        const std::string folder = "d" + std::to_string(d);
        const auto f = s.addChild(root, folder, true, folder);
        for (int i = 0; i < d * 3; ++i) {
            const std::string name = "f" + std::to_string(i) + ".txt";
            s.addChild(f, name, false, name + "  detail");
        }
    }
    s.addChild(root, "caf\xe9", false, "caf\xe9");
}

} // namespace

void TestNodeModel::modelTester()
{
    NodeStore store;
    NodeModel model(store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    // A scan: reset at its start and at its end, with the store filled between.
    model.beginChange();
    store.clear();
    buildTree(store);
    QCOMPARE(model.rowCount(), 0); // nothing of a half-built tree shows
    QVERIFY(!model.indexOf(0).isValid());
    model.endChange();
    QCOMPARE(model.rowCount(), 1);
    // Visit every row, middle rows included, which go through the row cache.
    const QModelIndex root = model.index(0, 0);
    QCOMPARE(model.rowCount(root), 7);
    for (int r = 0; r < model.rowCount(root); ++r) {
        const QModelIndex folder = model.index(r, 0, root);
        QCOMPARE(model.parent(folder), root);
        for (int c = 0; c < model.rowCount(folder); ++c)
            QCOMPARE(model.index(c, 0, folder).row(), c);
    }
    // A second scan over the same model.
    model.beginChange();
    store.clear();
    buildTree(store);
    store.addChild(0, "extra", true, "extra");
    model.endChange();
    QCOMPARE(model.rowCount(model.index(0, 0)), 8);
    // A find, in columns, stays on through a change and applies to the new tree.
    model.setColumns(NodeColumns::forTicks(DetailTicks::all()));
    QCOMPARE(model.setFilter("F1"), std::size_t(12)); // f1.txt in 5 folders, f10.txt and on in 2
    QSignalSpy applied(&model, &NodeModel::filterApplied);
    model.beginChange();
    store.clear();
    buildTree(store);
    model.endChange();
    QCOMPARE(applied.count(), 1);
    QCOMPARE(model.rowCount(model.index(0, 0)), 5); // d1 to d5
    model.setFilter(QString());
    model.beginChange();
    store.clear();
    model.endChange();
    QCOMPARE(model.rowCount(), 0);
}

void TestNodeModel::indexesFollowTheStore()
{
    NodeStore store;
    NodeModel model(store);
    model.beginChange();
    buildTree(store);
    model.endChange();
    const auto id = store.find("/t/d4/f7.txt");
    QVERIFY(id != NodeStore::npos);
    const QModelIndex index = model.indexOf(id);
    QCOMPARE(model.idOf(index), id);
    QCOMPARE(index.row(), 7);
    // The Name column shows the name; "as printed", the node's text.
    QCOMPARE(index.data().toString(), QStringLiteral("f7.txt"));
    model.setAsPrinted(true);
    QCOMPARE(model.indexOf(id).data().toString(), QStringLiteral("f7.txt  detail"));
    model.setAsPrinted(false);
    QCOMPARE(index.data(Qt::ToolTipRole).toString(), QStringLiteral("/t/d4/f7.txt"));
    QCOMPARE(model.idOf(model.index(2, 0, model.indexOf(store.find("/t/d4/")))),
             store.find("/t/d4/f2.txt"));
    QCOMPARE(model.indexOf(store.find("/t/caf\xe9")).data().toString(),
             QStringLiteral("caf\ufffd"));
    QVERIFY(!model.indexOf(NodeStore::npos).isValid());
}

void TestNodeModel::columnsReadTheProperties()
{
    // The cells come from the properties, never from the text (which may say anything).
    NodeStore store;
    const auto root = store.add(NodeStore::npos, "/t/", "/t/");
    const auto sub = store.addChild(root, "sub", true, "sub");
    NodeStore::Details d;
    d.size = 1536;
    d.modified = 0;
    d.attributes = 1 | 2; // read-only, hidden
    store.addChild(sub, "a.tar.gz", false, "not the details", &d);
    d.size = 10;
    d.attributes = 0;
    store.addChild(root, "b", false, "b", &d);
    store.addChild(root, "unread.txt", false, "unread.txt"); // no properties
    NodeModel model(store);
    model.beginChange();
    model.endChange();
    DetailTicks ticks;
    ticks.set(DetailTicks::ReadOnly, true);
    ticks.set(DetailTicks::Type, true);
    model.setColumns(NodeColumns::forTicks(ticks));
    QStringList headings;
    for (int c = 0; c < model.columnCount(); ++c)
        headings << model.headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headings, QStringList({"Name", "Size", "Files", "Folders", "Attributes", "Type"}));
    const auto row = [&](std::string_view key) {
        QStringList cells;
        const QModelIndex name = model.indexOf(store.find(key));
        for (int c = 0; c < model.columnCount(); ++c)
            cells << name.siblingAtColumn(c).data().toString();
        return cells.join(u'|');
    };
    QCOMPARE(row("/t/"), QStringLiteral("/t/|1,546|3|1||"));
    QCOMPARE(row("/t/sub/"), QStringLiteral("sub|1,536|1|0||"));
    QCOMPARE(row("/t/sub/a.tar.gz"), QStringLiteral("a.tar.gz|1,536|||HR|tar.gz"));
    QCOMPARE(row("/t/b"), QStringLiteral("b|10|||N|"));
    QCOMPARE(row("/t/unread.txt"), QStringLiteral("unread.txt|||||txt"));
    const QModelIndex size = model.indexOf(store.find("/t/sub/a.tar.gz")).siblingAtColumn(1);
    QCOMPARE(size.data(Qt::ToolTipRole).toString(), QStringLiteral("1.5K (1,536 bytes)"));
}

// Each row: the find's text, how many match, and the nodes kept (by key, in the order a view
// walks them).
void TestNodeModel::findKeepsMatchesAndTheirFolders_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("matches");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("one file deep down") << "f7." << 3
                                        << QStringList({"/t/", "/t/d3/", "/t/d3/f7.txt", "/t/d4/",
                                                        "/t/d4/f7.txt", "/t/d5/", "/t/d5/f7.txt"});
    QTest::newRow("letter case aside, a folder matching")
        << "D1" << 1 << QStringList({"/t/", "/t/d1/"});
    QTest::newRow("beyond ASCII, folded")
        << QString::fromUtf8("CAFÉ") << 1 << QStringList({"/t/", "/t/caf\xc3\xa9"});
    QTest::newRow("bytes that are not UTF-8 as U+FFFD")
        << QString::fromUtf8("caf\ufffd") << 1 << QStringList({"/t/", "/t/caf\xe9"});
    QTest::newRow("a name beyond ASCII that folds to ASCII")
        << "KEL" << 1
        << QStringList({"/t/", "/t/\xe2\x84\xaa"
                               "elvin"}); // Kelvin sign
    QTest::newRow("nothing") << "zzz" << 0 << QStringList();
    QTest::newRow("the root's own name") << "/t/" << 1 << QStringList({"/t/"});
}

void TestNodeModel::findKeepsMatchesAndTheirFolders()
{
    QFETCH(QString, text);
    QFETCH(int, matches);
    QFETCH(QStringList, shown);
    NodeStore store;
    buildTree(store);
    store.addChild(0, "caf\xc3\xa9", false, "caf\xc3\xa9");
    store.addChild(0,
                   "\xe2\x84\xaa"
                   "elvin",
                   false,
                   "\xe2\x84\xaa"
                   "elvin");
    NodeModel model(store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.beginChange();
    model.endChange();
    QCOMPARE(model.setFilter(text), std::size_t(matches));
    QVERIFY(model.isFiltered());
    QStringList kept;
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        for (int r = 0; r < model.rowCount(parent); ++r) {
            const QModelIndex index = model.index(r, 0, parent);
            QCOMPARE(model.indexOf(model.idOf(index)), index);
            kept << QString::fromStdString(store.key(model.idOf(index)));
            walk(index);
        }
    };
    walk({});
    QCOMPARE(kept, shown);
    // The whole tree again.
    model.setFilter(QString());
    QVERIFY(!model.isFiltered());
    QCOMPARE(model.rowCount(model.index(0, 0)), 9);
}

QTEST_GUILESS_MAIN(TestNodeModel)
#include "tst_NodeModel.moc"
