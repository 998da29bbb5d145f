// Code-page decoding through iconv, for the native build.
#include <errno.h>
#include <iconv.h>

#include <cstdio>

#include "code_page.h"

namespace irun {
namespace {

// iconv_open is slow next to a short run of text, so each thread keeps the descriptor
// of the code page it used last.
class CachedConverter {
 public:
  ~CachedConverter() { Close(); }
  iconv_t For(unsigned codePage) {
    if (handle_ != kNone && codePage_ == codePage) return handle_;
    Close();
    handle_ = Open(codePage);
    codePage_ = codePage;
    return handle_;
  }

 private:
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
  static iconv_t Open(unsigned codePage) {
    char name[24];
    if (codePage == 10000) {
      snprintf(name, sizeof name, "MACINTOSH");
    } else if (codePage == 20127) {
      snprintf(name, sizeof name, "ASCII");
    } else if (codePage == 65001) {
      snprintf(name, sizeof name, "UTF-8");
    } else {
      snprintf(name, sizeof name, "CP%u", codePage);
    }
    return iconv_open("UTF-16LE", name);
  }
  void Close() {
    if (handle_ != kNone) iconv_close(handle_);
    handle_ = kNone;
  }
  iconv_t handle_ = kNone;
  unsigned codePage_ = 0;
};

thread_local CachedConverter cachedConverter;

}  // namespace

bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::u16string& out) {
  iconv_t cd = cachedConverter.For(codePage);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    for (char* p = buffer; p + 1 < outPtr; p += 2) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                          (static_cast<unsigned char>(p[1]) << 8)));
    }
    if (done == static_cast<size_t>(-1) && errno != E2BIG) {
      // An unmapped or cut-off byte: mark it and go on behind it.
      out.push_back(u'\uFFFD');
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  // Stateful converters (CP1255, CP1258) hold back a last letter for its accents.
  char* outPtr = buffer;
  size_t outLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  for (char* p = buffer; p + 1 < outPtr; p += 2) {
    out.push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                        (static_cast<unsigned char>(p[1]) << 8)));
  }
  return true;
}

}  // namespace irun
