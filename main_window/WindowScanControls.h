#pragma once

#include "scan/DetailTicks.h"
#include "scan/ScanControls.h"

#include <atomic>

class QComboBox;
class QLineEdit;

namespace quillmap {

class FolderList;
class OptionsList;

// The scan's view of the main window, for a scan that runs on a thread of its own: the options
// are read from the controls once, on the window's thread, when the object is made (the user
// can't change them for a running scan anyway); the counts the scan reports and a request to
// stop pass between the threads through atomics.
//
// Contract: made on the window's thread; afterwards no widget is touched, so every member may
// be called on the scan's thread. The window reads dirCount()/fileCount() to show them and
// calls requestStop() to end the scan early. setBusy() does nothing: the window keeps its own
// pointer.
class WindowScanControls : public ScanControls
{
public:
    WindowScanControls(const FolderList& dir1, const QComboBox& combo1, const QLineEdit& text1,
                       const OptionsList& listView1);

    std::string startFolder() const override { return m_startFolder; }
    QString levelsText() const override { return m_levelsText; }
    QString fileTypesText() const override { return m_fileTypesText; }
    bool isTicked(int index) const override
    {
        return index >= 1 && index <= DetailTicks::kCount && m_ticks.ticked(index);
    }
    void showCounts(double dirCount, double fileCount) override;
    void setBusy(bool) override {}
    bool stopRequested() const override { return m_stop.load(std::memory_order_relaxed); }

    void requestStop() { m_stop.store(true, std::memory_order_relaxed); }
    double dirCount() const { return m_dirCount.load(std::memory_order_relaxed); }
    double fileCount() const { return m_fileCount.load(std::memory_order_relaxed); }

private:
    std::string m_startFolder;
    QString m_levelsText;
    QString m_fileTypesText;
    DetailTicks m_ticks;
    std::atomic<double> m_dirCount{0};
    std::atomic<double> m_fileCount{0};
    std::atomic<bool> m_stop{false};
};

} // namespace quillmap
