#pragma once

#include "bench/BenchClock.h"
#include "main_window/FormMain.h"
#include "platform/controls/FolderList.h"
#include "platform/controls/OptionsList.h"

#include <QAction>
#include <QEventLoop>

namespace quillmap::bench {

// One search of `dir` in the real window, shown (offscreen), all twelve details ticked, Levels
// ALL, timed from the Search click to the tree shown: its seconds, or -1 when `dir` can't be
// opened.
inline double searchInWindow(FormMain& window, const char* dir)
{
    window.setExitHandler([] {});
    window.show();
    if (!window.Dir1->setPath(dir))
        return -1;
    window.ListView1->setChecked(1, true); // ALL ticks every detail
    QEventLoop loop;
    QObject::connect(&window, &FormMain::searchFinished, &loop, &QEventLoop::quit);
    const double start = now();
    window.MNU_Search->trigger();
    if (window.isSearching())
        loop.exec();
    return now() - start;
}

} // namespace quillmap::bench
