#pragma once

#include "scan/DetailTicks.h"

#include <QStringView>

#include <vector>

namespace quillmap {

// One field of a file line's details: the UTF-16 offsets [start, end) of what FileLine writes
// for one ticked detail (the flags Archive to System together), leading "-" included; for a
// date, where its time of day begins (-1 for the other fields).
struct FileLineField
{
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype timeStart = -1;
};

// The fields of `details`, the text FileLine::build() puts after a file's name for `ticks`, in
// the order the line has them: where a printout may break a long line without splitting a
// value. Empty when `details` does not read as such a text (a listing made with other ticks,
// or none ticked).
std::vector<FileLineField> FileLineFields(QStringView details, DetailTicks ticks);

} // namespace quillmap
