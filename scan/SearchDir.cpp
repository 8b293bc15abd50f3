// The folder walk in one file: its folder stack, open-folder budget, read-ahead hand-over and
// filters are one state that every step of the walk reads and changes.
#include "scan/SearchDir.h"

#include "scan/EntryFilter.h"
#include "scan/FileLine.h"
#include "scan/FileSystem.h"
#include "scan/FileTypesPattern.h"
#include "scan/FolderHandle.h"
#include "scan/GetFileInfo.h"
#include "scan/LevelsRule.h"
#include "scan/ReadAhead.h"
#include "scan/ScanControls.h"
#include "scan/ScanFilters.h"
#include "scan/ScanLineFormat.h"
#include "support/SystemErrorText.h"
#include "tree/NodeStore.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace quillmap {

namespace {

using Kind = FolderListing::Kind;

// What a read gives on a mount whose server or daemon went away: ENOTCONN, or for a request
// under way at that moment, ECONNABORTED (FUSE).
bool isMountGone(int error)
{
    return error == ENOTCONN || error == ECONNABORTED;
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
//
// The walk keeps its own stack of folders instead of recursing, so a tree of any depth costs no
// call stack. It keeps at most m_openFolders folders open besides the start folder (as many as
// the open-files limit leaves room for, up to kOpenFolders): a deeper one is closed when the
// walk goes further down, and opened again through ".." of its subfolder when the walk comes
// back up (checked to be the same folder), or else name by name from the start folder. No path
// is ever built, so no path length limits the depth either.
class Walk
{
public:
    Walk(ScanControls& controls, NodeStore& tree, FileSystem& fs, ScanReport& report)
        : m_controls(controls), m_tree(tree), m_fs(fs), m_report(report),
          m_levels(controls.levelsText()), m_pattern(controls.fileTypesText()),
          m_filter(controls.filters()), m_openFolders(openFolders()),
          m_format(std::make_shared<ScanLineFormat>(DetailTicks::read(controls)))
    {
        // File lines are kept as their properties and made when they are read.
        m_tree.setLineFormat(m_format);
    }

    // The rule files above the start folder, where the filters ask for them.
    void startFilter(const std::string& start)
    {
        if (m_filter.active())
            m_filter.start(m_fs, start, m_ruleProblem);
    }
    void run(NodeStore::Id root, FolderHandle folder);
    void problem(NodeStore::Id folderNode, std::string_view name, int error);
    void problemAt(std::string path, int error);

private:
    static constexpr std::size_t kOpenFolders = 32;
    // Descriptors the walk needs besides its open folders: the start folder, a subfolder opened
    // before a folder above is closed, the two that opening a folder again from the start
    // folder holds at once, and a few for the C library (the messages of system errors).
    static constexpr std::size_t kSpareDescriptors = 6;

    // How many folders the walk may keep open: what the open-files limit leaves beside the
    // descriptors the process holds already and the spare ones, at least one.
    static std::size_t openFolders()
    {
        const std::size_t left = ReadAhead::descriptorsLeft();
        return std::clamp<std::size_t>(left > kSpareDescriptors ? left - kSpareDescriptors : 0, 1,
                                       kOpenFolders);
    }

    // A folder being walked: its node, its listing (listingAt(depth)), how far the folder pass
    // got, and its handle while it is open.
    struct Frame
    {
        NodeStore::Id node = NodeStore::npos;
        FolderHandle folder;
        std::size_t next = 0;    // the folder pass's next entry
        FolderIdentity identity; // recorded when the folder is closed early
        int lostError = 0;       // it could not be opened again: the rest of it can't be read
        bool gone = false;       // its mount went away: reported once, nothing more read
        // The files being read ahead: the folder they are read through, the batch being taken
        // and the one after it, with their entries in the listing; where the next batch's
        // files are looked for.
        std::shared_ptr<ReadAhead::Folder> aheadFolder;
        std::shared_ptr<ReadAhead::Batch> ahead;
        std::shared_ptr<ReadAhead::Batch> nextAhead;
        std::vector<std::size_t> aheadEntries;
        std::vector<std::size_t> nextEntries;
        std::size_t aheadTaken = 0; // results of `ahead` taken
        std::size_t aheadScan = 0;
        // The subfolders being read ahead, the same way.
        std::shared_ptr<ReadAhead::Group> group;
        std::shared_ptr<ReadAhead::Group> nextGroup;
        std::size_t groupTaken = 0;
        std::size_t groupScan = 0;
    };

    FolderListing& listingAt(std::size_t depth);
    // Starts reading ahead the next files of the frame's folder (up to a batch's worth).
    std::shared_ptr<ReadAhead::Batch> startAhead(Frame& frame, const FolderListing& listing,
                                                 std::vector<std::size_t>& entries);
    // Starts reading ahead the next subfolders of the frame's folder (up to a group's worth).
    std::shared_ptr<ReadAhead::Group> startGroup(Frame& frame, const FolderListing& listing);
    // Subfolder (entry i) of the top folder, if it was read ahead.
    bool takeSubfolder(Frame& frame, const FolderListing& listing, std::size_t i,
                       ReadAhead::Subfolder& out);
    void finishBatches(Frame& frame);
    void finishGroups(Frame& frame);
    // Finishes everything read ahead through the frame's folder.
    void dropAhead(Frame& frame);
    // Closes the shallowest open folder below the start folder, to be opened again when the
    // walk comes back to it, if it is above frame `keep`; false when there is none.
    bool closeOldest(std::size_t keep);
    // Enters a subfolder the walk opened, or one read ahead (`folder` then empty).
    void enter(NodeStore::Id node, FolderHandle folder, ReadAhead::Subfolder* ahead = nullptr);
    // Continues the folder pass of the top folder; true when it entered a subfolder.
    bool folderPass();
    void filePass();
    void leave();
    // Makes sure the folder at `depth` is open again (or marked lost).
    void reopen(std::size_t depth);
    Kind classify(FileSystem::Handle folder, FolderListing& listing, std::size_t i,
                  NodeStore::Id folderNode);
    // True when `error` says the frame's mount has gone (a network or FUSE mount whose server
    // or daemon went away): the folder is then reported once, like a folder that can't be
    // read, and the rest of it is left out rather than each entry failing in turn.
    bool mountGone(Frame& frame, int error);
    NodeStore::Id addNode(NodeStore::Id parent, const FolderListing& listing, std::size_t i,
                          bool folder, std::string_view text,
                          const NodeStore::Details* details = nullptr);
    // Adds file entry i of the top folder from m_info: as its properties where they give its
    // line back, else with its line as text.
    NodeStore::Id addFile(NodeStore::Id parent, const FolderListing& listing, std::size_t i,
                          bool read);
    // Whether an entry of the same name and kind comes before entry i of the listing.
    static bool clashes(const FolderListing& listing, std::size_t i, bool folder);
    void counted() { m_controls.showCounts(m_report.dirCount, m_report.fileCount); }
    bool stopping()
    {
        if (!m_report.stopped && m_controls.stopRequested())
            m_report.stopped = true;
        return m_report.stopped;
    }

    ScanControls& m_controls;
    NodeStore& m_tree;
    FileSystem& m_fs;
    ScanReport& m_report;
    const LevelsRule m_levels;
    const FileTypesPattern m_pattern;
    EntryFilter m_filter;
    const EntryFilter::Problem m_ruleProblem = [this](const std::string& path, int error) {
        problemAt(path, error);
    };
    const std::size_t m_openFolders;
    const std::shared_ptr<const ScanLineFormat> m_format;
    FileInfo m_info;
    std::string m_text;
    std::vector<Frame> m_frames;
    std::size_t m_firstOpen = 0; // frames from here to the top are open (and frame 0)
    // One listing per depth, kept for the whole scan so a warm walk allocates nothing.
    std::vector<std::unique_ptr<FolderListing>> m_listings;
    // Last, so that its threads stop before the listings they read names from go.
    std::unique_ptr<ReadAhead> m_ahead;
};

FolderListing& Walk::listingAt(std::size_t depth)
{
    while (m_listings.size() <= depth) {
        m_listings.push_back(std::make_unique<FolderListing>());
        m_listings.back()->setKeepHidden(m_filter.keepsDotNames());
    }
    return *m_listings[depth];
}

void Walk::problem(NodeStore::Id folderNode, std::string_view name, int error)
{
    std::string path = m_tree.key(folderNode);
    path.append(name);
    problemAt(std::move(path), error);
}

void Walk::problemAt(std::string path, int error)
{
    if (path.size() > 1 && path.back() == '/')
        path.pop_back();
    m_report.problems.append(NodeStore::displayString(path) + QStringLiteral(": ") +
                             SystemErrorText(error));
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
        const int error =
            folder < 0 ? m_frames.back().lostError : m_fs.stat(folder, listing.cName(i), false, st);
        if (error) {
            if (!mountGone(m_frames.back(), error))
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
        const int error =
            folder < 0 ? m_frames.back().lostError : m_fs.stat(folder, listing.cName(i), true, st);
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

// Adds entry i of the top folder's listing. Its key can only clash with an entry of the same
// name before it in the listing (sorted, so right before it), which a folder read while it
// changes can give; a name holding "/" (which no real folder gives) is checked in full.
NodeStore::Id Walk::addNode(NodeStore::Id parent, const FolderListing& listing, std::size_t i,
                            bool folder, std::string_view text, const NodeStore::Details* details)
{
    const std::string_view name = listing.name(i);
    if (name.find('/') != std::string_view::npos)
        return m_tree.addChild(parent, name, folder, text, details);
    if (clashes(listing, i, folder))
        return NodeStore::npos;
    return m_tree.appendChild(parent, name, folder, text, details);
}

bool Walk::clashes(const FolderListing& listing, std::size_t i, bool folder)
{
    const std::string_view name = listing.name(i);
    for (std::size_t j = i; j-- > 0 && listing.name(j) == name;) {
        const Kind kind = listing.kind(j);
        if (folder ? kind == Kind::Folder || kind == Kind::FolderLink : kind == Kind::File)
            return true;
    }
    return false;
}

NodeStore::Id Walk::addFile(NodeStore::Id parent, const FolderListing& listing, std::size_t i,
                            bool read)
{
    const std::string_view name = listing.name(i);
    if (!read) {
        m_format->makeLine(m_text, name, m_info);
        return addNode(parent, listing, i, false, m_text);
    }
    const NodeStore::Details details = DetailsOf(m_info);
    if (m_info.Normal == (details.attributes == 0) && name.find('/') == std::string_view::npos)
        return clashes(listing, i, false) ? NodeStore::npos
                                          : m_tree.appendLine(parent, name, details);
    m_format->makeLine(m_text, name, m_info);
    return addNode(parent, listing, i, false, m_text, &details);
}

std::shared_ptr<ReadAhead::Batch> Walk::startAhead(Frame& frame, const FolderListing& listing,
                                                   std::vector<std::size_t>& entries)
{
    std::vector<const char*> names;
    entries.clear();
    frame.aheadScan = m_ahead->nextFiles(listing, frame.aheadScan, entries, names);
    std::shared_ptr<ReadAhead::Batch> batch;
    if (names.size() >= 2)
        batch = m_ahead->start(frame.aheadFolder, std::move(names));
    if (!batch)
        entries.clear(); // read by the walk itself
    return batch;
}

std::shared_ptr<ReadAhead::Group> Walk::startGroup(Frame& frame, const FolderListing& listing)
{
    std::vector<const char*> names;
    std::vector<std::size_t> entries;
    std::size_t i = frame.groupScan;
    for (; i < listing.size() && names.size() < ReadAhead::kMaxGroupFolders; ++i)
        if (listing.kind(i) == Kind::Folder) {
            entries.push_back(i);
            names.push_back(listing.cName(i));
        }
    frame.groupScan = i;
    return m_ahead->startGroup(frame.aheadFolder, std::move(names), std::move(entries));
}

bool Walk::takeSubfolder(Frame& frame, const FolderListing& listing, std::size_t i,
                         ReadAhead::Subfolder& out)
{
    while (frame.group) {
        ReadAhead::Group& group = *frame.group;
        // Subfolders passed over (a name given twice) are never taken.
        while (frame.groupTaken < group.size() && group.entry(frame.groupTaken) < i)
            ++frame.groupTaken;
        if (frame.groupTaken < group.size() && group.entry(frame.groupTaken) > i)
            return false;
        if (frame.groupTaken < group.size()) {
            const std::size_t k = frame.groupTaken++;
            // The next group is read while this one is taken.
            if (!frame.nextGroup && frame.groupScan < listing.size())
                frame.nextGroup = startGroup(frame, listing);
            return m_ahead->takeFolder(group, k, out);
        }
        m_ahead->finishGroup(frame.group);
        frame.group = std::move(frame.nextGroup);
        frame.groupTaken = 0;
    }
    return false;
}

void Walk::finishGroups(Frame& frame)
{
    for (auto* group : {&frame.group, &frame.nextGroup})
        if (*group) {
            m_ahead->finishGroup(*group);
            group->reset();
        }
}

void Walk::finishBatches(Frame& frame)
{
    for (auto* batch : {&frame.ahead, &frame.nextAhead})
        if (*batch) {
            m_ahead->finish(*batch);
            batch->reset();
        }
}

void Walk::dropAhead(Frame& frame)
{
    finishBatches(frame);
    frame.aheadEntries.clear();
    frame.nextEntries.clear();
    frame.aheadTaken = 0;
    finishGroups(frame);
    frame.aheadFolder.reset();
}

bool Walk::closeOldest(std::size_t keep)
{
    if (m_firstOpen == 0 || m_firstOpen >= keep)
        return false;
    // Noting which folder it was, so it can be checked when it is opened again.
    Frame& oldest = m_frames[m_firstOpen++];
    if (oldest.folder.isOpen() && m_fs.identify(oldest.folder.get(), oldest.identity) != 0)
        oldest.identity = {}; // can't be told again: opening it again will fail the check
    // What was to be read ahead through it is given up (the walk reads it itself when it
    // comes back), so that no descriptor of it is kept open.
    if (oldest.aheadFolder)
        dropAhead(oldest);
    oldest.folder.reset();
    return true;
}

void Walk::enter(NodeStore::Id node, FolderHandle folder, ReadAhead::Subfolder* ahead)
{
    const std::size_t depth = m_frames.size();
    listingAt(depth);
    if (ahead)
        m_listings[depth].swap(ahead->listing);
    FolderListing& listing = *m_listings[depth];
    const int listError = ahead ? ahead->listError : m_fs.list(folder.get(), listing);
    if (listError) {
        // Unreadable, or failed part-way: the folder keeps what was read.
        problem(node, {}, listError);
        if (depth == 0 && listing.size() == 0)
            m_report.startFolderRead = false;
    }
    // Keep the number of open folders bounded.
    if (depth > 0 && depth - m_firstOpen >= m_openFolders)
        closeOldest(depth);
    Frame& frame = m_frames.emplace_back();
    frame.node = node;
    frame.gone = isMountGone(listError);
    if (ahead) {
        // Read ahead: its first files too.
        frame.folder = FolderHandle(m_fs, ahead->folder->handOver());
        m_fs.adoptPlainSubfolder(frame.folder.get());
        frame.aheadFolder = std::move(ahead->folder);
        frame.ahead = std::move(ahead->files);
        frame.aheadEntries = std::move(ahead->entries);
        frame.aheadScan = ahead->scanned;
    } else {
        frame.folder = std::move(folder);
    }
    if (m_filter.active()) {
        // What the filters leave out is known before anything in the folder is read.
        m_filter.enter(
            depth == 0 ? std::string_view() : m_tree.name(node), m_fs,
            frame.folder.isOpen() ? frame.folder.get() : -1, listing,
            [this, node] { return m_tree.key(node); }, m_ruleProblem);
        m_filter.mark(listing);
    }
    if (m_ahead && frame.folder.isOpen()) {
        if (!frame.aheadFolder && m_fs.readsAlike(frame.folder.get())) {
            // The files the file pass will read, known already (links and unknown kinds aside).
            frame.aheadFolder = std::make_shared<ReadAhead::Folder>(frame.folder.get());
            frame.ahead = startAhead(frame, listing, frame.aheadEntries);
        } else if (frame.aheadFolder && !frame.ahead && frame.aheadScan < listing.size()) {
            // Read ahead without its files, which only its own rules could choose: now.
            frame.ahead = startAhead(frame, listing, frame.aheadEntries);
        }
        // The subfolders the folder pass will enter (those the listing calls folders).
        if (frame.aheadFolder && m_fs.onPlainMount(frame.folder.get()) &&
            m_levels.opens(double(depth)))
            frame.group = startGroup(frame, listing);
        if (!frame.ahead && !frame.group)
            frame.aheadFolder.reset();
    }
    if (depth == 0)
        m_firstOpen = 1;
}

bool Walk::folderPass()
{
    Frame& frame = m_frames.back();
    const std::size_t depth = m_frames.size() - 1;
    FolderListing& listing = *m_listings[depth];
    // Every subfolder gets a node, and is listed at once when the depth allows.
    while (frame.next < listing.size() && !frame.gone) {
        if (stopping())
            return false;
        const std::size_t i = frame.next++;
        const FileSystem::Handle folder = frame.folder.isOpen() ? frame.folder.get() : -1;
        const Kind listed = listing.kind(i);
        const Kind kind = classify(folder, listing, i, frame.node);
        // An entry whose kind the listing did not tell is filtered once it is known.
        if (m_filter.active() && (listed == Kind::Unknown || listed == Kind::Link) &&
            (kind == Kind::File || kind == Kind::Folder || kind == Kind::FolderLink) &&
            m_filter.excludes(listing.name(i), kind == Kind::File ? EntryFilter::Kind::File
                                               : kind == Kind::Folder
                                                   ? EntryFilter::Kind::Folder
                                                   : EntryFilter::Kind::FolderLink)) {
            listing.setKind(i, Kind::Excluded);
            continue;
        }
        if (kind != Kind::Folder && kind != Kind::FolderLink)
            continue;
        const std::string_view name = listing.name(i);
        const NodeStore::Id node = addNode(frame.node, listing, i, true, name);
        if (node == NodeStore::npos)
            continue;
        ++m_report.dirCount;
        counted();
        if (kind == Kind::FolderLink || !m_levels.opens(double(depth)))
            continue;
        if (folder >= 0 && kind == Kind::Folder) {
            ReadAhead::Subfolder ahead;
            if (takeSubfolder(frame, listing, i, ahead)) {
                enter(node, {}, &ahead);
                return true;
            }
        }
        FolderHandle sub;
        int error = folder < 0 ? frame.lostError
                               : FolderHandle::openSub(m_fs, folder, listing.cName(i), sub);
        // Out of descriptors (the process opened more since the scan began): a folder above
        // is closed, to be opened again later, rather than this one left out.
        while ((error == EMFILE || error == ENFILE) && closeOldest(depth))
            error = FolderHandle::openSub(m_fs, folder, listing.cName(i), sub);
        if (error) {
            if (!mountGone(frame, error))
                problem(node, {}, error);
            continue;
        }
        enter(node, std::move(sub));
        return true;
    }
    return false;
}

// The files that match the File Types pattern.
void Walk::filePass()
{
    Frame& frame = m_frames.back();
    const FolderListing& listing = *m_listings[m_frames.size() - 1];
    const FileSystem::Handle folder = frame.folder.isOpen() ? frame.folder.get() : -1;
    for (std::size_t i = 0; i < listing.size() && !frame.gone && !m_filter.foldersOnly(); ++i) {
        if (stopping())
            break;
        if (listing.kind(i) != Kind::File)
            continue;
        const std::string_view name = listing.name(i);
        if (!m_pattern.matches(name))
            continue;
        bool read = true;
        int error = 0;
        if (frame.aheadTaken < frame.aheadEntries.size() &&
            frame.aheadEntries[frame.aheadTaken] == i) {
            const std::size_t k = frame.aheadTaken++;
            // The next batch is read while this one is taken.
            if (k == 0 && !frame.nextAhead && frame.aheadScan < listing.size())
                frame.nextAhead = startAhead(frame, listing, frame.nextEntries);
            error = m_ahead->take(*frame.ahead, k, m_info);
            if (frame.aheadTaken == frame.aheadEntries.size()) {
                m_ahead->finish(frame.ahead);
                frame.ahead = std::move(frame.nextAhead);
                frame.aheadEntries.swap(frame.nextEntries);
                frame.nextEntries.clear();
                frame.aheadTaken = 0;
            }
        } else {
            error =
                folder < 0 ? frame.lostError : GetFileInfo(m_fs, folder, listing.cName(i), m_info);
        }
        if (error) {
            if (mountGone(frame, error))
                break;
            problem(frame.node, name, error);
            if (error == ENOENT)
                continue; // vanished since the listing: left out
            // Listed with what could be read: the name and the type it gives.
            read = false;
        } else if (m_info.System) {
            continue; // became a special file since the listing: never listed
        }
        if (read) {
            const NodeStore::Details details = DetailsOf(m_info);
            if (!m_filter.keepsFile(details.size, details.modified))
                continue;
        }
        if (addFile(frame.node, listing, i, read) == NodeStore::npos)
            continue;
        ++m_report.fileCount;
        counted();
    }
    // A stop can leave batches not taken to the end.
    finishBatches(frame);
}

bool Walk::mountGone(Frame& frame, int error)
{
    if (!isMountGone(error))
        return false;
    if (!frame.gone)
        problem(frame.node, {}, error);
    frame.gone = true;
    return true;
}

void Walk::reopen(std::size_t depth)
{
    Frame& frame = m_frames[depth];
    if (frame.folder.isOpen() || frame.lostError)
        return;
    const auto sameFolder = [&](const FolderHandle& h) {
        FolderIdentity id;
        return m_fs.identify(h.get(), id) == 0 && id == frame.identity;
    };
    // Up from the subfolder just left, which is still open.
    const Frame& child = m_frames[depth + 1];
    if (child.folder.isOpen()) {
        FolderHandle parent;
        if (FolderHandle::openSub(m_fs, child.folder.get(), "..", parent) == 0 &&
            sameFolder(parent)) {
            frame.folder = std::move(parent);
            m_firstOpen = depth;
            return;
        }
    }
    // Else down from the start folder, by the names the listings hold.
    int error = 0;
    FolderHandle at;
    FileSystem::Handle from = m_frames[0].folder.get();
    for (std::size_t d = 1; d <= depth && error == 0; ++d) {
        const Frame& above = m_frames[d - 1];
        FolderHandle next;
        error = FolderHandle::openSub(m_fs, from, m_listings[d - 1]->cName(above.next - 1), next);
        at = std::move(next);
        from = at.get();
    }
    if (error == 0 && !sameFolder(at))
        error = ENOENT; // moved or replaced during the scan: this folder is gone
    if (error) {
        if (!mountGone(frame, error))
            problem(frame.node, {}, error);
        frame.lostError = error;
    } else {
        frame.folder = std::move(at);
    }
    m_firstOpen = depth;
}

void Walk::leave()
{
    finishGroups(m_frames.back());
    if (m_filter.active())
        m_filter.leave();
    const std::size_t depth = m_frames.size() - 1;
    if (depth > 0 && depth - 1 > 0 && depth - 1 < m_firstOpen)
        reopen(depth - 1);
    m_frames.pop_back();
    if (m_firstOpen > m_frames.size())
        m_firstOpen = m_frames.size();
}

void Walk::run(NodeStore::Id root, FolderHandle folder)
{
    // Read ahead where the file system gives readers for other threads (one a test injects
    // failures through is read in the walk's order on this thread alone), with as many as the
    // start folder's mount is worth.
    if (m_fs.newReader())
        m_ahead = std::make_unique<ReadAhead>(m_pattern, m_filter, m_fs,
                                              m_openFolders + kSpareDescriptors,
                                              m_fs.concurrentReads(folder.get()));
    enter(root, std::move(folder));
    // A stop leaves the folders still open to the frames, which close them as they go.
    while (!m_frames.empty() && !m_report.stopped) {
        if (folderPass())
            continue;
        if (!m_report.stopped)
            filePass();
        leave();
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
    FolderHandle folder;
    if (const int error = FolderHandle::open(fs, start, folder)) {
        walk.problem(root, {}, error);
        report.startFolderRead = false;
        return report;
    }
    walk.startFilter(start);
    walk.run(root, std::move(folder));
    return report;
}

} // namespace quillmap
