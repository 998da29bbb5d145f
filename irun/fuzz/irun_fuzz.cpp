// libFuzzer target over the converter core: any bytes must convert without a crash,
// a sanitizer report, a hang or output beyond the promised bound, and the output must
// keep the contract (ASCII only, a closed body). The second conversion also collects
// the pictures, which must change nothing in the document and each be referred to.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "irun_core.h"

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
  return 0;
}
