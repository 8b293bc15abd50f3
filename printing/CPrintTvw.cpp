// The tree print engine in one file: titles, lines, wrapping, the columns layout, connectors and
// the page furniture all work on the one page state (position, page, open connectors) that
// the class keeps while it prints, so they stay together rather than pass that state around.
#include "printing/CPrintTvw.h"

#include "printing/PrinterDevice.h"
#include "scan/FileInfo.h"
#include "scan/FileLineFields.h"
#include "support/LocaleProfile.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace quillmap {

namespace {

constexpr std::int32_t kStep = 100;       // connector step down and tick across
constexpr std::int32_t kStemOffset = 200; // stem X relative to the parent's text X
constexpr int kConnectorPenWidth = 7;     // pixels at 600 dpi
constexpr double kFooterFontSize = 6;
constexpr double kFooterLines = 6;  // footer Y = page height - 6 footer-line heights
constexpr double kTimeWidths = 2.5; // time X = page width - 2.5 time widths
// Footer lines at the foot of the page kept free of tree lines: the six from the footer's top
// down, and one between the last tree line and the footer.
constexpr double kFooterBand = kFooterLines + 1;
constexpr std::int32_t kIndent = kStemOffset + kStep; // a child's text X beyond its parent's
// The least room a tree line's text gets, as a fraction of the width: deeper levels are not
// indented further, or a name would turn into a column of single letters and then run off the
// page with its connectors.
constexpr double kLeastRoom = 1.0 / 8;
// The Columns layout: the details take at most three fifths of the width (in a smaller size
// where they would need more), a type column at most a sixth; three blanks between columns; a
// rule below the headings, kRuleGap below them and above the tree. A smaller size is put on the
// tree line's baseline, which lies at about this part of a line's height.
constexpr double kDetailsShare = 0.6;
constexpr double kTypeShare = 1.0 / 6;
constexpr double kRuleGap = 30;
constexpr double kBaseline = 0.8;
// The columns, in the order the web page shows them.
enum ColumnKind
{
    kName,
    kSize,
    kModified,
    kCreated,
    kAccessed,
    kAttributes,
    kType,
};
const char* const kColumnLabels[] = {"Name",     "Size",       "Modified", "Created",
                                     "Accessed", "Attributes", "Type"};

// Nearest whole twip, halves to the even neighbour; false when it does not fit 32 bits.
bool toWhole(double value, std::int32_t& out)
{
    const double rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
          rounded <= std::numeric_limits<std::int32_t>::max()))
        return false;
    out = static_cast<std::int32_t>(rounded);
    return true;
}

QString timeText(const QLocale& locale)
{
    // The locale's long time format without the time zone, which a footer does not need. Some
    // locales put the zone in brackets ("H:mm:ss (t)"): they go with it. Quoted text is kept.
    static const QRegularExpression zone(
        QStringLiteral("\\s*\\(\\s*t+\\s*\\)|\\s*\\[\\s*t+\\s*\\]|\\s*t+"));
    QStringList parts = locale.timeFormat(QLocale::LongFormat).split(QLatin1Char('\''));
    for (qsizetype i = 0; i < parts.size(); i += 2)
        parts[i].remove(zone);
    return locale.toString(QTime::currentTime(), parts.join(QLatin1Char('\'')).trimmed());
}

} // namespace

CPrintTvw::CPrintTvw(QObject* parent) : QObject(parent) {}

CPrintTvw::~CPrintTvw() = default;

