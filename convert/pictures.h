// Pictures of a page as the converter hands them over beside the HTML.
#pragma once

#include "text/wide_string.h"

// A picture as the converter hands it over (irun.h's IrunPictureInfo plus its bytes).
struct PictureData {
  ByteString name;        // "_img_1.png", as the HTML refers to it
  int format = 0;         // IRUN_PICTURE_* of irun/irun.h
  ByteString bytes;
  int pixelWidth = 0, pixelHeight = 0;  // \picw \pich (metafiles: in the RTF's units)
  int goalWidth = 0, goalHeight = 0;    // twips, 0 when absent
  int scaleX = 100, scaleY = 100;       // percent
  int mappingMode = 0;                  // \wmetafileN
  int bitsPerPixel = 0, planes = 0;     // \wbmbitspixel \wbmplanes: 0 when absent
  int widthBytes = 0;                   // \wbmwidthbytes: 0 when absent
};
