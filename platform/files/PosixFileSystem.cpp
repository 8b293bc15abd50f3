#include "platform/files/PosixFileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <typeinfo>
#include <unistd.h>

namespace quillmap {

namespace {

// Extended attributes through which NTFS and SMB mounts expose the DOS attribute word.
constexpr const char* kDosAttributeNames[] = {"system.ntfs_attrib", "user.cifs.dosattrib",
                                              "system.dos_attrib"};
constexpr std::uint32_t kDosArchive = 0x20;
constexpr unsigned long kFuseMagic = 0x65735546UL;

// File systems that may carry DOS attributes: NTFS (kernel and FUSE drivers) and SMB/CIFS.
bool mayKeepDosAttributes(long type)
{
    switch (static_cast<unsigned long>(type)) {
    case 0x5346544eUL: // NTFS
    case 0x7366746eUL: // ntfs3
    case kFuseMagic:   // FUSE (ntfs-3g)
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x517BUL:     // SMB
        return true;
    default:
        return false;
    }
}

// File systems whose every request waits for a server or a daemon: network file systems and
// FUSE (sshfs, and the FUSE clients of SMB, NFS and cluster file systems).
bool isRemote(long type)
{
    switch (static_cast<unsigned long>(type)) {
    case 0x6969UL:     // NFS
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x517BUL:     // SMB
    case kFuseMagic:   // FUSE
    case 0x01021997UL: // 9P
    case 0x00C36400UL: // Ceph
    case 0x5346414FUL: // AFS
    case 0x6B414653UL: // kAFS
    case 0x73757245UL: // Coda
    case 0x0BD00BD0UL: // Lustre
    case 0x564CUL:     // NCP
        return true;
    default:
        return false;
    }
}

// Reads the DOS attribute word of `name` in folder `fd` (empty name: the folder itself). On
// failure `error` is the last errno: ENOTSUP where the mount keeps no extended attributes.
bool readDosWord(int fd, const char* name, std::uint32_t& word, int* error = nullptr)
{
    char path[64 + 256];
    if (name[0] != '\0' && std::strlen(name) > 255)
        return false;
    std::snprintf(path, sizeof path, "/proc/self/fd/%d%s%s", fd, name[0] ? "/" : "", name);
    for (const char* attribute : kDosAttributeNames) {
        unsigned char bytes[4] = {};
        const ssize_t n = getxattr(path, attribute, bytes, sizeof bytes);
        if (n > 0) {
            word = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                   std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
            return true;
        }
        if (error)
            *error = n < 0 ? errno : ENODATA;
    }
    return false;
}

FolderListing::Kind kindOf(unsigned char type)
{
    switch (type) {
    case DT_DIR:
        return FolderListing::Kind::Folder;
    case DT_REG:
        return FolderListing::Kind::File;
    case DT_LNK:
        return FolderListing::Kind::Link;
    case DT_FIFO:
    case DT_SOCK:
    case DT_CHR:
    case DT_BLK:
        return FolderListing::Kind::Special;
    default:
        return FolderListing::Kind::Unknown;
    }
}

constexpr int kSubfolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

} // namespace

PosixFileSystem::PosixFileSystem() = default;

PosixFileSystem::~PosixFileSystem() = default;

std::unique_ptr<FileSystem> PosixFileSystem::newReader() const
{
    if (typeid(*this) != typeid(PosixFileSystem))
        return nullptr;
    return std::make_unique<PosixFileSystem>();
}

void PosixFileSystem::record(int fd, unsigned char state)
{
    if (static_cast<std::size_t>(fd) >= m_dosFolder.size())
        m_dosFolder.resize(std::size_t(fd) + 64, kNoDosKind);
    m_dosFolder[fd] = state;
}

int PosixFileSystem::adopt(int fd, Handle& folder)
{
    if (fd < 0)
        return errno;
    record(fd, readDosState(fd));
    folder = fd;
    return 0;
}

unsigned char PosixFileSystem::readDosState(int fd) const
{
    struct statfs fs;
    if (fstatfs(fd, &fs) != 0 || !mayKeepDosAttributes(fs.f_type))
        return kNoDosKind;
    std::uint32_t word = 0;
    int error = 0;
    if (readDosWord(fd, "", word, &error))
        return kDos;
    // The mount as a whole keeps none where it keeps no extended attributes at all, and on
    // FUSE, where only ntfs-3g keeps them (giving every entry its word, folders too): its
    // subfolders then need not be asked (a round trip each on a network mount).
    if (error == ENOTSUP || error == ENOSYS || static_cast<unsigned long>(fs.f_type) == kFuseMagic)
        return kNoDosKind;
    return kNoDos;
}

std::size_t PosixFileSystem::concurrentReads(Handle folder) const
{
    struct statfs fs;
    return ::fstatfs(folder, &fs) == 0 && isRemote(fs.f_type) ? kRemoteReads : 0;
}

int PosixFileSystem::openFolder(const std::string& path, Handle& folder)
{
    return adopt(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), folder);
}

