#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// What every benchmark here measures with: a steady clock in seconds, and a field of this
// process's /proc status in KiB ("VmHWM:" for the peak resident set), -1 when absent.
namespace quillmap::bench {

inline double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline long statusKb(const char* field)
{
    FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    long kb = -1;
    const std::size_t n = std::strlen(field);
    while (f && std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0)
            kb = std::atol(line + n + 1);
    if (f)
        std::fclose(f);
    return kb;
}

} // namespace quillmap::bench
