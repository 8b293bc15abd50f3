#pragma once

#include "bench/BenchClock.h"
#include "main_window/FormMain.h"
#include "platform/controls/FolderList.h"
#include "platform/controls/OptionsList.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>

// The window benchmarks' search: the real main window, made with the user's settings out of the
// way, searching a folder with every detail ticked, timed from the Search click to the tree
// shown.
namespace quillmap::bench {

// Makes the user's Qt settings those of `folder` (a start folder or a sort order from the
// user's runs would change what is measured, and the benchmark must not write over them).
inline void keepSettingsIn(const QString& folder)
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

// The application of a window benchmark: offscreen unless QT_QPA_PLATFORM names a platform,
// with the user's settings kept out of the way for its lifetime.
class BenchApplication
{
public:
    BenchApplication(int& argc, char** argv)
        : m_offscreen(offscreenUnlessChosen()), m_app(argc, argv)
    {
        keepSettingsIn(m_settings.path());
    }

private:
    static bool offscreenUnlessChosen()
    {
        return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
               qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    bool m_offscreen; // set before the application reads it
    QApplication m_app;
    QTemporaryDir m_settings;
};

// The seconds the search of `dir` took in `window`, shown (offscreen); negative when `dir`
// can't be opened.
inline double searchInWindow(FormMain& window, const char* dir)
{
    window.setExitHandler([] {});
    window.show();
    if (!window.Dir1->setPath(dir)) {
        std::fprintf(stderr, "cannot open %s\n", dir);
        return -1;
    }
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
