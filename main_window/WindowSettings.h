#pragma once

#include "listing/TreeSort.h"
#include "scan/DetailTicks.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>
#include <string>

namespace quillmap {

class FormMain;

// What the main window remembers between runs, in Qt's settings file in the user's
// configuration folder (~/.config/quillmap/quillmap-printer.ini): its size and place, the
// splitter, the tree view's columns, widths and order, the last start folder, Levels, File
// Types and the ticks.
//
// Contract: load() never fails. A missing, unreadable or malformed file, and any value that is
// missing, of the wrong kind or out of range, leaves that part of the state empty, so the window
// keeps its described default for it. save() writes everything, in place of a malformed file
// too; a file that can't be written is left as it was, silently.
struct WindowSettings
{
    QByteArray geometry;              // QWidget::saveGeometry()
    std::optional<int> columnExtra;   // pixels the user widened the right-hand column by
    QHash<QString, int> columnWidths; // by column name
    std::optional<bool> asPrinted;
    std::optional<SortOrder> sortOrder;
    std::optional<std::string> folder; // bytes; only a folder that exists
    std::optional<QString> levels;
    std::optional<QString> fileTypes;
    std::optional<DetailTicks> ticks;

    static WindowSettings load();
    void save() const;

    // What `window` shows now, and the same put back (all but the folder, which the start-up
    // opens itself).
    static WindowSettings of(FormMain& window);
    void applyTo(FormMain& window) const;
};

} // namespace quillmap
