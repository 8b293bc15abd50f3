#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace quillmap {

// What a search leaves out or lets in besides the Levels and File Types boxes: the window's
// Filters dialog and quillmap_list's options. Recorded with the search, so that a listing says
// how it was made. With nothing set (the default) a search lists exactly as it always has.
struct ScanFilters
{
    // Patterns in .gitignore syntax (IgnoreRules), matched against the names and the paths below
    // the start folder; what matches is left out, and a folder that matches is never opened.
    QStringList exclude;
    bool hidden = false;      // list names starting with "." (else they are never listed)
    bool gitignore = false;   // leave out what .gitignore, .ignore and .git/info/exclude do
    bool foldersOnly = false; // list folders, no files
    // Files of at least minSize and at most maxSize bytes; a file whose size can't be read is
    // listed all the same (and reported).
    std::optional<std::uint64_t> minSize;
    std::optional<std::uint64_t> maxSize;
    // Files last modified at or after `newer` and before `older` (seconds since the epoch), as
    // given: a date or an age (newerText, olderText); the ages are reckoned from the moment a
    // search starts (resolve()).
    QString newerText;
    QString olderText;
    std::optional<std::int64_t> newer;
    std::optional<std::int64_t> older;

    bool isEmpty() const;
    bool operator==(const ScanFilters&) const = default;
    // The same choices, whenever the ages were reckoned.
    bool sameChoices(const ScanFilters& other) const;

    // Reckons newer and older from their texts at `now`; false when a text doesn't parse.
    bool resolve(std::int64_t now);

    // The choices on one line, "exclude: node_modules, .git; hidden entries; ...", in English
    // for files and printouts, or in the user's language; empty when nothing is set.
    QString describe(bool userLanguage = false) const;
    // "Filters: " and describe(), for the top of a printout or a page; empty when none is set.
    QString heading() const;

    // A size: bytes, or with K, M, G or T after it (powers of 1024; "1.5M", "10K", "10KiB").
    static bool parseSize(const QString& text, std::uint64_t& bytes);
    // A size as parseSize() reads it back: "10K" for 10240, else the bytes.
    static QString sizeText(std::uint64_t bytes);
    // A moment: a local date "2024-01-31", a local date and time "2024-01-31 13:45[:10]" (or with
    // "T"), or an age before `now`: a number and s, m (minutes), h, d, w or y ("30d").
    static bool parseTime(const QString& text, std::int64_t now, std::int64_t& seconds);
    // The patterns of an exclude file's text, one a line, blank lines and "#" comments left out.
    static QStringList patternsOfFile(const QByteArray& text);
};

} // namespace quillmap
