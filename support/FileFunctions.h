#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringView>

#include <optional>

namespace quillmap::FileFunctions {

// The program's folder with one trailing "/" ("/" itself for the root). Empty until GetAppPath
// first runs; rewritten by every call. UI thread only.
extern QString App_Path;

// Sets App_Path to the executable's folder with one trailing "/" and returns a copy of it.
QString GetAppPath();

// The value under `Key` in section `Section` of the INI file `FileName`, read anew on each call.
// Section and key names match without regard to case, the first match wins; the value is
// trimmed of blanks and of one pair of matching quotes and cut to 999 characters. Anything
// absent (file, section, key) or an empty value gives an empty text. Never fails.
QString ReadIniString(const QString& Section, const QString& Key, const QString& FileName);

// The same with a caller's buffer size given as text: the value is cut to BufferSize - 1
// characters. Fails, returning nullopt, when BufferSize is not a whole number that fits a 16-bit
// signed integer or is negative.
std::optional<QString> ReadIniString(const QString& Section, const QString& Key,
                                     const QString& FileName, QStringView BufferSize);

// The whole text of the INI file `FileName`, decoded as ReadIniString decodes it, for a caller
// that looks up many keys; nullopt when it is not a regular file that can be read.
std::optional<QString> ReadIniFile(const QString& FileName);

// The value under `Key` in section `Section` of the user's profile (on Linux only "intl" /
// "slanguage", from the locale). "NO FILE" when the key or section is absent, empty text when
// the value is empty; cut to 254 characters. Never fails.
QString ReadProfileString(const QString& Section, const QString& Key);

// The pieces of the INI reader, exposed for tests and fuzzing.
namespace detail {
constexpr int kDefaultIniBuffer = 1000;
// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(const QByteArray& bytes);
// The file's text: UTF-8 when valid (a leading BOM dropped), else Windows-1252.
QString DecodeIniText(const QByteArray& bytes);
// Looks a value up in INI text; `bufferSize` as for ReadIniString (values cut to size - 1).
QString LookupIniValue(QStringView text, QStringView section, QStringView key, int bufferSize);
// Every key of section `section` in one pass, by case-folded name, each value as LookupIniValue
// gives it for that key; IniSectionValue looks one up (empty text when absent).
QHash<QString, QString> ReadIniSection(QStringView text, QStringView section, int bufferSize);
QString IniSectionValue(const QHash<QString, QString>& values, QStringView key);
} // namespace detail

} // namespace quillmap::FileFunctions
