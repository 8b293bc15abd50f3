// The tree print engine on the recording device: settings, events, layout, connectors, titles,
// footer and page breaks. Recording metrics: a line is size × 20 twips high, a character
// size × 10 wide.
#include "printing/CPrintTvw.h"
#include "printing/DirectoryPrint.h"
#include "tests/common/RecordingPrinterDevice.h"
#include "tree/NodeStore.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <map>

#include <string>

using namespace quillmap;
using Op = RecordingPrinterDevice::Op;

namespace {

// Builds a tree from lines "name" indented by two spaces per level.
void build(NodeStore& store, const QStringList& lines)
{
    std::vector<NodeStore::Id> parents;
    for (const QString& line : lines) {
        int depth = 0;
        while (line.mid(depth * 2, 2) == QLatin1String("  "))
            ++depth;
        parents.resize(depth);
        const std::string text = line.trimmed().toStdString();
        const NodeStore::Id parent = depth == 0 ? NodeStore::npos : parents.back();
        const std::string key = std::to_string(store.size());
        const NodeStore::Id id = store.add(parent, key, text);
        QVERIFY(id != NodeStore::npos);
        parents.push_back(id);
    }
}

std::vector<Op> texts(const RecordingPrinterDevice& printer)
{
    std::vector<Op> out;
    for (const Op& op : printer.ops())
        if (op.kind == Op::Text)
            out.push_back(op);
    return out;
}

std::vector<Op> lines(const RecordingPrinterDevice& printer)
{
    std::vector<Op> out;
    for (const Op& op : printer.ops())
        if (op.kind == Op::Line)
            out.push_back(op);
    return out;
}

// Tree lines only: drops footer texts and titles by font size.
std::vector<Op> treeTexts(const RecordingPrinterDevice& printer, double size = 8)
{
    std::vector<Op> out;
    for (const Op& op : texts(printer))
        if (op.fontSize == size)
            out.push_back(op);
    return out;
}

void plain(CPrintTvw& print, NodeStore& store, int connectorStyle)
{
    print.setTvwToPrint(&store);
    print.setPrintStyle(1);
    print.setConnectorStyle(connectorStyle);
    print.setFontSize(8);
}

// Line heights with a fraction, as real fonts have.
class FractionalLinePrinter : public RecordingPrinterDevice
{
public:
    FractionalLinePrinter(double extra, int printableHeight)
        : RecordingPrinterDevice(12240, 15840, 11520, printableHeight), m_extra(extra)
    {
    }

protected:
    double lineHeight() override { return RecordingPrinterDevice::lineHeight() + m_extra; }

private:
    double m_extra;
};

// 40 children with footers: on pages of three lines (1640 twips high) they run to page 14.
void pagesOfThreeLines(CPrintTvw& print, NodeStore& store)
{
    QStringList tree = {"r"};
    for (int i = 0; i < 40; ++i)
        tree << QStringLiteral("  n%1").arg(i);
    build(store, tree);
    plain(print, store, 1);
    print.setPrintFooter(true);
}

QString lineText(const Op& op)
{
    return QStringLiteral("(%1,%2)-(%3,%4)").arg(op.x).arg(op.y).arg(op.x2).arg(op.y2);
}

} // namespace

class TestCPrintTvw : public QObject
{
    Q_OBJECT

private slots:
    void creationValues()
    {
        CPrintTvw print;
        QCOMPARE(print.tvwToPrint(), nullptr);
        QCOMPARE(print.PrintStyle(), 0);
        QCOMPARE(print.ConnectorStyle(), 0);
        QCOMPARE(print.SecondTitleFontBold(), false);
        QCOMPARE(print.TitleFontBold(), false);
        QCOMPARE(print.SecondTitleFontSize(), 0);
        QCOMPARE(print.TitleFontSize(), 0);
        QCOMPARE(print.PrintFooter(), false);
        QCOMPARE(print.SecondTitle(), QString());
        QCOMPARE(print.Title(), QString());
        QCOMPARE(print.FontBold(), false);
        QCOMPARE(print.FontSize(), 0);
    }

    void settingsStoredUnchanged()
    {
        CPrintTvw print;
        print.setPrintStyle(7);
        print.setConnectorStyle(-3);
        print.setTitleFontSize(-1);
        print.setSecondTitleFontSize(32767);
        print.setFontSize(0);
        QString title = QStringLiteral("A title");
        print.setTitle(title);
        title[0] = QLatin1Char('X');
        QCOMPARE(print.PrintStyle(), 7);
        QCOMPARE(print.ConnectorStyle(), -3);
        QCOMPARE(print.TitleFontSize(), -1);
        QCOMPARE(print.SecondTitleFontSize(), 32767);
        QCOMPARE(print.Title(), QStringLiteral("A title"));
    }

    void rejectedBeforePrinting_data()
    {
        QTest::addColumn<bool>("withTree");
        QTest::addColumn<bool>("empty");
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("select");
        QTest::newRow("no tree view") << false << false << 1 << false;
        QTest::newRow("empty tree") << true << true << 1 << false;
        QTest::newRow("style 0") << true << false << 0 << false;
        QTest::newRow("style 7") << true << false << 7 << false;
        QTest::newRow("style 2 nothing selected") << true << false << 2 << false;
        QTest::newRow("no tree view, style 2") << false << false << 2 << true;
    }
    void rejectedBeforePrinting()
    {
        QFETCH(bool, withTree);
        QFETCH(bool, empty);
        QFETCH(int, style);
        QFETCH(bool, select);
        NodeStore store;
        if (!empty)
            build(store, {"root", "  child"});
        if (select)
            store.setSelected(0);
        CPrintTvw print;
        plain(print, store, 1);
        print.setTvwToPrint(withTree ? &store : nullptr);
        print.setPrintStyle(style);
        print.setTitle(QStringLiteral("Title"));
        print.setPrintFooter(true);
        QSignalSpy processing(&print, &CPrintTvw::ProcessingTreeView);
        QSignalSpy complete(&print, &CPrintTvw::PrintJobComplete);
        RecordingPrinterDevice printer;
        printer.clear();
        QVERIFY(!print.PrintTvw(printer));
        QVERIFY(!print.errorString().isEmpty());
        QVERIFY(printer.ops().empty());
        QCOMPARE(processing.count(), 0);
        QCOMPARE(complete.count(), 0);
    }

