// Code-page conversions through Win32. A result shorter than 2000 units goes through a
// fixed buffer; a longer one through exactly one heap buffer sized by the measuring call.
#include "text/code_pages.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

namespace {
constexpr int kFixedUnits = 2000;
}

WideString BytesToWide(const char* bytes, unsigned codePage) {
  if (!bytes) return WideString();
  const int length = static_cast<int>(std::strlen(bytes));
  if (length == 0) return WideString();
  const int count = MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0);
  if (count <= 0) return WideString();

  wchar_t fixed[kFixedUnits];
  std::unique_ptr<wchar_t[]> heap;
  wchar_t* buffer = fixed;
  if (count >= kFixedUnits) {
    heap.reset(new (std::nothrow) wchar_t[count + 1]);
    if (!heap) return WideString();
    buffer = heap.get();
  }
  const int written = MultiByteToWideChar(codePage, 0, bytes, length, buffer, count);
  if (written <= 0) return WideString();
  buffer[written] = L'\0';
  return WideFromPtr(buffer);
}

ByteString WideToBytes(const char16_t* text, unsigned codePage) {
  if (!text) return ByteString();
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(text);
  const int length = static_cast<int>(std::wcslen(wide));
  if (length == 0) return ByteString();
  const int count =
      WideCharToMultiByte(codePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (count <= 0) return ByteString();

  char fixed[kFixedUnits];
  std::unique_ptr<char[]> heap;
  char* buffer = fixed;
  if (count >= kFixedUnits) {
    heap.reset(new (std::nothrow) char[count + 1]);
    if (!heap) return ByteString();
    buffer = heap.get();
  }
  const int written =
      WideCharToMultiByte(codePage, 0, wide, length, buffer, count, nullptr, nullptr);
  if (written <= 0) return ByteString();
  buffer[written] = '\0';
  return ByteString(buffer);
}

void AppendUtf8(ByteString& out, const WideString& text, size_t spareAfter) {
  const wchar_t* wide = WidePtr(text);
  const int length = static_cast<int>(std::wcslen(wide));
  if (length == 0) return;
  const int count =
      WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (count <= 0) return;
  const size_t start = out.size();
  out.reserve(start + static_cast<size_t>(count) + spareAfter);
  out.resize(start + static_cast<size_t>(count));
  const int written =
      WideCharToMultiByte(CP_UTF8, 0, wide, length, &out[start], count, nullptr, nullptr);
  out.resize(start + static_cast<size_t>(written > 0 ? written : 0));
}
