// MD5 (RFC 1321): how Evernote names a resource in a note's content (en-media's hash).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

std::array<uint8_t, 16> Md5(const void* data, size_t size);

// The digest as 32 lower-case hexadecimal digits.
std::string Md5Hex(const void* data, size_t size);
inline std::string Md5Hex(const std::string& bytes) { return Md5Hex(bytes.data(), bytes.size()); }
