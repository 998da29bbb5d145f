// The code pages of RTF charsets, the lead-byte ranges of the double-byte code pages
// (the same on every platform, so the reader splits text identically natively and on
// Windows), and the decoding tables of the single-byte ones.
#include "code_page.h"

namespace irun {

bool IsLeadByte(unsigned codePage, unsigned char byte) {
  switch (codePage) {
    case 932:  // Shift-JIS
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:  // GBK
    case 949:  // Unified Hangul
    case 950:  // Big5
      return byte >= 0x81 && byte <= 0xFE;
    case 1361:  // Johab
      return (byte >= 0x84 && byte <= 0xD3) || (byte >= 0xD8 && byte <= 0xDE) ||
             (byte >= 0xE0 && byte <= 0xF9);
    default:
      return false;
  }
}

bool IsDoubleByteCodePage(unsigned codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
         codePage == 1361;
}

unsigned CodePageOfCharset(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 2: return 1252;  // Symbol: no code page; its bullets read best as Latin-1
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;
  }
}

void TextDecoder::Decode(unsigned codePage, std::string_view bytes, std::u16string& out) {
  if (!IsDoubleByteCodePage(codePage)) {
    for (char b : bytes) out.push_back(DecodeByte(codePage, static_cast<unsigned char>(b)));
    return;
  }
  if (!DecodeCodePage(codePage, bytes, out)) out.append(bytes.size(), u'\uFFFD');
}

const TextDecoder::Table& TextDecoder::SingleByteTable(unsigned codePage) {
  auto found = tables_.find(codePage);
  if (found != tables_.end()) return found->second;
  Table table;
  std::u16string one;
  for (int b = 0; b < 256; ++b) {
    one.clear();
    const char byte = static_cast<char>(b);
    if (b < 0x80) {
      table[static_cast<size_t>(b)] = static_cast<char16_t>(b);
    } else if ((DecodeCodePage(codePage, std::string_view(&byte, 1), one) ||
                DecodeCodePage(1252, std::string_view(&byte, 1), one)) &&
               one.size() == 1) {
      table[static_cast<size_t>(b)] = one[0];
    } else {
      table[static_cast<size_t>(b)] = u'\uFFFD';
    }
  }
  // A table per code page named in the document; a hostile one could name many.
  if (tables_.size() > 64) {
    tables_.clear();
    lastCodePage_ = kNoCodePage;
  }
  return tables_.emplace(codePage, table).first->second;
}

}  // namespace irun
