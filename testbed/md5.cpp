#include "testbed/md5.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kShifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// The sine table: the integer part of 2^32 * |sin(i + 1)|, i from 0 to 63.
struct SineTable {
  uint32_t k[64];
  SineTable() {
    for (int i = 0; i < 64; ++i)
      k[i] = static_cast<uint32_t>(std::floor(std::fabs(std::sin(i + 1.0)) * 4294967296.0));
  }
};

uint32_t RotateLeft(uint32_t value, int bits) { return value << bits | value >> (32 - bits); }

void AddBlock(uint32_t state[4], const unsigned char* block) {
  static const SineTable table;
  uint32_t words[16];
  for (int i = 0; i < 16; ++i)
    words[i] = uint32_t{block[4 * i]} | uint32_t{block[4 * i + 1]} << 8 |
               uint32_t{block[4 * i + 2]} << 16 | uint32_t{block[4 * i + 3]} << 24;
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int word;
    switch (i / 16) {
      case 0: f = (b & c) | (~b & d), word = i; break;
      case 1: f = (d & b) | (~d & c), word = (5 * i + 1) % 16; break;
      case 2: f = b ^ c ^ d, word = (3 * i + 5) % 16; break;
      default: f = c ^ (b | ~d), word = (7 * i) % 16; break;
    }
    f += a + table.k[i] + words[word];
    a = d;
    d = c;
    c = b;
    b += RotateLeft(f, kShifts[i / 16][i % 4]);
  }
  state[0] += a, state[1] += b, state[2] += c, state[3] += d;
}

}  // namespace

ByteString Md5Hex(std::string_view bytes) {
  uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  size_t whole = bytes.size() / 64 * 64;
  for (size_t at = 0; at < whole; at += 64)
    AddBlock(state, reinterpret_cast<const unsigned char*>(bytes.data() + at));
  // The rest, a one bit, zeros up to 56 bytes of a block, and the length in bits.
  unsigned char tail[128] = {};
  const size_t rest = bytes.size() % 64;
  std::memcpy(tail, bytes.data() + whole, rest);
  tail[rest] = 0x80;
  size_t tailLength = rest < 56 ? 64 : 128;
  uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
  for (int i = 0; i < 8; ++i)
    tail[tailLength - 8 + i] = static_cast<unsigned char>(bits >> (8 * i));
  for (size_t at = 0; at < tailLength; at += 64) AddBlock(state, tail + at);

  static const char kDigits[] = "0123456789abcdef";
  ByteString hex;
  for (uint32_t word : state)
    for (int i = 0; i < 4; ++i) {
      unsigned byte = word >> (8 * i) & 0xFF;
      hex += kDigits[byte >> 4];
      hex += kDigits[byte & 15];
    }
  return hex;
}
