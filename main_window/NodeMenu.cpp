#include "main_window/NodeMenu.h"

#include "main_window/NodeModel.h"
#include "main_window/NodeTreeView.h"
#include "support/LangFunctions.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QUrl>

namespace quillmap {

using LangFunctions::MessageText;

NodeMenu::NodeMenu(NodeTreeView& view, QWidget* window, const QString& caption)
    : QObject(&view), m_view(view), m_window(window), m_caption(caption), m_menu(new QMenu(&view))
{
    const auto action = [this](const char* name, int message, const char* english, auto run) {
        auto* a = new QAction(MessageText(message, english), this);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, run);
        m_menu->addAction(a);
        return a;
    };
    const NodeStore& tree = view.nodeModel().store();
    copyPath = action("MNU_CopyPath", 112, "Copy &Path", [this] { copy(true); });
    copyLine = action("MNU_CopyLine", 113, "Copy &Line", [this] { copy(false); });
    m_menu->addSeparator();
    open = action("MNU_Open", 118, "&Open", [this, &tree] { openPath(pathOf(tree, current())); });
    openFolder = action("MNU_OpenFolder", 119, "Open &Containing Folder", [this, &tree] {
        const NodeStore::Id id = current();
        const NodeStore::Id parent = tree.parent(id);
        openPath(parent != NodeStore::npos ? pathOf(tree, parent)
                                           : QDir::cleanPath(pathOf(tree, id) + "/.."));
    });
    m_menu->addSeparator();
    expandBelow = action("MNU_ExpandBelow", 120, "&Expand All Below",
                         [this] { m_view.expandBelow(m_view.currentIndex()); });
    collapseBelow = action("MNU_CollapseBelow", 121, "Collapse &All Below",
                           [this] { m_view.collapseBelow(m_view.currentIndex()); });
    m_menu->addSeparator();
    searchFromHere = action("MNU_SearchFromHere", 122, "&Search From Here", [this, &tree] {
        if (searchFrom)
            searchFrom(QFile::encodeName(pathOf(tree, current())).toStdString());
    });
    printThisBranch = action("MNU_PrintBranch", 123, "Print &This Branch", [this] {
        if (printBranch)
            printBranch(current());
    });

    // Ctrl+C on the tree copies paths, not the lines the view would copy.
    copyPath->setShortcut(QKeySequence::Copy);
    copyPath->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    view.addAction(copyPath);
    view.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&view, &QWidget::customContextMenuRequested, this, &NodeMenu::showAt);
}

QString NodeMenu::pathOf(const NodeStore& tree, NodeStore::Id id)
{
    std::string key = tree.key(id);
    if (key.size() > 1 && key.back() == '/')
        key.pop_back();
    return QFile::decodeName(QByteArray::fromStdString(key));
}

NodeStore::Id NodeMenu::current() const
{
    return m_view.nodeModel().idOf(m_view.currentIndex());
}

void NodeMenu::showAt(const QPoint& pos)
{
    const QModelIndex index = m_view.indexAt(pos);
    if (!index.isValid())
        return;
    if (!m_view.selectionModel()->isSelected(index))
        m_view.selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
    else
        m_view.selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    const NodeStore& tree = m_view.nodeModel().store();
    const bool folder = tree.isFolder(current());
    searchFromHere->setEnabled(folder);
    printThisBranch->setEnabled(folder);
    m_menu->popup(m_view.viewport()->mapToGlobal(pos));
}

void NodeMenu::copy(bool paths)
{
    const NodeStore& tree = m_view.nodeModel().store();
    QStringList lines;
    for (const NodeStore::Id id : m_view.selectedIds())
        if (id != NodeStore::npos)
            lines << (paths ? pathOf(tree, id) : tree.displayText(id));
    if (!lines.isEmpty())
        QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void NodeMenu::openPath(const QString& path)
{
    // The desktop's default application for the file or folder.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        QMessageBox::warning(m_window, m_caption,
                             MessageText(160, "%1 could not be opened.").arg(path));
}

} // namespace quillmap
