// Listings saved as JSON and read back: the very same nodes, and nothing but a reason from a
// file that is not a sound listing.
#include "listing/FolderTotals.h"
#include "listing/ListingJsonReader.h"
#include "listing/ListingJsonWriter.h"
#include "listing/TreeComparison.h"
#include "platform/files/PosixFileSystem.h"
#include "scan/SearchDir.h"
#include "scan/SearchRecord.h"
#include "tests/common/ScanFixture.h"
#include "tree/NodeStore.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <filesystem>

using namespace quillmap;
using Result = ListingJsonReader::Result;

namespace {

std::string toJson(const NodeStore& store, const SearchRecord& record)
{
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    ListingJsonWriter(store, record, out).write();
    std::fclose(out);
    std::string json(data, size);
    std::free(data);
    return json;
}

Result fromJson(const std::string& json, NodeStore& store, SearchRecord& record,
                ListingJsonReader* reader = nullptr)
{
    ListingJsonReader own;
    std::FILE* in = fmemopen(const_cast<char*>(json.data()), json.size(), "rb");
    if (json.empty())
        in = std::fopen("/dev/null", "rb");
    const Result r = (reader ? *reader : own).read(in, store, record);
    std::fclose(in);
    return r;
}

// Every node's key, text, parent and details, in id order.
QStringList dump(const NodeStore& s)
{
    QStringList out;
    for (NodeStore::Id id = 0; id < s.size(); ++id) {
        const auto d = s.details(id);
        out << QString::fromLatin1(QByteArray::fromStdString(s.key(id)).toHex()) + u' ' +
                   QString::fromLatin1(QByteArray(s.text(id).data(), s.text(id).size()).toHex()) +
                   u' ' + QString::number(qint64(s.parent(id))) +
                   (d ? QStringLiteral(" %1 %2 %3 %4 %5")
                            .arg(d->size ? qint64(*d->size) : -1)
                            .arg(d->created ? *d->created : -1)
                            .arg(d->accessed ? *d->accessed : -1)
                            .arg(d->modified ? *d->modified : -1)
                            .arg(d->attributes)
                      : QString());
    }
    return out;
}

const std::string kHead = R"({"format":"quillmap-listing","version":1,)";

} // namespace

class TestListingJson : public QObject
{
    Q_OBJECT

private slots:
    // A real search with hostile names and every detail, saved and read back.
    void roundTrip()
    {
        QTemporaryDir dir;
        const std::string root = dir.path().toStdString() + "/R";
        // Qt can't delete names that are not UTF-8: the temporary folder would stay behind.
        const auto cleanup = qScopeGuard([&root] { std::filesystem::remove_all(root); });
        test::makeTree(root, {"", "sub/", "sub/deep/", "sub/deep/x.y.txt", "a b.txt",
                              "quote\"back\\slash", "tab\tnew\nline", "empty/"});
        for (const char* odd : {"/n\xff", "/n\xfe", "/sub/\xc3\x28.bin", "/\xe2\x80\xae.txt"})
            std::fclose(std::fopen((root + odd).c_str(), "w"));
        ::chmod((root + "/a b.txt").c_str(), 0444);
        // Enough files that the writer hands its buffer to the stream many times over.
        QStringList many{"many/"};
        for (int i = 0; i < 500; ++i)
            many << QStringLiteral("many/%1.txt").arg(i, 120, 10, QLatin1Char('0'));
        test::makeTree(root, many);
        test::TestControls controls;
        controls.folder = root;
        controls.ticks = DetailTicks::all();
        NodeStore store;
        SearchRecord record = SearchRecord::startedWith(controls);
        PosixFileSystem fs;
        record.report = SearchDir(controls, store, fs);
        record.report.problems << QStringLiteral("/gone/x: Permission denied");
        QVERIFY(store.details(store.find(root + "/a b.txt")).has_value());

        const std::string json = toJson(store, record);
        NodeStore back;
        SearchRecord backRecord;
        QCOMPARE(fromJson(json, back, backRecord), Result::Ok);
        QCOMPARE(dump(back), dump(store));
        QCOMPARE(back.size(), std::size_t(513));
        QVERIFY(back.find(root + "/n\xff") != back.find(root + "/n\xfe"));
        QCOMPARE(backRecord.folder, root + "/");
        QCOMPARE(backRecord.levels, record.levels);
        QCOMPARE(backRecord.types, record.types);
        QCOMPARE(backRecord.details.bits, record.details.bits);
        QCOMPARE(backRecord.searchedAt, record.searchedAt);
        QCOMPARE(backRecord.report.dirCount, record.report.dirCount);
        QCOMPARE(backRecord.report.fileCount, record.report.fileCount);
        QCOMPARE(backRecord.report.problems, record.report.problems);
        // Written again, the same file.
        QCOMPARE(toJson(back, backRecord), json);
        // Valid JSON for any reader, the two bad names with different exact bytes.
        QVERIFY(json.find("\"key_bytes\":\"") != std::string::npos);
        QVERIFY(json.find("6eff\"") != std::string::npos &&
                json.find("6efe\"") != std::string::npos);
    }

