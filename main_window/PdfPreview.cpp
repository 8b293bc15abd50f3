#include "main_window/PdfPreview.h"

#include "main_window/PrintOptionsPanel.h"
#include "main_window/SavedPrintSettings.h"
#include "platform/print/QtPrintBackend.h"
#include "printing/CPrintTvw.h"
#include "printing/PrintJob.h"
#include "support/LangFunctions.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quillmap {

namespace {

using LangFunctions::MessageText;

// The pages made first, to be shown at once.
constexpr int kFirstPages = 10;
// How often the count of pages done is shown while the rest are made.
constexpr qint64 kProgressMs = 250;

} // namespace

PdfPreview::PdfPreview(QWidget* parent, const QString& title, const QPageLayout& layout,
                       MakePrint makePrint, std::function<void()> print,
                       std::function<void()> saveAsPdf)
    : QDialog(parent), m_layout(layout), m_makePrint(std::move(makePrint)),
      m_options(new PrintOptionsPanel(this)), m_view(new QPdfView(this)),
      m_page(new QSpinBox(this)), m_pages(new QLabel(this)), m_status(new QLabel(this))
{
    setWindowTitle(title);
    setObjectName(QStringLiteral("printPreview"));
    m_view->setDocument(&m_document);
    m_view->setPageMode(QPdfView::PageMode::SinglePage);
    m_view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    m_status->setWordWrap(true);
    m_options->setSettings(SavedPrintSettings::load());

    auto* printButton = new QPushButton(MessageText(217, "Print..."), this);
    auto* saveButton = new QPushButton(MessageText(218, "Save as PDF..."), this);
    auto* closeButton = new QPushButton(MessageText(219, "Close"), this);
    m_page->setRange(1, 1);
    auto* page = new QHBoxLayout;
    page->addWidget(new QLabel(MessageText(222, "Page:"), this));
    page->addWidget(m_page);
    page->addWidget(m_pages, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(m_options);
    side->addLayout(page);
    side->addWidget(m_status);
    side->addStretch();
    side->addWidget(printButton);
    side->addWidget(saveButton);
    side->addWidget(closeButton);
    auto* layoutBox = new QHBoxLayout(this);
    layoutBox->addLayout(side);
    layoutBox->addWidget(m_view, 1);
    resize(1000, 800);

    connect(printButton, &QPushButton::clicked, this, [print] { print(); });
    connect(saveButton, &QPushButton::clicked, this, [saveAsPdf] { saveAsPdf(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_options, &PrintOptionsPanel::settingsChanged, this, [this] {
        SavedPrintSettings::save(m_options->settings());
        makeDocument();
    });
    connect(m_view->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this,
            &PdfPreview::showPageNumber);
    connect(m_page, &QSpinBox::valueChanged, this, [this](int page) {
        if (page - 1 != m_view->pageNavigator()->currentPage())
            m_view->pageNavigator()->jump(page - 1, QPointF());
    });
    const auto turn = [this](QKeySequence::StandardKey key, int by) {
        connect(new QShortcut(key, this), &QShortcut::activated, m_page,
                [this, by] { m_page->stepBy(by); });
    };
    turn(QKeySequence::MoveToNextPage, 1);
    turn(QKeySequence::MoveToPreviousPage, -1);
    makeDocument();
}

PdfPreview::~PdfPreview()
{
    m_work.stop();
}

// The document for the settings shown, in the background: its first pages into one file, shown
// as soon as they are there, then the whole document into another, which replaces them.
void PdfPreview::makeDocument()
{
    m_work.stop();
    m_complete = false;
    m_pagesDone = 0;
    m_error.clear();
    m_options->setPageCount(-1);
    showStatus();
    const std::shared_ptr<CPrintTvw> print = m_makePrint(m_options->settings());
    const unsigned made = ++m_made;
    const QString first = m_folder.filePath(QStringLiteral("first-%1.pdf").arg(made));
    const QString all = m_folder.filePath(QStringLiteral("all-%1.pdf").arg(made));
    m_work.start([this, print, layout = m_layout, first, all](const std::atomic<bool>& stop,
                                                              const BackgroundPrint::Post& post) {
        QtPrintBackend backend;
        QString error;
        print->setPageDone([&stop](int) { return !stop; });
        print->setPageRange(1, kFirstPages);
        if (!PrintToPdfFile(*print, backend, first, layout, &error)) {
            print->setPageDone(nullptr);
            post([this, error] {
                m_error = error;
                showStatus();
            });
            return;
        }
        post([this, first] { showPages(first, false); });
        QElapsedTimer sinceShown;
        sinceShown.start();
        print->setPageDone([&](int pagesDone) {
            if (sinceShown.elapsed() >= kProgressMs) {
                sinceShown.start();
                post([this, pagesDone] {
                    m_pagesDone = pagesDone;
                    showStatus();
                });
            }
            return !stop;
        });
        print->setPageRange(0, 0);
        const bool made = PrintToPdfFile(*print, backend, all, layout, &error);
        print->setPageDone(nullptr);
        post([this, made, all, error] {
            if (made) {
                showPages(all, true);
            } else {
                m_error = error;
                showStatus();
            }
        });
    });
}

void PdfPreview::showPages(const QString& path, bool complete)
{
    const int page = m_view->pageNavigator()->currentPage();
    const QPointF location = m_view->pageNavigator()->currentLocation();
    if (m_document.load(path) != QPdfDocument::Error::None) {
        m_error = MessageText(220, "The pages could not be shown.");
        showStatus();
        return;
    }
    // The file stays open in the document; its name can go.
    QFile::remove(path);
    m_complete = complete;
    if (complete)
        m_options->setPageCount(m_document.pageCount());
    m_page->setMaximum(std::max(1, m_document.pageCount()));
    if (page > 0 && page < m_document.pageCount())
        m_view->pageNavigator()->jump(page, location);
    showPageNumber(m_view->pageNavigator()->currentPage());
    emit pagesShownChanged(complete);
}

void PdfPreview::showPageNumber(int page)
{
    const QSignalBlocker blocker(m_page);
    m_page->setValue(page + 1);
    showStatus();
}

void PdfPreview::showStatus()
{
    const QLocale locale;
    m_pages->setText(
        MessageText(223, "of %1")
            .arg(m_complete ? locale.toString(m_document.pageCount()) : QStringLiteral("...")));
    if (!m_error.isEmpty())
        m_status->setText(MessageText(221, "The preview could not be made. %1").arg(m_error));
    else if (!m_complete)
        m_status->setText(
            MessageText(224, "Making the pages: %1 done").arg(locale.toString(m_pagesDone)));
    else
        m_status->clear();
}

} // namespace quillmap
