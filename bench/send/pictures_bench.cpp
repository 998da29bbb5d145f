// One send of a page, each in a fresh process, straight to the send operation (Wine's
// rich edit takes minutes to lay out the largest): pages of pictures of 1 and 10 MB of
// RTF (or the megabytes given), half the pictures' bytes PNG files, which go into the
// note as they are, half 24-bit bitmaps, which are drawn and encoded as PNG; or, with
// --shapes, a page of one paragraph of 150,000 line breaks and one of a table of 60,000
// rows, whose HTML has no line end outside an element. The send operation is called as
// the dialog calls it, with its own copy of the page's RTF (as the dialog captures one);
// the time runs from the call until ENScript has started, when the whole note is in
// memory. Run under Wine:
//
//   bench/send/run.sh --pictures [MB...]
//   bench/send/run.sh --shapes
//
// Prints the send time, the private memory in use when ENScript starts and the peak the
// send reached until then (peak_memory.h), beyond what was held before the send's copy
// of the page was made, also as a multiple of the page's RTF.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>
#include <string>

#include "bench/send/peak_memory.h"
#include "note/send_note.h"
#include "tests/enscript_fixture.h"

namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendHex(std::string& rtf, const std::string& bytes) {
  for (unsigned char byte : bytes) {
    rtf += kHex[byte >> 4];
    rtf += kHex[byte & 15];
  }
}

std::string BigEndian(uint32_t value) {
  return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
}

std::string LittleEndian(uint32_t value, int bytes) {
  std::string text;
  for (int i = 0; i < bytes; ++i) text += char(value >> (8 * i));
  return text;
}

// A PNG signature and header, noise, and the end chunk: what the note carries as it is
// (nothing decodes it on the way).
std::string PngOfSize(size_t bytes, std::mt19937& rng) {
  std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + BigEndian(13) + "IHDR" +
                    BigEndian(1024) + BigEndian(768) + std::string("\x08\x02\x00\x00\x00", 5) +
                    BigEndian(0);
  const std::string end = std::string(4, '\0') + "IEND\xae\x42\x60\x82";
  while (png.size() + end.size() < bytes) png += char(rng());
  return png + end;
}

// A 24-bit bottom-up DIB of width x height with a colour gradient, its own for each seed.
std::string Dib(int width, int height, int seed) {
  const int row = (width * 3 + 3) & ~3;
  std::string dib = LittleEndian(40, 4) + LittleEndian(width, 4) + LittleEndian(height, 4) +
                    LittleEndian(1, 2) + LittleEndian(24, 2) + LittleEndian(0, 4) +
                    LittleEndian(row * height, 4) + std::string(16, '\0');
  for (int y = 0; y < height; ++y) {
    std::string line(row, '\0');
    for (int x = 0; x < width; ++x) {
      line[x * 3] = char(x * 255 / width);
      line[x * 3 + 1] = char(y * 255 / height);
      line[x * 3 + 2] = char((x + y + seed * 40) & 255);
    }
    dib += line;
  }
  return dib;
}

// A page of about `megabytes` of RTF: the pictures' bytes are half of it (hex digits
// take two characters a byte), half of those PNG files and half bitmaps.
std::string PicturePage(double megabytes) {
  std::mt19937 rng(3);
  const size_t half = static_cast<size_t>(megabytes * 1048576 / 4);
  std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\pard\\fs20 ";
  const size_t pngBytes = 256 * 1024;
  for (size_t done = 0; done < half; done += pngBytes) {
    rtf += "A photo: {\\pict\\pngblip\\picw1024\\pich768\\picwgoal7680\\pichgoal5760 ";
    AppendHex(rtf, PngOfSize(pngBytes, rng));
    rtf += "}\\par ";
  }
  const int width = 400, height = 300;
  size_t done = 0;
  for (int seed = 0; done < half; ++seed) {
    const std::string dib = Dib(width, height, seed);
    rtf += "A screenshot: {\\pict\\dibitmap0\\picw400\\pich300\\picwgoal6000\\pichgoal4500 ";
    AppendHex(rtf, dib);
    rtf += "}\\par ";
    done += dib.size();
  }
  return rtf + "}";
}

