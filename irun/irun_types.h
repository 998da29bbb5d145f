// The converter's types: its options, its sinks and readers, and the pictures it hands
// over. Shared by the entry points (irun_core.h) and the reader and writer behind them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace irun {

// Receives the output in pieces, in order. The data is valid only during the call.
using OutputSink = void (*)(const char* data, size_t size, void* userData);

// Gives the next piece of the input: sets *piece to its first byte and returns its
// length; 0 ends the input. The piece stays valid until the next call.
using InputReader = size_t (*)(void* context, const char** piece);

struct ConvertOptions {
  // Font size in pixels that the reader shows as normal: runs of this size get no
  // font-size of their own.
  int baseFontPixels = 16;
  // Page background as six hexadecimal digits RRGGBB; anything else writes no colour.
  std::string backgroundColor = "FFFFFF";
  // Screen resolution in dots per inch that turns twips into pixels.
  int dotsPerInch = 96;
  // kOmitFontFaces and future switches; unknown bits are ignored.
  int flags = 0;
  // Collect each picture's data in ConvertStats::pictures. The document is the same
  // either way.
  bool keepPictures = false;
};

// Leaves font families out of the output (sizes, colours and styles stay).
constexpr int kOmitFontFaces = 1;

// A picture's data as the RTF names it: \pngblip, \jpegblip, \emfblip, \wmetafile,
// \dibitmap, \wbitmap, or none of these.
enum class PictureType { kOther, kPng, kJpeg, kEmf, kWmf, kDib, kBitmap };

// One picture of the document, with the name its image reference uses.
struct Picture {
  std::string name;  // "_img_<n>.<ext>", the src of its <img>
  PictureType type = PictureType::kOther;
  // The bytes as the RTF holds them (hex digits or \bin): a PNG or JPEG file, an
  // enhanced metafile, a Windows metafile without a placeable header, a DIB without a
  // file header, or a device-dependent bitmap's bits.
  std::vector<unsigned char> data;
  int pixelWidth = 0;  // \picw, \pich: pixels; for metafiles in the units the RTF gives
  int pixelHeight = 0;
  int goalWidth = 0;  // \picwgoal, \pichgoal: twips; 0 when not given
  int goalHeight = 0;
  int scaleX = 100;  // \picscalex, \picscaley: percent
  int scaleY = 100;
  int mappingMode = 0;  // \wmetafile<N>: the metafile's mapping mode; 0 for other types
  int bitsPerPixel = 0;  // \wbmbitspixel, \wbmplanes, \wbmwidthbytes; 0 when not given
  int planes = 0;
  int widthBytes = 0;
};

struct ConvertStats {
  int pictureCount = 0;  // image references written
  // With keepPictures: the pictures whose data is whole and of its type, in the order
  // of their references. A picture whose data is cut off, has stray characters or
  // does not begin as its type requires keeps its reference but is not here.
  std::vector<Picture> pictures;
};

}  // namespace irun
