// How large a device context would draw now, in device pixels: lengths through its world
// transform and window-to-viewport scale, and the font and pen it has selected. Read
// from the device context itself at the moment of drawing, so that every record played
// before (world transforms, map modes, extents, scaling, saving and restoring, selecting
// objects) counts as GDI has applied it. Windows only.
#pragma once

#include <windows.h>

// The longer of the two lengths that `length` logical units along x and along y come to
// in pixels (origins left aside). Not finite when the transform is not.
double DeviceLength(HDC dc, double length);

// The selected font's glyphs in pixels as text would draw them now: the larger of its
// height and its width (a font without a width is taken as wide as it is high), along
// either axis. A font of height 0 is taken as kDefaultFontHeight units high.
double SelectedFontPixels(HDC dc);
constexpr double kDefaultFontHeight = 16;

// The selected pen's width in pixels as lines would draw it now: 0 for a pen that draws
// nothing or one pixel whatever the transform (a cosmetic pen, width 0).
double SelectedPenPixels(HDC dc);