// One paragraph of many lines: its HTML is one element from start to end.
std::string LinesPage(int lines) {
  std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\pard\\fs20 ";
  for (int i = 0; i < lines; ++i) rtf += "Line " + std::to_string(i) + " of the paragraph\\line ";
  return rtf + "\\par}";
}

// One table of many rows.
std::string TablePage(int rows) {
  std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\pard\\fs20 ";
  for (int i = 0; i < rows; ++i) {
    rtf += "\\trowd\\cellx2000\\cellx4000\\cellx6000\\intbl Row " + std::to_string(i) +
           "\\cell some words\\cell more\\cell\\row ";
  }
  return rtf + "\\pard\\par}";
}

unsigned long long NowIn100ns() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.PagefileUsage;
}

struct Progress {
  unsigned long long started = 0;
  SIZE_T privateBytes = 0;
  double peakBytes = 0;
  PeakMemory peak;
  std::string lastLine;
};

int RecordLine(const wchar_t* text, void* context) {
  auto* progress = static_cast<Progress*>(context);
  std::wstring line(text);
  if (line.rfind(L"ENScript started ", 0) == 0) {
    progress->started = NowIn100ns();
    progress->privateBytes = PrivateBytes();
    progress->peakBytes = progress->peak.PeakSinceStart();
  }
  progress->lastLine.assign(line.begin(), line.end());
  if (std::getenv("BENCH_LOG")) std::printf("  log: %s\n", progress->lastLine.c_str());
  return 0;
}

int OneSend(const std::string& kind) {
  ScopedEnscript enscript(L"pictures-bench");
  Progress progress;
  // The host's page; the send makes its own copy when it asks, as the dialog's capture
  // does, and that copy counts as the send's.
  const std::string page = kind == "lines"   ? LinesPage(150000)
                           : kind == "table" ? TablePage(60000)
                                             : PicturePage(std::atof(kind.c_str()));
  const double rtfMegabytes = page.size() / 1048576.0;
  progress.peak.Start();  // its sampling thread is there before what the send holds
  const SIZE_T before = PrivateBytes();
  SendRequest request;
  request.title = u"Pictures";
  request.ask.pageRtf = [&page] { return std::optional<SystemPieces>(SystemPiecesOf(page)); };
  request.import.log = {RecordLine, &progress};
  const unsigned long long start = NowIn100ns();
  SendPage(request);
  if (progress.started == 0) {
    std::printf("the send did not start ENScript: %s\n", progress.lastLine.c_str());
    return 1;
  }
  const auto notes = enscript.Notes();
  const size_t resources = notes.empty() ? 0 : notes[0].resources.size();
  const double peak = progress.peakBytes / 1048576.0;
  std::printf("%-8s %10.1f %10zu %12.3f %16.1f %12.1f   peak %.1fx page\n",
              kind == "lines" || kind == "table" ? kind.c_str() : "pictures", rtfMegabytes,
              resources,
              (progress.started - start) / 1e7,
              progress.privateBytes > before ? (progress.privateBytes - before) / 1048576.0 : 0.0,
              peak, peak / rtfMegabytes);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--one") == 0) return OneSend(argv[2]);
  std::vector<std::string> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(argv[i]);
  if (sizes.size() == 1 && sizes[0] == "--shapes") sizes = {"lines", "table"};
  if (sizes.empty()) sizes = {"1", "10"};
  std::printf("%-8s %10s %10s %12s %16s %12s\n", "page", "RTF (MB)", "resources", "send (s)",
              "MB in use", "peak (MB)");
  bool allEnded = true;
  for (const std::string& size : sizes) allEnded = RunFresh("--one " + size, size) && allEnded;
  return allEnded ? 0 : 1;
}
