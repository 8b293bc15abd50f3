#pragma once

#include "scan/ScanFilters.h"

#include <QString>

#include <string>

namespace quillmap {

// What the scan reads from, and writes to, the main window's controls. The window implements
// it; tests and quillmap_list implement it without any widget.
//
// Contract: the scan calls these on the thread it runs on (the caller's, which need not be the
// window's), reading the options at the moment it needs them. showCounts() is called after
// every node; an implementation must keep it cheap (store the numbers; the window shows them at
// most every 50 ms). setBusy(true) is always followed by setBusy(false), on every path.
class ScanControls
{
public:
    virtual ~ScanControls() = default;

    // Dir1's current path: the folder opened in the folder list, as file-system bytes.
    virtual std::string startFolder() const = 0;
    // Combo1's text, as typed (the Levels box).
    virtual QString levelsText() const = 0;
    // Text1's text, as typed (the File Types box).
    virtual QString fileTypesText() const = 0;
    // Whether item `index` (1 to 12) of the options list ListView1 is ticked.
    virtual bool isTicked(int index) const = 0;
    // What the search leaves out or lets in besides those (the Filters dialog), with its ages
    // reckoned already; nothing by default.
    virtual ScanFilters filters() const { return {}; }

    // Panel 1 of the status bar now reads statusText(dirCount, fileCount).
    virtual void showCounts(double dirCount, double fileCount) = 0;
    // The hourglass pointer on (true) or back to the default (false).
    virtual void setBusy(bool busy) = 0;
    // Asked before each entry: true ends the scan there, keeping the nodes added so far. It may
    // be called on a thread other than the one that asks for the stop, so an implementation
    // reads an atomic flag and nothing more.
    virtual bool stopRequested() const { return false; }

    // "Dirs = N Files = M", each number in its shortest plain decimal form.
    static QString statusText(double dirCount, double fileCount);
};

} // namespace quillmap
