#include "support/FileFunctions.h"

#include "support/LocaleProfile.h"
#include "support/Utf8Functions.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <array>

namespace quillmap::FileFunctions {

QString App_Path;

namespace {

constexpr int kProfileBuffer = 255;

// Windows-1252 bytes 0x80 to 0x9F; the five unassigned ones map to the C1 control of the same
// value, as the Windows conversion does.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QStringView trimBlanks(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlank(s[begin]))
        ++begin;
    while (end > begin && isBlank(s[end - 1]))
        --end;
    return s.mid(begin, end - begin);
}

// Cuts to at most `limit` UTF-16 units without leaving half a surrogate pair behind.
QString cut(QStringView value, qsizetype limit)
{
    if (limit <= 0)
        return {};
    if (value.size() <= limit)
        return value.toString();
    if (value[limit - 1].isHighSurrogate())
        --limit;
    return value.left(limit).toString();
}

QString readIni(const QString& section, const QString& key, const QString& fileName, int bufferSize)
{
    const std::optional<QString> text = ReadIniFile(fileName);
    return text ? detail::LookupIniValue(*text, section, key, bufferSize) : QString();
}

} // namespace

QString GetAppPath()
{
    QString folder;
    if (QCoreApplication::instance()) {
        folder = QCoreApplication::applicationDirPath();
    } else {
        // Before the application object exists the kernel still knows the executable.
        folder = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path();
    }
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    App_Path = folder;
    return App_Path;
}

std::optional<QString> ReadIniFile(const QString& FileName)
{
    // Regular files only: a FIFO or device under the name would block the reader.
    QFile file(FileName);
    if (FileName.isEmpty() || !QFileInfo(FileName).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return detail::DecodeIniText(file.readAll());
}

QString ReadIniString(const QString& Section, const QString& Key, const QString& FileName)
{
    return readIni(Section, Key, FileName, detail::kDefaultIniBuffer);
}

std::optional<QString> ReadIniString(const QString& Section, const QString& Key,
                                     const QString& FileName, QStringView BufferSize)
{
    bool ok = false;
    const short size = BufferSize.trimmed().toShort(&ok);
    if (!ok || size < 0)
        return std::nullopt;
    return readIni(Section, Key, FileName, size);
}

QString ReadProfileString(const QString& Section, const QString& Key)
{
    const std::optional<QString> value = LocaleProfile::value(Section, Key);
    if (!value)
        return QStringLiteral("NO FILE");
    return cut(*value, kProfileBuffer - 1);
}

namespace detail {

bool IsValidUtf8(const QByteArray& bytes)
{
    return Utf8Functions::IsValid(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

QString DecodeIniText(const QByteArray& bytes)
{
    if (IsValidUtf8(bytes)) {
        QString text = QString::fromUtf8(bytes);
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *out++ = (b >= 0x80 && b <= 0x9F) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

namespace {

// Calls `entry(name, value, hasValue)` for each key line of the first section named `section`,
// in file order, until it returns true. The value is trimmed and unquoted, not yet cut.
template <typename Entry> void forEachIniEntry(QStringView text, QStringView section, Entry entry)
{
    const QStringView wantedSection = trimBlanks(section);
    bool inSection = false;

    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        // Lines end at CR LF, LF or a lone CR.
        qsizetype end = pos;
        while (end < n && text[end] != QLatin1Char('\n') && text[end] != QLatin1Char('\r'))
            ++end;
        const QStringView line = trimBlanks(text.mid(pos, end - pos));
        pos = end + 1;
        if (end + 1 < n && text[end] == QLatin1Char('\r') && text[end + 1] == QLatin1Char('\n'))
            ++pos;

        if (line.isEmpty() || line[0] == QLatin1Char(';'))
            continue;
        if (line[0] == QLatin1Char('[')) {
            // Only the first section of a name counts.
            if (inSection)
                return;
            qsizetype close = line.indexOf(QLatin1Char(']'));
            if (close < 0)
                close = line.size();
            const QStringView name = trimBlanks(line.mid(1, close - 1));
            inSection = name.compare(wantedSection, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        const QStringView name = trimBlanks(eq < 0 ? line : line.left(eq));
        QStringView value;
        if (eq >= 0) {
            value = trimBlanks(line.mid(eq + 1));
            if (value.size() >= 2 && value.front() == value.back() &&
                (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')))
                value = value.mid(1, value.size() - 2);
        }
        if (entry(name, value, eq >= 0))
            return;
    }
}

} // namespace

QString LookupIniValue(QStringView text, QStringView section, QStringView key, int bufferSize)
{
    const QStringView wantedKey = trimBlanks(key);
    QString result;
    forEachIniEntry(text, section, [&](QStringView name, QStringView value, bool hasValue) {
        if (name.compare(wantedKey, Qt::CaseInsensitive) != 0)
            return false;
        if (hasValue)
            result = cut(value, bufferSize - 1);
        return true;
    });
    return result;
}

QHash<QString, QString> ReadIniSection(QStringView text, QStringView section, int bufferSize)
{
    QHash<QString, QString> values;
    forEachIniEntry(text, section, [&](QStringView name, QStringView value, bool) {
        // The first line of a name wins, as in LookupIniValue.
        const QString folded = name.toString().toCaseFolded();
        if (!values.contains(folded))
            values.insert(folded, cut(value, bufferSize - 1));
        return false;
    });
    return values;
}

QString IniSectionValue(const QHash<QString, QString>& values, QStringView key)
{
    return values.value(trimBlanks(key).toString().toCaseFolded());
}

} // namespace detail

} // namespace quillmap::FileFunctions
