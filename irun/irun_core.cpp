// The converter's entry points: the reader and the writer around one output, and the
// document kept in memory as blocks.
#include <algorithm>
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

// The whole input as one piece.
struct WholeInput {
  const char* data;
  size_t size;
};

size_t ReadWholeInput(void* context, const char** piece) {
  WholeInput& input = *static_cast<WholeInput*>(context);
  *piece = input.data;
  return std::exchange(input.size, 0);
}

// Output goes to the sink, or (with `chunks`) into blocks kept in memory. `inputSize`
// is the input's size where it is known, else 0.
bool Convert(InputReader read, void* context, size_t inputSize, OutputSink sink,
             void* userData, HtmlChunks* chunks, const ConvertOptions& options,
             ConvertStats* stats) {
  try {  // nothing may escape to the DLL's callers
    HtmlOutput out(sink, userData, chunks, inputSize);
    DocumentTables document;
    HtmlWriter writer(out, options, document);
    std::vector<Picture> pictures;
    RtfReader reader(read, context, document, writer, options.keepPictures ? &pictures : nullptr);
    writer.StartDocument();
    reader.Read();
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

bool ConvertWhole(const char* rtf, size_t size, OutputSink sink, void* userData,
                  HtmlChunks* chunks, const ConvertOptions& options, ConvertStats* stats) {
  WholeInput input{rtf, rtf ? size : 0};
  return Convert(ReadWholeInput, &input, input.size, sink, userData, chunks, options, stats);
}

}  // namespace

bool ConvertRtf(const char* rtf, size_t size, OutputSink sink, void* userData,
                const ConvertOptions& options, ConvertStats* stats) {
  return ConvertWhole(rtf, size, sink, userData, nullptr, options, stats);
}

bool ConvertRtfPieces(InputReader read, void* context, OutputSink sink, void* userData,
                      const ConvertOptions& options, ConvertStats* stats) {
  return Convert(read, context, 0, sink, userData, nullptr, options, stats);
}

bool ConvertRtfToString(const char* rtf, size_t size, const ConvertOptions& options,
                        std::string& html, ConvertStats* stats) {
  html.clear();
  auto append = [](const char* data, size_t length, void* userData) {
    static_cast<std::string*>(userData)->append(data, length);
  };
  return ConvertRtf(rtf, size, append, &html, options, stats);
}

HtmlChunks::HtmlChunks(HtmlChunks&& other) noexcept { *this = std::move(other); }

HtmlChunks& HtmlChunks::operator=(HtmlChunks&& other) noexcept {
  if (this != &other) {
    Release();
    blocks_ = std::move(other.blocks_);
    readStarted_ = other.readStarted_;
    readBlock_ = other.readBlock_;
    readOffset_ = other.readOffset_;
    givenBack_ = other.givenBack_;
    other.blocks_.clear();
    other.readStarted_ = false;
    other.readBlock_ = other.readOffset_ = other.givenBack_ = 0;
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

size_t HtmlChunks::Read(char* out, size_t size) {
  readStarted_ = true;
  size_t copied = 0;
  while (copied < size && readBlock_ < blocks_.size()) {
    Block& block = blocks_[readBlock_];
    const size_t part = std::min(size - copied, block.size - readOffset_);
    std::memcpy(out + copied, block.data + readOffset_, part);
    copied += part;
    readOffset_ += part;
    GiveBackRead(block);
  }
  return copied;
}

// A block read to its end is freed; of a large block being read, the whole commit
// steps already read are decommitted.
void HtmlChunks::GiveBackRead(Block& block) {
  if (readOffset_ == block.size) {
    FreeOutputBlock(block.data, block.capacity);
    block.data = nullptr;
    ++readBlock_;
    readOffset_ = givenBack_ = 0;
    return;
  }
  if (block.capacity < kLargeOutputBlock) return;
  const size_t read = readOffset_ / kOutputCommitStep * kOutputCommitStep;
  if (read > givenBack_) {
    DecommitOutputBytes(block.data + givenBack_, read - givenBack_);
    givenBack_ = read;
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
  return ConvertWhole(rtf, size, nullptr, nullptr, &html, options, stats);
}

bool ConvertRtfPiecesToChunks(InputReader read, void* context, const ConvertOptions& options,
                              HtmlChunks& html, ConvertStats* stats) {
  html = HtmlChunks();
  return Convert(read, context, 0, nullptr, nullptr, &html, options, stats);
}

}  // namespace irun
