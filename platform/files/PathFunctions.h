#pragma once

#include <string>

namespace quillmap::PathFunctions {

// `path` made absolute against the current folder and normalised without asking the file
// system: "." and empty parts dropped, ".." taking off the part before it (never above "/"), no
// trailing "/" except for the root itself. The folder the window opens and the one
// quillmap_list lists are taken this way, so "Data//", "./Data" and "Data" are one folder.
// Returns `path` unchanged when the current folder can't be found.
std::string Normalise(const std::string& path);

// The process's current folder; empty when it can't be found (it was removed, say).
std::string CurrentFolder();

} // namespace quillmap::PathFunctions
