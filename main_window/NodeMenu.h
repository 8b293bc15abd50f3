#pragma once

#include "tree/NodeStore.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QAction;
class QMenu;
class QPoint;

namespace quillmap {

class NodeTreeView;

// What can be done with the nodes of the tree view: the right-click menu (Copy Path, Copy
// Line, Open, Open Containing Folder, Expand All Below, Collapse All Below, Search From Here,
// Print This Branch) and Ctrl+C on the tree, which copies the selected nodes' paths.
//
// Contract: the view must outlive this object. Each action works on the current node (the one
// right-clicked), the copies on every node selected; an action that does not fit the node
// (Search From Here and Print This Branch on a file) is disabled. Search From Here and Print This
// Branch go to the window through the two callbacks.
class NodeMenu : public QObject
{
    Q_OBJECT
public:
    // `caption` titles the message when Open fails.
    NodeMenu(NodeTreeView& view, QWidget* window, const QString& caption);

    std::function<void(const std::string& folder)> searchFrom;
    std::function<void(NodeStore::Id branch)> printBranch;

    QAction* copyPath = nullptr;
    QAction* copyLine = nullptr;
    QAction* open = nullptr;
    QAction* openFolder = nullptr;
    QAction* expandBelow = nullptr;
    QAction* collapseBelow = nullptr;
    QAction* searchFromHere = nullptr;
    QAction* printThisBranch = nullptr;

    // The path of node `id` as the user reads it: no "/" at the end but for the root folder.
    static QString pathOf(const NodeStore& tree, NodeStore::Id id);

private:
    void showAt(const QPoint& pos);
    void copy(bool paths);
    void openPath(const QString& path);
    NodeStore::Id current() const;

    NodeTreeView& m_view;
    QWidget* m_window;
    QString m_caption;
    QMenu* m_menu;
};

} // namespace quillmap
