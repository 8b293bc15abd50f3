#include "scan/FileLineFields.h"

namespace quillmap {

namespace {

bool isDash(QStringView text, qsizetype at)
{
    return at < text.size() && text[at] == u'-';
}

bool dashes(QStringView text, qsizetype at, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i)
        if (!isDash(text, at + i))
            return false;
    return true;
}

// Two digits, or the "--" of a missing date.
bool pair(QStringView text, qsizetype at)
{
    for (qsizetype i = at; i < at + 2; ++i)
        if (i >= text.size() || !(text[i].isDigit() || text[i] == u'-'))
            return false;
    return true;
}

// A date field at `at` ("-----", the date, two blanks, the time, "-"): its end and where its
// time begins, or false.
bool dateField(QStringView text, qsizetype at, FileLineField& field)
{
    if (!dashes(text, at, 5))
        return false;
    const qsizetype blanks = text.indexOf(u"  ", at + 5);
    if (blanks < 0)
        return false;
    // hh, the time separator, mm, the same separator, ss.
    const qsizetype time = blanks + 2;
    qsizetype i = time;
    if (!pair(text, i))
        return false;
    i += 2;
    const qsizetype separator = i;
    while (i < text.size() && !text[i].isDigit() && text[i] != u'-')
        ++i;
    const QStringView between = text.mid(separator, i - separator);
    if (between.isEmpty() || !pair(text, i) || text.mid(i + 2, between.size()) != between ||
        !pair(text, i + 2 + between.size()))
        return false;
    i += 2 + between.size() + 2;
    if (!isDash(text, i))
        return false;
    field = {at, i + 1, time};
    return true;
}

} // namespace

std::vector<FileLineField> FileLineFields(QStringView details, DetailTicks ticks)
{
    std::vector<FileLineField> fields;
    qsizetype at = 0;
    qsizetype flags = ticks.ticked(DetailTicks::Archive) ? 6 : 0;
    for (int item = DetailTicks::Compressed; item <= DetailTicks::System; ++item)
        flags += ticks.ticked(item) ? 2 : 0;
    if (flags > 0) {
        if (details.size() < flags)
            return {};
        fields.push_back({0, flags});
        at = flags;
    }
    for (int item = DetailTicks::DateCreated; item <= DetailTicks::DateLastModified; ++item) {
        if (!ticks.ticked(item))
            continue;
        FileLineField date;
        if (!dateField(details, at, date))
            return {};
        fields.push_back(date);
        at = date.end;
    }
    // The size ("-----" and its digits, none for 0) ends the line; the type ("-----" and the
    // type, or eight "-") comes before it and may hold a "-" of its own.
    qsizetype end = details.size();
    FileLineField size;
    if (ticks.ticked(DetailTicks::Size)) {
        qsizetype digits = end;
        while (digits > at && details[digits - 1].isDigit())
            --digits;
        if (digits - 5 < at || !dashes(details, digits - 5, 5))
            return {};
        size = {digits - 5, end};
        end = size.start;
    }
    if (ticks.ticked(DetailTicks::Type)) {
        const bool none = end - at == 8 && dashes(details, at, 8);
        if (!none && !(end - at > 5 && dashes(details, at, 5)))
            return {};
        fields.push_back({at, end});
        at = end;
    }
    if (at != end)
        return {};
    if (ticks.ticked(DetailTicks::Size))
        fields.push_back(size);
    return fields;
}

} // namespace quillmap