bool CPrintTvw::PrintTvw(PrinterDevice& printer)
{
    m_error.clear();
    m_cancelled = false;
    m_printerFailed = false;
    if (!m_tvwToPrint) {
        m_error = tr("There is no tree to print.");
        return false;
    }
    NodeStore::Id start = NodeStore::npos;
    if (m_printStyle == 1)
        start = m_tvwToPrint->item1();
    else if (m_printStyle == 2)
        start = m_tvwToPrint->selected();
    if (start == NodeStore::npos || !m_tvwToPrint->contains(start)) {
        if (m_printStyle == 1)
            m_error = tr("The tree to print is empty.");
        else if (m_printStyle == 2)
            m_error = tr("No node is selected to start printing from.");
        else
            m_error = tr("Print style %1 does not choose a node to start printing from (use 1 "
                         "for the whole tree or 2 for the selected node).")
                          .arg(m_printStyle);
        return false;
    }

    m_printer = &printer;
    struct Reset
    {
        CPrintTvw& print;
        ~Reset()
        {
            print.m_printer->setPageStart(nullptr);
            print.m_printer = nullptr;
            print.m_inTree = false;
            print.m_current = NodeStore::npos;
        }
    } reset{*this};
    m_stoppedAtRange = false;
    m_pageTop = 0;
    m_textRight = printer.printableWidth();
    m_columns.clear();
    printer.setPageRange(m_firstPage, m_lastPage);
    printer.setPageStart([this] { return PrintPageHeading(); });

    if (!PrintTitles() || !PrintPageFooter())
        return printerFailed();
    printer.setFontSize(m_fontSize);
    printer.setFontBold(m_fontBold);
    printer.setDrawWidth(kConnectorPenWidth);
    setUpColumns(start);
    if (m_layout == PrintLayout::Columns && !PrintColumnHeadings())
        return printerFailed();
    m_inTree = true;
    bool footed = false;
    const int firstPage = printer.page();
    if (!printNodeLine(start, footed) ||
        (printer.page() != firstPage && !footed && !PrintPageFooter()))
        return printerFailed();
    emit ProcessingTreeView();
    if (!PrintBranch(start) && !m_stoppedAtRange)
        return false;
    m_inTree = false;
    m_current = NodeStore::npos;
    m_textRight = printer.printableWidth();
    if (!printer.pastPageRange() && !PrintClosingPage())
        return printerFailed();
    emit SendingToPrinter();
    if (!printer.endDoc())
        return printerFailed();
    emit PrintJobComplete();
    return true;
}

bool CPrintTvw::printerFailed()
{
    if (m_error.isEmpty()) {
        m_printerFailed = true;
        m_error =
            m_printer && m_printer->failed() ? m_printer->errorString() : tr("The printer failed.");
    }
    return false;
}

// How many UTF-16 units from `from` on fit in `room`: at least one character (a surrogate
// pair kept whole), at most the rest of the text.
qsizetype CPrintTvw::fittingLength(const QString& text, qsizetype from, double room)
{
    qsizetype fits = 0;                      // known to fit
    qsizetype over = text.size() - from + 1; // known not to fit
    while (over - fits > 1) {
        const qsizetype mid = fits + (over - fits) / 2;
        if (m_printer->textWidth(text.mid(from, mid)) <= room)
            fits = mid;
        else
            over = mid;
    }
    if (fits == 0)
        fits = 1;
    if (from + fits < text.size() && text.at(from + fits - 1).isHighSurrogate() &&
        text.at(from + fits).isLowSurrogate())
        fits += fits > 1 ? -1 : 1;
    return fits;
}

// A node's line. A file's name ends where its details begin (after the mark a comparison
// puts in front): the Columns layout prints the name alone, with the details in their columns
// on its first line; the Lines layout breaks a long line there or between the fields first.
bool CPrintTvw::printNodeLine(NodeStore::Id node, bool& footed)
{
    m_current = node;
    const NodeStore& tree = *m_tvwToPrint;
    const std::string_view text = tree.text(node);
    std::size_t nameEnd = std::string_view::npos;
    if (tree.parent(node) != NodeStore::npos && !tree.isFolder(node)) {
        const std::string_view name = tree.name(node);
        for (const std::size_t at : {std::size_t(0), std::size_t(2)})
            if (nameEnd == std::string_view::npos &&
                text.substr(std::min(at, text.size())).starts_with(name))
                nameEnd = at + name.size();
    }
    if (m_layout == PrintLayout::Columns) {
        const QString shown = nameEnd == std::string_view::npos
                                  ? tree.displayText(node)
                                  : NodeStore::displayString(text.substr(0, nameEnd));
        return printWrapped(shown, footed, {},
                            [this, node](double top) { return printDetails(node, top); });
    }
    if (nameEnd == std::string_view::npos || nameEnd == text.size())
        return printWrapped(tree.displayText(node), footed);
    const QString name = NodeStore::displayString(text.substr(0, nameEnd));
    const QString details = NodeStore::displayString(text.substr(nameEnd));
    LineBreaks breaks;
    breaks.between.push_back(name.size());
    for (const FileLineField& field : FileLineFields(details, m_ticks)) {
        if (field.start > 0)
            breaks.between.push_back(name.size() + field.start);
        if (field.timeStart >= 0)
            breaks.inside.push_back(name.size() + field.timeStart);
    }
    return printWrapped(name + details, footed, breaks);
}

