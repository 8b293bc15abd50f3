// The Print Preview benchmark, beside the search it follows, in one process: the real main
// window offscreen searches DIR with all twelve details ticked (Levels ALL), then File > Print
// Preview opens. Prints the search's time and peak memory (maximum resident set so far), the
// time from the click to the first page drawn and to the whole document shown, and the peak
// memory at the end against the search's.
//
// usage: preview_bench DIR
#include "bench/BenchClock.h"
#include "bench/WindowSearch.h"
#include "main_window/PdfPreview.h"

#include <QAction>
#include <QApplication>
#include <QPdfPageRenderer>
#include <QPdfView>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace quillmap;
using quillmap::bench::now;
using quillmap::bench::statusKb;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: preview_bench DIR\n");
        return 2;
    }
    // The user's settings (a sort order, print settings) would change what is measured.
    quillmap::bench::BenchApplication app(argc, argv);
    FormMain window;
    const double searchSeconds = quillmap::bench::searchInWindow(window, argv[1]);
    if (searchSeconds < 0) {
        std::fprintf(stderr, "preview_bench: cannot open %s\n", argv[1]);
        return 2;
    }
    const long searchPeakKb = statusKb("VmHWM:");

    double clicked = 0;
    double firstDrawn = -1;
    double complete = -1;
    int pages = 0;
    // Watches for the preview, its first page drawn and its whole document shown, then closes it.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* preview = qobject_cast<PdfPreview*>(QApplication::activeModalWidget());
        if (!preview || preview->property("watched").toBool())
            return;
        preview->setProperty("watched", true);
        auto* renderer = preview->findChild<QPdfPageRenderer*>();
        if (renderer)
            QObject::connect(renderer, &QPdfPageRenderer::pageRendered, preview, [&] {
                if (firstDrawn < 0)
                    firstDrawn = now() - clicked;
            });
        QObject::connect(preview, &PdfPreview::pagesShownChanged, preview, [&, preview](bool all) {
            if (!all)
                return;
            complete = now() - clicked;
            pages = preview->pagesShown();
            // The last page drawn too, then the preview closes.
            preview->findChild<QPdfView*>()->grab();
            QTimer::singleShot(500, preview, &QDialog::reject);
        });
    });
    watch.start(5);
    clicked = now();
    window.MNU_PrintPreview->trigger();
    const long peakKb = statusKb("VmHWM:");

    std::printf("tree %s (%s)\n", argv[1], qPrintable(window.statusText()));
    std::printf("  search               %8.3f s, peak memory %8.1f MB\n", searchSeconds,
                searchPeakKb / 1024.0);
    std::printf("  preview: first page  %8.3f s  (target <= 2 s: %s)\n", firstDrawn,
                firstDrawn >= 0 && firstDrawn <= 2 ? "met" : "MISSED");
    std::printf("  preview: all %6d pages %6.3f s\n", pages, complete);
    std::printf("  peak memory with the preview %8.1f MB = %.2fx the search's (target <= 1.2x: "
                "%s)\n",
                peakKb / 1024.0, double(peakKb) / double(searchPeakKb),
                double(peakKb) <= 1.2 * double(searchPeakKb) ? "met" : "MISSED");
    return firstDrawn >= 0 && complete >= 0 ? 0 : 1;
}
