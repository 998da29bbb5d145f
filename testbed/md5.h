// MD5 (RFC 1321) of a byte string, for the stand-ins' checks of resource hashes.
// Portable.
#pragma once

#include <string_view>

#include "text/wide_string.h"

// The 32 lower-case hexadecimal digits of the MD5 of bytes.
ByteString Md5Hex(std::string_view bytes);
