#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

// What every benchmark here measures with: a steady clock in seconds, this process's CPU time
// (user + system) in seconds, and a field of this process's /proc status in KiB ("VmHWM:" for
// the peak resident set), -1 when absent.
namespace quillmap::bench {

inline double cpuNow()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

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
