#include "scan/ScanControls.h"

namespace quillmap {

QString ScanControls::statusText(double dirCount, double fileCount)
{
    // 'g' with enough digits writes whole numbers without decimals or exponent up to 2^53.
    return QStringLiteral("Dirs = ") + QString::number(dirCount, 'g', 17) +
           QStringLiteral(" Files = ") + QString::number(fileCount, 'g', 17);
}

} // namespace quillmap
