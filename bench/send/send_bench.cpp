// One send, timed: from the press of "Send To Evernote" until the import runner has
// started ENScript, for pages of formatted text of growing size. Run under Wine:
//
//   bench/send/run.sh            (sizes 0.1, 1 and 10 MB)
//
// Each size runs in a fresh process. Prints the time per page and per MB, the private
// memory the send holds when ENScript starts (the RTF, the HTML and the ENEX file are all
// alive then) and the peak the send reached from the press until then (peak_memory.h),
// also as a multiple of the page's RTF.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/send/peak_memory.h"
#include "testbed/test_host.h"
#include "tests/enscript_fixture.h"

namespace {

// RTF of roughly the given size: paragraphs of mixed bold, italic, coloured text with a
// web address now and then.
std::string FormattedPage(size_t bytes) {
  std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}"
      "{\\colortbl ;\\red200\\green0\\blue0;\\red0\\green0\\blue160;}\\pard\\fs20 ";
  const char* paragraph =
      "Plain words lead the line, then {\\b bold words}, {\\i italic words}, {\\cf1 red "
      "words}, {\\f1\\fs24 another font} and a link https://example.org/page too.\\par ";
  while (rtf.size() < bytes) rtf += paragraph;
  return rtf + "}";
}

unsigned long long NowIn100ns() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}


SIZE_T PrivateBytes(bool peak) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return peak ? counters.PeakPagefileUsage : counters.PagefileUsage;
}

struct EnscriptStart {
  unsigned long long time = 0;
  SIZE_T privateBytes = 0;  // the whole note is in memory at this moment
  double peakBytes = 0;     // the most the send held up to this moment
  PeakMemory peak;
};

// The moment the import runner reports that ENScript has started: the log row is
// inserted right after the shell has started it.
LRESULT CALLBACK RecordEnscriptStart(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR context) {
  if (message == LVM_INSERTITEMW) {
    auto* item = reinterpret_cast<const LVITEMW*>(lParam);
    if (item && item->pszText && std::wstring(item->pszText).rfind(L"ENScript started ", 0) == 0) {
      auto* start = reinterpret_cast<EnscriptStart*>(context);
      start->time = NowIn100ns();
      start->privateBytes = PrivateBytes(false);
      start->peakBytes = start->peak.PeakSinceStart();
    }
  }
  return DefSubclassProc(list, message, wParam, lParam);
}

struct Measurement {
  double seconds = -1;
  double megabytesInUse = 0;  // private bytes at ENScript's start beyond those before
  double peakMegabytes = 0;   // the send's peak beyond what was held before the press
  double pageMegabytes = 0;   // the page's RTF
};

Measurement TimeOneSend(size_t pageBytes) {
  ResetHost();
  const std::string page = FormattedPage(pageBytes);
  SetEditorRtf(page);
  SelectInEditor(0, 0);
  RegisterPluginWithHost();
  Measurement result;
  unsigned long long pressed = 0;
  EnscriptStart started;
  SIZE_T before = 0;
  auto watch = WhenWindowAppears(DialogCaptionStartingWith(L"Yarrin2Evernote "), [&](HWND dialog) {
    PumpMessages(2200);  // let the Send button's blink end
    SetWindowSubclass(GetDlgItem(dialog, 1003), RecordEnscriptStart, 1,
                      reinterpret_cast<DWORD_PTR>(&started));
    started.peak.Start();  // its sampling thread is there before what the send holds
    before = PrivateBytes(false);
    pressed = NowIn100ns();
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }, 120000);
  RunPluginCommand(0);
  CancelWindowWatch(watch);
  if (started.time == 0) return result;
  result.seconds = (static_cast<double>(started.time) - static_cast<double>(pressed)) / 1e7;
  result.megabytesInUse =
      started.privateBytes > before ? (started.privateBytes - before) / 1048576.0 : 0;
  result.peakMegabytes = started.peakBytes / 1048576.0;
  result.pageMegabytes = page.size() / 1048576.0;
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  // One size in this process: "--one MB".
  if (argc == 3 && std::strcmp(argv[1], "--one") == 0) {
    const double megabytes = std::atof(argv[2]);
    ScopedEnscript enscript(L"bench");
    Measurement m = TimeOneSend(static_cast<size_t>(megabytes * 1048576));
    if (m.seconds < 0) {
      std::printf("%10.1f   the send did not start ENScript\n", megabytes);
      return 1;
    }
    std::printf("%10.1f %12.3f %12.3f %16.1f %12.1f   peak %.1fx page\n", megabytes, m.seconds,
                m.seconds / megabytes, m.megabytesInUse, m.peakMegabytes,
                m.peakMegabytes / m.pageMegabytes);
    return 0;
  }
  std::vector<std::string> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(argv[i]);
  if (sizes.empty()) sizes = {"0.1", "1", "10"};
  std::printf("%10s %12s %12s %16s %12s\n", "page (MB)", "send (s)", "s per MB", "MB held by send",
              "peak (MB)");
  for (const std::string& size : sizes)
    if (RunFresh("--one " + size) != 0) return 1;
  return 0;
}
