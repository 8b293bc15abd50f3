#include "main_window/NodeColumns.h"

#include "listing/CsvWriter.h"
#include "listing/FolderTotals.h"
#include "listing/SizeText.h"
#include "support/LangFunctions.h"

#include <QDateTime>
#include <QLocale>

namespace quillmap {

using LangFunctions::MessageText;

namespace {

struct ColumnInfo
{
    const char* key;
    int message;
    const char* english;
    SortKey sortKey;
};
// By Column; the dates, type and size are named as the options list names them.
constexpr ColumnInfo kColumns[NodeColumns::kCount] = {
    {"name", 143, "Name", SortKey::Name},
    {"size", 138, "Size", SortKey::Size},
    {"files", 145, "Files", SortKey::Files},
    {"folders", 146, "Folders", SortKey::Folders},
    {"created", 134, "Date Created", SortKey::Created},
    {"accessed", 135, "Date Last Accessed", SortKey::Accessed},
    {"modified", 136, "Date Last Modified", SortKey::Modified},
    {"attributes", 144, "Attributes", SortKey::Attributes},
    {"type", 137, "Type", SortKey::Type},
};

QString dateText(const std::optional<std::int64_t>& seconds)
{
    if (!seconds)
        return {};
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(*seconds), QLocale::ShortFormat);
}

QString exactBytes(std::uint64_t bytes)
{
    return QLocale().toString(qulonglong(bytes));
}

} // namespace

std::vector<NodeColumns::Column> NodeColumns::forTicks(DetailTicks ticks)
{
    std::vector<Column> columns = {Name, Size, Files, Folders};
    const auto tickedOne = [&](std::initializer_list<int> items) {
        for (int item : items)
            if (ticks.ticked(item))
                return true;
        return false;
    };
    if (tickedOne({DetailTicks::DateCreated}))
        columns.push_back(Created);
    if (tickedOne({DetailTicks::DateLastAccessed}))
        columns.push_back(Accessed);
    if (tickedOne({DetailTicks::DateLastModified}))
        columns.push_back(Modified);
    if (tickedOne({DetailTicks::Archive, DetailTicks::Compressed, DetailTicks::Hidden,
                   DetailTicks::Normal, DetailTicks::ReadOnly, DetailTicks::System}))
        columns.push_back(Attributes);
    if (tickedOne({DetailTicks::Type}))
        columns.push_back(Type);
    return columns;
}

QString NodeColumns::heading(Column column)
{
    return MessageText(kColumns[column].message, kColumns[column].english);
}

const char* NodeColumns::key(Column column)
{
    return kColumns[column].key;
}

SortKey NodeColumns::sortKey(Column column)
{
    return kColumns[column].sortKey;
}

bool NodeColumns::isNumber(Column column)
{
    return column == Size || column == Files || column == Folders;
}

QString NodeColumns::text(const NodeStore& tree, const FolderTotals& totals, NodeStore::Id id,
                          Column column)
{
    if (tree.isFolder(id)) {
        switch (column) {
        case Size:
            return exactBytes(totals.size(id));
        case Files:
            return QLocale().toString(qulonglong(totals.files(id)));
        case Folders:
            return QLocale().toString(qulonglong(totals.folders(id)));
        default:
            return {};
        }
    }
    if (column == Type)
        return NodeStore::displayString(FileTypeOf(tree.name(id)));
    const auto details = tree.details(id);
    if (!details)
        return {};
    switch (column) {
    case Size:
        return details->size ? exactBytes(*details->size) : QString();
    case Created:
        return dateText(details->created);
    case Accessed:
        return dateText(details->accessed);
    case Modified:
        return dateText(details->modified);
    case Attributes: {
        std::string letters;
        CsvWriter::appendAttributeLetters(letters, details->attributes);
        return QString::fromLatin1(letters.data(), qsizetype(letters.size()));
    }
    default:
        return {};
    }
}

QString NodeColumns::toolTip(const NodeStore& tree, const FolderTotals& totals, NodeStore::Id id,
                             Column column)
{
    if (column != Size)
        return {};
    std::optional<std::uint64_t> bytes;
    if (tree.isFolder(id))
        bytes = totals.size(id);
    else if (const auto details = tree.details(id))
        bytes = details->size;
    if (!bytes)
        return {};
    return QString::fromStdString(HumanSize(*bytes)) + QStringLiteral(" (") +
           MessageText(161, "%1 bytes").arg(exactBytes(*bytes)) + QLatin1Char(')');
}

} // namespace quillmap
