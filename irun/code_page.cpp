// Lead-byte ranges of the double-byte code pages, the same on every platform so the
// reader splits text identically natively and on Windows.
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

}  // namespace irun
