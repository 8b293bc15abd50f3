// The window's search against quillmap_list's, on the same tree in the same run.
//
// usage: window_bench QUILLMAP_LIST DIR [ROUNDS]
//        window_bench --window DIR          (one search in the real window; used by the above)
// Each round runs the real main window offscreen in a process of its own (all twelve details
// ticked, Levels ALL), timed from the Search click to the tree shown, and quillmap_list with the
// same options writing its text listing to /dev/null, timed from start to exit. Prints the best
// time and the peak memory (maximum resident set) of each, side by side, with the ratios, and
// the processor time of each whole process (user + system, start-up included) for a busy
// machine, where wall times wander.
#include "bench/BenchClock.h"
#include "bench/WindowSearch.h"
#include "main_window/FormMain.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace quillmap;

using quillmap::bench::now;
using quillmap::bench::statusKb;

namespace {

struct Run
{
    double seconds = 0;    // wall time of what is measured
    double cpuSeconds = 0; // user + system time of the whole process
    long peakKb = 0;       // the process's maximum resident set
    bool ok = false;
};

// Starts `argv` with its standard output into `outFd` (or /dev/null when -1) and waits for it.
Run runChild(const std::vector<std::string>& argv, int outFd = -1)
{
    Run run;
    const double start = now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(outFd >= 0 ? outFd : null, 1);
        dup2(null, 2);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = now() - start;
    run.peakKb = usage.ru_maxrss;
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) <= 1; // 1: some entries unreadable
    if (!run.ok)
        std::fprintf(stderr, "warning: %s exited with status %d\n", argv[0].c_str(), status);
    return run;
}

// One search in the window; writes its seconds to standard output.
int windowSearch(int argc, char** argv, const char* dir)
{
    quillmap::bench::BenchApplication app(argc, argv);
    FormMain window;
    const double seconds = quillmap::bench::searchInWindow(window, dir);
    if (seconds < 0)
        return 2;
    std::printf("%.6f %s\n", seconds, qPrintable(window.statusText()));
    return 0;
}

Run windowRun(const char* self, const char* dir, std::string* status)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    Run run = runChild({self, "--window", dir}, pipeFds[1]);
    close(pipeFds[1]);
    char buffer[256] = {};
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer - 1);
    close(pipeFds[0]);
    run.ok = run.ok && n > 0;
    run.seconds = run.ok ? std::atof(buffer) : 0;
    if (run.ok && status)
        *status =
            std::string(buffer, std::strcspn(buffer, "\n")).substr(std::strcspn(buffer, " ") + 1);
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--window") == 0)
        return windowSearch(argc, argv, argv[2]);
    if (argc < 3) {
        std::fprintf(stderr, "usage: window_bench QUILLMAP_LIST DIR [ROUNDS]\n");
        return 2;
    }
    const std::string list = argv[1];
    const char* dir = argv[2];
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const std::vector<std::string> listArgs = {list,  "--levels", "ALL",  "--details",
                                               "all", "--format", "text", dir};

    runChild(listArgs); // warm the caches
    const auto keepBest = [](Run& best, const Run& run) {
        if (!run.ok)
            return;
        best.seconds = best.ok ? std::min(best.seconds, run.seconds) : run.seconds;
        best.cpuSeconds = best.ok ? std::min(best.cpuSeconds, run.cpuSeconds) : run.cpuSeconds;
        best.peakKb = best.ok ? std::min(best.peakKb, run.peakKb) : run.peakKb;
        best.ok = true;
    };
    Run windowBest, listBest;
    std::string status;
    for (int r = 0; r < rounds; ++r) {
        keepBest(windowBest, windowRun(argv[0], dir, &status));
        keepBest(listBest, runChild(listArgs));
    }
    if (!windowBest.ok || !listBest.ok) {
        std::fprintf(stderr, "window_bench: a run failed\n");
        return 1;
    }
    const double timeRatio = windowBest.seconds / listBest.seconds;
    const double memoryRatio = double(windowBest.peakKb) / double(listBest.peakKb);
    std::printf("tree %s (%s), best of %d rounds\n", dir, status.c_str(), rounds);
    std::printf("                 %14s %14s %8s\n", "window search", "quillmap_list", "ratio");
    std::printf("  time           %12.3f s %12.3f s %7.2fx  (target <= 1.2x: %s)\n",
                windowBest.seconds, listBest.seconds, timeRatio,
                timeRatio <= 1.2 ? "met" : "MISSED");
    std::printf("  process CPU    %12.3f s %12.3f s %7.2fx\n", windowBest.cpuSeconds,
                listBest.cpuSeconds, windowBest.cpuSeconds / listBest.cpuSeconds);
    std::printf("  peak memory    %11.1f MB %11.1f MB %7.2fx  (target <= 1.3x: %s)\n",
                windowBest.peakKb / 1024.0, listBest.peakKb / 1024.0, memoryRatio,
                memoryRatio <= 1.3 ? "met" : "MISSED");
    return 0;
}
