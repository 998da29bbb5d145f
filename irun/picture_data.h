// A picture's data as the reader meets it in a \pict group: hex digits with white
// space between them, and \bin runs of raw bytes. Only data that is whole and begins
// as its type requires becomes a picture.
#pragma once

#include <cstddef>
#include <vector>

#include "irun_core.h"

namespace irun {

class PictureData {
 public:
  // Forgets the last picture's data.
  void Start();
  // Text of the picture group: pairs of hex digits, white space between them.
  void AddHex(const char* text, size_t size);
  // `size` raw bytes of a \bin; `whole` is false when the input ended before its count.
  void AddBinary(const char* bytes, size_t size, bool whole);
  // True when some data came and all of it was sound: no stray character, no half
  // byte at the end, no \bin cut off.
  bool Sound() const { return sound_ && high_ < 0 && !bytes_.empty(); }
  std::vector<unsigned char> TakeBytes() { return std::move(bytes_); }

 private:
  std::vector<unsigned char> bytes_;
  int high_ = -1;  // the first digit of a byte whose second is still to come
  bool sound_ = true;
};

// The extension of a picture's image reference: "png" for types without a name too.
const char* PictureExtension(PictureType type);

// True when `data` is laid out as a picture of `type` must be: the signature and header
// where the type has one, and for types that say their size or end, all of it.
bool IsWholePicture(PictureType type, const std::vector<unsigned char>& data);

}  // namespace irun
