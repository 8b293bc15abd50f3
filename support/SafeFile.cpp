#include "support/SafeFile.h"

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

QString why(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

SafeFile::SafeFile(const QString& target) : m_target(target) {}

SafeFile::~SafeFile()
{
    abort();
}

QString SafeFile::problem(const QString& target)
{
    const auto cannot = [&](const QString& reason) {
        return QStringLiteral("Cannot write %1: %2").arg(target, reason);
    };
    if (target.isEmpty())
        return QStringLiteral("No file name was given.");
    const QString absolute = QFileInfo(target).absoluteFilePath();
    QString path;
    if (!followLinks(absolute, path))
        return cannot(why(ELOOP));
    struct stat st
    {
    };
    const bool exists = ::stat(native(path).constData(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return cannot(QStringLiteral("it is a folder"));
    if (exists && (isSpecialPath(absolute) || !S_ISREG(st.st_mode)))
        return ::access(native(path).constData(), W_OK) == 0 ? QString() : cannot(why(errno));
    if (isSpecialPath(absolute))
        return cannot(why(ENOENT));
    const QString folder = QFileInfo(path).absolutePath();
    struct stat dir
    {
    };
    if (::stat(native(folder).constData(), &dir) != 0 || !S_ISDIR(dir.st_mode))
        return cannot(QStringLiteral("the folder %1 does not exist").arg(folder));
    if (::access(native(folder).constData(), W_OK | X_OK) != 0)
        return cannot(QStringLiteral("the folder %1 is not writable").arg(folder));
    if (exists && ::access(native(path).constData(), W_OK) != 0)
        return cannot(QStringLiteral("the file is read-only"));
    return QString();
}

bool SafeFile::fail(const QString& reason)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("Cannot write %1: %2").arg(m_target, reason);
    return false;
}

bool SafeFile::open()
{
    m_error.clear();
    const QString problemText = problem(m_target);
    if (!problemText.isEmpty()) {
        m_error = problemText;
        return false;
    }
    const QString absolute = QFileInfo(m_target).absoluteFilePath();
    if (!followLinks(absolute, m_finalPath))
        return fail(why(ELOOP));

    struct stat st
    {
    };
    const bool exists = ::stat(native(m_finalPath).constData(), &st) == 0;
    m_inPlace = exists && (isSpecialPath(absolute) || !S_ISREG(st.st_mode));
    if (m_inPlace) {
        // Opened through the path as given: /dev/stdout must reach this process's own output.
        const int fd = ::open(native(absolute).constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            return fail(why(errno));
        struct stat opened
        {
        };
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::ftruncate(fd, 0) != 0) {
            const int error = errno;
            ::close(fd);
            return fail(why(error));
        }
        if (!m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return fail(m_file.errorString());
        }
        return true;
    }

    m_mode = exists ? int(st.st_mode & 07777) : creationMode();
    const QFileInfo final(m_finalPath);
    QByteArray pattern = native(final.absolutePath() + QStringLiteral("/.") + final.fileName() +
                                QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(why(errno));
    m_tempPath = QFile::decodeName(pattern);
    m_slot = registerTemp(pattern);
    ::fchmod(fd, mode_t(m_mode));
    if (!m_file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        const QString reason = m_file.errorString();
        abort();
        return fail(reason);
    }
    return true;
}

bool SafeFile::commit()
{
    if (!m_file.isOpen())
        return fail(QStringLiteral("the file is not open"));
    bool ok = m_file.flush();
    QString reason = m_file.errorString();
    if (ok && !m_inPlace && ::fsync(m_file.handle()) != 0) {
        ok = false;
        reason = why(errno);
    }
    m_file.close();
    if (ok && m_file.error() != QFileDevice::NoError) {
        ok = false;
        reason = m_file.errorString();
    }
    if (ok && !m_inPlace &&
        ::rename(native(m_tempPath).constData(), native(m_finalPath).constData()) != 0) {
        ok = false;
        reason = why(errno);
    }
    if (!ok) {
        abort();
        return fail(reason);
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
