// Peak memory that CaptureRichEditRtf allocates for pages of several megabytes, against
// the bound of three times the RTF's size plus the largest first reserve (1 MiB). Every allocation of this
// program goes through the counting operator new below, so the peak covers the capture's
// buffer and its growth; the rich edit's own memory is not counted.
//
//   tools/wine-run.sh build/<dir>/wineprefix build/<dir>/bench/richedit/richedit_capture_bench.exe
#include <windows.h>
#include <richedit.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "convert/richedit_stream.h"

namespace {

constexpr size_t kLargestFirstReserve = 1 << 20;

size_t liveBytes = 0;
size_t peakBytes = 0;

// Each block carries its size in front so that delete can count it off.
constexpr size_t kHeader = alignof(std::max_align_t);

void* CountedAllocate(size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (!block) throw std::bad_alloc();
  *reinterpret_cast<size_t*>(block) = size;
  liveBytes += size;
  peakBytes = std::max(peakBytes, liveBytes);
  return block + kHeader;
}

void CountedFree(void* pointer) {
  if (!pointer) return;
  auto* block = static_cast<unsigned char*>(pointer) - kHeader;
  liveBytes -= *reinterpret_cast<size_t*>(block);
  std::free(block);
}

}  // namespace

void* operator new(size_t size) { return CountedAllocate(size); }
void* operator new[](size_t size) { return CountedAllocate(size); }
void operator delete(void* pointer) noexcept { CountedFree(pointer); }
void operator delete[](void* pointer) noexcept { CountedFree(pointer); }
void operator delete(void* pointer, size_t) noexcept { CountedFree(pointer); }
void operator delete[](void* pointer, size_t) noexcept { CountedFree(pointer); }

namespace {

// A page of charCount characters in paragraphs of about a thousand, mostly Cyrillic, so
// that each character takes several RTF bytes (\uN?) and the RTF runs to megabytes.
std::wstring MakePage(size_t charCount) {
  const std::wstring words = L"\u0421\u0442\u0440\u043e\u043a\u0430 \u0434\u043b\u0438\u043d\u043d\u043e\u0439 "
                             L"\u0441\u0442\u0440\u0430\u043d\u0438\u0446\u044b page ";
  std::wstring page;
  page.reserve(charCount + 1000);
  while (page.size() < charCount) {
    for (int i = 0; i < 40; ++i) page += words;
    page += L"\r";
  }
  page.resize(charCount);
  return page;
}

bool Measure(HWND richEdit, size_t charCount) {
  std::wstring page = MakePage(charCount);
  SetWindowTextW(richEdit, page.c_str());
  page = std::wstring();

  size_t before = liveBytes;
  peakBytes = liveBytes;
  DWORD start = GetTickCount();
  ByteString rtf = CaptureRichEditRtf(richEdit, RichEditPart::kWholeText);
  DWORD elapsed = GetTickCount() - start;
  size_t peak = peakBytes - before;
  size_t bound = 3 * rtf.size() + kLargestFirstReserve;
  bool within = peak < bound;
  std::printf("%9zu characters  RTF %10zu bytes  peak %10zu bytes (%.2f x RTF)  "
              "n x 100 would reserve %11zu  %5lu ms  %s\n",
              charCount, rtf.size(), peak, double(peak) / double(rtf.size() ? rtf.size() : 1),
              charCount * 100, static_cast<unsigned long>(elapsed), within ? "ok" : "OVER BOUND");
  return within && !rtf.empty();
}

}  // namespace

int main() {
  LoadLibraryW(L"riched20.dll");
  HWND richEdit = CreateWindowExW(0, L"RICHEDIT20W", L"", WS_POPUP | ES_MULTILINE, 0, 0, 400,
                                  300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!richEdit) {
    std::printf("no rich edit control\n");
    return 1;
  }
  SendMessageW(richEdit, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
  bool allWithin = true;
  for (size_t count : {10000u, 250000u, 500000u, 1000000u})
    allWithin = Measure(richEdit, count) && allWithin;
  DestroyWindow(richEdit);
  std::printf(allWithin ? "every capture within 3 x RTF + 1 MiB\n" : "BOUND EXCEEDED\n");
  return allWithin ? 0 : 1;
}
