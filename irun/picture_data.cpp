#include "picture_data.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "picture_rules.h"

namespace irun {

namespace {

constexpr uint8_t kSpace = 0xFE;
constexpr uint8_t kStray = 0xFF;

constexpr std::array<uint8_t, 256> MakeHexValues() {
  std::array<uint8_t, 256> values{};
  for (auto& v : values) v = kStray;
  for (int c = '0'; c <= '9'; ++c) values[static_cast<size_t>(c)] = static_cast<uint8_t>(c - '0');
  for (int c = 'a'; c <= 'f'; ++c) {
    values[static_cast<size_t>(c)] = static_cast<uint8_t>(c - 'a' + 10);
    values[static_cast<size_t>(c - 32)] = static_cast<uint8_t>(c - 'a' + 10);
  }
  for (int c : {int(' '), int('\t'), int('\r'), int('\n'), 0})
    values[static_cast<size_t>(c)] = kSpace;
  return values;
}
constexpr std::array<uint8_t, 256> kHexValues = MakeHexValues();

uint32_t Little16(const std::vector<unsigned char>& d, size_t at) {
  return static_cast<uint32_t>(d[at] | d[at + 1] << 8);
}
uint32_t Little32(const std::vector<unsigned char>& d, size_t at) {
  return Little16(d, at) | Little16(d, at + 2) << 16;
}
bool StartsWith(const std::vector<unsigned char>& d, const char* bytes, size_t size) {
  return d.size() >= size && std::memcmp(d.data(), bytes, size) == 0;
}

}  // namespace

void PictureData::Start() {
  bytes_.clear();
  high_ = -1;
  sound_ = true;
}

void PictureData::AddHex(const char* text, size_t size) {
  // Two hex digits make about one byte: reserving keeps a large picture from growing
  // its buffer many times.
  if (bytes_.capacity() - bytes_.size() < size / 2) bytes_.reserve(bytes_.size() + size / 2);
  int high = high_;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t value = kHexValues[static_cast<unsigned char>(text[i])];
    if (value < 16) {
      if (high < 0) {
        high = value;
      } else {
        bytes_.push_back(static_cast<unsigned char>(high << 4 | value));
        high = -1;
      }
    } else if (value == kStray) {
      sound_ = false;
    }
  }
  high_ = high;
}

void PictureData::AddBinary(const char* bytes, size_t size, bool whole) {
  if (high_ >= 0 || !whole) sound_ = false;  // a \bin inside a byte, or cut off
  bytes_.insert(bytes_.end(), bytes, bytes + size);
}

const char* PictureExtension(PictureType type) {
  switch (type) {
    case PictureType::kJpeg: return "jpg";
    case PictureType::kEmf: return "emf";
    case PictureType::kWmf: return "wmf";
    case PictureType::kDib:
    case PictureType::kBitmap: return "bmp";
    case PictureType::kPng:
    case PictureType::kOther: break;
  }
  return "png";
}

bool IsWholePicture(PictureType type, const std::vector<unsigned char>& data) {
  const size_t size = data.size();
  switch (type) {
    case PictureType::kPng: {
      // The signature, the header chunk first and the end chunk last.
      static const char kSignature[] = "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR";
      static const char kEnd[] = "\0\0\0\0IEND\xAE\x42\x60\x82";
      return StartsWith(data, kSignature, 16) && size >= 16 + 17 + 12 &&
             std::memcmp(data.data() + size - 12, kEnd, 12) == 0;
    }
    case PictureType::kJpeg: {
      // Start of image first, end of image last (zero padding after it is common).
      size_t end = size;
      while (end > 0 && data[end - 1] == 0) --end;
      return StartsWith(data, "\xFF\xD8\xFF", 3) && end >= 5 && data[end - 2] == 0xFF &&
             data[end - 1] == 0xD9;
    }
    case PictureType::kEmf:
      // The header record with its signature, and as many bytes as it says.
      return size >= 88 && Little32(data, 0) == 1 && Little32(data, 40) == 0x464D4520 &&
             Little32(data, 48) >= 88 && Little32(data, 48) <= size;
    case PictureType::kWmf:
      // The metafile header: memory or disk type, nine words long, and the size it
      // gives in words.
      return size >= 18 && (Little16(data, 0) == 1 || Little16(data, 0) == 2) &&
             Little16(data, 2) == 9 && Little32(data, 6) >= 9 &&
             static_cast<uint64_t>(Little32(data, 6)) * 2 <= size;
    case PictureType::kDib: {
      // A bitmap information header of one of the known sizes.
      if (size < 12) return false;
      const uint32_t header = Little32(data, 0);
      return IsDibHeaderSize(header) && header <= size;
    }
    case PictureType::kBitmap:
    case PictureType::kOther:
      return size > 0;  // no header to check
  }
  return false;
}

}  // namespace irun
