#include "support/SystemErrorText.h"

#include <cstring>

namespace quillmap {

QString SystemErrorText(int error)
{
    char buffer[256];
    // The GNU strerror_r: the result is a static text or the buffer.
    return QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
}

} // namespace quillmap
