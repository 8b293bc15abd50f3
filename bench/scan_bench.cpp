// The scan against the bare minimum walk and find, on the same tree in the same run.
//
// usage: scan_bench FLOOR_PROGRAM LIST_PROGRAM DIR [ROUNDS] [--cold]
// Runs the real scan (all twelve details ticked, into the real node store), the floor walk,
// `find DIR -printf '%y %s %A@ %C@ %T@ %p\n'` and `quillmap_list --details all` in each format
// ROUNDS times each, interleaved, and prints the best time of each with the ratios, the peak
// memory of each program and the scan's memory beyond the node texts. With --cold, one more run
// of find, the floor walk and the text listing each after dropping the page cache (where the
// system permits it). QUILLMAP_LIST_BEFORE names another quillmap_list to show beside it.
#include "bench/BenchClock.h"
#include "platform/files/PosixFileSystem.h"
#include "scan/ScanControls.h"
#include "scan/SearchDir.h"
#include "tree/NodeStore.h"

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

using quillmap::bench::now;
using quillmap::bench::statusKb;

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

struct Run
{
    double seconds = 0;
    long peakKb = 0;
    double cpu = 0; // user and system time
};

std::string g_measure; // the run_measured program beside this one

// Runs a program with its output thrown away; returns the wall time and its peak memory.
Run runMeasured(const std::vector<const char*>& argv)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    const double start = now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        dup2(pipeFds[1], 3);
        std::vector<char*> args{const_cast<char*>(g_measure.c_str())};
        for (const char* a : argv)
            args.push_back(const_cast<char*>(a));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    const double t = now() - start;
    char text[64] = {};
    const ssize_t n = read(pipeFds[0], text, sizeof text - 1);
    close(pipeFds[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "warning: %s exited with status %d\n", argv[0], status);
    Run run{t, 0, 0};
    double user = 0, system = 0;
    if (n > 0 && std::sscanf(text, "%ld %lf %lf", &run.peakKb, &user, &system) == 3)
        run.cpu = user + system;
    return run;
}

double runProgram(const std::vector<const char*>& argv)
{
    return runMeasured(argv).seconds;
}

// Empties the page cache (and the dentry and inode caches); false where not permitted.
bool dropCaches()
{
    sync();
    const int fd = open("/proc/sys/vm/drop_caches", O_WRONLY);
    if (fd < 0)
        return false;
    const bool ok = write(fd, "3", 1) == 1;
    close(fd);
    return ok;
}

struct Row
{
    std::string label;
    std::vector<const char*> argv;
    Run best{1e9, 0, 1e9};
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: scan_bench FLOOR_PROGRAM LIST_PROGRAM DIR [ROUNDS] [--cold]\n");
        return 2;
    }
    const char* floor = argv[1];
    const char* list = argv[2];
    const char* dir = argv[3];
    const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
    const bool cold = argc > 5 && std::strcmp(argv[5], "--cold") == 0;
    const char* before = std::getenv("QUILLMAP_LIST_BEFORE");
    g_measure = argv[0];
    g_measure = g_measure.substr(0, g_measure.rfind('/') + 1) + "run_measured";
    const char* findFormat = "%y %s %A@ %C@ %T@ %p\n";

    runProgram({floor, dir}); // warm the caches
    PosixFileSystem fs;

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
            SearchDir(warmControls, warmStore, fs);
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
        const ScanReport report = SearchDir(controls, store, fs);
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

    std::vector<Row> rows = {
        {"floor walk", {floor, dir}},
        {"find -printf", {"find", dir, "-printf", findFormat}},
        {"list --format text", {list, "--details", "all", "--format", "text", dir}},
        {"list --format tsv", {list, "--details", "all", "--format", "tsv", dir}},
        {"list --format json", {list, "--details", "all", "--format", "json", dir}},
        {"list tsv, no details", {list, "--format", "tsv", dir}},
    };
    if (before && *before) {
        for (const char* format : {"text", "tsv", "json"})
            rows.push_back({std::string("before: list ") + format,
                            {before, "--details", "all", "--format", format, dir}});
    }
    double scanUser = 1e9, scanSystem = 1e9;
    for (int r = 0; r < rounds; ++r) {
        for (Row& row : rows) {
            const Run run = runMeasured(row.argv);
            row.best.seconds = std::min(row.best.seconds, run.seconds);
            row.best.peakKb = std::max(row.best.peakKb, run.peakKb);
            row.best.cpu = std::min(row.best.cpu, run.cpu);
        }
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const double start = now();
        SearchDir(controls, store, fs);
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
    const double floorBest = rows[0].best.seconds;
    const double findBest = rows[1].best.seconds;
    // CPU time (user and system) beside the wall time: on a busy machine it varies less.
    std::printf("  %-24s %8s %9s %8s %10s %9s %9s\n", "warm, best of rounds", "seconds", "x floor",
                "x find", "peak MiB", "cpu s", "cpu/floor");
    for (const Row& row : rows)
        std::printf("  %-24s %8.3f %9.2f %8.2f %10.1f %9.3f %9.2f\n", row.label.c_str(),
                    row.best.seconds, row.best.seconds / floorBest, row.best.seconds / findBest,
                    double(row.best.peakKb) / 1024.0, row.best.cpu,
                    row.best.cpu / rows[0].best.cpu);
    std::printf("  %-24s %8.3f %9.2f %8.2f   (user %.3f s, system %.3f s)\n", "scan alone",
                scanBest, scanBest / floorBest, scanBest / findBest, scanUser, scanSystem);
    std::printf("  scan alone: peak RSS %ld KiB (before the scan %ld KiB), node store %zu bytes;"
                " %.1f bytes a node beyond the texts\n",
                peak, rssBefore, store.memoryBytes(), beyondText);
    bool met = true;
    for (std::size_t i = 2; i < 5; ++i)
        met = met && rows[i].best.seconds <= 1.2 * floorBest &&
              rows[i].best.seconds <= 0.8 * findBest;
    std::printf("  targets: listings <= 1.2 x floor and <= 0.8 x find: %s\n",
                met ? "met" : "MISSED");

    if (cold) {
        std::vector<Row> coldRows = {rows[1], rows[0], rows[2]};
        bool dropped = true;
        for (Row& row : coldRows) {
            dropped = dropped && dropCaches();
            row.best = runMeasured(row.argv);
        }
        if (!dropped) {
            std::printf("  cold cache: skipped, the page cache can't be dropped here\n");
        } else {
            const double findCold = coldRows[0].best.seconds;
            std::printf("  %-24s %8s %9s %8s\n", "cold cache, one run", "seconds", "x find", "");
            for (const Row& row : coldRows)
                std::printf("  %-24s %8.3f %9.2f\n", row.label.c_str(), row.best.seconds,
                            row.best.seconds / findCold);
            std::printf("  target: text listing cold <= 0.8 x find cold: %s\n",
                        coldRows[2].best.seconds <= 0.8 * findCold ? "met" : "MISSED");
        }
    }
    return 0;
}
