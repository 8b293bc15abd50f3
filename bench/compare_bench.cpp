// Comparing two saved listings against reading them.
//
// usage: compare_bench OLD.json NEW.json [ROUNDS]
// Reads both listings, compares them (as quillmap_list --compare does, without the output),
// ROUNDS times each, and prints the best times with the ratio, and the memory of holding both
// trees against the peak of the comparison.
#include "bench/BenchClock.h"
#include "listing/ListingJsonReader.h"
#include "listing/TreeComparison.h"
#include "scan/SearchRecord.h"
#include "tree/NodeStore.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace quillmap;

using quillmap::bench::cpuNow;
using quillmap::bench::now;
using quillmap::bench::statusKb;

namespace {

bool readListing(const char* path, NodeStore& store)
{
    SearchRecord record;
    ListingJsonReader reader;
    if (reader.read(path, store, record) == ListingJsonReader::Result::Ok)
        return true;
    std::fprintf(stderr, "cannot read %s: %s\n", path, reader.detail().c_str());
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: compare_bench OLD.json NEW.json [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;

    double readBest = 1e9, compareBest = 1e9, readCpu = 1e9, compareCpu = 1e9;
    long rssBefore = 0, rssBoth = 0, peak = 0;
    std::size_t oldNodes = 0, newNodes = 0, bothBytes = 0, mergedNodes = 0;
    TreeComparison::Summary summary;
    for (int r = 0; r < rounds; ++r) {
        rssBefore = r == 0 ? statusKb("VmRSS:") : rssBefore;
        NodeStore saved, current;
        const double start = now(), startCpu = cpuNow();
        if (!readListing(argv[1], saved) || !readListing(argv[2], current))
            return 2;
        const double read = now() - start;
        readCpu = std::min(readCpu, cpuNow() - startCpu);
        if (r == 0) {
            rssBoth = statusKb("VmHWM:");
            oldNodes = saved.size();
            newNodes = current.size();
            bothBytes = saved.memoryBytes() + current.memoryBytes();
        }
        TreeComparison comparison;
        const double compareStart = now(), compareStartCpu = cpuNow();
        comparison.compareInPlace(saved, current); // as quillmap_list --compare does
        const double compared = now() - compareStart;
        compareCpu = std::min(compareCpu, cpuNow() - compareStartCpu);
        if (r == 0) {
            peak = statusKb("VmHWM:");
            mergedNodes = current.size();
            summary = comparison.summary();
        }
        readBest = std::min(readBest, read);
        compareBest = std::min(compareBest, compared);
    }

    const auto n = [&](NodeChange c) {
        return static_cast<unsigned long long>(summary.files[std::size_t(c)] +
                                               summary.folders[std::size_t(c)]);
    };
    std::printf("listings %s (%zu nodes) and %s (%zu nodes): %zu nodes compared\n", argv[1],
                oldNodes, argv[2], newNodes, mergedNodes);
    std::printf("  %llu added, %llu removed, %llu changed, %llu same\n", n(NodeChange::Added),
                n(NodeChange::Removed), n(NodeChange::Changed), n(NodeChange::Same));
    std::printf("  read both  %8.3f s wall, %8.3f s CPU\n", readBest, readCpu);
    std::printf("  compare    %8.3f s wall, %8.3f s CPU   (%.2f x reading both, CPU %.2f x)\n",
                compareBest, compareCpu, compareBest / readBest, compareCpu / readCpu);
    std::printf("  memory: holding both %ld MiB (node stores %zu MiB), peak with the comparison "
                "%ld MiB (%.2f x holding both)\n",
                (rssBoth - rssBefore) / 1024, bothBytes >> 20, (peak - rssBefore) / 1024,
                double(peak - rssBefore) / double(std::max(1L, rssBoth - rssBefore)));
    std::printf("  targets: compare <= reading both: %s\n",
                compareBest <= readBest ? "met" : "MISSED");
    return 0;
}
