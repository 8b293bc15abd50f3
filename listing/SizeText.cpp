#include "listing/SizeText.h"

#include <cstdio>

namespace quillmap {

std::string HumanSize(std::uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes);
    static const char units[] = "KMGTPE";
    double v = double(bytes);
    int unit = -1;
    do {
        v /= 1024;
        ++unit;
    } while (v >= 1023.5 && unit < 5);
    char text[32];
    if (v < 9.95)
        std::snprintf(text, sizeof text, "%.1f%c", v, units[unit]);
    else
        std::snprintf(text, sizeof text, "%.0f%c", v, units[unit]);
    return text;
}

} // namespace quillmap