// A line at the current X. A line wider than the room left of the right edge of the tree's
// lines goes on over as many lines as it needs, each starting at the same X, so the stems
// beside it run on past them; a page that fills up before the last of them gets its footer like
// any other. `footed` tells whether the page the line ends on has had its footer here, so the
// caller does not print it a second time. `firstLineDone` is told where the first piece went.
bool CPrintTvw::printWrapped(const QString& text, bool& footed, const LineBreaks& breaks,
                             const std::function<bool(double)>& firstLineDone)
{
    PrinterDevice& printer = *m_printer;
    footed = false;
    const double x = printer.currentX();
    const double room = m_textRight - x;
    const auto printed = [&](const QString& piece, bool first) {
        if (!printer.printLine(piece))
            return false;
        return !first || !firstLineDone ||
               firstLineDone(printer.currentY() - printer.textHeight(piece));
    };
    if (printer.textWidth(text) <= room)
        return printed(text, true);
    std::vector<double> stretches;
    for (qsizetype from = 0; from < text.size();) {
        const qsizetype length = breakAt(text, from, room, breaks, stretches);
        const int page = printer.page();
        printer.setCurrentX(x);
        if (!printed(text.mid(from, length), from == 0))
            return false;
        from += length;
        if (printer.page() != page) {
            footed = from < text.size();
            if (footed && !PrintPageFooter())
                return false;
        }
    }
    return true;
}

// How much of `text` from `from` goes on one line of `room`: all that is left where it fits,
// else up to the furthest break between fields that fits, else up to the furthest break inside
// one, else as much as fits. The widths of the stretches between the breaks are measured once
// for the whole line (in `stretches`, empty at first).
qsizetype CPrintTvw::breakAt(const QString& text, qsizetype from, double room,
                             const LineBreaks& breaks, std::vector<double>& stretches)
{
    PrinterDevice& printer = *m_printer;
    if (from > 0 && printer.textWidth(text.mid(from)) <= room)
        return text.size() - from;
    std::vector<qsizetype> points;
    std::merge(breaks.between.begin(), breaks.between.end(), breaks.inside.begin(),
               breaks.inside.end(), std::back_inserter(points));
    if (!points.empty() && stretches.empty()) {
        qsizetype at = 0;
        for (const qsizetype point : points) {
            stretches.push_back(printer.textWidth(text.mid(at, point - at)));
            at = point;
        }
    }
    qsizetype between = 0;
    qsizetype inside = 0;
    double width = 0;
    qsizetype at = from;
    for (std::size_t k = 0; k < points.size(); ++k) {
        if (points[k] <= from)
            continue;
        const bool whole = k == 0 ? at == 0 : at == points[k - 1];
        width += whole ? stretches[k] : printer.textWidth(text.mid(at, points[k] - at));
        at = points[k];
        if (width > room)
            break;
        if (std::binary_search(breaks.between.begin(), breaks.between.end(), at))
            between = at;
        else
            inside = at;
    }
    // The sums of the stretches stand for the piece's width; shaped text may differ a little.
    for (const qsizetype end : {between, inside})
        if (end > from && printer.textWidth(text.mid(from, end - from)) <= room)
            return end - from;
    return fittingLength(text, from, room);
}

