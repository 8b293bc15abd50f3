#include "main_window/GoToFolderDialog.h"

#include "platform/controls/FolderList.h"
#include "support/LangFunctions.h"

#include <QCompleter>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace quillmap {

using LangFunctions::MessageText;

GoToFolderDialog::GoToFolderDialog(const std::string& current, QWidget* parent)
    : QDialog(parent), m_current(current), m_path(new QLineEdit(this))
{
    setObjectName(QStringLiteral("GoToFolderDialog"));
    setWindowTitle(MessageText(152, "Go to Folder"));
    auto* label = new QLabel(MessageText(153, "Folder:"), this);
    label->setBuddy(m_path);
    m_path->setObjectName(QStringLiteral("GoToFolderPath"));
    m_path->setText(QFile::decodeName(QByteArray::fromStdString(current)));
    m_path->selectAll();
    m_path->setMinimumWidth(420);

    // The folders (not files) of the disk, read as the user types.
    auto* folders = new QFileSystemModel(this);
    folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folders->setRootPath(QString());
    auto* completer = new QCompleter(folders, this);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    m_path->setCompleter(completer);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_path);
    layout->addWidget(buttons);
}

std::string GoToFolderDialog::folder() const
{
    QString typed = m_path->text().trimmed();
    if (typed.isEmpty())
        return {};
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        typed = QDir::homePath() + typed.mid(1);
    std::string path = QFile::encodeName(typed).toStdString();
    if (!path.empty() && path.front() != '/')
        path = m_current + "/" + path;
    return FolderList::normalise(path);
}

} // namespace quillmap