    // Whatever the file holds, a reason and an untouched store.
    void refused_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("result");
        const QByteArray head = QByteArray::fromStdString(kHead);
        const QByteArray good = head + R"("tree":{"key":"/r/","text":"/r/","children":[)"
                                       R"({"key":"/r/a","text":"a","size":1}]}})";
        QTest::newRow("empty") << QByteArray() << int(Result::Truncated);
        QTest::newRow("cut short") << good.left(good.size() / 2) << int(Result::Truncated);
        QTest::newRow("cut before last brace") << good.chopped(1) << int(Result::Truncated);
        QTest::newRow("not json") << QByteArray("hello") << int(Result::NotJson);
        QTest::newRow("text after") << good + "x" << int(Result::NotJson);
        QTest::newRow("array") << QByteArray("[1,2]") << int(Result::NotListing);
        QTest::newRow("other object")
            << QByteArray(R"({"name":"x","tree":{}})") << int(Result::NotListing);
        QTest::newRow("other format")
            << QByteArray(R"({"format":"geo","version":1})") << int(Result::NotListing);
        QTest::newRow("old listing")
            << QByteArray(R"({"key":"/r/","text":"/r/","children":[{"key":"/r/a","text":"a",)"
                          R"("children":[]}]})")
            << int(Result::NoVersion);
        QTest::newRow("no version")
            << QByteArray(good).replace(R"("version":1,)", "") << int(Result::NoVersion);
        QTest::newRow("newer") << QByteArray(good).replace(R"("version":1)", R"("version":2)")
                               << int(Result::NewerVersion);
        QTest::newRow("no tree") << head + R"("unread":[]})" << int(Result::Invalid);
        QTest::newRow("same key twice")
            << head + R"("tree":{"key":"/r/","text":"r","children":[{"key":"/r/a","text":"a"},)"
                      R"({"key":"/r/a","text":"a"}]}})"
            << int(Result::Invalid);
        QTest::newRow("key elsewhere")
            << head + R"("tree":{"key":"/r/","text":"r","children":[{"key":"/s/a","text":"a"}]}})"
            << int(Result::Invalid);
        QTest::newRow("dot-dot name")
            << head + R"("tree":{"key":"/r/","text":"r","children":[{"key":"/r/../","text":"..",)"
                      R"("children":[]}]}})"
            << int(Result::Invalid);
        QTest::newRow("dot name")
            << head + R"("tree":{"key":"/r/","text":"r","children":[{"key":"/r/.","text":"."}]}})"
            << int(Result::Invalid);
        QTest::newRow("slash in name")
            << head + R"("tree":{"key":"/r/","text":"r","children":[{"key":"/r/a/b","text":"a"}]}})"
            << int(Result::Invalid);
        QTest::newRow("file with children")
            << head + R"("tree":{"key":"/r/","text":"r","children":[{"key":"/r/a","text":"a",)"
                      R"("children":[]}]}})"
            << int(Result::Invalid);
        QTest::newRow("no text") << head + R"("tree":{"key":"/r/","children":[]}})"
                                 << int(Result::Invalid);
        QTest::newRow("huge size")
            << QByteArray(good).replace(R"("size":1)", R"("size":1e400)") << int(Result::Invalid);
        QTest::newRow("bad hex") << QByteArray(good).replace(R"("text":"a")",
                                                             R"("text":"a","text_bytes":"6")")
                                 << int(Result::Invalid);
        QTest::newRow("lone surrogate")
            << QByteArray(good).replace(R"("text":"a")", R"("text":"\udc00")")
            << int(Result::NotJson);
        QTest::newRow("raw bad byte")
            << QByteArray(good).replace(R"("text":"a")", "\"text\":\"\xff\"")
            << int(Result::NotJson);
        QTest::newRow("raw newline")
            << QByteArray(good).replace(R"("text":"a")", "\"text\":\"a\nb\"")
            << int(Result::NotJson);
        QTest::newRow("string past the bound")
            << QByteArray(good).replace(R"("text":"a")",
                                        "\"text\":\"" + QByteArray(17 << 20, 'a') + '"')
            << int(Result::TooLong);
        // Nesting far deeper than any tree: refused, not a stack overflow.
        QTest::newRow("deep brackets")
            << head + R"("x":)" + QByteArray(3'000'000, '[') << int(Result::NotJson);
        QTest::newRow("deep, cut short")
            << head + R"("x":)" + QByteArray(1'000'000, '[') << int(Result::Truncated);
    }
    void refused()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, result);
        NodeStore store;
        store.add(NodeStore::npos, "/kept/", "/kept/");
        SearchRecord record;
        record.folder = "/kept/";
        ListingJsonReader reader;
        QCOMPARE(int(fromJson(json.toStdString(), store, record, &reader)), result);
        QVERIFY(!reader.detail().empty());
        QCOMPARE(store.size(), std::size_t(1));
        QCOMPARE(store.key(0), std::string("/kept/"));
        QCOMPARE(record.folder, std::string("/kept/"));
    }

    // Listings read within bounds: a byte-order mark skipped, sizes summed without wrapping,
    // the unread entries kept up to a bound, or not at all where they are never shown.
    void readWithinBounds_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("keepUnread");
        QTest::addColumn<qsizetype>("unread"); // entries kept
        QTest::addColumn<quint64>("total");    // the root's bytes, and those added to nothing
        const QByteArray head = QByteArray::fromStdString(kHead);
        const QByteArray tree = R"("tree":{"key":"/r/","text":"/r/","children":[)"
                                R"({"key":"/r/a","text":"a","size":1}]}})";
        QTest::newRow("byte-order mark")
            << "\xEF\xBB\xBF" + head + tree << true << qsizetype(0) << 1ull;
        const QByteArray max = "18446744073709551615";
        QTest::newRow("sizes adding up past the largest")
            << head +
                   R"("tree":{"key":"/r/","text":"/r/","children":[{"key":"/r/a","text":"a",)"
                   R"("size":)" +
                   max + R"(},{"key":"/r/b","text":"b","size":)" + max + "}]}}"
            << true << qsizetype(0) << ~0ull;
        // Folder totals are kept for folders only, found by their place among the nodes.
        QByteArray many = head + "\"tree\":{\"key\":\"/r/\",\"text\":\"/r/\",\"children\":[";
        for (int i = 0; i < 70; ++i)
            many += "{\"key\":\"/r/f" + QByteArray::number(i) + "\",\"text\":\"f\",\"size\":1},";
        many += "{\"key\":\"/r/d/\",\"text\":\"d\",\"children\":[{\"key\":\"/r/d/e/\","
                "\"text\":\"e\",\"children\":[{\"key\":\"/r/d/e/g\",\"text\":\"g\","
                "\"size\":1000}]}]}]}}";
        QTest::newRow("folders past the 64th node") << many << true << qsizetype(0) << 1070ull;
        QByteArray unread = head + R"("unread":[)";
        for (int i = 0; i < ListingJsonReader::kMaxUnread + 5; ++i)
            unread += "\"/r/x: Permission denied\",";
        unread.chop(1);
        unread += "]," + tree;
        QTest::newRow("more unread entries than are kept")
            << unread << true << ListingJsonReader::kMaxUnread + 1 << 1ull;
        QTest::newRow("unread entries not kept") << unread << false << qsizetype(0) << 1ull;
    }
    void readWithinBounds()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, keepUnread);
        QFETCH(qsizetype, unread);
        QFETCH(quint64, total);
        ListingJsonReader reader;
        reader.setKeepUnread(keepUnread);
        NodeStore store;
        SearchRecord record;
        QCOMPARE(int(fromJson(json.toStdString(), store, record, &reader)), int(Result::Ok));
        QCOMPARE(record.report.problems.size(), unread);
        if (unread > ListingJsonReader::kMaxUnread)
            QVERIFY2(record.report.problems.last().contains(QLatin1String(" 5 more ")),
                     qPrintable(record.report.problems.last()));
        QCOMPARE(FolderTotals(store).size(0), total);
        NodeStore root, merged;
        root.add(NodeStore::npos, "/r/", "/r/");
        TreeComparison comparison;
        comparison.compare(root, store, merged);
        QCOMPARE(comparison.summary().bytesAdded, total);
    }
};

QTEST_GUILESS_MAIN(TestListingJson)
#include "tst_listing_json.moc"