// The X of the stem for the children of a node whose text is at `textX`, less kStemOffset.
// Normally the node's text X; where the children's text would leave less than kLeastRoom of
// the printable width before the right edge of the tree's lines (the tree column's, in the
// Columns layout), the children go at the node's own text X instead, their stem in the node's
// stem column, so no line, stem or tick of a deep tree leaves its room.
std::int32_t CPrintTvw::childBase(std::int32_t textX) const
{
    const double limit = m_textRight - m_printer->printableWidth() * kLeastRoom;
    if (textX >= kIndent && textX + kIndent > limit)
        return textX - kIndent;
    return textX;
}

bool CPrintTvw::readX(std::int32_t& x)
{
    if (toWhole(m_printer->currentX(), x))
        return true;
    m_error = tr("The printer's position is out of range.");
    return false;
}

bool CPrintTvw::readY(std::int32_t& y)
{
    if (toWhole(m_printer->currentY(), y))
        return true;
    m_error = tr("The printer's position is out of range.");
    return false;
}

bool CPrintTvw::checkedAdd(std::int32_t a, std::int32_t b, std::int32_t& out)
{
    if (!__builtin_add_overflow(a, b, &out))
        return true;
    m_error = tr("The tree is too deep to print: its indentation is out of range.");
    return false;
}

// The tree below `startNode` (and, in print style 1, its following siblings and theirs) in
// pre-order. A frame per level holds what the recursive form PrintBranch(node, level, text X,
// stem X, stem top Y) kept in its call: a first child is drawn from its parent's frame, a later
// sibling from its previous sibling's, which it then replaces. The page at entry is the page
// when that call would have begun.
bool CPrintTvw::PrintBranch(NodeStore::Id startNode)
{
    struct Frame
    {
        std::int32_t textX;
        std::int32_t stemX;
        std::int32_t stemTopY;
        int pageAtEntry;
    };
    PrinterDevice& printer = *m_printer;
    std::vector<Frame> frames;
    int pageReported = printer.page();

    const auto enter = [&](NodeStore::Id node, std::uint32_t depth) {
        if (m_pageDone && printer.page() != pageReported) {
            pageReported = printer.page();
            if (!m_pageDone(pageReported - 1)) {
                m_cancelled = true;
                m_error = tr("The print was cancelled.");
                return false;
            }
        }
        if (printer.pastPageRange()) { // the last page asked for is done
            m_stoppedAtRange = true;
            return false;
        }
        if (node == startNode) { // drawn by the caller
            frames.push_back({0, 0, 0, printer.page()});
            return true;
        }
        if (frames.size() > depth + 1)
            frames.resize(depth + 1); // the previous sibling's subtree is done
        if (frames.size() == depth) {
            // The first child of the node whose frame is on top.
            const Frame f = frames.back();
            std::int32_t offset = 0;
            if (!checkedAdd(childBase(f.textX), kStemOffset, offset))
                return false;
            if (!ConnectorDown(offset) || !ConnectorAcross())
                return printerFailed();
            std::int32_t x = 0;
            std::int32_t y = 0;
            std::int32_t childTopY = 0;
            std::int32_t childStemX = 0;
            if (!readX(x) || !readY(y) || !checkedAdd(y, -kStep, childTopY) ||
                !checkedAdd(x, -kStep, childStemX))
                return false;
            bool footed = false;
            if (!printNodeLine(node, footed))
                return printerFailed();
            if (printer.page() != f.pageAtEntry) {
                if (!footed && !PrintPageFooter())
                    return printerFailed();
                childTopY = m_pageTop;
            }
            frames.push_back({x, childStemX, childTopY, printer.page()});
            return true;
        }
        // A later sibling: its stem continues the previous sibling's.
        const Frame f = frames.back();
        if (depth != 0) {
            if (!ConnectorDown(f.stemX) ||
                !ConnectorStem(f.stemX, printer.page() == f.pageAtEntry ? f.stemTopY : m_pageTop) ||
                !ConnectorAcross())
                return printerFailed();
        }
        std::int32_t x = 0;
        if (!readX(x))
            return false;
        bool footed = false;
        if (!printNodeLine(node, footed))
            return printerFailed();
        std::int32_t stemTopY = f.stemTopY;
        if (printer.page() != f.pageAtEntry) {
            if (!footed && !PrintPageFooter())
                return printerFailed();
            stemTopY = m_pageTop;
        }
        frames.back() = {x, f.stemX, stemTopY, printer.page()};
        return true;
    };
    return m_tvwToPrint->walk(startNode, m_printStyle != 2, enter,
                              [](NodeStore::Id, std::uint32_t) {});
}

