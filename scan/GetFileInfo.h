#pragma once

#include "scan/FileInfo.h"
#include "scan/FileSystem.h"
#include "tree/NodeStore.h"

#include <string>
#include <string_view>

namespace quillmap {

// The attribute value of an entry named `name` with properties `stat`.
std::uint32_t AttributesOf(std::string_view name, const FileStat& stat);

// Fills `info` completely from the entry's name and its properties (no file-system call).
void FillFileInfo(FileInfo& info, std::string_view name, const FileStat& stat);

// The properties a file node keeps as data, whatever details its text shows.
NodeStore::Details DetailsOf(const FileInfo& info);
// Fills `info` completely from a file node's name and the properties it keeps: as the scan
// filled it when DetailsOf(info) gives `details` back and info.Normal is
// `details.attributes == 0` (not so for an entry that had turned into a folder).
void FillFileInfo(FileInfo& info, std::string_view name, const NodeStore::Details& details);

// The scan's path: one property read of `name` in `folder`, following a link to its target (a
// broken link, or one whose target may not be looked at, gives the link's own properties).
// Returns 0 or the errno of the failed read; `info` then holds only what the name tells (its
// type, hidden), with no dates and no size.
int GetFileInfo(FileSystem& fs, FileSystem::Handle folder, const char* name, FileInfo& info);

// GetFileInfo() in two steps, for a read made on another thread: the read alone (0 and
// `stat`, or the errno), then `info` from its result, as GetFileInfo() fills it.
int ReadFileStat(FileSystem& fs, FileSystem::Handle folder, const char* name, FileStat& stat);
void FillFileInfo(FileInfo& info, const char* name, int error, const FileStat& stat);

} // namespace quillmap
