#include "tests/common/FileInfoByPath.h"

#include "platform/files/PosixFileSystem.h"
#include "scan/GetFileInfo.h"

namespace quillmap {

int GetFileInfo(const std::string& fullPath, FileInfo& info)
{
    const std::size_t slash = fullPath.rfind('/');
    const std::string folderPath = slash == std::string::npos ? std::string(".")
                                   : slash == 0               ? std::string("/")
                                                              : fullPath.substr(0, slash);
    const std::string name = slash == std::string::npos ? fullPath : fullPath.substr(slash + 1);
    if (name.empty())
        return EISDIR;
    PosixFileSystem fs;
    FileSystem::Handle folder = -1;
    if (const int error = fs.openFolder(folderPath, folder))
        return error;
    const int error = GetFileInfo(fs, folder, name.c_str(), info);
    fs.closeFolder(folder);
    return error;
}

} // namespace quillmap