// The top of every page after the first, while the tree is printed: the folder whose lines go
// on there, in bold at the tree's size (cut at its start where it is wider than the page), and
// the column headings. Stems going on from the page before start below them.
bool CPrintTvw::PrintPageHeading()
{
    if (!m_inTree)
        return true;
    PrinterDevice& printer = *m_printer;
    const NodeStore& tree = *m_tvwToPrint;
    if (!m_continuedText.isEmpty() && tree.contains(m_current)) {
        const NodeStore::Id parent = tree.parent(m_current);
        std::string key = tree.key(parent == NodeStore::npos ? m_current : parent);
        if (key.size() > 1 && key.back() == '/')
            key.pop_back();
        printer.setFontSize(m_fontSize);
        printer.setFontBold(true);
        printer.setCurrentX(0);
        const QString heading = m_continuedText.arg(NodeStore::displayString(key));
        if (!printer.printLineInPlace(elided(heading, printer.printableWidth(), true)))
            return false;
    }
    if (m_layout == PrintLayout::Columns && !PrintColumnHeadings())
        return false;
    return toWhole(printer.currentY(), m_pageTop);
}

// The headings of the Columns layout at the current Y, in bold, each over its column (the
// size's on the right, as its figures are), and a rule below them across the page.
bool CPrintTvw::PrintColumnHeadings()
{
    PrinterDevice& printer = *m_printer;
    const double top = printer.currentY();
    printer.setFontBold(true);
    printer.setFontSize(m_fontSize);
    const double height = printer.textHeight(QString());
    printer.setCurrentX(0);
    if (!printer.printLineInPlace(elided(columnLabel(kName), m_textRight, false)))
        return false;
    printer.setFontSize(m_detailSize);
    for (const Column& column : m_columns) {
        const QString label = elided(columnLabel(column.kind), column.width, false);
        printer.setCurrentY(top + m_detailShift);
        printer.setCurrentX(
            column.kind == kSize ? column.x + column.width - printer.textWidth(label) : column.x);
        if (!printer.printLineInPlace(label))
            return false;
    }
    const double rule = top + height + kRuleGap;
    if (!printer.drawLine(0, rule, printer.printableWidth(), rule))
        return false;
    printer.setCurrentY(rule + kRuleGap);
    printer.setCurrentX(0);
    printer.setFontSize(m_fontSize);
    printer.setFontBold(m_fontBold);
    return true;
}

QString CPrintTvw::columnLabel(int kind) const
{
    const QString label = m_columnLabels.value(kind);
    return label.isEmpty() ? QString::fromLatin1(kColumnLabels[kind]) : label;
}

// `text` cut to `room` with an ellipsis, at its start or its end; as it is where it fits.
QString CPrintTvw::elided(const QString& text, double room, bool atStart)
{
    PrinterDevice& printer = *m_printer;
    if (printer.textWidth(text) <= room)
        return text;
    const QString ellipsis(QChar(0x2026));
    const double left = std::max(0.0, room - printer.textWidth(ellipsis));
    if (!atStart)
        return text.left(fittingLength(text, 0, left)) + ellipsis;
    // From the end: the longest tail that fits.
    qsizetype fits = 0;
    qsizetype over = text.size() + 1;
    while (over - fits > 1) {
        const qsizetype mid = fits + (over - fits) / 2;
        if (printer.textWidth(text.right(mid)) <= left)
            fits = mid;
        else
            over = mid;
    }
    if (fits > 0 && fits < text.size() && text.at(text.size() - fits).isLowSurrogate())
        --fits;
    return ellipsis + text.right(fits);
}

