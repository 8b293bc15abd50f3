#include "support/GenFunctions.h"

#include <cmath>

namespace quillmap::GenFunctions {

namespace {

const QChar kSpace = QLatin1Char(' ');

QStringView trimSpaces(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] == kSpace)
        ++begin;
    while (end > begin && s[end - 1] == kSpace)
        --end;
    return s.mid(begin, end - begin);
}

// First character upper case, the rest lower case.
void appendWord(QString& out, QStringView word)
{
    if (word.isEmpty())
        return;
    // A word may start with a surrogate pair; case it as one character.
    const qsizetype head = (word.size() > 1 && word[0].isHighSurrogate()) ? 2 : 1;
    out += word.left(head).toString().toUpper();
    out += word.mid(head).toString().toLower();
}

} // namespace

QString ReplaceChar(const QString& Text, const QString& Find, const QString& ReplaceWith)
{
    if (Find.isEmpty())
        return {};
    // One pass gives the same text as rescanning until nothing changes, and cannot loop when
    // the replacement holds the character itself.
    QString result = trimSpaces(Text).toString();
    result.replace(Find.at(0), ReplaceWith);
    return trimSpaces(result).toString();
}

QString ProperCase(const QString& Text)
{
    QString result;
    QStringView rest(Text);
    while (!trimSpaces(rest).isEmpty()) {
        const qsizetype space = rest.indexOf(kSpace);
        if (space < 0) {
            appendWord(result, trimSpaces(rest));
            break;
        }
        appendWord(result, trimSpaces(rest.left(space)));
        result += kSpace;
        rest = trimSpaces(rest.mid(space));
    }
    return result;
}

QString GetField(const QString& Text, const QString& Delimiter, int FieldNumber)
{
    if (trimSpaces(Text).isEmpty() || trimSpaces(Delimiter).isEmpty() || FieldNumber < 1)
        return {};
    if (!Text.contains(Delimiter))
        return {};
    qsizetype start = 0;
    for (int field = 1; field < FieldNumber; ++field) {
        const qsizetype next = Text.indexOf(Delimiter, start);
        if (next < 0)
            return {};
        start = next + Delimiter.size();
    }
    const qsizetype end = Text.indexOf(Delimiter, start);
    return Text.mid(start, end < 0 ? -1 : end - start);
}

QPoint CentredPosition(const QSize& window, const QRect& screen)
{
    // Halves round to even, as the original single-precision assignment did.
    const auto half = [](int free) { return static_cast<int>(std::nearbyint(free / 2.0)); };
    return {screen.x() + half(screen.width() - window.width()),
            screen.y() + half(screen.height() - window.height())};
}

} // namespace quillmap::GenFunctions
