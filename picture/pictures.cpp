#include "picture/pictures.h"

#include <cstdint>

namespace {

bool StartsWith(const ByteString& bytes, const char* magic, size_t size) {
  return bytes.size() >= size && bytes.compare(0, size, magic, size) == 0;
}

uint32_t BigEndian32(const ByteString& bytes, size_t at) {
  auto byte = [&](size_t i) { return uint32_t(static_cast<unsigned char>(bytes[at + i])); };
  return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

}  // namespace

std::string ImageMime(const ByteString& bytes) {
  if (StartsWith(bytes, "\x89PNG\r\n\x1a\n", 8)) return "image/png";
  if (StartsWith(bytes, "\xff\xd8\xff", 3)) return "image/jpeg";
  if (StartsWith(bytes, "GIF87a", 6) || StartsWith(bytes, "GIF89a", 6)) return "image/gif";
  return std::string();
}

void ImagePixelSize(const ByteString& bytes, const std::string& mime, int& width, int& height) {
  if (mime == "image/png" && bytes.size() >= 24) {
    width = static_cast<int>(BigEndian32(bytes, 16));
    height = static_cast<int>(BigEndian32(bytes, 20));
  } else if (mime == "image/gif" && bytes.size() >= 10) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    width = byte(6) | byte(7) << 8;
    height = byte(8) | byte(9) << 8;
  }
}
