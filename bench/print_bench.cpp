// The print benchmark: builds a tree of N lines in memory, writes the same lines as a plain
// listing (for the comparison with a text-to-PDF pipeline) and prints the tree into a PDF with
// the Print command's settings, timing the print alone.
// usage: print_bench LINES OUT.pdf [LISTING.txt]
#include "platform/print/QtPrintBackend.h"
#include "printing/CPrintTvw.h"
#include "printing/DirectoryPrint.h"
#include "printing/PrintJob.h"
#include "tree/NodeStore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>

#include <sys/resource.h>

#include <cstdio>
#include <string>

using namespace quillmap;

namespace {

// The platform's printers and PDF writer, as the window and quillmap_list print through them.
PrintBackend& backend()
{
    static QtPrintBackend platform;
    return platform;
}

struct Builder
{
    NodeStore& store;
    long target;
    FILE* listing;

    void add(NodeStore::Id parent, const std::string& name, bool folder, int depth)
    {
        std::string text = name;
        if (!folder) {
            const unsigned h = static_cast<unsigned>(store.size() * 2654435761u);
            text += "  " + std::to_string(1 + h % 28) + "/Mar/20" + std::to_string(10 + h % 15) +
                    "  10:" + std::to_string(10 + h % 50) + ":" + std::to_string(10 + h % 49) +
                    "  " + std::to_string(h % 900000);
        }
        const NodeStore::Id id = store.addChild(parent, name, folder, text);
        if (listing)
            std::fprintf(listing, "%s%s\n", std::string(depth * 2, ' ').c_str(), text.c_str());
        if (folder)
            fill(id, depth + 1);
    }

    // Twenty files, then up to ten subfolders, four levels deep, until the target is reached.
    void fill(NodeStore::Id folder, int depth)
    {
        for (int i = 0; i < 20 && long(store.size()) < target; ++i)
            add(folder, "file_" + std::to_string(store.size()) + ".txt", false, depth);
        for (int i = 0; i < 10 && depth < 5 && long(store.size()) < target; ++i)
            add(folder, "Folder " + std::to_string(depth) + "-" + std::to_string(i), true, depth);
    }
};

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: print_bench LINES OUT.pdf [LISTING.txt]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const long lines = std::stol(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    FILE* listing = argc > 3 ? std::fopen(argv[3], "w") : nullptr;

    NodeStore store;
    const NodeStore::Id root = store.add(NodeStore::npos, "/bench/", "/bench/");
    if (listing)
        std::fprintf(listing, "/bench/\n");
    Builder builder{store, lines, listing};
    while (long(store.size()) < lines)
        builder.fill(root, 1);
    if (listing)
        std::fclose(listing);
    const long beforeKiB = peakKiB();

    const auto print = NewDirectoryPrint(store);
    QString error;
    QElapsedTimer timer;
    timer.start();
    const bool ok = PrintToPdfFile(*print, backend(), out, &error);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!ok) {
        std::fprintf(stderr, "print_bench: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("lines %ld  print %.3f s  (%.0f lines/s)  pdf %.1f MB  store %.1f MB  "
                "peak RSS before print %.1f MB, after %.1f MB\n",
                long(store.size()), seconds, store.size() / seconds, QFile(out).size() / 1048576.0,
                store.memoryBytes() / 1048576.0, beforeKiB / 1024.0, peakKiB() / 1024.0);
    return 0;
}
