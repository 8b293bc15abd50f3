#include "platform/files/PathFunctions.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace quillmap::PathFunctions {

std::string CurrentFolder()
{
    std::string cwd(4096, '\0');
    while (!::getcwd(cwd.data(), cwd.size())) {
        if (errno != ERANGE)
            return {};
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(std::strlen(cwd.c_str()));
    return cwd;
}

std::string Normalise(const std::string& path)
{
    std::string absolute = path;
    if (absolute.empty() || absolute.front() != '/') {
        const std::string cwd = CurrentFolder();
        if (cwd.empty())
            return path;
        absolute = cwd == "/" ? "/" + path : cwd + "/" + path;
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= absolute.size()) {
        std::size_t end = absolute.find('/', start);
        if (end == std::string::npos)
            end = absolute.size();
        std::string part = absolute.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& part : parts)
        out += "/" + part;
    return out.empty() ? "/" : out;
}

} // namespace quillmap::PathFunctions
