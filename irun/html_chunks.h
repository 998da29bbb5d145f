// The converter's document in memory as the blocks it wrote.
#pragma once

#include <cstddef>
#include <vector>

namespace irun {

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

}  // namespace irun
