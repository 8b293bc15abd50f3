#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace quillmap {

class LocalClock;
class NodeStore;
struct SearchRecord;

// The listing as a spreadsheet (RFC 4180, UTF-8, CRLF): a heading row, for a filtered search a
// "filters" row naming them, then one row per node in tree order, then one row per entry that
// could not be read. Written to a terminal, the cells
// show no character that would act on it.
class CsvWriter
{
public:
    CsvWriter(const NodeStore& tree, const SearchRecord& record) : m_tree(tree), m_record(record) {}

    // Returns false when writing to `out` failed.
    bool write(std::FILE* out);

    // One cell and its separator-free text: a cell a spreadsheet would read as a formula (first
    // character "=", "+", "-", "@", tab or CR) gets a "'" in front, as OWASP recommends against
    // CSV injection; a cell holding a quote, comma, CR or LF (or made inert) is quoted, quotes
    // doubled. Bytes that are not UTF-8 become U+FFFD. For a `terminal`, control characters and
    // bidirectional overrides become "?" as in the text listing.
    static void appendCell(std::string& out, std::string_view text, bool terminal = false);
    // A time as ISO 8601 in local time with the zone offset, "2026-12-08T21:04:12+01:00";
    // nothing where the C library cannot place it.
    static void appendIsoDate(std::string& out, std::int64_t seconds, LocalClock& clock);
    // The attribute letters of an attribute value in the options list's order (A, C, H, R, S);
    // "N" for none.
    static void appendAttributeLetters(std::string& out, std::uint32_t attributes);

private:
    const NodeStore& m_tree;
    const SearchRecord& m_record;
};

} // namespace quillmap
