#include "printing/CPrintTvw.h"

#include "printing/PrinterDevice.h"
#include "support/LocaleProfile.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
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
        PrinterDevice*& printer;
        ~Reset() { printer = nullptr; }
    } reset{m_printer};

    if (!PrintTitles() || !PrintPageFooter())
        return printerFailed();
    printer.setFontSize(m_fontSize);
    printer.setFontBold(m_fontBold);
    printer.setDrawWidth(kConnectorPenWidth);
    bool footed = false;
    const int firstPage = printer.page();
    if (!printNodeLine(start, footed) ||
        (printer.page() != firstPage && !footed && !PrintPageFooter()))
        return printerFailed();
    emit ProcessingTreeView();
    if (!PrintBranch(start))
        return false;
    if (!PrintClosingPage())
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

bool CPrintTvw::printNodeLine(NodeStore::Id node, bool& footed)
{
    return printWrapped(m_tvwToPrint->displayText(node), footed);
}

// A line at the current X. A line wider than the room left of the printable area's right edge
// goes on over as many lines as it needs, each starting at the same X, so the stems beside it
// run on past them; a page that fills up before the last of them gets its footer like any
// other. `footed` tells whether the page the line ends on has had its footer here, so the
// caller does not print it a second time.
bool CPrintTvw::printWrapped(const QString& text, bool& footed)
{
    PrinterDevice& printer = *m_printer;
    footed = false;
    const double x = printer.currentX();
    const double room = printer.printableWidth() - x;
    if (printer.textWidth(text) <= room)
        return printer.printLine(text);
    for (qsizetype from = 0; from < text.size();) {
        const qsizetype length = fittingLength(text, from, room);
        const int page = printer.page();
        printer.setCurrentX(x);
        if (!printer.printLine(text.mid(from, length)))
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

// The X of the stem for the children of a node whose text is at `textX`, less kStemOffset.
// Normally the node's text X; where the children's text would leave less than kLeastRoom of
// the width, the children go at the node's own text X instead, their stem in the node's stem
// column, so no line, stem or tick of a deep tree leaves the printable area.
std::int32_t CPrintTvw::childBase(std::int32_t textX) const
{
    const double limit = m_printer->printableWidth() * (1 - kLeastRoom);
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
                childTopY = 0;
            }
            frames.push_back({x, childStemX, childTopY, printer.page()});
            return true;
        }
        // A later sibling: its stem continues the previous sibling's.
        const Frame f = frames.back();
        if (depth != 0) {
            if (!ConnectorDown(f.stemX) ||
                !ConnectorStem(f.stemX, printer.page() == f.pageAtEntry ? f.stemTopY : 0) ||
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
            stemTopY = 0;
        }
        frames.back() = {x, f.stemX, stemTopY, printer.page()};
        return true;
    };
    return m_tvwToPrint->walk(startNode, m_printStyle != 2, enter,
                              [](NodeStore::Id, std::uint32_t) {});
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
