#include "win/clipboard.h"

#include <cstring>

#include "win/guards.h"

bool CopyTextToClipboard(const WideString& text) {
  return SetClipboardBytes(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(char16_t));
}

bool SetClipboardBytes(UINT format, const void* bytes, size_t count) {
  UniqueClipboard clipboard(nullptr);
  if (!clipboard) return false;
  EmptyClipboard();
  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, count));
  if (!block) return false;
  {
    UniqueGlobalLock locked(block.get());
    if (!locked) return false;
    std::memcpy(locked.data(), bytes, count);
  }
  bool placed = SetClipboardData(format, block.get()) != nullptr;
  // Once placed the block is the clipboard's; a refused one is freed by the guard.
  if (placed) block.release();
  AddClipboardLocale();
  return placed;
}

void AddClipboardLocale() {
  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, sizeof(LCID)));
  if (!block) return;
  {
    UniqueGlobalLock locked(block.get());
    if (!locked) return;
    LCID locale = GetThreadLocale();
    std::memcpy(locked.data(), &locale, sizeof(locale));
  }
  if (SetClipboardData(CF_LOCALE, block.get())) block.release();
}
