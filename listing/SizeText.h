#pragma once

#include <cstdint>
#include <string>

namespace quillmap {

// A byte count as people read it, in powers of 1024 as `du -h` writes them: "512", "1.5K",
// "23K", "4.0G" (one decimal below 10).
std::string HumanSize(std::uint64_t bytes);

} // namespace quillmap
