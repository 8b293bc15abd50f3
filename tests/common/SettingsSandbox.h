#pragma once

#include <QSettings>
#include <QString>
#include <QTemporaryDir>

namespace quillmap::test {

// Points the user's Qt settings at a folder of the test's own for the test's life, so a window
// made in a test reads nothing the user's runs left and leaves nothing behind.
class SettingsSandbox
{
public:
    SettingsSandbox()
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_folder.path());
    }
    // The main window's settings file in it.
    QString windowFile() const
    {
        return m_folder.path() + QStringLiteral("/quillmap/quillmap-printer.ini");
    }
    QString path() const { return m_folder.path(); }

private:
    QTemporaryDir m_folder;
};

} // namespace quillmap::test
