#include "scan/EntryFilter.h"

#include "scan/FolderHandle.h"
#include "scan/FolderListing.h"
#include "scan/ScanFilters.h"

#include <cerrno>
#include <sys/stat.h>

namespace quillmap {

namespace {

// The folder above `folder` (both ending in "/"); empty above the root.
std::string parentOf(const std::string& folder)
{
    if (folder.size() < 2)
        return {};
    const std::size_t slash = folder.rfind('/', folder.size() - 2);
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

// The path a ".git" file points to ("gitdir: PATH"), taken from `folder` where it is relative.
std::string pointedTo(const std::string& text, const std::string& folder)
{
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.rfind("gitdir: ", 0) != 0)
        return {};
    std::string path = line.substr(8);
    if (path.empty())
        return {};
    if (path[0] != '/')
        path = folder + path;
    if (path.back() != '/')
        path.push_back('/');
    return path;
}

} // namespace

EntryFilter::EntryFilter(const ScanFilters& filters)
    : m_active(!filters.isEmpty()), m_hidden(filters.hidden), m_gitignore(filters.gitignore),
      m_foldersOnly(filters.foldersOnly), m_minSize(filters.minSize), m_maxSize(filters.maxSize),
      m_newer(filters.newer), m_older(filters.older)
{
    // Relative to the start folder, whose place below the top start() finds.
    for (const QString& pattern : filters.exclude)
        m_userPatterns += pattern.toStdString() + '\n';
    m_exclude.add(m_userPatterns);
}

bool EntryFilter::keepsFileName(std::string_view name) const
{
    if (m_foldersOnly || (!m_hidden && !name.empty() && name[0] == '.'))
        return false;
    return !m_exclude.decide(name, 0, false).value_or(false);
}

bool EntryFilter::keepsFile(std::optional<std::uint64_t> size,
                            std::optional<std::int64_t> modified) const
{
    if (size && ((m_minSize && *size < *m_minSize) || (m_maxSize && *size > *m_maxSize)))
        return false;
    if (modified && ((m_newer && *modified < *m_newer) || (m_older && *modified >= *m_older)))
        return false;
    return true;
}

void EntryFilter::readRules(FileSystem& fs, FileSystem::Handle folder, const char* name,
                            const std::string& base, const std::string& folderPath,
                            const Problem& problem)
{
    std::string text;
    const int error = fs.readFile(folder, name, text, kMaxRuleFile);
    if (error == ENOENT || error == ENOTDIR)
        return;
    if (error) {
        problem(folderPath + name, error);
        return;
    }
    m_rules.emplace_back(text, base);
}

void EntryFilter::readRepository(FileSystem& fs, FileSystem::Handle folder,
                                 const std::string& folderPath, const std::string& base,
                                 const Problem& problem)
{
    // Where the repository keeps its files: ".git" itself, or where a ".git" file points (a
    // worktree's or a submodule's), and then the folder they share with others ("commondir").
    FolderHandle gitFolder;
    std::string gitPath = folderPath + ".git/";
    std::string text;
    if (fs.readFile(folder, ".git", text, 4096) == 0) {
        gitPath = pointedTo(text, folderPath);
        if (gitPath.empty() || FolderHandle::open(fs, gitPath, gitFolder) != 0)
            return;
    } else if (FolderHandle::openSub(fs, folder, ".git", gitFolder) != 0) {
        return;
    }
    if (fs.readFile(gitFolder.get(), "commondir", text, 4096) == 0) {
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        std::string common = text.empty() || text[0] != '/' ? gitPath + text : text;
        if (common.back() != '/')
            common.push_back('/');
        FolderHandle shared;
        if (!text.empty() && FolderHandle::open(fs, common, shared) == 0) {
            gitPath = common;
            gitFolder = std::move(shared);
        }
    }
    FolderHandle info;
    if (FolderHandle::openSub(fs, gitFolder.get(), "info", info) == 0)
        readRules(fs, info.get(), "exclude", base, gitPath + "info/", problem);
}

void EntryFilter::start(FileSystem& fs, const std::string& startFolder, const Problem& problem)
{
    std::string top = startFolder;
    FolderHandle topFolder;
    bool repository = false;
    if (m_gitignore) {
        // The repository the start folder lies in: the nearest folder at or above it with a
        // ".git" in it.
        for (std::string folder = startFolder; !folder.empty(); folder = parentOf(folder)) {
            FolderHandle h;
            if (FolderHandle::open(fs, folder, h) != 0)
                break;
            FileStat st;
            if (fs.stat(h.get(), ".git", false, st) == 0 &&
                (S_ISDIR(st.mode) || S_ISREG(st.mode))) {
                top = folder;
                topFolder = std::move(h);
                repository = true;
                break;
            }
        }
    }
    // The start folder below the top, without the "/" at either end.
    m_path = startFolder.substr(top.size());
    if (!m_path.empty() && m_path.back() == '/')
        m_path.pop_back();
    // The user's patterns, with the start folder as their base.
    m_exclude = IgnoreRules(m_userPatterns, m_path);
    if (!repository)
        return;
    readRepository(fs, topFolder.get(), top, std::string(), problem);
    // The rule files of the folders from the top down to the start folder's parent; the start
    // folder's own are read as the walk enters it.
    std::string relative;
    FolderHandle folder = std::move(topFolder);
    for (std::size_t at = 0; at < m_path.size();) {
        readRules(fs, folder.get(), ".gitignore", relative, top + relative, problem);
        readRules(fs, folder.get(), ".ignore", relative, top + relative, problem);
        const std::size_t slash = std::min(m_path.find('/', at), m_path.size());
        const std::string name = m_path.substr(at, slash - at);
        FolderHandle next;
        if (FolderHandle::openSub(fs, folder.get(), name.c_str(), next) != 0)
            break;
        folder = std::move(next);
        relative = m_path.substr(0, slash);
        at = slash + 1;
    }
}

void EntryFilter::enter(std::string_view name, FileSystem& fs, FileSystem::Handle folder,
                        const FolderListing& listing, const std::function<std::string()>& path,
                        const Problem& problem)
{
    m_levels.push_back({m_path.size(), m_rules.size(), m_floor});
    if (!name.empty()) {
        if (!m_path.empty())
            m_path.push_back('/');
        m_path.append(name);
    }
    if (!m_gitignore || folder < 0)
        return;
    // The names starting with "." sit together in a listing's order.
    bool repository = false, gitignore = false, ignore = false;
    for (std::size_t i = 0; i < listing.size(); ++i) {
        const std::string_view n = listing.name(i);
        if (static_cast<unsigned char>(n[0]) > '.')
            break;
        repository = repository || n == ".git";
        gitignore = gitignore || n == ".gitignore";
        ignore = ignore || n == ".ignore";
    }
    if (!repository && !gitignore && !ignore)
        return;
    const std::string folderPath = path();
    // A repository inside the one searched: what applied above it applies no more.
    if (repository && !name.empty()) {
        m_floor = m_rules.size();
        readRepository(fs, folder, folderPath, m_path, problem);
    }
    if (gitignore)
        readRules(fs, folder, ".gitignore", m_path, folderPath, problem);
    if (ignore)
        readRules(fs, folder, ".ignore", m_path, folderPath, problem);
}

void EntryFilter::leave()
{
    if (m_levels.empty())
        return;
    const Level level = m_levels.back();
    m_levels.pop_back();
    m_path.resize(level.pathLength);
    m_rules.resize(level.rules);
    m_floor = level.floor;
}

bool EntryFilter::excludes(std::string_view name, Kind kind)
{
    if (name.empty())
        return false;
    if (!m_hidden && name[0] == '.')
        return true;
    if (m_foldersOnly && kind == Kind::File)
        return true;
    if (m_gitignore && name == ".git")
        return true; // the repository's own files are never part of it
    if (m_exclude.isEmpty() && (!m_gitignore || m_rules.size() == m_floor))
        return false;
    const std::size_t folderLength = m_path.size();
    if (!m_path.empty())
        m_path.push_back('/');
    const std::size_t nameAt = m_path.size();
    m_path.append(name);
    std::optional<bool> excluded = m_exclude.decide(m_path, nameAt, kind != Kind::File);
    // Git takes a link to a folder for what it is, a link.
    for (std::size_t i = m_rules.size(); !excluded && m_gitignore && i-- > m_floor;)
        excluded = m_rules[i].decide(m_path, nameAt, kind == Kind::Folder);
    m_path.resize(folderLength);
    return excluded.value_or(false);
}

void EntryFilter::mark(FolderListing& listing)
{
    using ListingKind = FolderListing::Kind;
    for (std::size_t i = 0; i < listing.size(); ++i) {
        const ListingKind kind = listing.kind(i);
        const std::string_view name = listing.name(i);
        bool excluded = false;
        if (kind == ListingKind::File || kind == ListingKind::Folder)
            excluded = excludes(name, kind == ListingKind::File ? Kind::File : Kind::Folder);
        else if (kind == ListingKind::Unknown || kind == ListingKind::Link)
            excluded = !m_hidden && name[0] == '.'; // the rest once the kind is known
        if (excluded)
            listing.setKind(i, ListingKind::Excluded);
    }
}

} // namespace quillmap
