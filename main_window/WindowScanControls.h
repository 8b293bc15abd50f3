#pragma once

#include "scan/ScanControls.h"

#include "platform/controls/WaitCursor.h"

#include <QElapsedTimer>

#include <optional>

class QComboBox;
class QLineEdit;

namespace quillmap {

class FolderList;
class OptionsList;
class StatusBar;

// The scan's view of the main window: reads the options straight from the controls when the
// scan asks, and writes the counts into panel 1 of the status bar.
//
// Contract: the controls are borrowed and outlive this object. showCounts() changes the panel
// text every time but repaints the status bar (synchronously, without the event loop) at most
// every 50 ms, and once more when the scan sets the pointer back, so the final count is shown.
class WindowScanControls : public ScanControls
{
public:
    WindowScanControls(FolderList& dir1, QComboBox& combo1, QLineEdit& text1,
                       OptionsList& listView1, StatusBar& statusBar1);
    ~WindowScanControls() override;

    std::string startFolder() const override;
    QString levelsText() const override;
    QString fileTypesText() const override;
    bool isTicked(int index) const override;
    void showCounts(double dirCount, double fileCount) override;
    void setBusy(bool busy) override;

    double dirCount() const { return m_dirCount; }
    double fileCount() const { return m_fileCount; }

    static constexpr qint64 kRepaintIntervalMs = 50;

private:
    FolderList& m_dir1;
    QComboBox& m_combo1;
    QLineEdit& m_text1;
    OptionsList& m_listView1;
    StatusBar& m_statusBar1;
    double m_dirCount = 0;
    double m_fileCount = 0;
    QElapsedTimer m_sinceRepaint;
    std::optional<WaitCursor> m_busy;
};

} // namespace quillmap
