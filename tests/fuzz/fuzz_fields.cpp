// Fuzzes GetField against a plain split, and checks ReplaceChar and ProperCase invariants.
// Input: delimiter byte, two bytes of field number, then UTF-8 text.
#include "support/GenFunctions.h"

#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace quillmap::GenFunctions;

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

bool blank(const QString& s)
{
    for (QChar c : s) {
        if (c != QLatin1Char(' '))
            return false;
    }
    return true;
}

bool isAscii(const QString& s)
{
    for (QChar c : s) {
        if (c.unicode() >= 128)
            return false;
    }
    return true;
}

// ProperCase's spacing, lower-cased: one space for a leading run, single spaces between
// words, one trailing space only after a lone word at the very start.
QString expectedProperLower(const QString& text)
{
    if (blank(text))
        return {};
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString out = text.startsWith(QLatin1Char(' ')) ? QStringLiteral(" ") : QString();
    out += words.join(QLatin1Char(' '));
    if (words.size() == 1 && !text.startsWith(QLatin1Char(' ')) && text.endsWith(QLatin1Char(' ')))
        out += QLatin1Char(' ');
    return out.toLower();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const QString delimiter = QString(QChar(data[0]));
    const int field = static_cast<std::int16_t>(data[1] | (data[2] << 8));
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 3), qsizetype(size - 3));

    const QString got = GetField(text, delimiter, field);
    QString expected;
    if (!blank(text) && !blank(delimiter) && field >= 1 && text.contains(delimiter)) {
        const QStringList parts = text.split(delimiter);
        if (field <= parts.size())
            expected = parts.at(field - 1);
    }
    check(got == expected, "GetField differs from a plain split");

    const QString replaced = ReplaceChar(text, delimiter, QStringLiteral("_"));
    check(delimiter == QLatin1String("_") || !replaced.contains(delimiter),
          "ReplaceChar left the character");
    check(!replaced.startsWith(QLatin1Char(' ')) && !replaced.endsWith(QLatin1Char(' ')),
          "ReplaceChar result not trimmed");

    const QString proper = ProperCase(text);
    if (isAscii(text))
        check(proper.toLower() == expectedProperLower(text), "ProperCase spacing");
    check(!proper.contains(QLatin1String("  ")), "ProperCase kept a run of spaces");
    return 0;
}
