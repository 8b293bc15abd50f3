#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <string>

namespace quillmap {

class DriveList;
class FolderList;

// Keeps the drive list and the folder list in step: picking a drive opens the folder last
// opened on it (else its mount point); opening a folder selects the drive that holds it. A
// drive that can't be read keeps the previous drive and folder, and driveUnreadable() tells.
// Both lists must outlive this object.
class DriveFolderPair : public QObject
{
    Q_OBJECT
public:
    DriveFolderPair(DriveList& drives, FolderList& folders, QObject* parent = nullptr);

    // Opens `folder`; if that can't be listed, its volume's mount point, and the root as the
    // last resort.
    void start(const std::string& folder);

signals:
    void driveUnreadable(const QString& mountPoint, const QString& reason);

private:
    void driveChanged();
    void folderChanged();

    DriveList& m_drives;
    FolderList& m_folders;
    int m_driveIndex = -1;                        // the drive shown before a change
    QHash<QByteArray, QByteArray> m_lastFolderOn; // mount point -> folder last opened on it
};

} // namespace quillmap
