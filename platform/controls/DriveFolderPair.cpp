#include "platform/controls/DriveFolderPair.h"

#include "platform/controls/DriveList.h"
#include "platform/controls/FolderList.h"
#include "tree/NodeStore.h"

#include <QSignalBlocker>

namespace quillmap {

DriveFolderPair::DriveFolderPair(DriveList& drives, FolderList& folders, QObject* parent)
    : QObject(parent), m_drives(drives), m_folders(folders)
{
    connect(&m_folders, &FolderList::pathChanged, this, &DriveFolderPair::folderChanged);
    connect(&m_drives, &QComboBox::currentIndexChanged, this, &DriveFolderPair::driveChanged);
}

void DriveFolderPair::start(const std::string& folder)
{
    if (!m_folders.setPath(folder)) {
        const int volume = DriveList::volumeIndexOf(m_drives.volumes(), folder);
        if (volume < 0 || !m_folders.setPath(m_drives.volumes()[volume].mountPoint))
            m_folders.setPath("/");
    }
    m_driveIndex = m_drives.selectVolumeOf(m_folders.path());
}

void DriveFolderPair::driveChanged()
{
    const std::string mountPoint = m_drives.currentMountPoint();
    const QByteArray last = m_lastFolderOn.value(QByteArray::fromStdString(mountPoint));
    bool opened = !last.isEmpty() && m_folders.setPath(last.toStdString());
    if (!opened)
        opened = m_folders.setPath(mountPoint);
    if (!opened) {
        const QString reason = m_folders.lastError();
        {
            const QSignalBlocker block(&m_drives);
            m_drives.setCurrentIndex(m_driveIndex);
        }
        emit driveUnreadable(NodeStore::displayString(mountPoint), reason);
    }
}

void DriveFolderPair::folderChanged()
{
    // The drive list follows the folder onto whichever volume now holds it.
    m_driveIndex = m_drives.selectVolumeOf(m_folders.path());
    const std::string mountPoint = m_drives.currentMountPoint();
    if (!mountPoint.empty())
        m_lastFolderOn.insert(QByteArray::fromStdString(mountPoint),
                              QByteArray::fromStdString(m_folders.path()));
}

} // namespace quillmap
