#pragma once

#include "scan/FileInfo.h"

#include <string>

namespace quillmap {

// The scan's property read for a full path, through the real file system, for tests that look
// at one file. Returns 0 or an errno value.
int GetFileInfo(const std::string& fullPath, FileInfo& info);

} // namespace quillmap
