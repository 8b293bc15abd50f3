#pragma once

#include <QFile>
#include <QString>

namespace quillmap {

// Writes a file so that a failure never destroys what was there: the new content goes to a
// temporary file in the target's folder, and commit() renames it over the target. Until then
// the old file is untouched; abort(), the destructor and SIGINT/SIGTERM remove the temporary
// file (the signal then ends the program as it would have).
//
// - A target that exists and is not a regular file (a FIFO, a character device), or one under
//   /dev or /proc (such as /dev/stdout), is written in place and never removed or replaced.
// - A symbolic link is followed: the file it points to is replaced, the link stays.
// - A new file gets the mode a plain create would give it; a replaced file keeps its mode.
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
    // folder is missing or not writable, the target is a folder or read-only. Empty when fine.
    static QString problem(const QString& target);
    // The same, with `error` set to the system error number that stands for the problem.
    static QString problem(const QString& target, int& error);

    bool open();
    // False, with the failure recorded and the temporary file removed, when a write to
    // device() has failed; for a writer that writes many times and checks once.
    bool written();
    QFile& device() { return m_file; }
    // Flushes the data to disk and puts the file in place. After a failure the old file is
    // intact and the temporary file gone.
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

    bool fail(int error);

    QString m_target;
    QString m_finalPath; // the target with symbolic links followed
    QString m_tempPath;  // empty when writing in place
    int m_mode = 0;
    int m_slot = -1; // in the list the signal handler cleans up
    bool m_inPlace = false;
    File m_file;
    QString m_error;
    int m_systemError = 0;
};

} // namespace quillmap
