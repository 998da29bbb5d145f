// The portable RTF-to-HTML converter behind irun.dll and rtf2html.
//
// RTF bytes go in, one complete HTML document comes out through a sink that the caller
// owns. The document is pure ASCII: every other character is a numeric character
// reference, so any 8-bit decoding of it loses nothing. It carries the marker comment of
// irun_marker.h, a lower-case "<body" start tag and "</body>" end tag. Pictures become
// image references named "_img_<n>.<ext>"; on request their data is handed to the
// caller beside the document (ConvertOptions::keepPictures), never written into it.
//
// The converter never throws for bad input: it limits nesting and work, converts what
// it could read, and stops at the end of the bytes.
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

// Converts `size` bytes of RTF. Input that does not begin with "{\rtf" is treated as
// plain text in the default code page. Returns false only when the sink could not be
// fed (out of memory); the output written until then is then incomplete.
bool ConvertRtf(const char* rtf, size_t size, OutputSink sink, void* userData,
                const ConvertOptions& options, ConvertStats* stats);

// As ConvertRtf, but reads the input piece by piece through read(context, ...). The
// converter keeps only a small window of it; the output is the same however the input
// is split.
bool ConvertRtfPieces(InputReader read, void* context, OutputSink sink, void* userData,
                      const ConvertOptions& options, ConvertStats* stats);

// Convenience for callers that want the whole document in memory.
bool ConvertRtfToString(const char* rtf, size_t size, const ConvertOptions& options,
                        std::string& html, ConvertStats* stats);

// The document in memory as the blocks the converter wrote, so that a large one is
// never copied into an ever larger buffer (which would need three times its size).
class HtmlChunks {
 public:
  HtmlChunks() = default;
  HtmlChunks(HtmlChunks&& other) noexcept;
  HtmlChunks& operator=(HtmlChunks&& other) noexcept;
  HtmlChunks(const HtmlChunks&) = delete;
  HtmlChunks& operator=(const HtmlChunks&) = delete;
  ~HtmlChunks();

  size_t Size() const;  // bytes in all blocks, read or not
  // Copies exactly Size() bytes to `out`; only before Read has begun.
  void CopyTo(char* out) const;
  // Copies up to `size` bytes from where the last call ended to `out` and returns their
  // number (0 once all is read). Blocks already read are freed, and the read pages of
  // the block being read are given back, so the read part costs next to nothing.
  size_t Read(char* out, size_t size);
  bool ReadStarted() const { return readStarted_; }

  // For the converter: a new last block of `capacity` bytes (throws std::bad_alloc),
  // and the number of bytes written into the last block.
  char* AddBlock(size_t capacity);
  void SetLastSize(size_t size) { blocks_.back().size = size; }

 private:
  struct Block {
    char* data;
    size_t size;
    size_t capacity;
  };
  void Release();
  void GiveBackRead(Block& block);
  std::vector<Block> blocks_;
  bool readStarted_ = false;
  size_t readBlock_ = 0;   // the block Read copies from next
  size_t readOffset_ = 0;  // bytes of it already read
  size_t givenBack_ = 0;   // bytes at its start already given back
};

bool ConvertRtfToChunks(const char* rtf, size_t size, const ConvertOptions& options,
                        HtmlChunks& html, ConvertStats* stats);
bool ConvertRtfPiecesToChunks(InputReader read, void* context, const ConvertOptions& options,
                              HtmlChunks& html, ConvertStats* stats);

}  // namespace irun
