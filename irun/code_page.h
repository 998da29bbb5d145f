// Code pages: which one an RTF charset means, and 8-bit text in one to UTF-16. The one
// platform service behind it is DecodeCodePage: MultiByteToWideChar on Windows, iconv
// elsewhere.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <unordered_map>

namespace irun {

// Appends the UTF-16 form of `bytes` in `codePage` to `out`. Bytes that the code page
// does not map become U+FFFD. Returns false when the code page is unknown here (then
// nothing is appended).
bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::u16string& out);

// True for the double-byte code pages (932, 936, 949, 950, 1361) in which `byte` starts
// a two-byte character.
bool IsLeadByte(unsigned codePage, unsigned char byte);

bool IsDoubleByteCodePage(unsigned codePage);

// The code page of an RTF \fcharset value; 0 for DEFAULT_CHARSET and unknown values,
// which mean the document's code page.
unsigned CodePageOfCharset(int charset);

// Decodes text for one document. Single-byte code pages go through a table made once
// per code page (an unknown one reads as 1252), double-byte ones through the platform
// for each piece.
class TextDecoder {
 public:
  void Decode(unsigned codePage, std::string_view bytes, std::u16string& out);
  // The character of one byte in a single-byte code page.
  char16_t DecodeByte(unsigned codePage, unsigned char byte) {
    if (byte < 0x80) return byte;
    if (codePage != lastCodePage_) {
      lastTable_ = &SingleByteTable(codePage);
      lastCodePage_ = codePage;
    }
    return (*lastTable_)[byte];
  }

 private:
  using Table = std::array<char16_t, 256>;
  const Table& SingleByteTable(unsigned codePage);
  std::unordered_map<unsigned, Table> tables_;
  static constexpr unsigned kNoCodePage = ~0u;
  unsigned lastCodePage_ = kNoCodePage;
  const Table* lastTable_ = nullptr;
};

}  // namespace irun
