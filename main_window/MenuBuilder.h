#pragma once

#include <QKeySequence>

#include <functional>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QObject;

namespace quillmap {

// Builds the window's menus from tables, so that a new item is one more row: its caption (with
// its access key) from the message file, its shortcut and what it does.
class MenuBuilder
{
public:
    struct Item
    {
        QAction** action = nullptr; // where the new action is kept; may be null
        const char* name = nullptr; // the object name; null for a separator
        int message = 0;            // the caption's message number
        const char* english = "";   // the caption when the message file has none
        QKeySequence shortcut;
        std::function<void()> run;
        bool checkable = false;
        QAction* existing = nullptr; // an action made elsewhere, added as it is
    };

    // An item for an action made elsewhere, added as it is.
    static Item use(QAction* action)
    {
        Item item;
        item.existing = action;
        return item;
    }

    // Adds the menu `name` with the caption of `message` to `bar`, with `items` in order; the
    // actions belong to `owner`.
    static QMenu* addMenu(QMenuBar& bar, QObject* owner, const char* name, int message,
                          const char* english, const std::vector<Item>& items);
    // A top-level item that acts on its click.
    static QAction* addTopItem(QMenuBar& bar, QObject* owner, const Item& item);

private:
    static QAction* makeAction(QObject* owner, const Item& item);
};

} // namespace quillmap
