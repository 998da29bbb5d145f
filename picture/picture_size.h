// The size a picture is shown and drawn at. Windows only; the header itself needs no
// <windows.h>.
#pragma once

#include "picture/pictures.h"

// The display size in pixels at 96 dpi, each side on its own, by irun::PictureDisplaySide
// (the rule the converter's image references follow): the goal size or else the RTF's
// size (for metafiles in 0.01 mm), scaled by scaleX and scaleY; for a DIB without sizes,
// its header's size; for an EMF without sizes, its header's frame. A side with nothing
// to go by is 0; one with a size is at least 1.
void PictureDisplaySize(const PictureData& picture, int& width, int& height);
