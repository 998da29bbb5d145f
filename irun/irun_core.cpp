// The converter's entry points: the reader and the writer around one output, and the
// document kept in memory as blocks.
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "html_output.h"
#include "html_writer.h"
#include "irun_core.h"
#include "output_memory.h"
#include "rtf_document.h"
#include "rtf_reader.h"

namespace irun {
namespace {

bool StartsWithRtf(const char* data, size_t size) {
  size_t i = 0;
  while (i < size && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
    ++i;
  return size - i >= 5 && std::memcmp(data + i, "{\\rtf", 5) == 0;
}

// Output goes to the sink, or (with `chunks`) into blocks kept in memory.
bool Convert(const char* rtf, size_t size, OutputSink sink, void* userData,
             HtmlChunks* chunks, const ConvertOptions& options,
             ConvertStats* stats) {
  if (!rtf) size = 0;
  static const char kEmpty = 0;
  // No document needs more than this; the limit keeps hostile input from growing
  // the output without bound.
  const size_t budget = size * 64 + (1 << 20);
  try {  // nothing may escape to the DLL's callers
    const char* const data = rtf ? rtf : &kEmpty;
    HtmlOutput out(sink, userData, chunks, size, budget);
    DocumentTables document;
    HtmlWriter writer(out, options, document);
    std::vector<Picture> pictures;
    RtfReader reader(data, size, document, writer, options.keepPictures ? &pictures : nullptr);
    writer.StartDocument();
    reader.Read(StartsWithRtf(data, size));
    writer.FinishDocument();
    out.Flush();
    if (stats) {
      stats->pictureCount = writer.PictureCount();
      stats->pictures = std::move(pictures);
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

bool ConvertRtf(const char* rtf, size_t size, OutputSink sink, void* userData,
                const ConvertOptions& options, ConvertStats* stats) {
  return Convert(rtf, size, sink, userData, nullptr, options, stats);
}

bool ConvertRtfToString(const char* rtf, size_t size, const ConvertOptions& options,
                        std::string& html, ConvertStats* stats) {
  html.clear();
  auto append = [](const char* data, size_t length, void* userData) {
    static_cast<std::string*>(userData)->append(data, length);
  };
  return ConvertRtf(rtf, size, append, &html, options, stats);
}

HtmlChunks::HtmlChunks(HtmlChunks&& other) noexcept : blocks_(std::move(other.blocks_)) {
  other.blocks_.clear();
}

HtmlChunks& HtmlChunks::operator=(HtmlChunks&& other) noexcept {
  if (this != &other) {
    Release();
    blocks_ = std::move(other.blocks_);
    other.blocks_.clear();
  }
  return *this;
}

HtmlChunks::~HtmlChunks() { Release(); }

void HtmlChunks::Release() {
  for (const Block& block : blocks_) FreeOutputBlock(block.data, block.capacity);
  blocks_.clear();
}

size_t HtmlChunks::Size() const {
  size_t total = 0;
  for (const Block& block : blocks_) total += block.size;
  return total;
}

void HtmlChunks::CopyTo(char* out) const {
  for (const Block& block : blocks_) {
    std::memcpy(out, block.data, block.size);
    out += block.size;
  }
}

char* HtmlChunks::AddBlock(size_t capacity) {
  if (blocks_.size() == blocks_.capacity()) blocks_.reserve(blocks_.size() * 2 + 8);
  char* const data = AllocateOutputBlock(capacity);
  if (!data) throw std::bad_alloc();
  blocks_.push_back(Block{data, 0, capacity});
  return data;
}

bool ConvertRtfToChunks(const char* rtf, size_t size, const ConvertOptions& options,
                        HtmlChunks& html, ConvertStats* stats) {
  html = HtmlChunks();
  return Convert(rtf, size, nullptr, nullptr, &html, options, stats);
}

}  // namespace irun
