#include "html_chunks.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "output_memory.h"

namespace irun {

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

}  // namespace irun