int PosixFileSystem::openSubfolder(Handle parent, const char* name, Handle& folder)
{
    // A subfolder on its parent's mount is on the same file system: where that kind keeps no
    // DOS attributes, it needn't be asked again (which costs a call per folder). Opening it
    // so that crossing into another mount fails tells which it is; any failure there is left
    // to the plain open, which gives the error as it always has.
    if (onPlainMount(parent) && openPlainSubfolder(parent, name, folder) == 0)
        return 0;
    return adopt(::openat(parent, name, kSubfolderFlags), folder);
}

int PosixFileSystem::openPlainSubfolder(Handle parent, const char* name, Handle& folder)
{
    if (!m_openat2)
        return ENOSYS;
    open_how how{};
    how.flags = kSubfolderFlags;
    how.resolve = RESOLVE_NO_XDEV;
    const long fd = ::syscall(SYS_openat2, parent, name, &how, sizeof how);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOSYS || error == EPERM) // none here, or a sandbox refuses it
            m_openat2 = false;
        return error;
    }
    record(static_cast<int>(fd), kNoDosKind);
    folder = static_cast<int>(fd);
    return 0;
}

void PosixFileSystem::closeFolder(Handle folder)
{
    if (folder >= 0)
        ::close(folder);
}

int PosixFileSystem::readFolder(Handle folder, FolderListing& out)
{
    if (m_buffer.empty())
        m_buffer.resize(64 * 1024);
    for (;;) {
        const ssize_t n = getdents64(folder, m_buffer.data(), m_buffer.size());
        if (n == 0)
            return 0;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* d = reinterpret_cast<const struct dirent64*>(m_buffer.data() + at);
            at += d->d_reclen;
            const char* name = d->d_name;
            // "..", "." and hidden entries are left to the listing, which keeps the last
            // where the search asks for them.
            const FolderListing::Kind kind = kindOf(d->d_type);
            if (kind == FolderListing::Kind::Special)
                continue;
            out.append(std::string_view(name, std::strlen(name)), kind);
        }
    }
}

int PosixFileSystem::identify(Handle folder, FolderIdentity& out)
{
    struct stat st;
    if (::fstat(folder, &st) != 0)
        return errno;
    out.device = st.st_dev;
    out.inode = st.st_ino;
    return 0;
}

int PosixFileSystem::readFile(Handle folder, const char* name, std::string& out, std::size_t limit)
{
    // Not blocking on a FIFO that bears the name, nor following a link (as git reads them).
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat st;
    int error = 0;
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (S_ISDIR(st.st_mode))
        error = EISDIR;
    else if (!S_ISREG(st.st_mode))
        error = EINVAL;
    else if (std::uint64_t(st.st_size) > limit)
        error = EFBIG;
    out.clear();
    char buffer[16384];
    while (error == 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno != EINTR)
                error = errno;
            continue;
        }
        if (out.size() + std::size_t(n) > limit)
            error = EFBIG; // grew since
        else
            out.append(buffer, std::size_t(n));
    }
    ::close(fd);
    return error;
}

int PosixFileSystem::stat(Handle folder, const char* name, bool follow, FileStat& out)
{
    struct statx sx;
    if (::statx(folder, name, follow ? 0 : AT_SYMLINK_NOFOLLOW,
                STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME,
                &sx) != 0)
        return errno;
    out.mode = sx.stx_mode;
    out.size = sx.stx_size;
    out.accessed = sx.stx_atime.tv_sec;
    out.modified = sx.stx_mtime.tv_sec;
    out.hasBirth = (sx.stx_mask & STATX_BTIME) != 0;
    out.born = out.hasBirth ? sx.stx_btime.tv_sec : 0;
    out.compressed = (sx.stx_attributes_mask & sx.stx_attributes & STATX_ATTR_COMPRESSED) != 0;
    out.archive = false;
    if (dosState(folder) == kDos) {
        std::uint32_t word = 0;
        out.archive = readDosWord(folder, name, word) && (word & kDosArchive);
    }
    return 0;
}

} // namespace quillmap
