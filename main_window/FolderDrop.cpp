#include "main_window/FolderDrop.h"

#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace quillmap {

namespace {

// The one local folder a drag carries, or an empty text.
QString draggedFolder(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile())
        return {};
    const QString path = url.toLocalFile();
    return QFileInfo(path).isDir() ? path : QString();
}

} // namespace

FolderDrop::FolderDrop(QWidget& window, std::function<void(const std::string&)> dropped)
    : QObject(&window), m_dropped(std::move(dropped))
{
    window.setAcceptDrops(true);
    window.installEventFilter(this);
}

bool FolderDrop::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (!draggedFolder(drag->mimeData()).isEmpty())
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString folder = draggedFolder(drop->mimeData());
        if (folder.isEmpty())
            return false;
        drop->acceptProposedAction();
        m_dropped(QFile::encodeName(folder).toStdString());
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace quillmap
