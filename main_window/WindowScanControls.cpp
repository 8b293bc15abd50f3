#include "main_window/WindowScanControls.h"

#include "platform/controls/FolderList.h"
#include "platform/controls/OptionsList.h"
#include "platform/controls/StatusBar.h"

#include <QComboBox>
#include <QLineEdit>

namespace quillmap {

WindowScanControls::WindowScanControls(FolderList& dir1, QComboBox& combo1, QLineEdit& text1,
                                       OptionsList& listView1, StatusBar& statusBar1)
    : m_dir1(dir1), m_combo1(combo1), m_text1(text1), m_listView1(listView1),
      m_statusBar1(statusBar1)
{
}

// A scan cut short leaves its hourglass to the optional's destructor.
WindowScanControls::~WindowScanControls() = default;

std::string WindowScanControls::startFolder() const
{
    return m_dir1.path();
}

QString WindowScanControls::levelsText() const
{
    return m_combo1.currentText();
}

QString WindowScanControls::fileTypesText() const
{
    return m_text1.text();
}

bool WindowScanControls::isTicked(int index) const
{
    return m_listView1.isChecked(index);
}

void WindowScanControls::showCounts(double dirCount, double fileCount)
{
    m_dirCount = dirCount;
    m_fileCount = fileCount;
    m_statusBar1.setPanelText(1, statusText(dirCount, fileCount));
    if (!m_sinceRepaint.isValid() || m_sinceRepaint.elapsed() >= kRepaintIntervalMs) {
        m_statusBar1.repaint();
        m_sinceRepaint.start();
    }
}

void WindowScanControls::setBusy(bool busy)
{
    if (busy == m_busy.has_value())
        return;
    if (busy) {
        m_busy.emplace();
        m_sinceRepaint.invalidate();
    } else {
        m_busy.reset();
        m_statusBar1.repaint();
    }
}

} // namespace quillmap
