#include "main_window/NodeModel.h"

#include <QAbstractItemModelTester>
#include <QTest>

using quillmap::NodeModel;
using quillmap::NodeStore;

class TestNodeModel : public QObject
{
    Q_OBJECT
private slots:
    void modelTester();
    void indexesFollowTheStore();
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
    QCOMPARE(index.data().toString(), QStringLiteral("f7.txt  detail"));
    QCOMPARE(index.data(Qt::ToolTipRole).toString(), QStringLiteral("/t/d4/f7.txt"));
    QCOMPARE(model.idOf(model.index(2, 0, model.indexOf(store.find("/t/d4/")))),
             store.find("/t/d4/f2.txt"));
    QCOMPARE(model.indexOf(store.find("/t/caf\xe9")).data().toString(),
             QStringLiteral("caf\ufffd"));
    QVERIFY(!model.indexOf(NodeStore::npos).isValid());
}

QTEST_GUILESS_MAIN(TestNodeModel)
#include "tst_NodeModel.moc"
