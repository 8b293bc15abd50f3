#pragma once

#include "printing/PrintSettings.h"
#include "scan/DetailTicks.h"
#include "support/LocalClock.h"
#include "tree/NodeStore.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace quillmap {

class PrinterDevice;

// Prints a tree view (a NodeStore) as one document: centred titles, one line per node in
// pre-order with connector lines between the levels, and a footer on every page.
//
// Contract:
// - A new object holds 0, false, empty text and no tree in every setting; setters store the
//   value unchanged (no range checks), getters return the value last stored. Setting never
//   prints.
// - tvwToPrint is not owned: the caller keeps the store alive while PrintTvw() runs.
// - PrintTvw(printer) prints on `printer` and ends its document. The three signals are emitted
//   synchronously, once per call, in the order ProcessingTreeView, SendingToPrinter,
//   PrintJobComplete. It returns true when the document was ended.
// - It returns false, with errorString() saying why, when there is no tree, no start node for
//   the PrintStyle (only 1 = item 1 and 2 = the selected node select one), or the printer
//   failed. A missing tree or start node is found before anything is printed; after a printer
//   failure the open document is left to the device and no further signal is emitted.
// - Titles and footer are placed on the printable area; a line wider than the room to its
//   right edge continues on the following lines at the same X, a file line broken after its
//   name or between two of its fields (setDetailTicks) before inside one, and a date only
//   between its day and its time. Levels are indented while the text keeps an eighth of the
//   width; deeper ones go at their parent's X, so nothing is ever drawn outside the printable
//   area.
// - With a continued text, every page after the first begins with a heading naming the folder
//   whose lines go on there; in the Columns layout every page has the column headings above
//   the tree (below the titles on the first). Stems going on from an earlier page start below
//   them.
// - Positions are whole twips in 32-bit integers; siblings are walked in a loop and the depth
//   is kept on the heap, so wide folders and deep chains can't exhaust the stack.
class CPrintTvw : public QObject
{
    Q_OBJECT

public:
    explicit CPrintTvw(QObject* parent = nullptr);
    ~CPrintTvw() override;

    NodeStore* tvwToPrint() const { return m_tvwToPrint; }
    void setTvwToPrint(NodeStore* vData) { m_tvwToPrint = vData; }

    void setPrintStyle(std::int32_t vData) { m_printStyle = vData; }
    std::int32_t PrintStyle() const { return m_printStyle; }
    void setConnectorStyle(std::int32_t vData) { m_connectorStyle = vData; }
    std::int32_t ConnectorStyle() const { return m_connectorStyle; }
    void setSecondTitleFontBold(bool vData) { m_secondTitleFontBold = vData; }
    bool SecondTitleFontBold() const { return m_secondTitleFontBold; }
    void setTitleFontBold(bool vData) { m_titleFontBold = vData; }
    bool TitleFontBold() const { return m_titleFontBold; }
    void setSecondTitleFontSize(std::int16_t vData) { m_secondTitleFontSize = vData; }
    std::int16_t SecondTitleFontSize() const { return m_secondTitleFontSize; }
    void setTitleFontSize(std::int16_t vData) { m_titleFontSize = vData; }
    std::int16_t TitleFontSize() const { return m_titleFontSize; }
    void setPrintFooter(bool vData) { m_printFooter = vData; }
    bool PrintFooter() const { return m_printFooter; }
    void setSecondTitle(const QString& vData) { m_secondTitle = vData; }
    QString SecondTitle() const { return m_secondTitle; }
    void setTitle(const QString& vData) { m_title = vData; }
    // Lines printed after the tree on a page of their own (a comparison's summary; the first
    // in the title's font); none by default.
    void setClosingPage(const QStringList& lines) { m_closingPage = lines; }
    const QStringList& ClosingPage() const { return m_closingPage; }
    QString Title() const { return m_title; }
    void setFontBold(bool vData) { m_fontBold = vData; }
    bool FontBold() const { return m_fontBold; }
    void setFontSize(std::int16_t vData) { m_fontSize = vData; }
    std::int16_t FontSize() const { return m_fontSize; }

    // The layout of the tree lines (PrintSettings.h); Lines by default.
    void setLayout(PrintLayout vData) { m_layout = vData; }
    PrintLayout Layout() const { return m_layout; }
    // The details the tree's file lines carry, as the search ticked them: where a long file line
    // may break, and the columns of the Columns layout. None by default.
    void setDetailTicks(DetailTicks vData) { m_ticks = vData; }
    DetailTicks detailTicks() const { return m_ticks; }
    // The heading of every page after the first, "%1" standing for the folder that goes on there
    // ("%1 (continued)"); empty by default: no heading.
    void setContinuedText(const QString& vData) { m_continuedText = vData; }
    QString ContinuedText() const { return m_continuedText; }
    // The column headings of the Columns layout: name, size, modified, created, accessed,
    // attributes, type. English ones where missing.
    void setColumnLabels(const QStringList& vData) { m_columnLabels = vData; }
    // Prints pages `first` to `last` only (from 1; 0 leaves that end open; all by default): the
    // others are laid out alike but not drawn, and the print ends after the last.
    void setPageRange(int first, int last)
    {
        m_firstPage = first;
        m_lastPage = last;
    }
    int FirstPage() const { return m_firstPage; }
    int LastPage() const { return m_lastPage; }

