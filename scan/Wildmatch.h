#pragma once

#include <string_view>

namespace quillmap {

// Whether `text` matches the .gitignore pattern `pattern`, with git's wildcards: "?" one byte,
// "*" any run of bytes, "[...]" a set ("!" or "^" negates it, "a-z" ranges, "[:alpha:]" and
// the other POSIX classes of ASCII), "\" quotes the next byte; bytes are compared exactly.
// With `pathname`, "?", "*" and sets never match "/", while "**" between slashes (or at either
// end) matches any number of folders. A pattern that ends inside a set, or names an unknown
// class, matches nothing. Names are bytes; a NUL ends either string, as it does for git.
bool Wildmatch(std::string_view pattern, std::string_view text, bool pathname);

} // namespace quillmap
