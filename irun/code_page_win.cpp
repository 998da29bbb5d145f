// Code-page decoding through MultiByteToWideChar, for the Windows builds.
#include <windows.h>

#include <climits>

#include "code_page.h"

namespace irun {

bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::u16string& out) {
  if (bytes.empty()) return IsValidCodePage(codePage) != FALSE;
  if (bytes.size() > INT_MAX / 2) return false;
  const int inCount = static_cast<int>(bytes.size());
  const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), inCount, nullptr, 0);
  if (needed <= 0) return false;
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(needed));
  const int written = MultiByteToWideChar(codePage, 0, bytes.data(), inCount,
                                          reinterpret_cast<wchar_t*>(&out[start]), needed);
  out.resize(start + static_cast<size_t>(written > 0 ? written : 0));
  return written > 0;
}

}  // namespace irun