// The Columns layout's columns for the ticked details, in the tree font: each as wide as its
// heading and its widest value (sizes and types as the printed nodes have them), placed from
// the right edge; the tree keeps the rest. Where the details would take more than
// kDetailsShare of the width, they are printed smaller.
void CPrintTvw::setUpColumns(NodeStore::Id start)
{
    PrinterDevice& printer = *m_printer;
    m_textRight = printer.printableWidth();
    m_detailSize = m_fontSize;
    m_detailShift = 0;
    m_columns.clear();
    if (m_layout != PrintLayout::Columns)
        return;
    const std::pair<int, int> shown[] = {{kSize, DetailTicks::Size},
                                         {kModified, DetailTicks::DateLastModified},
                                         {kCreated, DetailTicks::DateCreated},
                                         {kAccessed, DetailTicks::DateLastAccessed},
                                         {kType, DetailTicks::Type}};
    bool flags = false;
    for (int item = DetailTicks::Archive; item <= DetailTicks::System; ++item)
        flags = flags || m_ticks.ticked(item);
    for (const auto& [kind, item] : shown) {
        if (kind == kType && flags)
            m_columns.push_back({kAttributes, 0, 0});
        if (m_ticks.ticked(item))
            m_columns.push_back({kind, 0, 0});
    }
    if (m_columns.empty())
        return;

    // The widest size and the types of the nodes printed.
    std::uint64_t largest = 0;
    QSet<QString> types;
    const NodeStore& tree = *m_tvwToPrint;
    const bool wantTypes = m_ticks.ticked(DetailTicks::Type);
    tree.walk(
        start, m_printStyle != 2,
        [&](NodeStore::Id id, std::uint32_t) {
            const auto details = tree.details(id);
            if (details && details->size)
                largest = std::max(largest, *details->size);
            if (details && wantTypes) {
                const std::string_view name = tree.name(id);
                if (const std::size_t dot = name.find('.'); dot != std::string_view::npos)
                    types.insert(NodeStore::displayString(name.substr(dot + 1)));
            }
            return true;
        },
        [](NodeStore::Id, std::uint32_t) {});
    NodeStore::Details widest;
    widest.size = largest;
    widest.created = 0;
    widest.attributes = FileInfo::kReadOnly | FileInfo::kHidden | FileInfo::kSystem |
                        FileInfo::kArchive | FileInfo::kCompressed;
    const auto measure = [&](double size) {
        printer.setFontSize(size);
        double total = 0;
        for (Column& column : m_columns) {
            double width = printer.textWidth(columnLabel(column.kind));
            if (column.kind == kType) {
                double type = 0;
                for (const QString& t : types)
                    type = std::max(type, printer.textWidth(t));
                width = std::max(width, std::min(type, printer.printableWidth() * kTypeShare));
            } else if (column.kind == kSize || column.kind == kAttributes) {
                width = std::max(width, printer.textWidth(cellText(column.kind, widest, 0)));
            } else {
                // Dates have figures of one width.
                width = std::max(width, printer.textWidth(QStringLiteral("0000-00-00 00:00:00")));
            }
            column.width = width;
            total += width + printer.textWidth(QStringLiteral("   "));
        }
        return total;
    };
    const double room = printer.printableWidth() * kDetailsShare;
    double total = measure(m_fontSize);
    if (total > room) {
        m_detailSize = std::max(1.0, m_fontSize * room / total);
        total = measure(m_detailSize);
    }
    const double gap = printer.textWidth(QStringLiteral("   "));
    double x = printer.printableWidth();
    for (auto column = m_columns.rbegin(); column != m_columns.rend(); ++column) {
        x -= column->width;
        column->x = x;
        x -= gap;
    }
    m_textRight = std::max(x, printer.printableWidth() * (1 - kDetailsShare));
    const double detailHeight = printer.textHeight(QString());
    printer.setFontSize(m_fontSize);
    m_detailShift = (printer.textHeight(QString()) - detailHeight) * kBaseline;
}

