#pragma once

#include <QListWidget>
#include <QString>

#include <string>
#include <vector>

namespace quillmap {

// The folder list: the ancestors of the current folder, from "/" down to the folder itself,
// then the folder's subfolders, indented one level deeper. Opening an entry (double click, or
// Enter on the highlighted one) makes it the current path; merely highlighting one does not.
// Paths are file-system bytes: absolute, "/" separated, no trailing "/" except the root.
//
// Contract: setPath() either lists the new folder and makes it current, or leaves everything
// as it was and returns false with the reason in lastError(). The list's tool tip is the
// current path; an entry that can't be opened leaves the current folder highlighted. pathChanged()
// is emitted after each successful change of the current path.
class FolderList : public QListWidget
{
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);

    const std::string& path() const { return m_path; }
    bool setPath(const std::string& path);
    QString lastError() const { return m_lastError; }

    // The entry's full path (bytes), for the row of the list.
    std::string entryPath(int row) const;
    // Rows [0, ancestorCount()) are the ancestors, the last of them the current folder.
    int ancestorCount() const { return m_ancestorCount; }

    // Subfolder names of `path` (hidden ones left out, links to folders included), in the
    // order of the scan: bytes with ASCII letters folded to upper case, ties by the raw bytes.
    // Returns false with the reason in `error` when the folder can't be listed.
    static bool listSubfolders(const std::string& path, std::vector<std::string>& names,
                               QString& error);
    // `path` made absolute (against the current folder) with "." and ".." and doubled "/"
    // removed, without resolving links.
    static std::string normalise(const std::string& path);
    // "/" for the root, else the parent folder; the root's parent is the root.
    static std::string parentOf(const std::string& path);

signals:
    void pathChanged();
    // The user opened an entry that can't be listed; the current path is unchanged.
    void openFailed(const QString& path, const QString& reason);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openRow(int row);

    std::string m_path;
    int m_ancestorCount = 0;
    QString m_lastError;
};

} // namespace quillmap
