#pragma once

// Test helpers for scans: controls without widgets and fixture trees in a temporary folder.
#include "scan/DetailTicks.h"
#include "scan/ScanControls.h"
#include "tree/NodeStore.h"

#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillmap::test {

class TestControls : public ScanControls
{
public:
    std::string folder;
    QString levels = QStringLiteral("ALL");
    QString types = QStringLiteral("*.*");
    DetailTicks ticks;
    ScanFilters scanFilters;
    const NodeStore* store = nullptr;
    // After every showCounts(): the number of nodes then and the status text.
    std::vector<std::pair<std::size_t, QString>> shown;
    int busyDepth = 0;
    int levelsReads = 0;
    // Asks the scan to stop once the store holds this many nodes (0: never).
    std::size_t stopAtSize = 0;

    std::string startFolder() const override { return folder; }
    QString levelsText() const override
    {
        ++const_cast<TestControls*>(this)->levelsReads;
        return levels;
    }
    QString fileTypesText() const override { return types; }
    bool isTicked(int index) const override { return ticks.ticked(index); }
    ScanFilters filters() const override { return scanFilters; }
    void showCounts(double dirs, double files) override
    {
        shown.emplace_back(store ? store->size() : 0, statusText(dirs, files));
    }
    void setBusy(bool busy) override { busyDepth += busy ? 1 : -1; }
    bool stopRequested() const override
    {
        return stopAtSize > 0 && store && store->size() >= stopAtSize;
    }
};

// Creates the entries under `root`: a path ending in "/" is a folder, any other a file.
inline void makeTree(const std::string& root, const QStringList& entries)
{
    for (const QString& e : entries) {
        const std::string path = root + "/" + e.toStdString();
        if (path.back() == '/') {
            ::mkdir(path.c_str(), 0755);
        } else {
            const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
            if (fd >= 0)
                ::close(fd);
        }
    }
}

// The nodes as "key|text" lines, in the order they were added, keys relative to `root`
// (the root itself as "/").
inline QStringList nodeLines(const NodeStore& store, const std::string& root)
{
    QStringList lines;
    for (NodeStore::Id id = 0; id < store.size(); ++id) {
        std::string key = store.key(id);
        if (key.rfind(root, 0) == 0)
            key = key.substr(root.size());
        if (key.empty())
            key = "/";
        lines << QString::fromStdString(key) + u'|' + NodeStore::displayString(store.text(id));
    }
    return lines;
}

} // namespace quillmap::test
