#pragma once

#include "scan/DetailTicks.h"
#include "scan/ScanControls.h"

class QComboBox;
class QLineEdit;

namespace quillmap {

class FolderList;
class OptionsList;

// The scan's view of the main window, for a scan that runs on a thread of its own: the options
// are read from the controls once, on the window's thread, when the object is made (the user
// can't change them for a running scan anyway).
//
// Contract: made on the window's thread; afterwards no widget is touched, so every member may
// be called on the scan's thread. showCounts() and setBusy() do nothing: the search session
// passes the counts to the window, which keeps its own pointer.
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
    ScanFilters filters() const override { return m_filters; }
    void showCounts(double, double) override {}
    void setBusy(bool) override {}

    // The Filters dialog's choices, with their ages reckoned as the search starts.
    void setFilters(const ScanFilters& filters) { m_filters = filters; }

private:
    std::string m_startFolder;
    QString m_levelsText;
    QString m_fileTypesText;
    DetailTicks m_ticks;
    ScanFilters m_filters;
};

} // namespace quillmap
