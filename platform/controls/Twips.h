#pragma once

namespace quillmap {

// The widget adapters of the main window (drive, folder and options lists, status bar, toolbar
// images, the hourglass) keep the window's controls in the shape the window code expects, and
// share this unit.
//
// Window layouts are given in twips; on screen they become logical pixels at 15 twips a pixel
// (96 dpi). Qt scales logical pixels on high-density screens.
constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

} // namespace quillmap
