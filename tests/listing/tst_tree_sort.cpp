// The orders of the window's column headers and quillmap_list --sort, on one folder whose
// entries tie on every key but the one sorted by.
#include "listing/TreeSort.h"
#include "tree/NodeStore.h"

#include <QTest>

using namespace quillmap;

Q_DECLARE_METATYPE(quillmap::SortOrder)

namespace {

// /r/: folders "b/" (2 files, 100 bytes) and "A/" (1 file, 300 bytes); files with a size, a
// modified date and a type each, and one whose properties could not be read.
NodeStore tree()
{
    NodeStore s;
    const auto root = s.add(NodeStore::npos, "/r/", "/r/");
    const auto file = [&](NodeStore::Id parent, const char* name, std::uint64_t size,
                          std::int64_t modified) {
        NodeStore::Details d;
        d.size = size;
        d.modified = modified;
        s.addChild(parent, name, false, name, &d);
    };
    file(root, "c.txt", 30, 300);
    file(root, "a.zip", 10, 200);
    s.addChild(root, "unread", false, "unread");
    file(root, "B.txt", 30, 100);
    const auto b = s.addChild(root, "b", true, "b");
    file(b, "x", 50, 1);
    file(b, "y", 50, 1);
    const auto a = s.addChild(root, "A", true, "A");
    file(a, "z", 300, 1);
    return s;
}

QStringList childNames(const NodeStore& s)
{
    QStringList names;
    for (auto c = s.firstChild(s.item1()); c != NodeStore::npos; c = s.nextSibling(c))
        names << QString::fromUtf8(s.name(c));
    return names;
}

} // namespace

class TestTreeSort : public QObject
{
    Q_OBJECT
private slots:
    void orders_data()
    {
        QTest::addColumn<SortOrder>("order");
        QTest::addColumn<QStringList>("expected");
        using K = SortKey;
        QTest::newRow("name") << SortOrder{K::Name, false}
                              << QStringList{"A", "b", "a.zip", "B.txt", "c.txt", "unread"};
        QTest::newRow("name reversed")
            << SortOrder{K::Name, true}
            << QStringList{"b", "A", "unread", "c.txt", "B.txt", "a.zip"};
        // Ties (B.txt and c.txt, 30 bytes) by name; what has no size last.
        QTest::newRow("size") << SortOrder{K::Size, false}
                              << QStringList{"b", "A", "a.zip", "B.txt", "c.txt", "unread"};
        QTest::newRow("size reversed")
            << SortOrder{K::Size, true}
            << QStringList{"A", "b", "B.txt", "c.txt", "a.zip", "unread"};
        QTest::newRow("modified") << SortOrder{K::Modified, false}
                                  << QStringList{"A", "b", "B.txt", "a.zip", "c.txt", "unread"};
        QTest::newRow("type") << SortOrder{K::Type, false}
                              << QStringList{"A", "b", "B.txt", "c.txt", "a.zip", "unread"};
        QTest::newRow("files") << SortOrder{K::Files, true}
                               << QStringList{"b", "A", "a.zip", "B.txt", "c.txt", "unread"};
    }
    void orders()
    {
        QFETCH(SortOrder, order);
        QFETCH(QStringList, expected);
        NodeStore s = tree();
        SortTree(s, order);
        QCOMPARE(childNames(s), expected);
        // Back to the search's order, the subtrees kept.
        SortTree(s, SortOrder{});
        QCOMPARE(childNames(s), (QStringList{"A", "b", "a.zip", "B.txt", "c.txt", "unread"}));
        QCOMPARE(s.fullPath(s.find("/r/b/y")), std::string("/r/b/y"));
    }
};

QTEST_GUILESS_MAIN(TestTreeSort)
#include "tst_tree_sort.moc"
