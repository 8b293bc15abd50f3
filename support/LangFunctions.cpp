#include "support/LangFunctions.h"

#include "support/FileFunctions.h"
#include "support/GenFunctions.h"

#include <array>
#include <cmath>
#include <mutex>

namespace quillmap::LangFunctions {

QString LanguageCode;
QString LanguageName;

namespace {

// The window's menus, labels and columns need far more texts than the About box alone, so the
// catalogue holds messages 0 to 999.
constexpr int kLastMessage = 999;
constexpr int kLanguages = 8;

// Column order of a message line.
constexpr std::array<const char*, kLanguages> kColumns = {
    "ENGLISH", "FRENCH", "GERMAN", "ITALIAN", "PORTUGUESE", "SPANISH", "DUTCH", "NORWEGIAN"};

// The profile codes each language is known by (compared in lower case), in table order.
struct LanguageCodeEntry
{
    const char* code;
    const char* language;
};

constexpr std::array<LanguageCodeEntry, 61> kLanguageCodes = {{
    {"australian", "ENGLISH"},
    {"ena", "ENGLISH"},
    {"english-aus", "ENGLISH"},
    {"canadian", "ENGLISH"},
    {"enc", "ENGLISH"},
    {"english-can", "ENGLISH"},
    {"english", "ENGLISH"},
    {"english-nz", "ENGLISH"},
    {"enz", "ENGLISH"},
    {"eng", "ENGLISH"},
    {"english-uk", "ENGLISH"},
    {"uk", "ENGLISH"},
    {"american", "ENGLISH"},
    {"american english", "ENGLISH"},
    {"american-english", "ENGLISH"},
    {"english-american", "ENGLISH"},
    {"english-us", "ENGLISH"},
    {"english-usa", "ENGLISH"},
    {"enu", "ENGLISH"},
    {"us", "ENGLISH"},
    {"usa", "ENGLISH"},
    {"frb", "FRENCH"},
    {"french-belgian", "FRENCH"},
    {"frc", "FRENCH"},
    {"french-canadian", "FRENCH"},
    {"fra", "FRENCH"},
    {"french", "FRENCH"},
    {"french-swiss", "FRENCH"},
    {"frs", "FRENCH"},
    {"dea", "GERMAN"},
    {"german-austrian", "GERMAN"},
    {"deu", "GERMAN"},
    {"german", "GERMAN"},
    {"des", "GERMAN"},
    {"german-swiss", "GERMAN"},
    {"swiss", "GERMAN"},
    {"it", "ITALIAN"},
    {"es", "SPANISH"},
    {"es-cr", "SPANISH"},
    {"es-do", "SPANISH"},
    {"es-co", "SPANISH"},
    {"es-ar", "SPANISH"},
    {"es-cl", "SPANISH"},
    {"es-py", "SPANISH"},
    {"es-sv", "SPANISH"},
    {"es-ni", "SPANISH"},
    {"es-mx", "SPANISH"},
    {"es-gt", "SPANISH"},
    {"es-pa", "SPANISH"},
    {"es-pe", "SPANISH"},
    {"es-ve", "SPANISH"},
    {"es-ec", "SPANISH"},
    {"es-uy", "SPANISH"},
    {"es-bo", "SPANISH"},
    {"es-hn", "SPANISH"},
    {"es-pr", "SPANISH"},
    {"nl", "DUTCH"},
    {"nl-be", "DUTCH"},
    {"pt", "PORTUGUESE"},
    {"pt-br", "PORTUGUESE"},
    {"no", "NORWEGIAN"},
}};

struct Catalogue
{
    std::array<std::array<QString, kLastMessage + 1>, kLanguages> tables;
    bool loaded = false;
    QString folderOverride;
};

Catalogue& catalogue()
{
    static Catalogue c;
    return c;
}

// Messages are also looked up for work done off the window's thread (a print, a scan).
std::recursive_mutex& catalogueLock()
{
    static std::recursive_mutex m;
    return m;
}

QString trimSpaces(const QString& s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && s[end - 1] == QLatin1Char(' '))
        --end;
    return s.mid(begin, end - begin);
}

bool isBlank(const QString& s)
{
    return trimSpaces(s).isEmpty();
}

int columnOf(const QString& languageName)
{
    const QString name = trimSpaces(languageName).toUpper();
    for (int i = 0; i < kLanguages; ++i) {
        if (name == QLatin1String(kColumns[i]))
            return i;
    }
    return 0;
}

} // namespace

QString LanguageForCode(const QString& code)
{
    const QString key = trimSpaces(code).toLower();
    for (const LanguageCodeEntry& entry : kLanguageCodes) {
        if (key == QLatin1String(entry.code))
            return QLatin1String(entry.language);
    }
    return QStringLiteral("ENGLISH");
}

void DetectLanguage()
{
    LanguageCode = trimSpaces(FileFunctions::ReadProfileString(QStringLiteral("intl"),
                                                               QStringLiteral("slanguage")))
                       .toUpper();
    LanguageName = LanguageForCode(LanguageCode);
}

bool LoadMessages()
{
    const std::lock_guard lock(catalogueLock());
    Catalogue& c = catalogue();
    const QString folder =
        c.folderOverride.isEmpty() ? FileFunctions::GetAppPath() : c.folderOverride;
    // The file is read and its section split once per load, however many messages it holds.
    const std::optional<QString> text =
        FileFunctions::ReadIniFile(folder + QStringLiteral("lang.ini"));
    if (!text)
        return false;
    namespace FD = FileFunctions::detail;
    const QHash<QString, QString> messages =
        FD::ReadIniSection(*text, u"Messages", FD::kDefaultIniBuffer);

    bool ok = false;
    const double number = FD::IniSectionValue(messages, u"number").toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return false;

    for (int i = 0; i <= number; ++i) {
        const QString line = FD::IniSectionValue(messages, QStringLiteral("MES%1").arg(i));
        if (i > kLastMessage)
            return false;
        for (int lang = 0; lang < kLanguages; ++lang)
            c.tables[lang][i] = GenFunctions::GetField(line, QStringLiteral("|"), lang + 1);
    }
    c.loaded = true;
    return true;
}

QString GetMessageText(double Number)
{
    const std::lock_guard lock(catalogueLock());
    if (isBlank(LanguageName))
        DetectLanguage();
    Catalogue& c = catalogue();
    if (!c.loaded && !LoadMessages())
        return {};

    const double index = std::nearbyint(Number); // halves go to the even neighbour
    if (!(index >= 0 && index <= kLastMessage))
        return {};
    const auto i = static_cast<std::size_t>(index);
    const QString& text = c.tables[columnOf(LanguageName)][i];
    return isBlank(text) ? c.tables[0][i] : text;
}

QString MessageText(int Number, const char* english)
{
    const QString text = GetMessageText(Number);
    return isBlank(text) ? QString::fromUtf8(english) : text;
}

void ResetMessages(const QString& folder)
{
    const std::lock_guard lock(catalogueLock());
    Catalogue& c = catalogue();
    for (auto& table : c.tables)
        table.fill(QString());
    c.loaded = false;
    c.folderOverride = folder;
    LanguageCode.clear();
    LanguageName.clear();
}

} // namespace quillmap::LangFunctions
