// quillmap_list: the window's search without the window, for scripts, servers and tests.
#include "cli/ListControls.h"
#include "cli/ListOptions.h"
#include "cli/TreeWriter.h"
#include "platform/NodeStore.h"
#include "scan/SearchDir.h"

#include <QCoreApplication>

#include <cstdio>

using namespace quillmap;

namespace {

void printError(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ListOptions options;
    if (const QString error = options.parse(argc, argv); !error.isEmpty()) {
        printError(QStringLiteral("quillmap_list: ") + error);
        printError(QStringLiteral("Try 'quillmap_list --help' for more information."));
        return 2;
    }
    if (options.help) {
        std::fputs(ListOptions::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("quillmap_list %s\n", QUILLMAP_VERSION);
        return 0;
    }

    ListControls controls(options);
    NodeStore tree;
    const ScanReport report = SearchDir(controls, tree);
    if (!report.startFolderRead) {
        printError(QStringLiteral("quillmap_list: cannot list the folder ") +
                   (report.problems.isEmpty() ? NodeStore::displayString(options.folder)
                                              : report.problems.first()));
        return 2;
    }

    TreeWriter writer(tree, stdout);
    switch (options.format) {
    case ListOptions::Format::Text:
        writer.writeText();
        break;
    case ListOptions::Format::Tsv:
        writer.writeTsv();
        break;
    case ListOptions::Format::Json:
        writer.writeJson();
        break;
    }
    std::fflush(stdout);

    printError(controls.status());
    for (const QString& problem : report.problems)
        printError(problem);
    if (std::ferror(stdout)) {
        printError(QStringLiteral("quillmap_list: could not write the listing"));
        return 2;
    }
    return report.problems.isEmpty() ? 0 : 1;
}
