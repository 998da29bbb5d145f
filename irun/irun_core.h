// The portable RTF-to-HTML converter behind irun.dll and rtf2html.
//
// RTF bytes go in, one complete HTML document comes out through a sink that the caller
// owns. The document is pure ASCII: every other character is a numeric character
// reference, so any 8-bit decoding of it loses nothing. It carries the marker comment of
// irun_marker.h, a lower-case "<body" start tag and "</body>" end tag. Pictures become
// image references named "_img_<n>.<ext>"; their data is never written anywhere.
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
};

// Leaves font families out of the output (sizes, colours and styles stay).
constexpr int kOmitFontFaces = 1;

struct ConvertStats {
  int pictureCount = 0;  // image references written
};

// Converts `size` bytes of RTF. Input that does not begin with "{\rtf" is treated as
// plain text in the default code page. Returns false only when the sink could not be
// fed (out of memory); the output written until then is then incomplete.
bool ConvertRtf(const char* rtf, size_t size, OutputSink sink, void* userData,
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

  size_t Size() const;  // bytes in all blocks
  // Copies exactly Size() bytes to `out`.
  void CopyTo(char* out) const;

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
  std::vector<Block> blocks_;
};

bool ConvertRtfToChunks(const char* rtf, size_t size, const ConvertOptions& options,
                        HtmlChunks& html, ConvertStats* stats);

}  // namespace irun
