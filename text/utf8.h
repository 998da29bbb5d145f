// UTF-8 by hand, for the code that reads and writes it a byte at a time.
#pragma once

#include <cstddef>
#include <cstdint>

// point's UTF-8 written to bytes, which has room for 4; returns how many were written.
inline size_t EncodeUtf8(uint32_t point, char* bytes) {
  static constexpr unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
  const size_t size = point < 0x80 ? 1 : point < 0x800 ? 2 : point < 0x10000 ? 3 : 4;
  for (size_t at = size - 1; at > 0; --at, point >>= 6)
    bytes[at] = static_cast<char>(0x80 | (point & 0x3F));
  bytes[0] = static_cast<char>(kLead[size] | point);
  return size;
}

// Decodes UTF-8 a byte at a time, so that a character split over two pieces of text is
// whole again. Bytes that cannot form a character give U+FFFD, one for each maximal
// part of a sequence that could have begun one, as browsers decode. The second byte's
// range rules out overlong forms and values beyond U+10FFFF; encoded surrogates
// (ED A0..BF ..) decode, for the caller to judge.
class Utf8Decoder {
 public:
  // Calls emit(point) for each character that byte completes (none, one or two).
  template <typename Emit>
  void Take(unsigned char byte, Emit emit) {
    if (needed_ == 0) {
      Begin(byte, emit);
      return;
    }
    if (byte < lower_ || byte > upper_) {
      Reset();
      emit(0xFFFD);       // the sequence ends before this byte,
      Begin(byte, emit);  // which may begin the next one
      return;
    }
    lower_ = 0x80;
    upper_ = 0xBF;
    point_ = point_ << 6 | (byte & 0x3F);
    if (--needed_ == 0) emit(point_);
  }

  // The text ended: a sequence cut short by its end is one U+FFFD.
  template <typename Emit>
  void Finish(Emit emit) {
    if (needed_ == 0) return;
    Reset();
    emit(0xFFFD);
  }

  bool InSequence() const { return needed_ > 0; }

 private:
  template <typename Emit>
  void Begin(unsigned char byte, Emit emit) {
    if (byte < 0x80) {
      emit(byte);
    } else if (byte >= 0xC2 && byte <= 0xDF) {
      Expect(1, byte & 0x1F, 0x80, 0xBF);
    } else if (byte >= 0xE0 && byte <= 0xEF) {
      Expect(2, byte & 0x0F, byte == 0xE0 ? 0xA0 : 0x80, 0xBF);
    } else if (byte >= 0xF0 && byte <= 0xF4) {
      Expect(3, byte & 0x07, byte == 0xF0 ? 0x90 : 0x80, byte == 0xF4 ? 0x8F : 0xBF);
    } else {
      emit(0xFFFD);
    }
  }

  void Expect(int needed, uint32_t point, unsigned char lower, unsigned char upper) {
    needed_ = needed;
    point_ = point;
    lower_ = lower;
    upper_ = upper;
  }

  void Reset() {
    needed_ = 0;
    lower_ = 0x80;
    upper_ = 0xBF;
  }

  int needed_ = 0;  // continuation bytes still to come
  uint32_t point_ = 0;
  unsigned char lower_ = 0x80;  // the range the next continuation byte must be in
  unsigned char upper_ = 0xBF;
};
