#include "scan/SearchDir.h"

#include "platform/files/FileSystem.h"
#include "platform/files/PosixFileSystem.h"
#include "platform/tree/NodeStore.h"
#include "scan/FileLine.h"
#include "scan/FileTypesPattern.h"
#include "scan/GetFileInfo.h"
#include "scan/LevelsRule.h"
#include "scan/ScanControls.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace quillmap {

namespace {

using Kind = FolderListing::Kind;

// The properties a file node keeps as data, whatever details its text shows.
NodeStore::Details DetailsOf(const FileInfo& info)
{
    NodeStore::Details d;
    std::uint32_t bits = 0;
    bits |= info.ReadOnly ? FileInfo::kReadOnly : 0u;
    bits |= info.Hidden ? FileInfo::kHidden : 0u;
    bits |= info.System ? FileInfo::kSystem : 0u;
    bits |= info.Archive ? FileInfo::kArchive : 0u;
    bits |= info.Compressed ? FileInfo::kCompressed : 0u;
    d.attributes = static_cast<std::uint8_t>(bits);
    if (!info.Size.empty()) {
        std::uint64_t size = 0;
        const char* end = info.Size.data() + info.Size.size();
        if (std::from_chars(info.Size.data(), end, size).ptr == end)
            d.size = size;
    }
    d.created = info.DateCreated;
    d.accessed = info.DateLastAccessed;
    d.modified = info.DateLastModified;
    return d;
}

// The hourglass is back whatever way the scan ends.
class BusyGuard
{
public:
    explicit BusyGuard(ScanControls& controls) : m_controls(controls) { m_controls.setBusy(true); }
    ~BusyGuard() { m_controls.setBusy(false); }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    ScanControls& m_controls;
};

// One scan: the walk's state, with the buffers it reuses for every entry.
class Walk
{
public:
    Walk(ScanControls& controls, NodeStore& tree, FileSystem& fs, ScanReport& report)
        : m_controls(controls), m_tree(tree), m_fs(fs), m_report(report)
    {
    }

    void RecurseFiles2(NodeStore::Id folderNode, FileSystem::Handle folder, int levelsDown);
    void problem(NodeStore::Id folderNode, std::string_view name, int error);

private:
    FolderListing& listingAt(int depth);
    Kind classify(FileSystem::Handle folder, FolderListing& listing, std::size_t i,
                  NodeStore::Id folderNode);
    void counted() { m_controls.showCounts(m_report.dirCount, m_report.fileCount); }

