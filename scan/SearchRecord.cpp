#include "scan/SearchRecord.h"

#include "scan/ScanControls.h"

#include <QDateTime>

namespace quillmap {

SearchRecord SearchRecord::startedWith(const ScanControls& controls)
{
    SearchRecord r;
    r.folder = controls.startFolder();
    if (r.folder.empty() || r.folder.back() != '/')
        r.folder.push_back('/');
    r.levels = controls.levelsText();
    r.types = controls.fileTypesText();
    r.details = DetailTicks::read(controls);
    r.filters = controls.filters();
    r.searchedAt = QDateTime::currentSecsSinceEpoch();
    return r;
}

} // namespace quillmap
