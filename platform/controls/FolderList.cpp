#include "platform/controls/FolderList.h"

#include "platform/files/PathFunctions.h"
#include "support/NameOrder.h"
#include "support/SystemErrorText.h"
#include "tree/NodeStore.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmap {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIndentPixels = 8;

// Indents each row by its level, as a folder list shows the path as steps.
class IndentDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt(option);
        opt.rect.adjust(index.data(kLevelRole).toInt() * kIndentPixels, 0, 0, 0);
        QStyledItemDelegate::paint(painter, opt, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.rwidth() += index.data(kLevelRole).toInt() * kIndentPixels;
        return size;
    }
};

std::string joinPath(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

} // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new IndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { openRow(row(item)); });
}

std::string FolderList::normalise(const std::string& path)
{
    return PathFunctions::Normalise(path);
}

std::string FolderList::parentOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

bool FolderList::listSubfolders(const std::string& path, std::vector<std::string>& names,
                                QString& error)
{
    names.clear();
    DIR* dir = ::opendir(path.c_str());
    if (!dir) {
        error = SystemErrorText(errno);
        return false;
    }
    const int fd = ::dirfd(dir);
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name.front() == '.')
            continue; // ".", ".." and hidden folders
        bool folder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st;
            folder = ::fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (folder)
            names.push_back(name);
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
        names.clear();
        error = SystemErrorText(readError);
        return false;
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NameLess(a, b); });
    return true;
}

bool FolderList::setPath(const std::string& requested)
{
    const std::string path = normalise(requested);
    std::vector<std::string> subfolders;
    QString error;
    // A folder we may list but not enter can't be scanned either; both count as unreadable.
    if (::access(path.c_str(), X_OK) != 0) {
        m_lastError = SystemErrorText(errno);
        return false;
    }
    if (!listSubfolders(path, subfolders, error)) {
        m_lastError = error;
        return false;
    }

    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    clear();
    std::string ancestor = "/";
    int level = 0;
    auto addRow = [this](const std::string& entryPath, const QString& text, const QIcon& icon,
                         int level) {
        auto* item = new QListWidgetItem(icon, text, this);
        item->setData(kPathRole, QByteArray::fromStdString(entryPath));
        item->setData(kLevelRole, level);
        item->setToolTip(NodeStore::displayString(entryPath));
    };
    addRow("/", QStringLiteral("/"), openIcon, level++);
    for (std::size_t start = 1; start < path.size();) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string name = path.substr(start, end - start);
        ancestor = joinPath(ancestor, name);
        addRow(ancestor, NodeStore::displayString(name), openIcon, level++);
        start = end + 1;
    }
    m_ancestorCount = count();
    for (const std::string& name : subfolders)
        addRow(joinPath(path, name), NodeStore::displayString(name), closedIcon, level);

    m_path = path;
    m_lastError.clear();
    // The whole path, which the narrow list can't show.
    setToolTip(NodeStore::displayString(path));
    setCurrentRow(m_ancestorCount - 1);
    scrollToItem(item(m_ancestorCount - 1));
    emit pathChanged();
    return true;
}

std::string FolderList::entryPath(int row) const
{
    const QListWidgetItem* it = item(row);
    return it ? it->data(kPathRole).toByteArray().toStdString() : std::string();
}

void FolderList::openRow(int row)
{
    if (row < 0 || row >= count())
        return;
    // An entry that can't be opened leaves the list as it was.
    const std::string target = entryPath(row);
    if (setPath(target))
        return;
    // The highlight goes back to the folder that is still the current one.
    setCurrentRow(m_ancestorCount - 1);
    emit openFailed(NodeStore::displayString(target), m_lastError);
}

void FolderList::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openRow(currentRow());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

} // namespace quillmap
