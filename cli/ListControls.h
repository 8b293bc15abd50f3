#pragma once

#include "cli/ListOptions.h"
#include "scan/ScanControls.h"

namespace quillmap {

// The scan's controls for quillmap_list: fixed options from the command line, no widgets.
class ListControls : public ScanControls
{
public:
    explicit ListControls(const ListOptions& options) : m_options(options) {}

    std::string startFolder() const override { return m_options.folder; }
    QString levelsText() const override { return m_options.levels; }
    QString fileTypesText() const override { return m_options.types; }
    bool isTicked(int index) const override { return m_options.details.ticked(index); }
    ScanFilters filters() const override { return m_options.filters; }
    void showCounts(double dirCount, double fileCount) override
    {
        m_dirs = dirCount;
        m_files = fileCount;
    }
    void setBusy(bool) override {}

    QString status() const { return statusText(m_dirs, m_files); }

private:
    const ListOptions& m_options;
    double m_dirs = 0;
    double m_files = 0;
};

} // namespace quillmap
