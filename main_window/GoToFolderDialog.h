#pragma once

#include <QDialog>

#include <string>

class QLineEdit;

namespace quillmap {

// Go to Folder... (Ctrl+L): a folder's path typed in full, with the folders of the disk offered
// as the user types; "~" stands for the home folder and a relative path starts at the current
// folder of the folder list.
class GoToFolderDialog : public QDialog
{
    Q_OBJECT
public:
    GoToFolderDialog(const std::string& current, QWidget* parent = nullptr);

    QLineEdit* pathBox() const { return m_path; }
    // The folder typed, as file-system bytes, absolute and without "." or ".."; empty when
    // nothing was typed.
    std::string folder() const;

private:
    std::string m_current;
    QLineEdit* m_path;
};

} // namespace quillmap
