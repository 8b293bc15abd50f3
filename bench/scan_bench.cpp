// The scan against the bare minimum walk and find, on the same tree in the same run.
//
// usage: scan_bench FLOOR_PROGRAM DIR [ROUNDS]
// Runs the real scan (all twelve details ticked, into the real node store), the floor walk and
// `find DIR -printf '%y %s %A@ %C@ %T@ %p\n'` ROUNDS times each, interleaved, and prints the best
// time of each with the ratios, and the scan's peak memory beyond the node texts.
#include "platform/tree/NodeStore.h"
#include "scan/ScanControls.h"
#include "scan/SearchDir.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace quillmap;

namespace {

class BenchControls : public ScanControls
{
public:
    explicit BenchControls(std::string folder) : m_folder(std::move(folder)) {}
    std::string startFolder() const override { return m_folder; }
    QString levelsText() const override { return QStringLiteral("ALL"); }
    QString fileTypesText() const override { return QStringLiteral("*.*"); }
    bool isTicked(int) const override { return true; }
    void showCounts(double dirs, double files) override
    {
        m_dirs = dirs;
        m_files = files;
    }
    void setBusy(bool) override {}
    double m_dirs = 0, m_files = 0;

private:
    std::string m_folder;
};

long statusKb(const char* field)
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

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Runs a program with its output thrown away; returns the wall time in seconds.
double runProgram(const std::vector<const char*>& argv)
{
    const double start = now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char*> args;
        for (const char* a : argv)
            args.push_back(const_cast<char*>(a));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double t = now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "warning: %s exited with status %d\n", argv[0], status);
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: scan_bench FLOOR_PROGRAM DIR [ROUNDS]\n");
        return 2;
    }
    const char* floor = argv[1];
    const char* dir = argv[2];
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;

    runProgram({floor, dir}); // warm the caches

    // A scan of a tiny tree first, so that code and locale data touched for the first time
    // don't count as memory of the nodes.
    {
        char warm[] = "/tmp/scan_bench_warm_XXXXXX";
        if (mkdtemp(warm)) {
            const std::string w = warm;
            mkdir((w + "/sub").c_str(), 0755);
            for (const char* f : {"/a.txt", "/b.tar.gz", "/sub/c"})
                close(open((w + f).c_str(), O_CREAT | O_WRONLY, 0644));
            BenchControls warmControls(w);
            NodeStore warmStore;
            SearchDir(warmControls, warmStore);
            for (const char* f : {"/a.txt", "/b.tar.gz", "/sub/c", "/sub", ""})
                remove((w + f).c_str());
        }
    }

    BenchControls controls(dir);
    const long rssBefore = statusKb("VmRSS:");
    NodeStore store;
    double scanBest = 1e9;
    {
        const double start = now();
        const ScanReport report = SearchDir(controls, store);
        scanBest = now() - start;
        if (!report.problems.isEmpty())
            std::fprintf(stderr, "warning: %lld entries could not be read\n",
                         static_cast<long long>(report.problems.size()));
    }
    const long peak = statusKb("VmHWM:");
    const std::size_t nodes = store.size();
    const std::size_t textBytes = store.textBytes();
    const double beyondText = (double(peak - rssBefore) * 1024.0 - double(textBytes)) /
                              double(std::max<std::size_t>(1, nodes));

    double floorBest = 1e9, findBest = 1e9, scanUser = 1e9, scanSystem = 1e9;
    for (int r = 0; r < rounds; ++r) {
        floorBest = std::min(floorBest, runProgram({floor, dir}));
        findBest =
            std::min(findBest, runProgram({"find", dir, "-printf", "%y %s %A@ %C@ %T@ %p\n"}));
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const double start = now();
        SearchDir(controls, store);
        scanBest = std::min(scanBest, now() - start);
        getrusage(RUSAGE_SELF, &after);
        const auto seconds = [](const timeval& a, const timeval& b) {
            return double(b.tv_sec - a.tv_sec) + double(b.tv_usec - a.tv_usec) / 1e6;
        };
        scanUser = std::min(scanUser, seconds(before.ru_utime, after.ru_utime));
        scanSystem = std::min(scanSystem, seconds(before.ru_stime, after.ru_stime));
    }

    std::printf("tree %s: %zu nodes (Dirs = %.0f Files = %.0f), node texts %zu bytes\n", dir, nodes,
                controls.m_dirs, controls.m_files, textBytes);
    std::printf("  scan   %8.3f s   (%.2f x floor, %.2f x find)\n", scanBest, scanBest / floorBest,
                scanBest / findBest);
    std::printf("           (user %.3f s, system %.3f s, least of the rounds)\n", scanUser,
                scanSystem);
    std::printf("  floor  %8.3f s\n", floorBest);
    std::printf("  find   %8.3f s\n", findBest);
    std::printf("  peak RSS %ld KiB (before the scan %ld KiB), node store %zu bytes;"
                " %.1f bytes a node beyond the texts\n",
                peak, rssBefore, store.memoryBytes(), beyondText);
    std::printf("  targets: scan <= 1.5 x floor: %s; scan < find: %s; <= 100 bytes a node: %s\n",
                scanBest <= 1.5 * floorBest ? "met" : "MISSED",
                scanBest < findBest ? "met" : "MISSED", beyondText <= 100 ? "met" : "MISSED");
    return 0;
}
