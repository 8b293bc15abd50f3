#pragma once

#include <QFileDialog>
#include <QLineEdit>
#include <QString>

namespace quillmap::test {

// Puts `path` into an open file dialog as a user would type it: selectFile() leaves the name
// field as it is while the field has the focus, which it has once the dialog is shown.
inline void chooseFile(QFileDialog& dialog, const QString& path)
{
    if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->setText(path);
    else
        dialog.selectFile(path);
}

} // namespace quillmap::test
