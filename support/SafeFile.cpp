#include "support/SafeFile.h"

#include "support/SignalCleanup.h"
#include "support/SystemErrorText.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace quillmap {

namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

bool isDot(const QByteArray& name)
{
    return name == "." || name == "..";
}

bool onFileSystem(int fd, long type)
{
    struct statfs fs
    {
    };
    return ::fstatfs(fd, &fs) == 0 && fs.f_type == type;
}

// The path of an open descriptor as the kernel names it ("" when it can't).
QByteArray descriptorPath(int fd)
{
    QByteArray buffer(4096, '\0');
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t n = ::readlink(link.constData(), buffer.data(), buffer.size());
    return n > 0 && n < buffer.size() ? buffer.left(n) : QByteArray();
}

// Where a path leads, found the kernel's way: the folder part opened by the kernel (a ".."
// after a link goes up from where the link leads), then links on the last name followed one
// at a time from the folder they are in.
struct Target
{
    int folder = -1; // O_PATH
    QByteArray name; // in `folder`; never a link unless `kernelLink`
    bool exists = false;
    struct stat st
    {
    };
    // A link only the kernel can follow (a process's descriptor or folder under /proc): the
    // target is opened through it, never replaced.
    bool kernelLink = false;
    int descriptor = -1;        // this process's descriptor that the path names, if any
    bool folderMissing = false; // the error is the given folder's

    Target() = default;
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;
    ~Target()
    {
        if (folder >= 0)
            ::close(folder);
    }
    int release() { return std::exchange(folder, -1); }
};

// Whether `name` in `folder` (under /proc) is /proc/self/fd/N, N being open here on `st`.
int ownDescriptor(int folder, const QByteArray& name, const struct stat& st)
{
    if (name.isEmpty() || name.size() > 9)
        return -1;
    for (char c : name)
        if (c < '0' || c > '9')
            return -1;
    const int n = name.toInt();
    struct stat own
    {
    };
    if (::fstat(n, &own) != 0 || own.st_dev != st.st_dev || own.st_ino != st.st_ino)
        return -1;
    return descriptorPath(folder) == "/proc/" + QByteArray::number(::getpid()) + "/fd" ? n : -1;
}