    bool PrintTvw(PrinterDevice& printer);
    // Why the last PrintTvw() returned false; empty after a successful one.
    QString errorString() const { return m_error; }

    // Called during PrintTvw() each time the printer has begun a new page, with the number of
    // pages finished. Returning false cancels the print: PrintTvw() stops there and returns
    // false, with Cancelled() true; the open document is left to the device, as after a
    // printer failure.
    void setPageDone(std::function<bool(int pagesDone)> callback)
    {
        m_pageDone = std::move(callback);
    }
    bool Cancelled() const { return m_cancelled; }
    // Whether the last PrintTvw() failed because the printer device did (errorString() then
    // holds the device's own words).
    bool PrinterFailed() const { return m_printerFailed; }

signals:
    void ProcessingTreeView();
    void SendingToPrinter();
    void PrintJobComplete();

private:
    bool PrintBranch(NodeStore::Id startNode);
    bool PrintTitles();
    bool PrintPageFooter();
    bool PrintClosingPage();
    bool ConnectorDown(std::int32_t offset);
    bool ConnectorAcross();
    bool ConnectorStem(std::int32_t x, std::int32_t y);
    // Where a line may break: after a file's name and between its fields, and, where none of
    // those leaves a piece that fits, between a date and its time. Ascending offsets.
    struct LineBreaks
    {
        std::vector<qsizetype> between;
        std::vector<qsizetype> inside;
    };
    // One column of the Columns layout.
    struct Column
    {
        int kind;
        double x;
        double width;
    };

    bool printNodeLine(NodeStore::Id node, bool& footed);
    bool printWrapped(const QString& text, bool& footed, const LineBreaks& breaks = {},
                      const std::function<bool(double top)>& firstLineDone = {});
    qsizetype breakAt(const QString& text, qsizetype from, double room, const LineBreaks& breaks,
                      std::vector<double>& stretches);
    bool PrintPageHeading();
    bool PrintColumnHeadings();
    void setUpColumns(NodeStore::Id start);
    bool printDetails(NodeStore::Id node, double top);
    QString cellText(int kind, const NodeStore::Details& details, NodeStore::Id node);
    QString columnLabel(int kind) const;
    QString elided(const QString& text, double room, bool atStart);
    std::int32_t childBase(std::int32_t textX) const;
    qsizetype fittingLength(const QString& text, qsizetype from, double room);
    bool readX(std::int32_t& x);
    bool readY(std::int32_t& y);
    bool checkedAdd(std::int32_t a, std::int32_t b, std::int32_t& out);
    bool printerFailed();

    NodeStore* m_tvwToPrint = nullptr;
    QStringList m_closingPage;
    std::int32_t m_printStyle = 0;
    std::int32_t m_connectorStyle = 0;
    bool m_secondTitleFontBold = false;
    bool m_titleFontBold = false;
    std::int16_t m_secondTitleFontSize = 0;
    std::int16_t m_titleFontSize = 0;
    bool m_printFooter = false;
    QString m_secondTitle;
    QString m_title;
    bool m_fontBold = false;
    std::int16_t m_fontSize = 0;
    PrintLayout m_layout = PrintLayout::Lines;
    DetailTicks m_ticks;
    QString m_continuedText;
    QStringList m_columnLabels;
    int m_firstPage = 0;
    int m_lastPage = 0;

    std::function<bool(int)> m_pageDone;
    bool m_cancelled = false;
    bool m_printerFailed = false;

    // Valid only inside PrintTvw().
    PrinterDevice* m_printer = nullptr;
    bool m_inTree = false;                     // the tree is being printed: pages get headings
    NodeStore::Id m_current = NodeStore::npos; // the node whose line is being printed
    std::int32_t m_pageTop = 0;                // where the tree starts on the current page
    double m_textRight = 0;                    // the right edge of the tree's lines
    std::vector<Column> m_columns;             // Columns layout: the details, left to right
    double m_detailSize = 0;                   // their font size
    double m_detailShift = 0;                  // their Y below the tree line's, for one baseline
    bool m_stoppedAtRange = false;
    LocalClock m_clock;
    QString m_error;
};

} // namespace quillmap
