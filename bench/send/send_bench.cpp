// One send, timed: from the press of "Send To Evernote" until the import runner has
// started ENScript, for pages of formatted text of growing size. Run under Wine:
//
//   bench/send/run.sh            (sizes 0.1, 1 and 10 MB)
//
// Each size runs in a fresh process. Prints the time the dialog took to open on the page,
// the send's time per page and per MB, the private memory the send holds when ENScript
// starts (the RTF, the HTML and the ENEX file are all alive then) and the peak the send
// reached from the press until then (peak_memory.h), also as a multiple of the page's
// RTF. A second line splits the send into its steps, each without the time the log list
// took meanwhile, which is a step of its own.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "bench/send/peak_memory.h"
#include "testbed/test_host.h"
#include "tests/enscript_fixture.h"

namespace {

// The window may take minutes to open on a large page under a loaded machine; the run as
// a whole has its limit in RunFresh.
constexpr DWORD kNoWindowLimitMs = 0x7FFFFFFF;

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

double NowSeconds() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return static_cast<double>((static_cast<unsigned long long>(now.dwHighDateTime) << 32) |
                             now.dwLowDateTime) / 1e7;
}

double FileTimeSeconds(const FILETIME& time) {
  return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                             time.dwLowDateTime) / 1e7;
}

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.PagefileUsage;
}

