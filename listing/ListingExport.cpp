#include "listing/ListingExport.h"

#include "listing/CsvWriter.h"
#include "listing/FolderTotals.h"
#include "listing/HtmlWriter.h"
#include "listing/ListingJsonWriter.h"
#include "listing/NcduWriter.h"
#include "listing/TreeWriter.h"
#include "scan/SearchRecord.h"
#include "support/SafeFile.h"
#include "support/SystemErrorText.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace quillmap {

ListingFormat ListingExport::formatOfFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        return ListingFormat::Html;
    if (suffix == QLatin1String("csv"))
        return ListingFormat::Csv;
    if (suffix == QLatin1String("json"))
        return ListingFormat::Json;
    if (suffix == QLatin1String("tsv"))
        return ListingFormat::Tsv;
    return ListingFormat::Text;
}

bool ListingExport::write(ListingFormat format, const NodeStore& tree, const SearchRecord& record,
                          std::FILE* out, bool totals, bool human, bool problems)
{
    switch (format) {
    case ListingFormat::Html:
        return HtmlWriter(tree, record).write(out);
    case ListingFormat::Csv:
        return CsvWriter(tree, record).write(out);
    case ListingFormat::Ncdu:
        return NcduWriter(tree, record).write(out);
    case ListingFormat::Json: {
        const FolderTotals sums(tree);
        ListingJsonWriter writer(tree, record, out);
        writer.setTotals(&sums);
        return writer.write();
    }
    default:
        break;
    }
    TreeWriter writer(tree, out);
    if (format == ListingFormat::Tsv) {
        writer.writeTsv();
    } else if (totals) {
        const FolderTotals sums(tree);
        writer.writeText(&sums, human);
    } else {
        writer.writeText();
    }
    if (format == ListingFormat::Text && problems)
        writer.writeProblems(record.report.problems);
    return std::fflush(out) == 0 && !std::ferror(out);
}

bool ListingExport::writeFile(ListingFormat format, const NodeStore& tree,
                              const SearchRecord& record, const QString& path, QString* error,
                              int* systemError)
{
    SafeFile file(path);
    const auto fail = [&](const QString& why, int number) {
        file.abort();
        if (error)
            *error = why;
        if (systemError)
            *systemError = number;
        return false;
    };
    if (!file.open())
        return fail(file.errorString(), file.systemError());
    // The writers write through stdio; a second descriptor for the same open file lets the
    // stream be closed (and its errors seen) before the file is put in place.
    const int fd = ::dup(file.device().handle());
    std::FILE* out = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (!out) {
        const int why = errno;
        if (fd >= 0)
            ::close(fd);
        return fail(SystemErrorText(why), why);
    }
    errno = 0;
    const bool written = write(format, tree, record, out, false, false, true);
    const int why = errno;
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        const int number = why ? why : errno ? errno : EIO;
        return fail(SystemErrorText(number), number);
    }
    if (!file.commit())
        return fail(file.errorString(), file.systemError());
    return true;
}

} // namespace quillmap
