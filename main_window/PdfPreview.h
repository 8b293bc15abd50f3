#pragma once

#include "main_window/BackgroundPrint.h"
#include "printing/PrintSettings.h"

#include <QDialog>
#include <QPageLayout>
#include <QPdfDocument>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class QLabel;
class QPdfView;
class QSpinBox;

namespace quillmap {

class CPrintTvw;
class PrintOptionsPanel;

// File > Print Preview: the pages as the PDF writer makes them, shown by Qt PDF, so the preview
// is exactly what Save as PDF writes and what prints on the same paper. The document is made on
// a thread of its own: its first pages at once, then the whole of it, which takes their place.
// One page is shown at a time, drawn when it is turned to (Page Up and Page Down turn them):
// the document's pages are never all laid out or held. The print settings are chosen beside
// the pages (and remembered); a change makes the document again. Its buttons print the tree
// and save it.
class PdfPreview : public QDialog
{
    Q_OBJECT
public:
    // The document for the settings chosen, made on the window's thread and printed on the
    // preview's.
    using MakePrint = std::function<std::shared_ptr<CPrintTvw>(const PrintSettings&)>;

    PdfPreview(QWidget* parent, const QString& title, const QPageLayout& layout,
               MakePrint makePrint, std::function<void()> print, std::function<void()> saveAsPdf);
    ~PdfPreview() override;

    // The pages shown: the first few of the document while the rest are made, then all.
    int pagesShown() const { return m_document.pageCount(); }
    bool complete() const { return m_complete; }
    QPdfDocument& document() { return m_document; }

signals:
    // New pages are shown: the first ones of a document, or all of them (`complete`).
    void pagesShownChanged(bool complete);

private:
    void makeDocument();
    void showPages(const QString& path, bool complete);
    void showStatus();
    void showPageNumber(int page);

    QPageLayout m_layout;
    MakePrint m_makePrint;
    PrintOptionsPanel* m_options;
    QPdfView* m_view;
    QSpinBox* m_page;
    QLabel* m_pages;
    QLabel* m_status;
    QPdfDocument m_document;
    QTemporaryDir m_folder;
    BackgroundPrint m_work;
    unsigned m_made = 0; // documents begun, for their file names
    bool m_complete = false;
    int m_pagesDone = 0; // of the whole document being made
    QString m_error;
};

} // namespace quillmap
