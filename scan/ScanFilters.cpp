#include "scan/ScanFilters.h"

#include "support/LangFunctions.h"

#include <QDateTime>
#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace quillmap {

namespace {

QString phrase(bool userLanguage, int number, const char* english)
{
    return userLanguage ? LangFunctions::MessageText(number, english) : QString::fromUtf8(english);
}

// "30d" (and the others) as an age in seconds; false when `text` is not one.
bool parseAge(const QString& text, std::int64_t& seconds)
{
    static const QRegularExpression age(QStringLiteral("^\\s*(\\d{1,9})\\s*([smhdwy])\\s*$"));
    const QRegularExpressionMatch m = age.match(text);
    if (!m.hasMatch())
        return false;
    const std::int64_t n = m.captured(1).toLongLong();
    const char unit = m.captured(2).at(0).toLatin1();
    const std::int64_t scale = unit == 's'   ? 1
                               : unit == 'm' ? 60
                               : unit == 'h' ? 3600
                               : unit == 'd' ? 86400
                               : unit == 'w' ? 7 * 86400
                                             : 365 * 86400;
    seconds = n * scale;
    return true;
}

} // namespace

bool ScanFilters::isEmpty() const
{
    return exclude.isEmpty() && !hidden && !gitignore && !foldersOnly && !minSize && !maxSize &&
           newerText.isEmpty() && olderText.isEmpty() && !newer && !older;
}

bool ScanFilters::sameChoices(const ScanFilters& other) const
{
    return exclude == other.exclude && hidden == other.hidden && gitignore == other.gitignore &&
           foldersOnly == other.foldersOnly && minSize == other.minSize &&
           maxSize == other.maxSize && newerText == other.newerText && olderText == other.olderText;
}

bool ScanFilters::resolve(std::int64_t now)
{
    const auto one = [now](const QString& text, std::optional<std::int64_t>& out) {
        out.reset();
        if (text.isEmpty())
            return true;
        std::int64_t t = 0;
        if (!parseTime(text, now, t))
            return false;
        out = t;
        return true;
    };
    const bool a = one(newerText, newer);
    const bool b = one(olderText, older);
    return a && b;
}

bool ScanFilters::parseSize(const QString& text, std::uint64_t& bytes)
{
    static const QRegularExpression size(QStringLiteral(
        "^\\s*(\\d{1,20}(?:\\.\\d{1,9})?)\\s*(?:([kKmMgGtT])(?:i?[bB])?|[bB])?\\s*$"));
    const QRegularExpressionMatch m = size.match(text);
    if (!m.hasMatch())
        return false;
    int shift = 0;
    if (const QString unit = m.captured(2).toUpper(); !unit.isEmpty())
        shift = unit == u'K' ? 10 : unit == u'M' ? 20 : unit == u'G' ? 30 : 40;
    const QString number = m.captured(1);
    if (!number.contains(u'.')) {
        bool ok = false;
        const qulonglong n = number.toULongLong(&ok);
        if (!ok || (shift > 0 && n > (std::numeric_limits<std::uint64_t>::max() >> shift)))
            return false;
        bytes = std::uint64_t(n) << shift;
        return true;
    }
    // A fraction of a unit, rounded up to a whole byte.
    const long double value = std::ldexp(number.toDouble(), shift);
    if (!(value < 1.8e19L))
        return false;
    bytes = std::uint64_t(std::ceil(value));
    return true;
}

QString ScanFilters::sizeText(std::uint64_t bytes)
{
    static const char units[] = "KMGT";
    int unit = -1;
    while (unit < 3 && bytes != 0 && bytes % 1024 == 0) {
        bytes /= 1024;
        ++unit;
    }
    return QString::number(bytes) + (unit >= 0 ? QString(QLatin1Char(units[unit])) : QString());
}

bool ScanFilters::parseTime(const QString& text, std::int64_t now, std::int64_t& seconds)
{
    std::int64_t age = 0;
    if (parseAge(text, age)) {
        seconds = now - age;
        return true;
    }
    const QString t = text.trimmed();
    const QDate day = QDate::fromString(t, QStringLiteral("yyyy-MM-dd"));
    if (day.isValid()) {
        seconds = day.startOfDay().toSecsSinceEpoch(); // local midnight
        return true;
    }
    QString withT = t;
    withT.replace(u' ', u'T');
    for (const char* format : {"yyyy-MM-ddTHH:mm:ss", "yyyy-MM-ddTHH:mm"}) {
        const QDateTime when = QDateTime::fromString(withT, QString::fromLatin1(format));
        if (when.isValid()) {
            seconds = when.toSecsSinceEpoch();
            return true;
        }
    }
    return false;
}

QStringList ScanFilters::patternsOfFile(const QByteArray& text)
{
    QStringList patterns;
    QByteArray body = text;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    for (QByteArray line : body.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        patterns << QString::fromUtf8(line);
    }
    return patterns;
}

QString ScanFilters::heading() const
{
    return isEmpty() ? QString() : QStringLiteral("Filters: ") + describe();
}

QString ScanFilters::describe(bool userLanguage) const
{
    QStringList parts;
    if (!exclude.isEmpty())
        parts << phrase(userLanguage, 252, "exclude: %1").arg(exclude.join(QStringLiteral(", ")));
    if (hidden)
        parts << phrase(userLanguage, 253, "hidden entries");
    if (gitignore)
        parts << phrase(userLanguage, 254, ".gitignore honoured");
    if (foldersOnly)
        parts << phrase(userLanguage, 255, "folders only");
    if (minSize)
        parts << phrase(userLanguage, 256, "size from %1").arg(sizeText(*minSize));
    if (maxSize)
        parts << phrase(userLanguage, 257, "size up to %1").arg(sizeText(*maxSize));
    // A date is shown as given; an age with the moment it was reckoned to.
    const auto moment = [](const QString& given, const std::optional<std::int64_t>& at) {
        std::int64_t age = 0;
        if (!at || !parseAge(given, age))
            return given;
        return given + QStringLiteral(" (") +
               QDateTime::fromSecsSinceEpoch(*at).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
               u')';
    };
    if (!newerText.isEmpty())
        parts << phrase(userLanguage, 258, "modified since %1").arg(moment(newerText, newer));
    if (!olderText.isEmpty())
        parts << phrase(userLanguage, 259, "modified before %1").arg(moment(olderText, older));
    return parts.join(QStringLiteral("; "));
}

} // namespace quillmap
