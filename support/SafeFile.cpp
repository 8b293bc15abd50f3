#include "support/SafeFile.h"

#include "support/SystemErrorText.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmap {

namespace {

// The temporary files being written, for the signal handler: plain C strings in atomic slots,
// since a handler may neither lock nor allocate.
constexpr int kSlots = 64;
std::atomic<char*> g_temps[kSlots];
struct sigaction g_previous[2];
constexpr int kSignals[2] = {SIGINT, SIGTERM};

void removeTempsOnSignal(int sig)
{
    for (std::atomic<char*>& slot : g_temps)
        if (char* path = slot.exchange(nullptr))
            ::unlink(path);
    // Then whatever the signal did before: by default end the program (the signal is raised
    // again and delivered once this handler returns).
    for (int i = 0; i < 2; ++i) {
        if (kSignals[i] != sig)
            continue;
        ::sigaction(sig, &g_previous[i], nullptr);
        if (g_previous[i].sa_handler != SIG_IGN)
            ::raise(sig);
    }
}

void installHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int i = 0; i < 2; ++i) {
            struct sigaction action
            {
            };
            action.sa_handler = removeTempsOnSignal;
            sigemptyset(&action.sa_mask);
            sigaddset(&action.sa_mask, SIGINT);
            sigaddset(&action.sa_mask, SIGTERM);
            ::sigaction(kSignals[i], &action, &g_previous[i]);
            // A signal the program ignores stays ignored.
            if (g_previous[i].sa_handler == SIG_IGN)
                ::sigaction(kSignals[i], &g_previous[i], nullptr);
        }
    });
}

int registerTemp(const QByteArray& path)
{
    installHandlers();
    char* copy = ::strdup(path.constData());
    for (int i = 0; i < kSlots; ++i) {
        char* expected = nullptr;
        if (g_temps[i].compare_exchange_strong(expected, copy))
            return i;
    }
    std::free(copy); // more files at once than slots: these are not cleaned up on a signal
    return -1;
}

void unregisterTemp(int slot)
{
    if (slot >= 0)
        std::free(g_temps[slot].exchange(nullptr));
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// Paths whose files stand for something else (a terminal, a pipe, a process's descriptor):
// never replaced, whatever they lead to.
bool isSpecialPath(const QString& absolute)
{
    return absolute.startsWith(QLatin1String("/dev/")) ||
           absolute.startsWith(QLatin1String("/proc/"));
}

// `absolute` with every symbolic link on its last component followed; false after too many.
bool followLinks(QString absolute, QString& out)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st
        {
        };
        if (::lstat(native(absolute).constData(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            out = absolute;
            return true;
        }
        QByteArray buffer(4096, '\0');
        const ssize_t n = ::readlink(native(absolute).constData(), buffer.data(), buffer.size());
        if (n <= 0 || n >= buffer.size()) {
            out = absolute;
            return true;
        }
        buffer.truncate(n);
        absolute =
            QDir::cleanPath(QFileInfo(absolute).dir().absoluteFilePath(QFile::decodeName(buffer)));
    }
    return false;
}

int creationMode()
{
    // The umask, read without changing it (umask() would, for every thread).
    QFile status(QStringLiteral("/proc/self/status"));
    int mask = 022;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("Umask:"))
                mask = line.mid(6).trimmed().toInt(nullptr, 8);
    }
    return 0666 & ~mask;
}

QString cannotWrite(const QString& target, const QString& reason)
{
    return QStringLiteral("Cannot write %1: %2").arg(target, reason);
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
    const QString absolute = QFileInfo(target).absoluteFilePath();
    QString path;
    if (!followLinks(absolute, path))
        return cannot(ELOOP);
    struct stat st
    {
    };
    const bool exists = ::stat(native(path).constData(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return cannot(EISDIR, QStringLiteral("it is a folder"));
    if (exists && (isSpecialPath(absolute) || !S_ISREG(st.st_mode)))
        return ::access(native(path).constData(), W_OK) == 0 ? QString() : cannot(errno);
    if (isSpecialPath(absolute))
        return cannot(ENOENT);
    const QString folder = QFileInfo(path).absolutePath();
    struct stat dir
    {
    };
    if (::stat(native(folder).constData(), &dir) != 0 || !S_ISDIR(dir.st_mode))
        return cannot(ENOENT, QStringLiteral("the folder %1 does not exist").arg(folder));
    if (::access(native(folder).constData(), W_OK | X_OK) != 0)
        return cannot(EACCES, QStringLiteral("the folder %1 is not writable").arg(folder));
    if (exists && ::access(native(path).constData(), W_OK) != 0)
        return cannot(EACCES, QStringLiteral("the file is read-only"));
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
    m_error.clear();
    m_systemError = 0;
    const QString problemText = problem(m_target, m_systemError);
    if (!problemText.isEmpty()) {
        m_error = problemText;
        return false;
    }
    const QString absolute = QFileInfo(m_target).absoluteFilePath();
    if (!followLinks(absolute, m_finalPath))
        return fail(ELOOP);

    struct stat st
    {
    };
    const bool exists = ::stat(native(m_finalPath).constData(), &st) == 0;
    m_inPlace = exists && (isSpecialPath(absolute) || !S_ISREG(st.st_mode));
    if (m_inPlace) {
        // Opened through the path as given: /dev/stdout must reach this process's own output.
        const int fd = ::open(native(absolute).constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            return fail(errno);
        struct stat opened
        {
        };
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::ftruncate(fd, 0) != 0) {
            const int error = errno;
            ::close(fd);
            return fail(error);
        }
        if (!m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            const int error = errno;
            ::close(fd);
            return fail(error);
        }
        return true;
    }

    m_mode = exists ? int(st.st_mode & 07777) : creationMode();
    const QFileInfo final(m_finalPath);
    QByteArray pattern = native(final.absolutePath() + QStringLiteral("/.") + final.fileName() +
                                QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    m_tempPath = QFile::decodeName(pattern);
    m_slot = registerTemp(pattern);
    ::fchmod(fd, mode_t(m_mode));
    if (!m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
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

bool SafeFile::commit()
{
    if (!m_file.isOpen())
        return fail(EBADF);
    errno = 0;
    bool ok = m_file.flush();
    int error = ok ? 0 : (m_file.m_writeError != 0 ? m_file.m_writeError : errno);
    if (ok && !m_inPlace && ::fsync(m_file.handle()) != 0) {
        ok = false;
        error = errno;
    }
    errno = 0;
    m_file.close();
    if (ok && m_file.error() != QFileDevice::NoError) {
        ok = false;
        error = errno;
    }
    if (ok && !m_inPlace &&
        ::rename(native(m_tempPath).constData(), native(m_finalPath).constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        abort();
        return fail(error);
    }
    unregisterTemp(m_slot);
    m_slot = -1;
    m_tempPath.clear();
    return true;
}

void SafeFile::abort()
{
    if (m_file.isOpen())
        m_file.close();
    unregisterTemp(m_slot);
    m_slot = -1;
    if (!m_tempPath.isEmpty())
        ::unlink(native(m_tempPath).constData());
    m_tempPath.clear();
}

} // namespace quillmap
