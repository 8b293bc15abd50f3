#include "tests/common/FileInfoByPath.h"

#include "platform/files/PosixFileSystem.h"
#include "scan/FolderHandle.h"
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
    FolderHandle folder;
    if (const int error = FolderHandle::open(fs, folderPath, folder))
        return error;
    return GetFileInfo(fs, folder.get(), name.c_str(), info);
}

} // namespace quillmap
