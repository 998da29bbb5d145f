// A long 8-bit text (a page's RTF) in blocks that come straight from the system and go
// back to it the moment each is let go. A heap keeps what is freed for its next blocks
// (and Wine goes on counting it as used), so a page read block by block could not give
// its memory back as it is read.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string_view>
#include <vector>

class SystemBlock {
 public:
  // The system's allocation granularity: nothing of the address space is wasted.
  static constexpr size_t kBytes = 64 * 1024;

  SystemBlock();  // throws std::bad_alloc
  SystemBlock(SystemBlock&& other) noexcept;
  SystemBlock& operator=(SystemBlock&& other) noexcept;
  SystemBlock(const SystemBlock&) = delete;
  SystemBlock& operator=(const SystemBlock&) = delete;
  ~SystemBlock() { Release(); }

  const char* data() const { return data_; }
  size_t size() const { return size_; }
  // Takes as many of count bytes as there is room for; returns their number.
  size_t Append(const char* bytes, size_t count);
  // Gives the block back now; it holds nothing after.
  void Release();

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
};

using SystemPieces = std::vector<SystemBlock>;

// Appends count bytes, filling the last block before taking another (throws
// std::bad_alloc).
void AppendToSystemPieces(SystemPieces& pieces, const char* bytes, size_t count);
SystemPieces SystemPiecesOf(std::string_view text);
size_t SystemPiecesSize(const SystemPieces& pieces);
