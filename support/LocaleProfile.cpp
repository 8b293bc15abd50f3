#include "support/LocaleProfile.h"

#include <QtGlobal>

#include <array>

namespace quillmap {

namespace {

// Spanish variants that the language table knows by their own code; any other Spanish locale
// becomes plain "es".
constexpr std::array<const char*, 18> kSpanishCountries = {"cr", "do", "co", "ar", "cl", "py",
                                                           "sv", "ni", "mx", "gt", "pa", "pe",
                                                           "ve", "ec", "uy", "bo", "hn", "pr"};

QByteArray localeFromEnvironment(const char* category = "LC_MESSAGES")
{
    for (const char* name : {"LC_ALL", category, "LANG"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty())
            return value;
    }
    return {};
}

} // namespace

std::optional<QString> LocaleProfile::value(const QString& section, const QString& key)
{
    if (section.compare(QLatin1String("intl"), Qt::CaseInsensitive) != 0 ||
        key.compare(QLatin1String("slanguage"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return languageSetting();
}

std::optional<QString> LocaleProfile::languageSetting()
{
    return languageSettingFor(localeFromEnvironment());
}

QLocale LocaleProfile::timeLocale()
{
    const QByteArray name = localeFromEnvironment("LC_TIME");
    return name.isEmpty() ? QLocale::c() : QLocale(QString::fromLatin1(name));
}

std::optional<QString> LocaleProfile::languageSettingFor(const QByteArray& localeName)
{
    // language[_territory][.codeset][@modifier]
    QByteArray name = localeName.trimmed();
    if (const qsizetype at = name.indexOf('@'); at >= 0)
        name.truncate(at);
    if (const qsizetype dot = name.indexOf('.'); dot >= 0)
        name.truncate(dot);
    if (name.isEmpty() || name == "C" || name == "POSIX")
        return std::nullopt;

    const qsizetype sep = name.indexOf('_');
    const QByteArray lang = (sep >= 0 ? name.left(sep) : name).toLower();
    const QByteArray country = sep >= 0 ? name.mid(sep + 1).toLower() : QByteArray();

    auto pick = [&](std::initializer_list<std::pair<const char*, const char*>> byCountry,
                    const char* other) {
        for (const auto& [cc, code] : byCountry) {
            if (country == cc)
                return QString::fromLatin1(code);
        }
        return QString::fromLatin1(other);
    };

    if (lang == "en")
        return pick({{"us", "enu"}, {"gb", "eng"}, {"au", "ena"}, {"ca", "enc"}, {"nz", "enz"}},
                    "english");
    if (lang == "fr")
        return pick({{"fr", "fra"}, {"be", "frb"}, {"ca", "frc"}, {"ch", "frs"}}, "french");
    if (lang == "de")
        return pick({{"de", "deu"}, {"at", "dea"}, {"ch", "des"}}, "german");
    if (lang == "it")
        return QStringLiteral("it");
    if (lang == "es") {
        for (const char* cc : kSpanishCountries) {
            if (country == cc)
                return QStringLiteral("es-") + QString::fromLatin1(cc);
        }
        return QStringLiteral("es");
    }
    if (lang == "nl")
        return pick({{"be", "nl-be"}}, "nl");
    if (lang == "pt")
        return pick({{"br", "pt-br"}}, "pt");
    if (lang == "nb" || lang == "nn" || lang == "no")
        return QStringLiteral("no");

    // Any other language keeps its own code, which detection maps to English.
    QString code = QString::fromLocal8Bit(lang);
    if (!country.isEmpty())
        code += QLatin1Char('-') + QString::fromLocal8Bit(country);
    return code;
}

} // namespace quillmap
