#include "scan/GetFileInfo.h"

#include <cerrno>
#include <charconv>
#include <sys/stat.h>

namespace quillmap {

void FileInfo::setAttributes(std::uint32_t attributes)
{
    Compressed = attributes & kCompressed;
    Archive = attributes & kArchive;
    System = attributes & kSystem;
    Hidden = attributes & kHidden;
    ReadOnly = attributes & kReadOnly;
    Normal = attributes == 0;
}

std::uint32_t AttributesOf(std::string_view name, const FileStat& stat)
{
    std::uint32_t a = 0;
    if (!(stat.mode & S_IWUSR))
        a |= FileInfo::kReadOnly;
    if (!name.empty() && name.front() == '.')
        a |= FileInfo::kHidden;
    if (S_ISFIFO(stat.mode) || S_ISSOCK(stat.mode) || S_ISCHR(stat.mode) || S_ISBLK(stat.mode))
        a |= FileInfo::kSystem;
    if (S_ISDIR(stat.mode))
        a |= FileInfo::kFolder;
    if (stat.archive)
        a |= FileInfo::kArchive;
    if (stat.compressed)
        a |= FileInfo::kCompressed;
    return a;
}

namespace {

void setTypeFromName(FileInfo& info, std::string_view name)
{
    const std::size_t dot = name.find('.');
    if (dot == std::string_view::npos)
        info.FileType.clear();
    else
        info.FileType.assign(name.substr(dot + 1));
}

} // namespace

void FillFileInfo(FileInfo& info, std::string_view name, const FileStat& stat)
{
    info.setAttributes(AttributesOf(name, stat));
    if (stat.hasBirth)
        info.DateCreated = stat.born;
    else
        info.DateCreated.reset();
    info.DateLastAccessed = stat.accessed;
    info.DateLastModified = stat.modified;
    setTypeFromName(info, name);
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, stat.size).ptr;
    info.Size.assign(digits, end);
}

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

void FillFileInfo(FileInfo& info, std::string_view name, const NodeStore::Details& details)
{
    info.setAttributes(details.attributes);
    info.DateCreated = details.created;
    info.DateLastAccessed = details.accessed;
    info.DateLastModified = details.modified;
    setTypeFromName(info, name);
    if (details.size) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, *details.size).ptr;
        info.Size.assign(digits, end);
    } else {
        info.Size.clear();
    }
}

int ReadFileStat(FileSystem& fs, FileSystem::Handle folder, const char* name, FileStat& stat)
{
    int error = fs.stat(folder, name, true, stat);
    if (error == ENOENT || error == ELOOP || error == ENOTDIR || error == EACCES) {
        // A broken link (to nothing, into a loop, or through a file) and one whose target may
        // not be looked at are shown with their own properties.
        FileStat own;
        if (fs.stat(folder, name, false, own) == 0 && S_ISLNK(own.mode)) {
            stat = own;
            error = 0;
        }
    }
    return error;
}

void FillFileInfo(FileInfo& info, const char* name, int error, const FileStat& stat)
{
    if (error != 0) {
        // What the name alone tells: the type, and hidden for a leading dot.
        info = FileInfo{};
        info.Hidden = name[0] == '.';
        setTypeFromName(info, name);
        return;
    }
    FillFileInfo(info, name, stat);
}

int GetFileInfo(FileSystem& fs, FileSystem::Handle folder, const char* name, FileInfo& info)
{
    FileStat stat;
    const int error = ReadFileStat(fs, folder, name, stat);
    FillFileInfo(info, name, error, stat);
    return error;
}

} // namespace quillmap
