#pragma once

#include <QElapsedTimer>
#include <QProgressDialog>

namespace quillmap {

class CPrintTvw;

// The progress of one long print, Print Preview or save: a modal dialog counting the pages done,
// with Cancel. It shows itself only once the print has taken half a second.
//
// Contract: watch() hooks the dialog into the print's page-done callback until this object
// goes; Cancel makes the print's next page report cancel it (CPrintTvw::Cancelled()). The
// dialog takes its clicks and paints as pages are done; the print goes on in the caller's
// stack, on the window's thread.
class PrintProgress
{
public:
    PrintProgress(QWidget* parent, const QString& title);
    ~PrintProgress();
    PrintProgress(const PrintProgress&) = delete;
    PrintProgress& operator=(const PrintProgress&) = delete;

    void watch(CPrintTvw& print);

private:
    bool pageDone(int pagesDone);

    QProgressDialog m_dialog;
    QString m_pagesText;
    QElapsedTimer m_sinceUpdate;
    CPrintTvw* m_print = nullptr;
    bool m_pointerChanged = false;
};

} // namespace quillmap
