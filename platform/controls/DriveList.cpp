#include "platform/controls/DriveList.h"

#include "tree/NodeStore.h"

#include <QFile>
#include <QSet>

#include <algorithm>
#include <sys/stat.h>

namespace quillmap {

namespace {

// Mountinfo writes blanks, tabs, newlines and backslashes in paths as octal escapes.
std::string unescape(const QByteArray& field)
{
    std::string out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3') {
            bool ok = false;
            const int value = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

bool isPseudoFileSystem(const QString& type)
{
    static const QSet<QString> pseudo = {
        "proc",        "sysfs",       "cgroup",   "cgroup2", "devpts",
        "devtmpfs",    "mqueue",      "debugfs",  "tracefs", "securityfs",
        "pstore",      "bpf",         "configfs", "fusectl", "hugetlbfs",
        "autofs",      "binfmt_misc", "efivarfs", "nsfs",    "rpc_pipefs",
        "selinuxfs",   "nfsd",        "ramfs",    "rootfs",  "fuse.gvfsd-fuse",
        "fuse.portal", "squashfs"};
    return pseudo.contains(type);
}

bool under(const std::string& path, const std::string& folder)
{
    if (folder == "/")
        return !path.empty() && path.front() == '/';
    return path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

bool isSystemMount(const std::string& mountPoint)
{
    // Removable media mounted by the desktop live under /run/media; they are real volumes.
    if (under(mountPoint, "/run/media"))
        return false;
    return under(mountPoint, "/proc") || under(mountPoint, "/sys") || under(mountPoint, "/dev") ||
           under(mountPoint, "/run");
}

} // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent)
{
    setVolumes(mountedVolumes());
}

std::vector<DriveList::Volume> DriveList::parseMountInfo(const QByteArray& text)
{
    std::vector<Volume> volumes;
    for (const QByteArray& line : text.split('\n')) {
        // id parent major:minor root mount-point options [optional fields] - type source super
        const QList<QByteArray> fields = line.simplified().split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 6 || dash + 2 >= fields.size())
            continue;
        Volume v;
        v.mountPoint = unescape(fields[4]);
        v.fsType = QString::fromUtf8(fields[dash + 1]);
        v.source = NodeStore::displayString(unescape(fields[dash + 2]));
        if (v.mountPoint.empty() || v.mountPoint.front() != '/' || isPseudoFileSystem(v.fsType) ||
            isSystemMount(v.mountPoint))
            continue;
        // A later mount on the same point hides the earlier one.
        std::erase_if(volumes, [&](const Volume& o) { return o.mountPoint == v.mountPoint; });
        volumes.push_back(std::move(v));
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const Volume& a, const Volume& b) { return a.mountPoint < b.mountPoint; });
    return volumes;
}

std::vector<DriveList::Volume> DriveList::mountedVolumes()
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    std::vector<Volume> volumes;
    if (file.open(QIODevice::ReadOnly))
        volumes = parseMountInfo(file.readAll());
    // Files bound into a container (/etc/hosts and the like) are mounts but no volumes.
    std::erase_if(volumes, [](const Volume& v) {
        struct stat st;
        return ::stat(v.mountPoint.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
    });
    if (volumes.empty())
        volumes.push_back({"/", QString(), QString()});
    return volumes;
}

int DriveList::volumeIndexOf(const std::vector<Volume>& volumes, const std::string& path)
{
    int best = -1;
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        if (under(path, volumes[i].mountPoint) &&
            (best < 0 || volumes[i].mountPoint.size() > volumes[best].mountPoint.size()))
            best = static_cast<int>(i);
    }
    return best;
}

void DriveList::setVolumes(const std::vector<Volume>& volumes)
{
    const QSignalBlocker block(this);
    m_volumes = volumes;
    clear();
    for (const Volume& v : m_volumes) {
        addItem(NodeStore::displayString(v.mountPoint));
        const int row = count() - 1;
        if (!v.fsType.isEmpty())
            setItemData(row, QStringLiteral("%1 (%2)").arg(v.source, v.fsType), Qt::ToolTipRole);
    }
}

std::string DriveList::currentMountPoint() const
{
    const int i = currentIndex();
    return i >= 0 && i < static_cast<int>(m_volumes.size()) ? m_volumes[i].mountPoint
                                                            : std::string();
}

int DriveList::selectVolumeOf(const std::string& path)
{
    const int index = volumeIndexOf(m_volumes, path);
    if (index >= 0) {
        const QSignalBlocker block(this);
        setCurrentIndex(index);
    }
    return index;
}

} // namespace quillmap
