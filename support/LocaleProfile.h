#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <optional>

namespace quillmap {

// The stand-in for the profile's "intl" section on Linux: the user's language setting as the
// profile would hold it ("slanguage"), derived from the locale environment.
//
// Contract: reads the environment anew on every call (LC_ALL, then LC_MESSAGES, then LANG; the
// first that is set and not empty). Returns nullopt when there is no locale or it is C/POSIX,
// i.e. the key is absent. Stateless; safe to call from any thread.
class LocaleProfile
{
public:
    // Section and key are matched without regard to case; only "intl"/"slanguage" exists.
    static std::optional<QString> value(const QString& section, const QString& key);

    // The "slanguage" value for the current locale environment.
    static std::optional<QString> languageSetting();

    // The "slanguage" value for one locale name such as "de_CH.UTF-8" or "pt_BR@euro".
    static std::optional<QString> languageSettingFor(const QByteArray& localeName);

    // The locale that dates are written in: month names and the date and time separators all
    // come from the one setting POSIX uses for dates (LC_ALL, then LC_TIME, then LANG; the
    // first that is set and not empty). C, POSIX and unknown names give QLocale::c().
    static QLocale timeLocale();
};

} // namespace quillmap