// When the last note file in folder was last written to; nullopt when there is none.
std::optional<double> NoteFileWritten(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*.enex").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
  double latest = 0;
  do {
    latest = std::max(latest, FileTimeSeconds(found.ftLastWriteTime));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return latest;
}

// A log line as it arrived: when, and how long the list had taken up to then.
struct Mark {
  std::wstring text;
  double time = 0;
  double listSeconds = 0;
};

// The send from the press until ENScript's start, seen from the log list: each row as
// it is inserted, and the time spent inside the list's window procedure.
struct SendTrace {
  bool measuring = false;
  int depth = 0;  // the list's procedure may be entered again from inside
  double pressed = 0;
  double listSeconds = 0;
  std::vector<Mark> marks;
  std::wstring tempFolder;
  std::optional<double> noteFileWritten;
  double started = 0;        // ENScript's start, seen as its log line arrives
  SIZE_T privateBytes = 0;   // the whole note is in memory at this moment
  double peakBytes = 0;      // the most the send held up to this moment
  PeakMemory peak;

  // The time between the marks whose texts begin with from and to, without the list's.
  std::optional<double> Between(const wchar_t* from, const wchar_t* to) const {
    const Mark* first = Find(from);
    const Mark* last = Find(to);
    if (!first || !last) return std::nullopt;
    return (last->time - first->time) - (last->listSeconds - first->listSeconds);
  }
  const Mark* Find(const wchar_t* prefix) const {
    for (const Mark& mark : marks)
      if (mark.text.rfind(prefix, 0) == 0) return &mark;
    return nullptr;
  }
};

constexpr wchar_t kFirstSendLine[] = L"Convert text to HTML";
constexpr wchar_t kRunnerStart[] = L"==================";
constexpr wchar_t kEnscriptPath[] = L"ENScript path: ";
constexpr wchar_t kEnscriptStarted[] = L"ENScript started ";

void NoteInsert(SendTrace& trace, const LVITEMW* item) {
  if (!item || !item->pszText) return;
  const double now = NowSeconds();
  trace.marks.push_back({item->pszText, now, trace.listSeconds});
  if (trace.marks.back().text.rfind(kEnscriptStarted, 0) != 0) return;
  trace.started = now;
  trace.privateBytes = PrivateBytes();
  trace.peakBytes = trace.peak.PeakSinceStart();
  trace.noteFileWritten = NoteFileWritten(trace.tempFolder);
  trace.measuring = false;
}

LRESULT CALLBACK TraceLogList(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR context) {
  auto* trace = reinterpret_cast<SendTrace*>(context);
  if (!trace->measuring) return DefSubclassProc(list, message, wParam, lParam);
  if (message == LVM_INSERTITEMW && trace->depth == 0)
    NoteInsert(*trace, reinterpret_cast<const LVITEMW*>(lParam));
  const double begin = NowSeconds();
  ++trace->depth;
  LRESULT result = DefSubclassProc(list, message, wParam, lParam);
  --trace->depth;
  if (trace->depth == 0 && trace->measuring) trace->listSeconds += NowSeconds() - begin;
  return result;
}

struct Measurement {
  double openSeconds = -1;    // from the command until the dialog shows
  double seconds = -1;        // from the press until ENScript's start
  double megabytesInUse = 0;  // private bytes at ENScript's start beyond those before
  double peakMegabytes = 0;   // the send's peak beyond what was held before the press
  double pageMegabytes = 0;   // the page's RTF
  std::string steps;
};

std::string Milliseconds(const char* name, std::optional<double> seconds) {
  char text[64];
  if (seconds)
    std::snprintf(text, sizeof(text), "%s %.0f", name, *seconds * 1000);
  else
    std::snprintf(text, sizeof(text), "%s -", name);
  return text;
}

std::string Steps(const SendTrace& trace) {
  std::optional<double> answer;
  if (const Mark* first = trace.Find(kFirstSendLine))
    answer = (first->time - trace.pressed) - first->listSeconds;
  std::optional<double> noteFile, enscriptStart;
  const Mark* path = trace.Find(kEnscriptPath);
  // The list's work after the path line is that line's own, before the file is made.
  if (path && trace.noteFileWritten) {
    noteFile = (*trace.noteFileWritten - path->time) - (trace.listSeconds - path->listSeconds);
    enscriptStart = trace.started - *trace.noteFileWritten;
  }
  return "steps (ms): " + Milliseconds("first line", answer) + ", " +
         Milliseconds("conversion", trace.Between(kFirstSendLine, kRunnerStart)) + ", " +
         Milliseconds("finding ENScript", trace.Between(kRunnerStart, kEnscriptPath)) + ", " +
         Milliseconds("note file", noteFile) + ", " +
         Milliseconds("ENScript start", enscriptStart) + ", " +
         Milliseconds("log list", trace.listSeconds);
}

Measurement TimeOneSend(size_t pageBytes) {
  ResetHost();
  const std::string page = FormattedPage(pageBytes);
  SetEditorRtf(page);
  SelectInEditor(0, 0);
  RegisterPluginWithHost();
  ScopedTempFolder temp(L"bench-temp");
  Measurement result;
  SendTrace trace;
  trace.tempFolder = temp.folder();
  SIZE_T before = 0;
  const double commanded = NowSeconds();
  auto watch = WhenWindowAppears(DialogCaptionStartingWith(L"Yarrin2Evernote "), [&](HWND dialog) {
    result.openSeconds = NowSeconds() - commanded;
    PumpMessages(2200);  // let the Send button's blink end
    SetWindowSubclass(GetDlgItem(dialog, 1003), TraceLogList, 1,
                      reinterpret_cast<DWORD_PTR>(&trace));
    trace.peak.Start();  // its sampling thread is there before what the send holds
    before = PrivateBytes();
    trace.measuring = true;
    trace.pressed = NowSeconds();
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    trace.measuring = false;
    RemoveWindowSubclass(GetDlgItem(dialog, 1003), TraceLogList, 1);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }, kNoWindowLimitMs);
  RunPluginCommand(0);
  CancelWindowWatch(watch);
  if (trace.started == 0) return result;
  result.seconds = trace.started - trace.pressed;
  result.megabytesInUse = trace.privateBytes > before ? (trace.privateBytes - before) / 1048576.0 : 0;
  result.peakMegabytes = trace.peakBytes / 1048576.0;
  result.pageMegabytes = page.size() / 1048576.0;
  result.steps = Steps(trace);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  // One size in this process: "--one MB".
  if (argc == 3 && std::strcmp(argv[1], "--one") == 0) {
    const double megabytes = std::atof(argv[2]);
    ScopedEnscript enscript(L"bench");
    Measurement m = TimeOneSend(static_cast<size_t>(megabytes * 1048576));
    if (m.openSeconds < 0) {
      std::printf("%10.1f   error: the dialog did not open\n", megabytes);
      return 1;
    }
    if (m.seconds < 0) {
      std::printf("%10.1f %12.2f   error: the send did not start ENScript\n", megabytes,
                  m.openSeconds);
      return 1;
    }
    std::printf("%10.1f %12.2f %12.3f %12.3f %16.1f %12.1f   peak %.1fx page\n", megabytes,
                m.openSeconds, m.seconds, m.seconds / megabytes, m.megabytesInUse,
                m.peakMegabytes, m.peakMegabytes / m.pageMegabytes);
    std::printf("%10s   %s\n", "", m.steps.c_str());
    return 0;
  }
  std::vector<std::string> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(argv[i]);
  if (sizes.empty()) sizes = {"0.1", "1", "10"};
  std::printf("%10s %12s %12s %12s %16s %12s\n", "page (MB)", "open (s)", "send (s)", "s per MB",
              "MB held by send", "peak (MB)");
  bool allEnded = true;
  for (const std::string& size : sizes) allEnded = RunFresh("--one " + size, size) && allEnded;
  return allEnded ? 0 : 1;
}