int resolve(const QString& target, Target& t)
{
    const QByteArray path = native(target);
    if (path.endsWith('/'))
        return EISDIR;
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : path.left(slash);
    t.name = path.mid(slash + 1);
    if (isDot(t.name))
        return EISDIR;
    t.folder = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (t.folder < 0) {
        t.folderMissing = true;
        return errno;
    }
    for (int hops = 0;; ++hops) {
        if (hops > 40)
            return ELOOP;
        struct stat st
        {
        };
        if (::fstatat(t.folder, t.name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode)) {
            t.exists = true;
            t.st = st;
            return 0;
        }
        if (onFileSystem(t.folder, PROC_SUPER_MAGIC)) {
            if (::fstatat(t.folder, t.name.constData(), &t.st, 0) != 0)
                return errno;
            t.exists = true;
            t.kernelLink = true;
            t.descriptor = ownDescriptor(t.folder, t.name, t.st);
            return 0;
        }
        QByteArray link(4096, '\0');
        const ssize_t n =
            ::readlinkat(t.folder, t.name.constData(), link.data(), std::size_t(link.size()));
        if (n < 0)
            return errno;
        if (n == 0 || n >= link.size())
            return n == 0 ? ENOENT : ENAMETOOLONG;
        link.truncate(n);
        if (link.endsWith('/'))
            return EISDIR;
        const qsizetype at = link.lastIndexOf('/');
        if (at >= 0) {
            const QByteArray sub = at == 0 ? QByteArray("/") : link.left(at);
            const int next = ::openat(t.folder, sub.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (next < 0)
                return errno;
            ::close(t.folder);
            t.folder = next;
        }
        t.name = link.mid(at + 1);
        if (isDot(t.name))
            return EISDIR;
    }
}

QString cannotWrite(const QString& target, const QString& reason)
{
    return QStringLiteral("Cannot write %1: %2").arg(target, reason);
}

// The names of the extended attributes of `path` (or of `fd` when it is not negative).
bool attributeNames(const QByteArray& path, int fd, QList<QByteArray>& out)
{
    out.clear();
    for (int tries = 0; tries < 8; ++tries) {
        const ssize_t size =
            fd >= 0 ? ::flistxattr(fd, nullptr, 0) : ::listxattr(path.constData(), nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP;
        QByteArray names(size, '\0');
        const ssize_t n = fd >= 0 ? ::flistxattr(fd, names.data(), std::size_t(size))
                                  : ::listxattr(path.constData(), names.data(), std::size_t(size));
        if (n < 0 && errno == ERANGE)
            continue;
        if (n < 0)
            return false;
        names.truncate(n);
        for (const QByteArray& name : names.split('\0'))
            if (!name.isEmpty())
                out.append(name);
        return true;
    }
    return false;
}

// Gives the file `fd` the extended attributes of the file at `from`, and only those.
bool copyAttributes(const QByteArray& from, int fd)
{
    QList<QByteArray> wanted, present;
    if (!attributeNames(from, -1, wanted) || !attributeNames(QByteArray(), fd, present))
        return false;
    for (const QByteArray& name : present)
        if (!wanted.contains(name) && ::fremovexattr(fd, name.constData()) != 0)
            return false;
    for (const QByteArray& name : wanted) {
        const ssize_t size = ::getxattr(from.constData(), name.constData(), nullptr, 0);
        if (size < 0)
            return false;
        QByteArray value(size, '\0');
        const ssize_t n =
            ::getxattr(from.constData(), name.constData(), value.data(), std::size_t(size));
        if (n < 0 || ::fsetxattr(fd, name.constData(), value.constData(), std::size_t(n), 0) != 0)
            return false;
    }
    return true;
}

// A file with no name to hold content until it is complete: in `folder` (on the target's
// disk) where it can be, else in the temporary folder, else in memory.
int unnamedFile(int folder)
{
    const int flags = O_TMPFILE | O_RDWR | O_CLOEXEC;
    int fd = folder >= 0 ? ::openat(folder, ".", flags, 0600) : -1;
    if (fd < 0)
        fd = ::open(native(QDir::tempPath()).constData(), flags, 0600);
    if (fd < 0)
        fd = ::memfd_create("quillmap", MFD_CLOEXEC);
    return fd;
}

} // namespace

qint64 SafeFile::File::writeData(const char* data, qint64 length)
{
    errno = 0;
    const qint64 written = QFile::writeData(data, length);
    if (written < 0 && m_writeError == 0)
        m_writeError = errno != 0 ? errno : EIO;
    return written;
}

SafeFile::SafeFile(const QString& target) : m_target(target) {}

SafeFile::~SafeFile()
{
    abort();
}

QString SafeFile::problem(const QString& target)
{
    int error = 0;
    return problem(target, error);
}

QString SafeFile::problem(const QString& target, int& error)
{
    // The reason in words for the command line; the error number for a window to word it in
    // the user's language.
    const auto cannot = [&](int number, const QString& reason = QString()) {
        error = number;
        return cannotWrite(target, reason.isEmpty() ? SystemErrorText(number) : reason);
    };
    error = 0;
    if (target.isEmpty()) {
        error = ENOENT;
        return QStringLiteral("No file name was given.");
    }
    Target t;
    if (const int e = resolve(target, t)) {
        if (e == EISDIR)
            return cannot(EISDIR, QStringLiteral("it is a folder"));
        if (t.folderMissing && (e == ENOENT || e == ENOTDIR)) {
            const QString folder = QFileInfo(target).absolutePath();
            return cannot(ENOENT, QStringLiteral("the folder %1 does not exist").arg(folder));
        }
        return cannot(e);
    }
    const char* name = t.name.constData();
    if (t.exists) {
        if (S_ISDIR(t.st.st_mode))
            return cannot(EISDIR, QStringLiteral("it is a folder"));
        if (t.descriptor >= 0) {
            const int flags = ::fcntl(t.descriptor, F_GETFL);
            return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY ? QString() : cannot(EBADF);
        }
        if (S_ISSOCK(t.st.st_mode))
            return cannot(ENXIO); // a socket can't be opened by name
        if (::faccessat(t.folder, name, W_OK, AT_EACCESS) != 0) {
            const int e = errno;
            return e == EACCES && S_ISREG(t.st.st_mode)
                       ? cannot(EACCES, QStringLiteral("the file is read-only"))
                       : cannot(e);
        }
        return QString();
    }
    // A new file. Nothing can be made among a process's descriptors or the kernel's settings.
    if (onFileSystem(t.folder, PROC_SUPER_MAGIC) || onFileSystem(t.folder, SYSFS_MAGIC))
        return cannot(ENOENT);
    if (::faccessat(t.folder, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        const int e = errno;
        if (e != EACCES)
            return cannot(e);
        QString folder = QFile::decodeName(descriptorPath(t.folder));
        if (folder.isEmpty())
            folder = QFileInfo(target).absolutePath();
        return cannot(EACCES, QStringLiteral("the folder %1 is not writable").arg(folder));
    }
    return QString();
}

bool SafeFile::fail(int error)
{
    if (m_error.isEmpty()) {
        m_systemError = error != 0 ? error : EIO;
        m_error = cannotWrite(m_target, SystemErrorText(m_systemError));
    }
    return false;
}

bool SafeFile::open()
{
    abort();
    m_error.clear();
    m_systemError = 0;
    const QString problemText = problem(m_target, m_systemError);
    if (!problemText.isEmpty()) {
        m_error = problemText;
        return false;
    }
    Target t;
    if (const int e = resolve(m_target, t))
        return fail(e);

    if (t.descriptor >= 0 || t.kernelLink || (t.exists && !S_ISREG(t.st.st_mode))) {
        // Written through the path as given, the way any program would: /dev/stdout reaches
        // this process's own output.
        const int fd = t.descriptor >= 0 ? ::fcntl(t.descriptor, F_DUPFD_CLOEXEC, 0)
                                         : ::openat(t.folder, t.name.constData(),
                                                    O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            return fail(errno);
        struct stat st
        {
        };
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
            return openStream(fd);
        // A regular file all the same: it gets its content complete or not at all. Through a
        // descriptor of this process, at its offset as any write to it would.
        m_targetFd = fd;
        m_descriptor = t.descriptor >= 0;
        return openCopyIn();
    }

    m_folder = t.release();
    m_name = t.name;
    if (!t.exists)
        return openRename();
    // Renamed into place only where the result is the same file in all but its content.
    const uid_t me = ::geteuid();
    const bool renamable = t.st.st_nlink == 1 && (me == 0 || t.st.st_uid == me) &&
                           ::faccessat(m_folder, ".", W_OK | X_OK, AT_EACCESS) == 0;
    if (renamable && openRename())
        return true;
    m_targetFd =
        ::openat(m_folder, m_name.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (m_targetFd < 0)
        return fail(errno);
    return openCopyIn();
}

bool SafeFile::openStream(int fd)
{
    m_way = Way::Stream;
    if (!m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        const int error = errno;
        ::close(fd);
        return fail(error);
    }
    return true;
}

// A temporary file beside the target: for an existing target, made the same as it in owner,
// group, mode and extended attributes, or false (nothing left, no failure recorded) where it
// can't be.
bool SafeFile::openRename()
{
    m_way = Way::Rename;
    struct stat old
    {
    };
    const bool replacing = ::fstatat(m_folder, m_name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    // A new file is made as any new file is (the umask, a default ACL of the folder); one that
    // replaces a file starts private and is given the old one's permissions.
    const mode_t mode = replacing ? 0600 : 0666;
    int fd = -1;
    for (int tries = 0; tries < 100 && fd < 0; ++tries) {
        static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        QByteArray name = ".quillmap-";
        for (int i = 0; i < 8; ++i)
            name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
        name += ".tmp";
        fd = ::openat(m_folder, name.constData(),
                      O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, mode);
        if (fd >= 0)
            m_tempName = name;
        else if (errno != EEXIST)
            return replacing ? false : fail(errno);
    }
    if (fd < 0)
        return replacing ? false : fail(EEXIST);
    m_slot = SignalCleanup::registerTemp(m_folder, m_tempName);
    const auto giveUp = [&] {
        const int error = errno;
        ::close(fd);
        dropTemp();
        return replacing ? false : fail(error);
    };
    if (replacing) {
        struct stat temp
        {
        };
        if (::fstat(fd, &temp) != 0)
            return giveUp();
        if ((temp.st_uid != old.st_uid || temp.st_gid != old.st_gid) &&
            ::fchown(fd, old.st_uid, old.st_gid) != 0)
            return giveUp();
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            return giveUp();
        const QByteArray oldPath = "/proc/self/fd/" + QByteArray::number(m_folder) + '/' + m_name;
        if (!copyAttributes(oldPath, fd))
            return giveUp();
    }
    if (!m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
        return giveUp();
    return true;
}

bool SafeFile::openCopyIn()
{
    m_way = Way::CopyIn;
    const int fd = unnamedFile(m_folder);
    if (fd < 0) {
        const int error = errno;
        abort();
        return fail(error);
    }
    if (!m_file.open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
        const int error = errno;
        ::close(fd);
        abort();
        return fail(error);
    }
    return true;
}

bool SafeFile::written()
{
    if (m_file.error() == QFileDevice::NoError)
        return true;
    abort();
    return fail(m_file.m_writeError);
}

// Copies the complete content into the target's own file, after reserving the space it needs
// so that a full disk is found before the old content is touched. A signal meanwhile waits.
bool SafeFile::copyIn()
{
    const int from = m_file.handle();
    struct stat content
    {
    };
    if (::fstat(from, &content) != 0)
        return fail(errno);
    const off_t size = content.st_size;
    off_t at = 0;
    if (m_descriptor) {
        const int flags = ::fcntl(m_targetFd, F_GETFL);
        struct stat st
        {
        };
        at = flags >= 0 && (flags & O_APPEND) && ::fstat(m_targetFd, &st) == 0
                 ? st.st_size
                 : ::lseek(m_targetFd, 0, SEEK_CUR);
        if (at < 0)
            return fail(errno);
    }
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        rlim_t(at + size) > limit.rlim_cur)
        return fail(EFBIG);
    SignalCleanup::beginCopy();
    const auto done = [&](int error) {
        SignalCleanup::endCopy();
        return error == 0 ? true : fail(error);
    };
    // Where the file system can't reserve space, the copy goes ahead unreserved.
    if (size > 0 && ::fallocate(m_targetFd, FALLOC_FL_KEEP_SIZE, at, size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        return done(errno);
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (off_t copied = 0; copied < size;) {
        const ssize_t n = ::pread(from, buffer.data(), std::size_t(buffer.size()), copied);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return done(n < 0 ? errno : EIO);
        for (ssize_t put = 0; put < n;) {
            const ssize_t w =
                m_descriptor ? ::write(m_targetFd, buffer.constData() + put, std::size_t(n - put))
                             : ::pwrite(m_targetFd, buffer.constData() + put, std::size_t(n - put),
                                        at + copied + put);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return done(w < 0 ? errno : EIO);
            put += w;
        }
        copied += n;
    }
    if (!m_descriptor && ::ftruncate(m_targetFd, size) != 0)
        return done(errno);
    if (::fsync(m_targetFd) != 0 && errno != EINVAL)
        return done(errno);
    return done(0);
}

bool SafeFile::commit()
{
    if (!m_file.isOpen())
        return fail(EBADF);
    errno = 0;
    bool ok = m_file.flush();
    int error = ok ? 0 : (m_file.m_writeError != 0 ? m_file.m_writeError : errno);
    if (ok && m_way == Way::Rename && ::fsync(m_file.handle()) != 0) {
        ok = false;
        error = errno;
    }
    if (ok && m_way == Way::CopyIn && !copyIn()) {
        abort();
        return false;
    }
    errno = 0;
    m_file.close();
    if (ok && m_file.error() != QFileDevice::NoError) {
        ok = false;
        error = errno;
    }
    if (ok && m_way == Way::Rename &&
        ::renameat(m_folder, m_tempName.constData(), m_folder, m_name.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        abort();
        return fail(error);
    }
    SignalCleanup::unregisterTemp(m_slot);
    m_slot = -1;
    m_tempName.clear();
    closeAll();
    return true;
}

void SafeFile::abort()
{
    dropTemp();
    closeAll();
}

void SafeFile::dropTemp()
{
    if (m_file.isOpen())
        m_file.close();
    SignalCleanup::unregisterTemp(m_slot);
    m_slot = -1;
    if (!m_tempName.isEmpty())
        ::unlinkat(m_folder, m_tempName.constData(), 0);
    m_tempName.clear();
}

void SafeFile::closeAll()
{
    if (m_targetFd >= 0)
        ::close(m_targetFd);
    m_targetFd = -1;
    m_descriptor = false;
    if (m_folder >= 0)
        ::close(m_folder);
    m_folder = -1;
}

} // namespace quillmap
