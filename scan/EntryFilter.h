#pragma once

#include "scan/FileSystem.h"
#include "scan/IgnoreRules.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmap {

class FolderListing;
struct ScanFilters;

// The walk's side of the filters (ScanFilters): which entries of the folder being walked are
// left out, decided by name and path before anything below them is opened, and which files by
// their size and date once read. Keeps the path of that folder and, with .gitignore honoured,
// the rule files that apply to it, as git reads them: those of the folder and of the folders
// above it up to the repository's top, deeper ones first, then the repository's info/exclude;
// a repository found inside another one starts afresh. The user's exclusions come before all
// of them. A folder's .ignore comes before its .gitignore.
//
// Paths are kept relative to the repository's top when the start folder lies in one, else to
// the start folder. Contract: start() once, then enter() and leave() as the walk enters and
// leaves folders, on the walk's thread; the const members may be called from any thread.
class EntryFilter
{
public:
    enum class Kind
    {
        File,
        Folder,
        FolderLink, // listed as a folder, never opened; not a folder to git
    };
    // A rule file that could not be read: its path (absolute) and the errno.
    using Problem = std::function<void(const std::string& path, int error)>;

    explicit EntryFilter(const ScanFilters& filters);

    // Whether anything is filtered at all; when not, the walk need not ask.
    bool active() const { return m_active; }
    // Whether listings must keep the names that start with ".".
    bool keepsDotNames() const { return m_hidden || m_gitignore; }
    bool foldersOnly() const { return m_foldersOnly; }
    // Whether a file is chosen by its name alone, so that it can be told before its folder is
    // entered (files read ahead of the walk); keepsFileName() then tells.
    bool filesByName() const { return !m_gitignore && !m_exclude.matchesPaths(); }
    bool keepsFileName(std::string_view name) const;
    // Whether a file whose properties were read is listed: its size and date within bounds.
    bool keepsFile(std::optional<std::uint64_t> size, std::optional<std::int64_t> modified) const;

    // Reads the rule files above `startFolder` (its path, ending in "/") through `fs`.
    void start(FileSystem& fs, const std::string& startFolder, const Problem& problem);
    // The walk enters the folder `name` (empty: the start folder), open as `folder` (or -1 when
    // it could not be opened again), whose `listing` was read; `path` is its absolute path,
    // asked for only where needed. Reads its rule files.
    void enter(std::string_view name, FileSystem& fs, FileSystem::Handle folder,
               const FolderListing& listing, const std::function<std::string()>& path,
               const Problem& problem);
    void leave();

    // Whether the entry `name` of the folder entered last is left out.
    bool excludes(std::string_view name, Kind kind);
    // Marks the entries of the folder entered last that are left out, where their kind is
    // known already, as FolderListing::Kind::Excluded.
    void mark(FolderListing& listing);

    // The most bytes a rule file may hold.
    static constexpr std::size_t kMaxRuleFile = std::size_t(64) << 20;

private:
    struct Level
    {
        std::size_t pathLength;
        std::size_t rules;
        std::size_t floor;
    };

    // Reads `name` in `folder` as rules for the folder at `base`; a file that isn't there is
    // no error.
    void readRules(FileSystem& fs, FileSystem::Handle folder, const char* name,
                   const std::string& base, const std::string& folderPath, const Problem& problem);
    // The repository whose top is `folder` (at `folderPath`): its info/exclude, read from the
    // repository's folder (".git", or where a ".git" file points).
    void readRepository(FileSystem& fs, FileSystem::Handle folder, const std::string& folderPath,
                        const std::string& base, const Problem& problem);

    bool m_active = false;
    bool m_hidden = false;
    bool m_gitignore = false;
    bool m_foldersOnly = false;
    std::optional<std::uint64_t> m_minSize, m_maxSize;
    std::optional<std::int64_t> m_newer, m_older;
    std::string m_userPatterns;       // one a line
    IgnoreRules m_exclude;            // the user's, relative to the start folder
    std::vector<IgnoreRules> m_rules; // rule files, the deepest last
    std::size_t m_floor = 0;          // the rules from here on apply (the innermost repository)
    std::vector<Level> m_levels;
    std::string m_path; // of the folder entered last, relative to the top; then a name
};

} // namespace quillmap