// A file's details in their columns, on the line whose top is at `top`.
bool CPrintTvw::printDetails(NodeStore::Id node, double top)
{
    if (m_columns.empty())
        return true;
    const auto details = m_tvwToPrint->details(node);
    if (!details)
        return true;
    PrinterDevice& printer = *m_printer;
    const double y = printer.currentY();
    printer.setFontSize(m_detailSize);
    for (const Column& column : m_columns) {
        QString text = cellText(column.kind, *details, node);
        if (text.isEmpty())
            continue;
        if (column.kind == kType)
            text = elided(text, column.width, false);
        printer.setCurrentY(top + m_detailShift);
        printer.setCurrentX(column.kind == kSize ? column.x + column.width - printer.textWidth(text)
                                                 : column.x);
        if (!printer.printLineInPlace(text))
            return false;
    }
    printer.setFontSize(m_fontSize);
    printer.setCurrentY(y);
    printer.setCurrentX(0);
    return true;
}

// What a column shows for a file: the size in bytes, a date as "yyyy-MM-dd hh:mm:ss" in local
// time, the letters of the ticked attributes it has (N for none), the type (the name after its
// first dot).
QString CPrintTvw::cellText(int kind, const NodeStore::Details& details, NodeStore::Id node)
{
    switch (kind) {
    case kSize:
        return details.size ? QString::number(*details.size) : QString();
    case kModified:
    case kCreated:
    case kAccessed: {
        const std::optional<std::int64_t>& when = kind == kModified  ? details.modified
                                                  : kind == kCreated ? details.created
                                                                     : details.accessed;
        std::tm tm{};
        if (!when || !m_clock.localTime(*when, tm))
            return QString();
        return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                                 tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    }
    case kAttributes: {
        QString letters;
        const std::pair<int, std::pair<std::uint32_t, char>> flags[] = {
            {DetailTicks::Archive, {FileInfo::kArchive, 'A'}},
            {DetailTicks::Compressed, {FileInfo::kCompressed, 'C'}},
            {DetailTicks::Hidden, {FileInfo::kHidden, 'H'}},
            {DetailTicks::ReadOnly, {FileInfo::kReadOnly, 'R'}},
            {DetailTicks::System, {FileInfo::kSystem, 'S'}}};
        for (const auto& [item, flag] : flags)
            if (m_ticks.ticked(item) && (details.attributes & flag.first))
                letters += QLatin1Char(flag.second);
        if (m_ticks.ticked(DetailTicks::Normal) && (details.attributes & ~FileInfo::kFolder) == 0)
            letters += QLatin1Char('N');
        return letters;
    }
    case kType: {
        const std::string_view name = m_tvwToPrint->name(node);
        const std::size_t dot = name.find('.');
        return dot == std::string_view::npos ? QString()
                                             : NodeStore::displayString(name.substr(dot + 1));
    }
    }
    return QString();
}

bool CPrintTvw::PrintTitles()
{
    PrinterDevice& printer = *m_printer;
    const auto printTitle = [&](const QString& title, std::int16_t size, bool bold) {
        if (title.isEmpty())
            return true;
        printer.setFontSize(size);
        printer.setFontBold(bold);
        // Centred on the printable area; a title wider than it goes on over more lines.
        const double width = printer.printableWidth();
        for (qsizetype from = 0; from < title.size();) {
            const qsizetype length = printer.textWidth(title.mid(from)) <= width
                                         ? title.size() - from
                                         : fittingLength(title, from, width);
            const QString piece = title.mid(from, length);
            printer.setCurrentX(std::max(0.0, (width - printer.textWidth(piece)) / 2));
            if (!printer.printLine(piece))
                return false;
            from += length;
        }
        return true;
    };
    if (!printTitle(m_title, m_titleFontSize, m_titleFontBold) ||
        !printTitle(m_secondTitle, m_secondTitleFontSize, m_secondTitleFontBold))
        return false;
    if (!m_title.isEmpty() || !m_secondTitle.isEmpty())
        return printer.printLine(QString()) && printer.printLine(QString());
    return true;
}

