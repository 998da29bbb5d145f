#include "win/system_pieces.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

SystemBlock::SystemBlock()
    : data_(static_cast<char*>(
          VirtualAlloc(nullptr, kBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE))) {
  if (!data_) throw std::bad_alloc();
}

SystemBlock::SystemBlock(SystemBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

SystemBlock& SystemBlock::operator=(SystemBlock&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

size_t SystemBlock::Append(const char* bytes, size_t count) {
  const size_t taken = data_ ? std::min(count, kBytes - size_) : 0;
  std::memcpy(data_ + size_, bytes, taken);
  size_ += taken;
  return taken;
}

void SystemBlock::Release() {
  if (data_) VirtualFree(data_, 0, MEM_RELEASE);
  data_ = nullptr;
  size_ = 0;
}

void AppendToSystemPieces(SystemPieces& pieces, const char* bytes, size_t count) {
  while (count > 0) {
    if (pieces.empty() || pieces.back().size() == SystemBlock::kBytes) pieces.emplace_back();
    const size_t taken = pieces.back().Append(bytes, count);
    bytes += taken;
    count -= taken;
  }
}

SystemPieces SystemPiecesOf(std::string_view text) {
  SystemPieces pieces;
  AppendToSystemPieces(pieces, text.data(), text.size());
  return pieces;
}

size_t SystemPiecesSize(const SystemPieces& pieces) {
  size_t total = 0;
  for (const SystemBlock& piece : pieces) total += piece.size();
  return total;
}
