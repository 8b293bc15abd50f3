#pragma once

#include <QFile>
#include <QString>

namespace quillmap {

// Writes a file so that a failure never damages anything: the target is changed only once the
// new content is complete, and nothing else is ever changed.
//
// - The target is the file the kernel finds at the path: a ".." after a link to a folder goes
//   up from where the link leads, and a link as the last name is followed (the link stays).
// - A regular file, new or old, is written in full to a temporary file first. It then takes
//   the target's place by a rename where that keeps everything the target had (its owner,
//   group, mode and extended attributes: a file with one link, in a folder we may write,
//   whose owner we can keep). Otherwise (several hard links, another owner, a read-only or
//   sticky folder) the complete content is copied into the target's own file, its space
//   reserved first, so the file keeps its inode and with it all the rest.
// - A FIFO, a device, a socket, or a descriptor of this process (/dev/stdout, /dev/fd/N) that
//   is not a regular file is written in place as the data comes, and never replaced.
// - SIGHUP, SIGINT and SIGTERM remove the temporary file (the signal then ends the program as
//   it would have); one that comes while content is being copied into a target waits until
//   the copy is complete.
//
// Use: SafeFile file(path); if (!file.open()) ...; write to file.device(); then commit() or
// abort(). Failures return false with errorString() saying why, naming the target, in English
// but for the C library's reason (in the user's language), and systemError() the reason's number.
// Not thread-safe; one object per file.
class SafeFile
{
public:
    explicit SafeFile(const QString& target);
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Why `target` can't be written, without touching it, for telling before a long job: the
    // folder is missing or not writable, the target is a folder or read-only, its name is too
    // long. Empty when fine.
    static QString problem(const QString& target);
    // The same, with `error` set to the system error number that stands for the problem.
    static QString problem(const QString& target, int& error);

    bool open();
    // False, with the failure recorded and the temporary file removed, when a write to
    // device() has failed; for a writer that writes many times and checks once.
    bool written();
    QFile& device() { return m_file; }
    // Flushes the data to disk and puts the file in place. After a failure the old file is
    // intact and the temporary file gone (but for a disk failing part-way through a copy into
    // the target, which nothing can undo).
    bool commit();
    void abort();

    QString target() const { return m_target; }
    QString errorString() const { return m_error; }
    // The system error number of the failure (EIO where the system gave none), for a window
    // to word the reason in the user's language; 0 before any failure.
    int systemError() const { return m_systemError; }

private:
    // A QFile that keeps the system error of its first failed write, which QFile forgets.
    class File : public QFile
    {
    public:
        int m_writeError = 0;

    protected:
        qint64 writeData(const char* data, qint64 length) override;
    };

    // How the content reaches the target.
    enum class Way
    {
        Stream, // written to the target as it comes (not a regular file)
        Rename, // a temporary file beside the target, renamed over it
        CopyIn, // an unnamed temporary file, copied into the target's own file
    };

    bool fail(int error);
    bool openStream(int fd);
    bool openRename();
    bool openCopyIn();
    bool copyIn();
    void dropTemp();
    void closeAll();

    QString m_target;
    Way m_way = Way::Stream;
    int m_folder = -1;         // the folder the target is in (O_PATH), for Rename
    QByteArray m_name;         // the target's name in it
    QByteArray m_tempName;     // Rename: the temporary file's name in m_folder
    int m_targetFd = -1;       // CopyIn: the target, open for writing
    bool m_descriptor = false; // CopyIn: m_targetFd stands for one of this process's descriptors
    int m_slot = -1;           // in the list the signal handler cleans up
    File m_file;
    QString m_error;
    int m_systemError = 0;
};

} // namespace quillmap
