#include "main_window/PrintProgress.h"

#include "printing/CPrintTvw.h"
#include "support/LangFunctions.h"

#include <QApplication>

namespace quillmap {

namespace {

constexpr int kShowAfterMs = 500;
// Each update lets the dialog paint and take a click; a few a second are plenty.
constexpr qint64 kUpdateIntervalMs = 100;
constexpr int kPagesDoneMessage = 66;
constexpr int kCancelMessage = 67;

} // namespace

PrintProgress::PrintProgress(QWidget* parent, const QString& title)
    : m_dialog(parent), m_pagesText(LangFunctions::MessageText(kPagesDoneMessage, "Pages done: %1"))
{
    m_dialog.setWindowTitle(title);
    m_dialog.setWindowModality(Qt::ApplicationModal);
    m_dialog.setCancelButtonText(LangFunctions::MessageText(kCancelMessage, "Cancel"));
    m_dialog.setLabelText(m_pagesText.arg(0));
    m_dialog.setRange(0, 0); // the number of pages is known only at the end
    m_dialog.setAutoReset(false);
    m_dialog.setAutoClose(false);
    m_dialog.setMinimumDuration(kShowAfterMs);
    m_dialog.setValue(0); // starts the clock for kShowAfterMs
}

PrintProgress::~PrintProgress()
{
    if (m_print)
        m_print->setPageDone(nullptr);
}

void PrintProgress::watch(CPrintTvw& print)
{
    m_print = &print;
    print.setPageDone([this](int pagesDone) { return pageDone(pagesDone); });
}

bool PrintProgress::pageDone(int pagesDone)
{
    if (!m_sinceUpdate.isValid() || m_sinceUpdate.elapsed() >= kUpdateIntervalMs) {
        m_sinceUpdate.start();
        m_dialog.setLabelText(m_pagesText.arg(pagesDone));
        // Shows the dialog once the print has run long enough, and lets it take the clicks.
        m_dialog.setValue(pagesDone);
        if (m_dialog.isVisible() && !m_pointerChanged && QApplication::overrideCursor()) {
            // The hourglass of the print would say that Cancel can't be clicked.
            QApplication::changeOverrideCursor(Qt::BusyCursor);
            m_pointerChanged = true;
        }
    }
    return !m_dialog.wasCanceled();
}

} // namespace quillmap
