// libFuzzer target over the converter core: any bytes must convert without a crash,
// a sanitizer report, a hang or output beyond the promised bound, and the output must
// keep the contract (ASCII only, a closed body). The second conversion also collects
// the pictures, which must change nothing in the document and each be referred to.
// The third reads the input in pieces whose sizes the input's own bytes choose and
// hands the document out in small pieces: both must be those of the whole input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "irun_core.h"

namespace {

// Pieces of 1 to 17 bytes, their sizes taken from the input itself; each piece is a
// copy that is spoilt when the next one is asked for.
struct Pieces {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  std::string piece;
};

size_t NextPiece(void* context, const char** out) {
  Pieces& pieces = *static_cast<Pieces*>(context);
  pieces.piece.assign(pieces.piece.size(), '{');
  if (pieces.at == pieces.size) return 0;
  const size_t size = std::min<size_t>(1 + pieces.data[pieces.at] % 17, pieces.size - pieces.at);
  pieces.piece.assign(reinterpret_cast<const char*>(pieces.data) + pieces.at, size);
  pieces.at += size;
  *out = pieces.piece.data();
  return size;
}

bool SamePictures(const std::vector<irun::Picture>& a, const std::vector<irun::Picture>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].data != b[i].data) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string html;
  irun::ConvertOptions options;
  // The first byte, when there is one, also picks options, so odd values get run.
  if (size > 0 && (data[0] & 0x80)) {
    options.flags = data[0] & 1;
    options.dotsPerInch = 24 + (data[0] & 0x3F) * 30;
    options.baseFontPixels = 1 + (data[0] & 0x1F);
  }
  if (!irun::ConvertRtfToString(reinterpret_cast<const char*>(data), size, options, html,
                                nullptr)) {
    abort();
  }
  for (char c : html) {
    if (!((c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n')) abort();
  }
  if (html.size() > size * 64 + (1u << 20) + 4096) abort();
  if (html.find("</body>\r\n</html>\r\n") != html.size() - 18) abort();
  // The blocks kept in memory (as irun.dll keeps them) hold the same document.
  irun::HtmlChunks chunks;
  irun::ConvertStats stats;
  options.keepPictures = true;
  if (!irun::ConvertRtfToChunks(reinterpret_cast<const char*>(data), size, options, chunks,
                                &stats)) {
    abort();
  }
  std::string joined(chunks.Size(), '\0');
  chunks.CopyTo(joined.data());
  if (joined != html) abort();
  // Every picture has data from the input and a reference of its own, in order.
  if (stats.pictures.size() > static_cast<size_t>(stats.pictureCount)) abort();
  size_t total = 0;
  size_t searchFrom = 0;
  for (const irun::Picture& picture : stats.pictures) {
    if (picture.data.empty()) abort();
    total += picture.data.size();
    const size_t at = html.find("<img src=\"" + picture.name + "\"", searchFrom);
    if (at == std::string::npos) abort();
    searchFrom = at + 1;
  }
  if (total > size) abort();
  // In pieces, and read back in pieces: the same document and pictures.
  if (size > 0) {
    Pieces pieces{data, size};
    irun::HtmlChunks split;
    irun::ConvertStats splitStats;
    if (!irun::ConvertRtfPiecesToChunks(NextPiece, &pieces, options, split, &splitStats)) abort();
    std::string readBack;
    char buffer[64];
    const size_t readSize = 1 + data[size - 1] % sizeof buffer;
    while (const size_t copied = split.Read(buffer, readSize)) readBack.append(buffer, copied);
    if (readBack != html || !SamePictures(splitStats.pictures, stats.pictures)) abort();
  }
  return 0;
}
