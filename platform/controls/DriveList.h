#pragma once

#include <QComboBox>
#include <QString>

#include <string>
#include <vector>

namespace quillmap {

// The drive list: the mounted volumes that hold real file systems, one entry per mount point.
//
// Contract: volumes come from /proc/self/mountinfo when the list is built (setVolumes() replaces
// them, for tests). currentIndexChanged() is the "drive changed" event; selectVolumeOf() moves
// the selection without emitting it.
class DriveList : public QComboBox
{
    Q_OBJECT
public:
    struct Volume
    {
        std::string mountPoint; // bytes, as the file system names it
        QString fsType;
        QString source;
    };

    explicit DriveList(QWidget* parent = nullptr);

    void setVolumes(const std::vector<Volume>& volumes);
    const std::vector<Volume>& volumes() const { return m_volumes; }
    // The mount point of the current entry ("" when the list is empty).
    std::string currentMountPoint() const;
    // Selects the volume that holds `path` (the longest mount point that is a prefix of it, as
    // whole path components), without emitting currentIndexChanged. Returns its index or -1.
    int selectVolumeOf(const std::string& path);

    // The volumes of a mountinfo text, sorted by mount point: pseudo file systems (proc, sysfs,
    // cgroup and the like) and the system's own mounts under /proc, /sys, /dev and /run are left
    // out; a mount point mounted over keeps only its last entry.
    static std::vector<Volume> parseMountInfo(const QByteArray& text);
    // The index in `volumes` of the volume holding `path`, or -1.
    static int volumeIndexOf(const std::vector<Volume>& volumes, const std::string& path);
    static std::vector<Volume> mountedVolumes();

private:
    std::vector<Volume> m_volumes;
};

} // namespace quillmap
