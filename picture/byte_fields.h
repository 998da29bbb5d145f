// Little-endian fields of picture data, read where the caller has checked the bytes are.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/wide_string.h"

inline uint16_t Read16(const unsigned char* at) {
  return static_cast<uint16_t>(at[0] | at[1] << 8);
}
inline uint32_t Read32(const unsigned char* at) {
  return static_cast<uint32_t>(at[0] | at[1] << 8 | at[2] << 16) | static_cast<uint32_t>(at[3])
                                                                       << 24;
}
inline int32_t Signed32(const unsigned char* at) { return static_cast<int32_t>(Read32(at)); }

inline const unsigned char* Bytes(const ByteString& bytes) {
  return reinterpret_cast<const unsigned char*>(bytes.data());
}
inline uint16_t Read16(const ByteString& bytes, size_t at) { return Read16(Bytes(bytes) + at); }
inline uint32_t Read32(const ByteString& bytes, size_t at) { return Read32(Bytes(bytes) + at); }
