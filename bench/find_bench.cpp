// The window's find (Ctrl+F) on a searched tree: the time from a keystroke in the find box to
// the tree repainted with only the matches and the folders leading to them, for each keystroke
// of a few words typed and taken back, and for Esc, which shows the whole tree again.
//
// usage: find_bench DIR [ROUNDS]
// Runs the real main window offscreen at 1600 x 1000, searches DIR with every detail ticked,
// then opens the find box, types and closes it with Esc, ROUNDS times (3 by default); each
// keystroke's best round is shown, wall time and the window thread's processor time (the
// machine may be busy with other work). Beside it stand the filter alone (no view), the floor
// (one bare pass reading every name, less than any find can do) and the budget of 100 ms a
// keystroke.
#include "bench/BenchClock.h"
#include "bench/WindowSearch.h"
#include "main_window/FindBar.h"
#include "main_window/FormMain.h"
#include "main_window/NodeFilter.h"
#include "main_window/NodeModel.h"
#include "main_window/NodeTreeView.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>

#include <ctime>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace quillmap;
using quillmap::bench::now;
using quillmap::bench::statusKb;

namespace {

constexpr double kBudgetMs = 100;

double threadCpu()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// One pass reading every name's bytes, comparing nothing: less than any find can do for a
// keystroke that looks at every name.
double floorMs(const NodeStore& tree)
{
    unsigned sum = 0;
    const double start = now();
    for (NodeStore::Id id = 0; id < tree.size(); ++id)
        for (const char c : tree.name(id))
            sum += static_cast<unsigned char>(c);
    const double ms = (now() - start) * 1000;
    return sum == 1 ? -ms : ms; // the sum is used, so the pass is not left out
}

struct Stroke
{
    std::string text; // the box's text after the key
    std::size_t matches = 0;
    double wallMs = 1e9;
    double cpuMs = 0;
    double filterMs = 1e9;
    double floorMs = 1e9;
};

// Sends one key to `target` as the user's keyboard would, then lets the window do what the key
// asks, once, and paints the tree: the time until the user sees the result.
void keystroke(FormMain& window, QWidget* target, int key, const QString& text, Stroke& best)
{
    const double start = now();
    const double cpuStart = threadCpu();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &release);
    QCoreApplication::processEvents();
    window.TreeView1->viewport()->repaint();
    const double wall = (now() - start) * 1000;
    if (wall < best.wallMs) {
        best.wallMs = wall;
        best.cpuMs = (threadCpu() - cpuStart) * 1000;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: find_bench DIR [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    quillmap::bench::BenchApplication app(argc, argv);
    FormMain window;
    window.setExitHandler([] {});
    window.resize(1600, 1000);
    window.show();
    const double searchSeconds = quillmap::bench::searchInWindow(window, argv[1]);
    if (searchSeconds < 0)
        return 2;
    // The searched tree as the user sees it before typing.
    QCoreApplication::processEvents();
    window.TreeView1->viewport()->repaint();
    const NodeStore& tree = window.store();
    const long beforeKb = statusKb("VmRSS:");
    std::printf("tree %s: %zu entries (%s), searched in %.2f s; best of %d rounds\n\n", argv[1],
                tree.size(), qPrintable(window.statusText()), searchSeconds, rounds);
    QLineEdit* box = window.findBar().textBox();

    // A word typed letter by letter (the first letters match nearly everything), taken back,
    // and a second one: a folder name, whose matches open their subtrees' paths.
    std::vector<std::pair<int, QString>> keys;
    for (const QString& word : {QStringLiteral("file_00007_5"), QStringLiteral("Folder 1-0")}) {
        for (const QChar c : word)
            keys.emplace_back(c.unicode(), QString(c));
        for (qsizetype i = 0; i < word.size(); ++i)
            keys.emplace_back(Qt::Key_Backspace, QString());
    }
    std::vector<Stroke> strokes(keys.size());
    Stroke open, esc;
    for (int round = 0; round < rounds; ++round) {
        // Ctrl+F: the box opens over the tree.
        const double start = now();
        window.MNU_Find->trigger();
        QCoreApplication::processEvents();
        open.wallMs = std::min(open.wallMs, (now() - start) * 1000);
        for (std::size_t k = 0; k < keys.size(); ++k) {
            keystroke(window, box, keys[k].first, keys[k].second, strokes[k]);
            strokes[k].text = box->text().toStdString();
            strokes[k].matches = window.model().matchCount();
        }
        keystroke(window, box, Qt::Key_Escape, QString(), esc);
    }
    const long afterKb = statusKb("VmRSS:");
    // The filter alone and the floor, each keystroke's text on its own.
    for (int round = 0; round < rounds; ++round) {
        NodeFilter alone(tree);
        for (Stroke& stroke : strokes) {
            const double start = now();
            alone.apply(QString::fromStdString(stroke.text));
            stroke.filterMs = std::min(stroke.filterMs, (now() - start) * 1000);
            stroke.floorMs = std::min(stroke.floorMs, floorMs(tree));
        }
    }

    std::printf("  %-16s %8s %12s %12s %12s %12s %8s\n", "text", "matches", "keystroke",
                "(its CPU)", "filter", "floor", "budget");
    double worst = 0, total = 0;
    for (const Stroke& s : strokes) {
        std::printf("  %-16s %8zu %9.1f ms %9.1f ms %9.1f ms %9.1f ms %5.0f ms%s\n",
                    ("\"" + s.text + "\"").c_str(), s.matches, s.wallMs, s.cpuMs, s.filterMs,
                    s.floorMs, kBudgetMs, s.wallMs <= kBudgetMs ? "" : "  MISSED");
        worst = std::max(worst, s.wallMs);
        total += s.wallMs;
    }
    std::printf("\n  Ctrl+F, the box open: %.1f ms; Esc, the whole tree back: %.1f ms\n",
                open.wallMs, esc.wallMs);
    std::printf("  keystrokes: %zu, mean %.1f ms, worst %.1f ms (budget %.0f ms: %s)\n",
                strokes.size(), total / double(strokes.size()), worst, kBudgetMs,
                worst <= kBudgetMs ? "met" : "MISSED");
    std::printf("  resident memory after the search %.1f MB, after the finds %.1f MB, peak "
                "%.1f MB\n",
                beforeKb / 1024.0, afterKb / 1024.0, statusKb("VmHWM:") / 1024.0);
    return 0;
}