    void eventsInOrderOncePerCall()
    {
        NodeStore store;
        build(store, {"root", "  a", "  b"});
        CPrintTvw print;
        plain(print, store, 1);
        RecordingPrinterDevice printer;
        QStringList events;
        const auto note = [&](const char* name) {
            // What had been printed when the event came.
            const auto t = texts(printer);
            const bool ended = !printer.ops().empty() && printer.ops().back().kind == Op::EndDoc;
            events << QStringLiteral("%1:%2:%3").arg(name).arg(t.size()).arg(ended);
        };
        connect(&print, &CPrintTvw::ProcessingTreeView, [&] { note("processing"); });
        connect(&print, &CPrintTvw::SendingToPrinter, [&] { note("sending"); });
        connect(&print, &CPrintTvw::PrintJobComplete, [&] { note("complete"); });
        QVERIFY(print.PrintTvw(printer));
        QVERIFY(print.PrintTvw(printer));
        const QStringList once = {"processing:1:0", "sending:3:0", "complete:3:1"};
        QCOMPARE(events.mid(0, 3), once);
        QCOMPARE(events.size(), 6);
        QCOMPARE(printer.documentsEnded(), 2);
    }

    void layout_data()
    {
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<int>("connectorStyle");
        QTest::addColumn<int>("printStyle");
        QTest::addColumn<QStringList>("expected"); // "text@x,y"
        QTest::addColumn<QStringList>("expectedLines");
        const QStringList chain = {"a", "  b", "    c", "      d"};
        QTest::newRow("chain, style 1")
            << chain << 1 << 1 << QStringList{"a@0,0", "b@300,260", "c@600,520", "d@900,780"}
            << QStringList{"(200,160)-(200,260)", "(200,260)-(300,260)", "(500,420)-(500,520)",
                           "(500,520)-(600,520)", "(800,680)-(800,780)", "(800,780)-(900,780)"};
        QTest::newRow("chain, style 2")
            << chain << 2 << 1 << QStringList{"a@0,0", "b@300,260", "c@600,520", "d@900,780"}
            << QStringList{};
        QTest::newRow("chain, style 0")
            << chain << 0 << 1 << QStringList{"a@0,0", "b@0,160", "c@0,320", "d@0,480"}
            << QStringList{};
        QTest::newRow("chain, style 5")
            << chain << 5 << 1 << QStringList{"a@0,0", "b@0,160", "c@0,320", "d@0,480"}
            << QStringList{};
        const QStringList three = {"p", "  one", "  two", "  three"};
        QTest::newRow("three children, style 1")
            << three << 1 << 1
            << QStringList{"p@0,0", "one@300,260", "two@300,520", "three@300,780"}
            << QStringList{"(200,160)-(200,260)", "(200,260)-(300,260)", "(200,420)-(200,520)",
                           "(200,160)-(200,520)", "(200,520)-(300,520)", "(200,680)-(200,780)",
                           "(200,160)-(200,780)", "(200,780)-(300,780)"};
        QTest::newRow("three children, style 2")
            << three << 2 << 1
            << QStringList{"p@0,0", "one@300,260", "two@300,520", "three@300,780"} << QStringList{};
        const QStringList tops = {"r1", "  x", "    y", "r2", "r3", "  z"};
        QTest::newRow("top-level siblings flush left")
            << tops << 1 << 1
            << QStringList{"r1@0,0", "x@300,260", "y@600,520", "r2@0,680", "r3@0,840", "z@300,1100"}
            << QStringList{"(200,160)-(200,260)", "(200,260)-(300,260)",   "(500,420)-(500,520)",
                           "(500,520)-(600,520)", "(200,1000)-(200,1100)", "(200,1100)-(300,1100)"};
        QTest::newRow("style 2 prints the selected subtree only")
            << tops << 1 << 2 << QStringList{"x@0,0", "y@300,260"}
            << QStringList{"(200,160)-(200,260)", "(200,260)-(300,260)"};
        // Node 1 (selected) is "s", whose following sibling "t" is left out.
        QTest::newRow("style 2 leaves out the selected node's siblings")
            << QStringList{"r", "  s", "    s1", "  t", "    t1"} << 1 << 2
            << QStringList{"s@0,0", "s1@300,260"}
            << QStringList{"(200,160)-(200,260)", "(200,260)-(300,260)"};
        const QStringList nested = {"r", "  a", "    a1", "    a2", "  b"};
        QTest::newRow("stem passes a subtree")
            << nested << 1 << 1
            << QStringList{"r@0,0", "a@300,260", "a1@600,520", "a2@600,780", "b@300,1040"}
            << QStringList{"(200,160)-(200,260)",  "(200,260)-(300,260)",  "(500,420)-(500,520)",
                           "(500,520)-(600,520)",  "(500,680)-(500,780)",  "(500,420)-(500,780)",
                           "(500,780)-(600,780)",  "(200,940)-(200,1040)", "(200,160)-(200,1040)",
                           "(200,1040)-(300,1040)"};
    }
    void layout()
    {
        QFETCH(QStringList, tree);
        QFETCH(int, connectorStyle);
        QFETCH(int, printStyle);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, expectedLines);
        NodeStore store;
        build(store, tree);
        store.setSelected(1);
        CPrintTvw print;
        plain(print, store, connectorStyle);
        print.setPrintStyle(printStyle);
        RecordingPrinterDevice printer;
        QVERIFY2(print.PrintTvw(printer), qPrintable(print.errorString()));
        QStringList got;
        for (const Op& op : texts(printer))
            got << QStringLiteral("%1@%2,%3").arg(op.text).arg(op.x).arg(op.y);
        QCOMPARE(got, expected);
        QStringList gotLines;
        for (const Op& op : lines(printer))
            gotLines << lineText(op);
        QCOMPARE(gotLines, expectedLines);
    }

    void titles_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QStringList>("expected"); // "text@x,y,size"
        QTest::newRow("both empty") << QString() << QString() << QStringList{"root@0,0,8"};
        // Centred on the printable area, 11520 wide (the sheet is 12240): "Top" at 14 pt is 420
        // wide, "Sub" at 10 pt 300.
        QTest::newRow("only the second")
            << QString() << QStringLiteral("Sub") << QStringList{"Sub@5610,0,10", "root@0,600,8"};
        QTest::newRow("both") << QStringLiteral("Top") << QStringLiteral("Sub")
                              << QStringList{"Top@5550,0,14", "Sub@5610,280,10", "root@0,880,8"};
        QTest::newRow("only the first")
            << QStringLiteral("Top") << QString() << QStringList{"Top@5550,0,14", "root@0,840,8"};
        // 100 characters at 14 pt (140 each) are wider than the area: 82 fit on the first line.
        QTest::newRow("title wider than the page")
            << QString(100, QLatin1Char('T')) << QString()
            << QStringList{QString(82, QLatin1Char('T')) + "@20,0,14",
                           QString(18, QLatin1Char('T')) + "@4500,280,14", "root@0,1120,8"};
    }
    void titles()
    {
        QFETCH(QString, title);
        QFETCH(QString, second);
        QFETCH(QStringList, expected);
        NodeStore store;
        build(store, {"root"});
        CPrintTvw print;
        plain(print, store, 1);
        print.setTitle(title);
        print.setTitleFontSize(14);
        print.setTitleFontBold(true);
        print.setSecondTitle(second);
        print.setSecondTitleFontSize(10);
        RecordingPrinterDevice printer;
        QVERIFY(print.PrintTvw(printer));
        QStringList got;
        for (const Op& op : texts(printer))
            got << QStringLiteral("%1@%2,%3,%4").arg(op.text).arg(op.x).arg(op.y).arg(op.fontSize);
        QCOMPARE(got, expected);
        for (const Op& op : texts(printer))
            QCOMPARE(op.bold, op.fontSize == 14);
    }

    void footerOff()
    {
        NodeStore store;
        build(store, {"r", "  a", "  b", "  c", "  d", "  e", "  f"});
        CPrintTvw print;
        plain(print, store, 1);
        RecordingPrinterDevice printer(12240, 15840, 11520, 800);
        QVERIFY(print.PrintTvw(printer));
        QVERIFY(printer.ops().back().kind == Op::EndDoc);
        QVERIFY(printer.ops().back().page > 1);
        for (const Op& op : printer.ops()) {
            QVERIFY(!(op.kind == Op::FontSize && op.fontSize == 6));
            QVERIFY(!op.text.startsWith(QLatin1String("-Page")));
        }
    }

    void pageBreaks_data()
    {
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<int>("printableHeight");
        QTest::addColumn<QStringList>("expected"); // "text@page:x,y"
        QTest::addColumn<QStringList>("labels");   // page labels in order, "label@page"
        QTest::addColumn<QStringList>("topStems"); // page 2's stems that start at its top
        // Tree lines flow down to the printable height less the footer band (7 footer lines of
        // 120): to 1000 and 900 here.
        // a3 would end at 1200: it goes to the top of page 2 (the step and tick stay on page
        // 1, where they were drawn before the line moved). Footers: page 1 after the titles,
        // page 2 after a3 and once more after b, whose parent's call began on page 1. Stems on
        // page 2 start at the top: a4's (a's children) and b's and c's (r's children).
        QTest::newRow("a sibling on a new page")
            << QStringList{"r", "  a", "    a1", "    a2", "    a3", "    a4", "  b", "  c"} << 1840
            << QStringList{"r@1:0,0",    "a@1:300,260",  "a1@1:600,520", "a2@1:600,780",
                           "a3@2:600,0", "a4@2:600,260", "b@2:300,520",  "c@2:300,780"}
            << QStringList{"-Page 1-@1", "-Page 2-@2", "-Page 2-@2"}
            << QStringList{"(500,0)-(500,260)", "(200,0)-(200,520)", "(200,0)-(200,780)"};
        // b1, b's first child, would end at 940: page 2 gets its footer after b1, and the stem
        // to b2 starts at the top of page 2.
        QTest::newRow("a first child on a new page")
            << QStringList{"r", "  a", "  b", "    b1", "    b2"} << 1740
            << QStringList{"r@1:0,0", "a@1:300,260", "b@1:300,520", "b1@2:600,0", "b2@2:600,260"}
            << QStringList{"-Page 1-@1", "-Page 2-@2"} << QStringList{"(500,0)-(500,260)"};
    }
    void pageBreaks()
    {
        QFETCH(QStringList, tree);
        QFETCH(int, printableHeight);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, labels);
        QFETCH(QStringList, topStems);
        NodeStore store;
        build(store, tree);
        CPrintTvw print;
        plain(print, store, 1);
        print.setPrintFooter(true);
        RecordingPrinterDevice printer(12240, 2000, 11520, printableHeight);
        QVERIFY(print.PrintTvw(printer));

        // Tree lines in order, each on its page at the expected place.
        QStringList got;
        for (const Op& op : treeTexts(printer))
            got << QStringLiteral("%1@%2:%3,%4").arg(op.text).arg(op.page).arg(op.x).arg(op.y);
        QCOMPARE(got, expected);

        QStringList gotLabels;
        for (const Op& op : texts(printer)) {
            if (op.text.startsWith(QLatin1String("-Page"))) {
                gotLabels << QStringLiteral("%1@%2").arg(op.text).arg(op.page);
                QCOMPARE(op.y, printableHeight - 6 * 120);
                QCOMPARE(op.fontSize, 6);
                QCOMPARE(op.x, (11520 - op.text.size() * 60) / 2.0);
            }
        }
        QCOMPARE(gotLabels, labels);

        QStringList stems;
        for (const Op& op : lines(printer))
            if (op.page == 2 && op.x == op.x2 && op.y == 0)
                stems << lineText(op);
        QCOMPARE(stems, topStems);
    }

    // A line wider than the room to the printable area's right edge (2000 here; 21 letters of
    // 80 at X = 300) goes on over more lines at its X; the stem to the next sibling runs past
    // them; a page break between its pieces gets the page's footer once and the stems on the
    // new page start at its top. A title of 14 pt puts the tree at 840; tree lines flow down to
    // 1300 in the second row.
    void longLines_data()
    {
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<int>("printableHeight");
        QTest::addColumn<QStringList>("expected");      // "text@page:x,y"
        QTest::addColumn<QStringList>("expectedLines"); // "page:(x,y)-(x2,y2)"
        QTest::addColumn<QStringList>("labels");
        const QStringList tree = {"r", "  abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMN",
                                  "    c", "  b"};
        QTest::newRow("in the middle of a subtree")
            << tree << 14400
            << QStringList{"r@1:0,840",
                           "abcdefghijklmnopqrstu@1:300,1100",
                           "vwxyz0123456789ABCDEF@1:300,1260",
                           "GHIJKLMN@1:300,1420",
                           "c@1:600,1680",
                           "b@1:300,1940"}
            << QStringList{"1:(200,1000)-(200,1100)", "1:(200,1100)-(300,1100)",
                           "1:(500,1580)-(500,1680)", "1:(500,1680)-(600,1680)",
                           "1:(200,1840)-(200,1940)", "1:(200,1000)-(200,1940)",
                           "1:(200,1940)-(300,1940)"}
            << QStringList{"-Page 1-@1"};
        QTest::newRow("across a page break")
            << tree << 1300 + 840
            << QStringList{"r@1:0,840",
                           "abcdefghijklmnopqrstu@1:300,1100",
                           "vwxyz0123456789ABCDEF@2:300,0",
                           "GHIJKLMN@2:300,160",
                           "c@2:600,420",
                           "b@2:300,680"}
            << QStringList{"1:(200,1000)-(200,1100)", "1:(200,1100)-(300,1100)",
                           "2:(500,320)-(500,420)",   "2:(500,420)-(600,420)",
                           "2:(200,580)-(200,680)",   "2:(200,0)-(200,680)",
                           "2:(200,680)-(300,680)"}
            << QStringList{"-Page 1-@1", "-Page 2-@2"};
        // Text at 1800 would leave less than an eighth of the width: f, the level below e at
        // 1500, goes at e's X, and so do its children, their stem in f's stem column; the long
        // name wraps in the 500 left (6 letters).
        QTest::newRow("deeper than the width allows")
            << QStringList{"r",
                           "  a",
                           "    b",
                           "      c",
                           "        d",
                           "          e",
                           "            f",
                           "              0123456789",
                           "              q",
                           "            s",
                           "  z"}
            << 14400 << QStringList{"r@1:0,840",     "a@1:300,1100",       "b@1:600,1360",
                                    "c@1:900,1620",  "d@1:1200,1880",      "e@1:1500,2140",
                                    "f@1:1500,2400", "012345@1:1500,2660", "6789@1:1500,2820",
                                    "q@1:1500,3080", "s@1:1500,3340",      "z@1:300,3600"}
            << QStringList{"1:(200,1000)-(200,1100)",   "1:(200,1100)-(300,1100)",
                           "1:(500,1260)-(500,1360)",   "1:(500,1360)-(600,1360)",
                           "1:(800,1520)-(800,1620)",   "1:(800,1620)-(900,1620)",
                           "1:(1100,1780)-(1100,1880)", "1:(1100,1880)-(1200,1880)",
                           "1:(1400,2040)-(1400,2140)", "1:(1400,2140)-(1500,2140)",
                           "1:(1400,2300)-(1400,2400)", "1:(1400,2400)-(1500,2400)",
                           "1:(1400,2560)-(1400,2660)", "1:(1400,2660)-(1500,2660)",
                           "1:(1400,2980)-(1400,3080)", "1:(1400,2560)-(1400,3080)",
                           "1:(1400,3080)-(1500,3080)", "1:(1400,3240)-(1400,3340)",
                           "1:(1400,2300)-(1400,3340)", "1:(1400,3340)-(1500,3340)",
                           "1:(200,3500)-(200,3600)",   "1:(200,1000)-(200,3600)",
                           "1:(200,3600)-(300,3600)"}
            << QStringList{"-Page 1-@1"};
    }
    void longLines()
    {
        QFETCH(QStringList, tree);
        QFETCH(int, printableHeight);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, expectedLines);
        QFETCH(QStringList, labels);
        NodeStore store;
        build(store, tree);
        CPrintTvw print;
        plain(print, store, 1);
        print.setPrintFooter(true);
        print.setTitle(QStringLiteral("T"));
        print.setTitleFontSize(14);
        RecordingPrinterDevice printer(12240, 20000, 2000, printableHeight);
        QVERIFY(print.PrintTvw(printer));
        QStringList got;
        for (const Op& op : treeTexts(printer))
            got << QStringLiteral("%1@%2:%3,%4").arg(op.text).arg(op.page).arg(op.x).arg(op.y);
        QCOMPARE(got, expected);
        QStringList gotLines;
        for (const Op& op : lines(printer)) {
            gotLines << QStringLiteral("%1:").arg(op.page) + lineText(op);
            QVERIFY2(std::min(op.x, op.x2) >= 0 && std::max(op.x, op.x2) <= 2000 &&
                         std::min(op.y, op.y2) >= 0 && std::max(op.y, op.y2) <= printableHeight,
                     qPrintable(lineText(op)));
        }
        QCOMPARE(gotLines, expectedLines);
        QStringList gotLabels;
        for (const Op& op : texts(printer)) {
            if (op.text.startsWith(QLatin1String("-Page")))
                gotLabels << QStringLiteral("%1@%2").arg(op.text).arg(op.page);
            // Nothing outside the printable area.
            QVERIFY2(op.x >= 0 && op.x + op.text.size() * op.fontSize * 10 <= 2000 &&
                         op.y + op.fontSize * 20 <= printableHeight,
                     qPrintable(op.text));
        }
        QCOMPARE(gotLabels, labels);
    }

    void footerPlacementAndRestore()
    {
        NodeStore store;
        build(store, {"root", "  a"});
        CPrintTvw print;
        plain(print, store, 1);
        print.setPrintFooter(true);
        print.setTitle(QStringLiteral("T"));
        print.setTitleFontSize(12);
        RecordingPrinterDevice printer;
        QVERIFY(print.PrintTvw(printer));
        const auto t = texts(printer);
        QCOMPARE(t.size(), std::size_t(6)); // title, date, time, label, root, a
        const Op& date = t[1];
        const Op& time = t[2];
        const Op& label = t[3];
        QCOMPARE(date.x, 0);
        // On the printable area (14400 high, 11520 wide), not the sheet.
        QCOMPARE(date.y, 14400 - 720);
        QCOMPARE(time.y, date.y);
        QCOMPARE(time.x, 11520 - 2.5 * time.text.size() * 60);
        QVERIFY(time.x + time.text.size() * 60 <= 11520);
        QCOMPARE(label.text, QStringLiteral("-Page 1-"));
        // The footer changed nothing for the tree: root after the title and two blank lines in
        // the title's font, at the tree's size.
        QCOMPARE(t[4].text, QStringLiteral("root"));
        QCOMPARE(t[4].y, 3 * 240);
        QCOMPARE(t[4].fontSize, 8);
    }

    // The footer's time of day, with its seconds and without the time zone or the brackets
    // some locales put the zone in. Also run under other locales (CMakeLists.txt).
    void footerTime()
    {
        NodeStore store;
        build(store, {"root"});
        CPrintTvw print;
        plain(print, store, 1);
        print.setPrintFooter(true);
        RecordingPrinterDevice printer;
        QVERIFY(print.PrintTvw(printer));
        const auto t = texts(printer);
        QCOMPARE(t.size(), std::size_t(4)); // date, time, label, root
        const QString time = t[1].text;
        const QString why = QLocale::system().name() + QStringLiteral(": ") + time;
        QVERIFY2(
            QRegularExpression(QStringLiteral("\\d[:.]\\d\\d[:.]\\d\\d")).match(time).hasMatch(),
            qPrintable(why));
        QVERIFY2(!time.contains(QRegularExpression(QStringLiteral("[()\\[\\]]|UTC"))),
                 qPrintable(why));
        QVERIFY2(time == time.simplified(), qPrintable(why));
    }

    // Positions read back (a stem's top) and the Y the footer puts back are whole twips, halves
    // going to the even neighbour. Lines of 8 pt are 160 + extra high: p, one and two fit on
    // page 1, three goes to page 2 (its footer follows), four comes after the footer.
    void readBackRounding_data()
    {
        QTest::addColumn<double>("extra");
        QTest::addColumn<double>("stemTop"); // of the stem drawn to two, on page 1
        QTest::addColumn<double>("fourY");   // 100 below the Y the footer restored
        QTest::newRow("160.5 down") << 0.5 << 160.0 << 260.0;
        QTest::newRow("161.5 up") << 1.5 << 162.0 << 262.0;
        QTest::newRow("162.5 down") << 2.5 << 162.0 << 262.0;
        QTest::newRow("160.4") << 0.4 << 160.0 << 260.0;
        QTest::newRow("160.6") << 0.6 << 161.0 << 261.0;
    }
    void readBackRounding()
    {
        QFETCH(double, extra);
        QFETCH(double, stemTop);
        QFETCH(double, fourY);
        NodeStore store;
        build(store, {"p", "  one", "  two", "  three", "  four"});
        CPrintTvw print;
        plain(print, store, 1);
        print.setPrintFooter(true);
        // Lines flow down to 900 (less a fraction): the footer band of 7 lines comes on top.
        FractionalLinePrinter printer(extra, int(900 + 7 * (120 + extra)));
        QVERIFY(print.PrintTvw(printer));
        const double h = 160 + extra;
        bool stemFound = false;
        for (const Op& op : lines(printer))
            if (op.page == 1 && op.x == 200 && op.x2 == 200 && op.y2 == 2 * h + 200)
                stemFound = stemFound || op.y == stemTop;
        QVERIFY(stemFound);
        QStringList got;
        for (const Op& op : treeTexts(printer))
            got << QStringLiteral("%1@%2:%3").arg(op.text).arg(op.page).arg(op.y);
        QCOMPARE(got, (QStringList{"p@1:0", QStringLiteral("one@1:%1").arg(h + 100),
                                   QStringLiteral("two@1:%1").arg(2 * h + 200), "three@2:0",
                                   QStringLiteral("four@2:%1").arg(fourY)}));
    }

    void pageLabelNumbers()
    {
        NodeStore store;
        CPrintTvw print;
        pagesOfThreeLines(print, store);
        RecordingPrinterDevice printer(12240, 2000, 11520, 1640);
        QVERIFY(print.PrintTvw(printer));
        QSet<int> labelled;
        for (const Op& op : texts(printer))
            if (op.text == QStringLiteral("-Page %1-").arg(op.page))
                labelled.insert(op.page);
        const int pages = printer.ops().back().page;
        QVERIFY(pages >= 12);
        QCOMPARE(labelled.size(), pages);

        // The page-done callback hears of every finished page, in order; its false cancels the
        // print there, leaving the document unended.
        QList<int> done;
        print.setPageDone([&done](int pagesDone) {
            done << pagesDone;
            return pagesDone < 5;
        });
        RecordingPrinterDevice cancelled(12240, 2000, 11520, 1640);
        QVERIFY(!print.PrintTvw(cancelled));
        QVERIFY(print.Cancelled());
        QCOMPARE(done, QList<int>({1, 2, 3, 4, 5}));
        QCOMPARE(cancelled.documentsEnded(), 0);
        QCOMPARE(cancelled.ops().back().page, 6);
        print.setPageDone([&done](int pagesDone) {
            done << pagesDone;
            return true;
        });
        done.clear();
        RecordingPrinterDevice whole(12240, 2000, 11520, 1640);
        QVERIFY(print.PrintTvw(whole));
        QVERIFY(!print.Cancelled());
        QCOMPARE(done.size(), pages - 1);
        QCOMPARE(done.last(), pages - 1);
    }

    void printerFailureStopsTheCall()
    {
        NodeStore store;
        build(store, {"r", "  a", "  b", "  c"});
        CPrintTvw print;
        plain(print, store, 1);
        QSignalSpy sending(&print, &CPrintTvw::SendingToPrinter);
        RecordingPrinterDevice printer;
        printer.failAt(4);
        QVERIFY(!print.PrintTvw(printer));
        QVERIFY(!print.errorString().isEmpty());
        QCOMPARE(sending.count(), 0);
        QCOMPARE(printer.documentsEnded(), 0);
    }

    void wideAndDeep_data()
    {
        QTest::addColumn<int>("children");
        QTest::addColumn<int>("depth");
        QTest::newRow("100,000 children") << 100000 << 1;
        QTest::newRow("200 levels") << 1 << 200;
        QTest::newRow("20,000 levels") << 1 << 20000;
    }
    void wideAndDeep()
    {
        QFETCH(int, children);
        QFETCH(int, depth);
        NodeStore store;
        NodeStore::Id parent = store.add(NodeStore::npos, "k", "root");
        for (int d = 1; d < depth; ++d)
            parent = store.add(parent, "k" + std::to_string(d), "level");
        for (int i = 0; i < children; ++i)
            store.add(parent, "c" + std::to_string(i), "child");
        CPrintTvw print;
        plain(print, store, 1);
        print.setPrintFooter(true);
        RecordingPrinterDevice printer;
        printer.setKeepOps(false);
        QVERIFY2(print.PrintTvw(printer), qPrintable(print.errorString()));
        QCOMPARE(printer.documentsEnded(), 1);
        QVERIFY(printer.outputCount() >= long(store.size()));
    }

    // Levels are indented by 300 while the text keeps an eighth of the 11520 width (to 9900,
    // level 33); deeper levels stay there, lines and connectors inside the printable area.
    void deepIndentation()
    {
        NodeStore store;
        NodeStore::Id parent = store.add(NodeStore::npos, "k", "n0");
        for (int d = 1; d < 200; ++d)
            parent = store.add(parent, "k" + std::to_string(d), "n" + std::to_string(d));
        CPrintTvw print;
        plain(print, store, 1);
        RecordingPrinterDevice printer(12240, 15840, 11520, 15000);
        QVERIFY(print.PrintTvw(printer));
        const auto t = treeTexts(printer);
        QCOMPARE(t.size(), std::size_t(200));
        for (std::size_t i = 0; i < t.size(); ++i)
            QCOMPARE(t[i].x, std::min(300.0 * i, 9900.0));
        for (const Op& op : lines(printer))
            QVERIFY2(std::min(op.x, op.x2) >= 0 && std::max(op.x, op.x2) <= 9900,
                     qPrintable(lineText(op)));
    }

    // A file line too long for its room breaks after the name or between two fields before it
    // breaks inside one, and a date only between its day and its time. Files at X = 300, 80
    // twips a letter: the room is (width - 300) / 80 letters.
    void fileLineBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("room"); // letters
        QTest::addColumn<QStringList>("expected");
        const QString fields = QStringLiteral("----A------05/Mar/2006  09:07:02------24576");
        QTest::newRow("date whole on the next line")
            << "report.txt" + fields << "report.txt" << 20
            << QStringList{"report.txt----A-", "-----05/Mar/2006  ", "09:07:02------24576"};
        QTest::newRow("all but the size fit")
            << "report.txt" + fields << "report.txt" << 45
            << QStringList{"report.txt----A------05/Mar/2006  09:07:02-", "-----24576"};
        QTest::newRow("name longer than the room")
            << "abcdefghijklmnopqrstuvwxyz.txt" + fields << "abcdefghijklmnopqrstuvwxyz.txt" << 20
            << QStringList{"abcdefghijklmnopqrst", "uvwxyz.txt----A-", "-----05/Mar/2006  ",
                           "09:07:02------24576"};
        QTest::newRow("after a comparison's mark")
            << "~ report.txt" + fields << "report.txt" << 30
            << QStringList{"~ report.txt----A-", "-----05/Mar/2006  09:07:02-", "-----24576"};
        // Not the fields of the details ticked (a listing made with others): the name and the
        // rest, then at the width.
        QTest::newRow("other fields")
            << QStringLiteral("report.txt-----TXT-----ABCDEFGHIJKLMNOPQRSTUVWXYZ") << "report.txt"
            << 20 << QStringList{"report.txt", "-----TXT-----ABCDEFG", "HIJKLMNOPQRSTUVWXYZ"};
    }
    void fileLineBreaks()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(int, room);
        QFETCH(QStringList, expected);
        NodeStore store;
        const auto root = store.add(NodeStore::npos, "/d/", "/d/");
        store.addChild(root, name.toStdString(), false, text.toStdString());
        CPrintTvw print;
        plain(print, store, 1);
        DetailTicks ticks;
        for (int item : {DetailTicks::Archive, DetailTicks::DateLastModified, DetailTicks::Size})
            ticks.set(item, true);
        print.setDetailTicks(ticks);
        RecordingPrinterDevice printer(12240, 15840, 300 + room * 80, 14400);
        QVERIFY(print.PrintTvw(printer));
        QStringList got;
        for (const Op& op : treeTexts(printer))
            if (op.x == 300)
                got << op.text;
        QCOMPARE(got, expected);
    }

    // Every page after the first begins with the folder that goes on there, and in the Columns
    // layout with the column headings (below the title on the first page): every tree line and
    // stem of a page is below them, the columns at the same X on every page.
    void pageHeadings_data()
    {
        QTest::addColumn<bool>("continued");
        QTest::addColumn<bool>("columns");
        QTest::newRow("lines, continued") << true << false;
        QTest::newRow("columns") << false << true;
        QTest::newRow("columns, continued") << true << true;
    }
    void pageHeadings()
    {
        QFETCH(bool, continued);
        QFETCH(bool, columns);
        NodeStore store;
        const auto root = store.add(NodeStore::npos, "/data/", "/data/");
        NodeStore::Details details;
        details.size = 1234567;
        details.modified = 0;
        details.attributes = 1; // read-only
        for (int f = 0; f < 3; ++f) {
            const std::string folder = "folder" + std::to_string(f);
            const auto id = store.addChild(root, folder, true, folder);
            for (int i = 0; i < 12; ++i) {
                const std::string name = "file" + std::to_string(i) + ".txt";
                store.addChild(id, name, false, name + "-------R-----1234567", &details);
            }
        }
        CPrintTvw print;
        plain(print, store, 1);
        print.setPrintFooter(true);
        print.setTitle(QStringLiteral("Title"));
        print.setTitleFontSize(14);
        DetailTicks ticks;
        ticks.set(DetailTicks::ReadOnly, true);
        ticks.set(DetailTicks::Size, true);
        print.setDetailTicks(ticks);
        if (continued)
            print.setContinuedText(QStringLiteral("%1 (continued)"));
        if (columns)
            print.setLayout(PrintLayout::Columns);
        RecordingPrinterDevice printer(12240, 15840, 11520, 4000);
        QVERIFY(print.PrintTvw(printer));
        const int pages = printer.ops().back().page;
        QVERIFY(pages >= 3);

        std::map<int, std::vector<Op>> byPage;
        for (const Op& op : printer.ops())
            if (op.kind == Op::Text || op.kind == Op::Line)
                byPage[op.page].push_back(op);
        std::map<QString, QSet<double>> columnX; // by heading or cell, the X it has
        for (int page = 1; page <= pages; ++page) {
            const std::vector<Op>& ops = byPage[page];
            std::vector<Op> top; // the texts at the top of the page, below the title
            for (const Op& op : ops)
                if (op.kind == Op::Text && op.fontSize == 8 && op.bold)
                    top.push_back(op);
            double pageTop = page == 1 ? 840 : 0; // below the title and its blank lines
            if (continued && page > 1) {
                QVERIFY(!top.empty());
                QCOMPARE(top.front().x, 0.0);
                QCOMPARE(top.front().y, 0.0);
                QVERIFY2(top.front().text.startsWith(QLatin1String("/data/folder")) &&
                             top.front().text.endsWith(QLatin1String(" (continued)")),
                         qPrintable(top.front().text));
                pageTop = 160;
            }
            if (columns) {
                QStringList labels;
                for (const Op& op : top)
                    if (op.y == pageTop) {
                        labels << op.text;
                        columnX[op.text].insert(
                            op.text == QLatin1String("Size") ? op.x + op.text.size() * 80 : op.x);
                    }
                QCOMPARE(labels, (QStringList{"Name", "Size", "Attributes"}));
                pageTop += 160 + 60;
            } else {
                QCOMPARE(top.size(), std::size_t(page > 1 && continued));
            }
            for (const Op& op : ops) {
                if (op.kind == Op::Text && !op.bold && op.fontSize == 8) {
                    QVERIFY2(op.y >= pageTop, qPrintable(QStringLiteral("%1 on page %2 at %3")
                                                             .arg(op.text)
                                                             .arg(page)
                                                             .arg(op.y)));
                    if (columns && op.text == QLatin1String("1234567"))
                        columnX[QStringLiteral("size cell")].insert(op.x + op.text.size() * 80);
                    if (columns && op.text == QLatin1String("R"))
                        columnX[QStringLiteral("attribute cell")].insert(op.x);
                    if (columns && op.text.startsWith(QLatin1String("file")))
                        QVERIFY2(op.text.endsWith(QLatin1String(".txt")), qPrintable(op.text));
                }
                if (op.kind == Op::Line && page > 1 && op.x == op.x2)
                    QVERIFY2(std::min(op.y, op.y2) >= pageTop, qPrintable(lineText(op)));
            }
        }
        if (columns) {
            // Sizes right-aligned under their heading, attributes under theirs, on every page.
            QCOMPARE(columnX[QStringLiteral("size cell")].size(), 1);
            QCOMPARE(columnX[QStringLiteral("Size")], columnX[QStringLiteral("size cell")]);
            QCOMPARE(columnX[QStringLiteral("attribute cell")].size(), 1);
            QCOMPARE(columnX[QStringLiteral("Attributes")],
                     columnX[QStringLiteral("attribute cell")]);
            QCOMPARE(columnX[QStringLiteral("Name")], QSet<double>{0});
        }
    }

    // A page range prints those pages alone, numbered as in the whole document, and the print
    // ends after the last of them.
    void pageRange_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("3 to 5") << 3 << 5 << QStringList{"-Page 3-@1", "-Page 4-@2", "-Page 5-@3"};
        QTest::newRow("from 13") << 13 << 0 << QStringList{"-Page 13-@1", "-Page 14-@2"};
        QTest::newRow("to 1") << 0 << 1 << QStringList{"-Page 1-@1"};
    }
    void pageRange()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QStringList, labels);
        NodeStore store;
        CPrintTvw print;
        pagesOfThreeLines(print, store);
        print.setPageRange(first, last);
        RecordingPrinterDevice printer(12240, 2000, 11520, 1640);
        QVERIFY(print.PrintTvw(printer));
        QCOMPARE(printer.documentsEnded(), 1);
        QStringList got;
        for (const Op& op : texts(printer))
            if (op.text.startsWith(QLatin1String("-Page")))
                got << QStringLiteral("%1@%2").arg(op.text).arg(op.page);
        QCOMPARE(got, labels);
        QCOMPARE(printer.lastDocumentPages(), last > 0 ? last + 1 : 14);
    }

    void directoryPrintSettings_data()
    {
        QTest::addColumn<QString>("rootText");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("fontSize"); // the settings chosen; 0: the defaults
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("footer");
        QTest::addColumn<bool>("columns");
        QTest::newRow("folder") << "/home/ann/Data/"
                                << "View of /home/ann/Data/" << 0 << true << true << false;
        QTest::newRow("root folder") << "/"
                                     << "View of /" << 0 << true << true << false;
        QTest::newRow("settings chosen") << "/srv/"
                                         << "View of /srv/" << 11 << false << false << true;
    }
    void directoryPrintSettings()
    {
        QFETCH(QString, rootText);
        QFETCH(QString, title);
        QFETCH(int, fontSize);
        QFETCH(bool, bold);
        QFETCH(bool, footer);
        QFETCH(bool, columns);
        PrintSettings settings;
        if (fontSize != 0)
            settings = {std::int16_t(fontSize), bold, footer,
                        columns ? PrintLayout::Columns : PrintLayout::Lines};
        DetailTicks ticks;
        ticks.set(DetailTicks::Size, true);
        NodeStore store;
        const auto root =
            store.add(NodeStore::npos, rootText.toStdString(), rootText.toStdString());
        const auto child = store.add(root, rootText.toStdString() + "x", "x");
        store.setSelected(child); // the title comes from item 1 whatever is selected
        const auto print =
            fontSize != 0 ? NewDirectoryPrint(store, settings, ticks) : NewDirectoryPrint(store);
        QCOMPARE(print->Title(), title);
        QCOMPARE(print->tvwToPrint(), &store);
        QCOMPARE(print->FontBold(), bold);
        QCOMPARE(print->FontSize(), fontSize != 0 ? fontSize : 8);
        QCOMPARE(print->PrintFooter(), footer);
        QCOMPARE(print->Layout(), columns ? PrintLayout::Columns : PrintLayout::Lines);
        QCOMPARE(print->detailTicks().bits, fontSize != 0 ? ticks.bits : 0);
        QCOMPARE(print->ContinuedText(), QStringLiteral("%1 (continued)"));
        QCOMPARE(print->PrintStyle(), 1);
        QCOMPARE(print->SecondTitle(), QString());
        QCOMPARE(print->SecondTitleFontBold(), false);
        QCOMPARE(print->SecondTitleFontSize(), 8);
        QCOMPARE(print->TitleFontBold(), true);
        QCOMPARE(print->TitleFontSize(), 14);
        QCOMPARE(print->ConnectorStyle(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCPrintTvw)
#include "tst_CPrintTvw.moc"