    ScanControls& m_controls;
    NodeStore& m_tree;
    FileSystem& m_fs;
    ScanReport& m_report;
    FileLine m_line;
    FileInfo m_info;
    std::string m_text;
    // One listing per depth, kept for the whole scan so a warm walk allocates nothing.
    std::vector<std::unique_ptr<FolderListing>> m_listings;
};

FolderListing& Walk::listingAt(int depth)
{
    while (m_listings.size() <= static_cast<std::size_t>(depth))
        m_listings.push_back(std::make_unique<FolderListing>());
    return *m_listings[depth];
}

void Walk::problem(NodeStore::Id folderNode, std::string_view name, int error)
{
    std::string path = m_tree.key(folderNode);
    path.append(name);
    if (path.size() > 1 && path.back() == '/')
        path.pop_back();
    m_report.problems.append(NodeStore::displayString(path) + QStringLiteral(": ") +
                             QString::fromLocal8Bit(std::strerror(error)));
    m_report.problemPaths.push_back(std::move(path));
}

// Settles what the enumeration could not tell: where a link points, or an unknown kind.
Kind Walk::classify(FileSystem::Handle folder, FolderListing& listing, std::size_t i,
                    NodeStore::Id folderNode)
{
    Kind kind = listing.kind(i);
    if (kind != Kind::Unknown && kind != Kind::Link)
        return kind;
    FileStat st;
    if (kind == Kind::Unknown) {
        if (const int error = m_fs.stat(folder, listing.cName(i), false, st)) {
            problem(folderNode, listing.name(i), error);
            kind = Kind::Gone;
        } else if (S_ISLNK(st.mode)) {
            kind = Kind::Link;
        } else if (S_ISDIR(st.mode)) {
            kind = Kind::Folder;
        } else if (S_ISREG(st.mode)) {
            kind = Kind::File;
        } else {
            kind = Kind::Special;
        }
    }
    if (kind == Kind::Link) {
        const int error = m_fs.stat(folder, listing.cName(i), true, st);
        if (error == 0)
            kind = S_ISDIR(st.mode)   ? Kind::FolderLink
                   : S_ISREG(st.mode) ? Kind::File
                                      : Kind::Special;
        else
            kind = Kind::File; // broken: listed with the link's own properties
    }
    listing.setKind(i, kind);
    return kind;
}

void Walk::RecurseFiles2(NodeStore::Id folderNode, FileSystem::Handle folder, int levelsDown)
{
    FolderListing& listing = listingAt(levelsDown);
    if (const int error = m_fs.list(folder, listing)) {
        // Unreadable, or failed part-way: the folder keeps what was read.
        problem(folderNode, {}, error);
        if (levelsDown == 0 && listing.size() == 0)
            m_report.startFolderRead = false;
    }

    // Folder pass: every subfolder gets a node, and is listed at once when the depth allows.
    for (std::size_t i = 0; i < listing.size(); ++i) {
        const Kind kind = classify(folder, listing, i, folderNode);
        if (kind != Kind::Folder && kind != Kind::FolderLink)
            continue;
        const std::string_view name = listing.name(i);
        const NodeStore::Id node = m_tree.addChild(folderNode, name, true, name);
        if (node == NodeStore::npos)
            continue;
        ++m_report.dirCount;
        counted();
        if (kind == Kind::FolderLink || !LevelsRule(m_controls.levelsText()).opens(levelsDown))
            continue;
        FileSystem::Handle sub = -1;
        if (const int error = m_fs.openSubfolder(folder, listing.cName(i), sub)) {
            problem(node, {}, error);
            continue;
        }
        RecurseFiles2(node, sub, levelsDown + 1);
        m_fs.closeFolder(sub);
    }

    // File pass: the files that match the File Types pattern, read once for this pass.
    const FileTypesPattern pattern(m_controls.fileTypesText());
    for (std::size_t i = 0; i < listing.size(); ++i) {
        if (listing.kind(i) != Kind::File)
            continue;
        const std::string_view name = listing.name(i);
        if (!pattern.matches(name))
            continue;
        bool read = true;
        if (const int error = GetFileInfo(m_fs, folder, listing.cName(i), m_info)) {
            problem(folderNode, name, error);
            if (error == ENOENT)
                continue; // vanished since the listing: left out
            // Listed with what could be read: the name and the type it gives.
            read = false;
        } else if (m_info.System) {
            continue; // became a special file since the listing: never listed
        }
        m_line.build(m_text, name, m_info, DetailTicks::read(m_controls));
        const NodeStore::Details details = DetailsOf(m_info);
        if (m_tree.addChild(folderNode, name, false, m_text, read ? &details : nullptr) ==
            NodeStore::npos)
            continue;
        ++m_report.fileCount;
        counted();
    }
}

} // namespace

QString ScanReport::problemReason(qsizetype i) const
{
    if (i < 0 || i >= problems.size())
        return {};
    if (std::size_t(i) >= problemPaths.size())
        return problems[i];
    return problems[i].mid(NodeStore::displayString(problemPaths[i]).size() + 2);
}

ScanReport SearchDir(ScanControls& controls, NodeStore& treeView1, FileSystem& fs)
{
    BusyGuard busy(controls);
    ScanReport report;
    controls.showCounts(0, 0);
    treeView1.clear();
    std::string start = controls.startFolder();
    if (start.empty() || start.back() != '/')
        start.push_back('/');
    const NodeStore::Id root = treeView1.add(NodeStore::npos, start, start);

    Walk walk(controls, treeView1, fs, report);
    FileSystem::Handle folder = -1;
    if (const int error = fs.openFolder(start, folder)) {
        walk.problem(root, {}, error);
        report.startFolderRead = false;
        return report;
    }
    walk.RecurseFiles2(root, folder, 0);
    fs.closeFolder(folder);
    return report;
}

ScanReport SearchDir(ScanControls& controls, NodeStore& treeView1)
{
    PosixFileSystem fs;
    return SearchDir(controls, treeView1, fs);
}

} // namespace quillmap