bool CPrintTvw::PrintPageFooter()
{
    if (!m_printFooter)
        return true;
    PrinterDevice& printer = *m_printer;
    std::int32_t savedY = 0;
    std::int32_t savedSize = 0;
    if (!toWhole(printer.currentY(), savedY) || !toWhole(printer.fontSize(), savedSize)) {
        m_error = tr("The printer's position is out of range.");
        return false;
    }

    // Everything on the printable area, where a printer can print: the date at its left edge,
    // the label in its middle, the time towards its right edge, six footer lines above its
    // foot; the tree's lines stay above that band.
    printer.setFontSize(kFooterFontSize);
    const double footerLine = printer.textHeight(QStringLiteral("Footer"));
    const double footerY = printer.printableHeight() - kFooterLines * footerLine;
    printer.setBottomReserve(kFooterBand * footerLine);
    // The date and time as the file lines write dates: in the locale POSIX takes for dates.
    const QLocale locale = LocaleProfile::timeLocale();
    const QString date = locale.toString(QDate::currentDate(), QLocale::ShortFormat);
    const QString time = timeText(locale);
    const QString label = QStringLiteral("-Page %1-").arg(printer.page());

    printer.setCurrentY(footerY);
    if (!printer.printLineInPlace(date))
        return false;
    printer.setCurrentY(footerY);
    printer.setCurrentX(printer.printableWidth() - kTimeWidths * printer.textWidth(time));
    if (!printer.printLineInPlace(time))
        return false;
    printer.setCurrentY(footerY);
    printer.setCurrentX((printer.printableWidth() - printer.textWidth(label)) / 2);
    if (!printer.printLineInPlace(label))
        return false;

    printer.setCurrentY(savedY);
    printer.setFontSize(savedSize);
    return true;
}

bool CPrintTvw::PrintClosingPage()
{
    PrinterDevice& printer = *m_printer;
    for (qsizetype i = 0; i < m_closingPage.size(); ++i) {
        printer.setFontSize(i == 0 ? m_titleFontSize : m_fontSize);
        printer.setFontBold(i == 0 ? m_titleFontBold : m_fontBold);
        printer.setCurrentX(0);
        // Past the printable area, the first line starts a page of its own.
        if (i == 0)
            printer.setCurrentY(printer.printableHeight());
        const int page = printer.page();
        bool footed = false;
        if (!printWrapped(m_closingPage[i], footed) ||
            (printer.page() != page && !footed && !PrintPageFooter()))
            return false;
    }
    return true;
}

bool CPrintTvw::ConnectorDown(std::int32_t offset)
{
    if (m_connectorStyle != 1 && m_connectorStyle != 2)
        return true;
    PrinterDevice& printer = *m_printer;
    const double x = printer.currentX() + offset;
    const double y = printer.currentY();
    if (m_connectorStyle == 1 && !printer.drawLine(x, y, x, y + kStep))
        return false;
    printer.setCurrentX(x);
    printer.setCurrentY(y + kStep);
    return true;
}

bool CPrintTvw::ConnectorAcross()
{
    if (m_connectorStyle != 1 && m_connectorStyle != 2)
        return true;
    PrinterDevice& printer = *m_printer;
    const double x = printer.currentX();
    const double y = printer.currentY();
    if (m_connectorStyle == 1 && !printer.drawLine(x, y, x + kStep, y))
        return false;
    printer.setCurrentX(x + kStep);
    return true;
}

bool CPrintTvw::ConnectorStem(std::int32_t x, std::int32_t y)
{
    if (m_connectorStyle != 1)
        return true;
    PrinterDevice& printer = *m_printer;
    if (!printer.drawLine(x, y, x, printer.currentY()))
        return false;
    printer.setCurrentX(x);
    return true;
}

} // namespace quillmap
