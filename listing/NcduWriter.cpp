#include "listing/NcduWriter.h"

#include "listing/ChunkedOutput.h"
#include "listing/FiltersJson.h"
#include "listing/JsonString.h"
#include "scan/SearchRecord.h"
#include "tree/NodeStore.h"

#include <unordered_set>

namespace quillmap {

void NcduWriter::appendString(std::string& out, std::string_view bytes)
{
    AppendJsonString(out, bytes);
}

bool NcduWriter::write(std::FILE* out)
{
    std::string b = "[1,2,{\"progname\":";
    appendString(b, kProgram);
    b += ",\"progver\":\"" QUILLMAP_VERSION "\",\"timestamp\":";
    b += std::to_string(m_record.searchedAt);
    b += ",\"quillmap\":{\"levels\":";
    appendString(b, m_record.levels.toStdString());
    b += ",\"types\":";
    appendString(b, m_record.types.toStdString());
    if (!m_record.filters.isEmpty()) {
        b += ",\"filters\":";
        AppendFiltersJson(b, m_record.filters, &NcduWriter::appendString);
    }
    const ScanReport& report = m_record.report;
    b += ",\"unread\":[";
    for (qsizetype i = 0; i < report.problems.size(); ++i) {
        if (i > 0)
            b.push_back(',');
        appendString(b, report.problems[i].toStdString());
    }
    b.push_back(']');
    // Their paths, where they are known (a listing read back from JSON has the texts only).
    if (!report.problemPaths.empty() &&
        report.problemPaths.size() == std::size_t(report.problems.size())) {
        b += ",\"unreadPaths\":[";
        for (std::size_t i = 0; i < report.problemPaths.size(); ++i) {
            if (i > 0)
                b.push_back(',');
            appendString(b, report.problemPaths[i]);
        }
        b.push_back(']');
    }
    b += "}}";

    ChunkedOutput output(out, b);
    // The folders that could not be listed, by path.
    const std::unordered_set<std::string> unread(report.problemPaths.begin(),
                                                 report.problemPaths.end());
    std::string key;
    const auto visit = [&](NodeStore::Id id, std::uint32_t level) {
        const bool folder = level == 0 || m_tree.isFolder(id);
        b += folder ? ",\n[{\"name\":" : ",\n{\"name\":";
        if (level == 0) {
            std::string root = m_tree.key(id);
            if (root.size() > 1 && root.back() == '/')
                root.pop_back();
            appendString(b, root);
        } else {
            appendString(b, m_tree.name(id));
        }
        if (folder) {
            m_tree.key(id, key);
            if (key.size() > 1 && key.back() == '/')
                key.pop_back();
            if (unread.count(key))
                b += ",\"read_error\":true";
            b.push_back('}');
        } else if (const auto d = m_tree.details(id)) {
            const std::uint64_t size = d->size.value_or(0);
            b += ",\"asize\":";
            b += std::to_string(size);
            b += ",\"dsize\":";
            b += std::to_string(size);
            if (d->modified && *d->modified >= 0) { // ncdu reads no date before 1970
                b += ",\"mtime\":";
                b += std::to_string(*d->modified);
            }
            b.push_back('}');
        } else {
            b += ",\"read_error\":true}";
        }
        output.flush();
        return true;
    };
    const auto leave = [&](NodeStore::Id id, std::uint32_t level) {
        if (level == 0 || m_tree.isFolder(id))
            b.push_back(']');
    };
    m_tree.walk(m_tree.firstTopLevel(), false, visit, leave);
    b += "]\n";
    return output.finish();
}

} // namespace quillmap
