#pragma once

namespace quillmap {

// Window layouts are given in twips; on screen they become logical pixels at 15 twips a pixel
// (96 dpi). Qt scales logical pixels on high-density screens.
constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

} // namespace quillmap
