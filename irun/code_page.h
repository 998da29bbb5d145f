// The one platform service the converter needs: 8-bit text in a Windows code page to
// UTF-16. Built from MultiByteToWideChar on Windows and iconv elsewhere.
#pragma once

#include <string>
#include <string_view>

namespace irun {

// Appends the UTF-16 form of `bytes` in `codePage` to `out`. Bytes that the code page
// does not map become U+FFFD. Returns false when the code page is unknown here (then
// nothing is appended).
bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::u16string& out);

// True for the double-byte code pages (932, 936, 949, 950, 1361) in which `byte` starts
// a two-byte character.
bool IsLeadByte(unsigned codePage, unsigned char byte);

}  // namespace irun
