// Converts one RTF file in memory, as irun.dll does (pictures kept beside the
// document), whole and in 64 KB pieces, and prints the throughput and the peak memory
// the conversion needed:
//   irun_bench FILE [REPEATS]
// Time is processor time (best of the repeats); memory is the growth of the peak
// resident size over the process before it read the file, so the input counts.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "irun_core.h"

namespace {

long CurrentRssKb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4;
}

// Processor time of this process: on a machine shared with other work, wall-clock
// time would measure the neighbours too.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

constexpr size_t kPiece = 64 * 1024;

struct Pieces {
  const std::string& rtf;
  size_t at = 0;
};

size_t NextPiece(void* context, const char** piece) {
  Pieces& pieces = *static_cast<Pieces*>(context);
  const size_t size = std::min(kPiece, pieces.rtf.size() - pieces.at);
  *piece = pieces.rtf.data() + pieces.at;
  pieces.at += size;
  return size;
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: irun_bench FILE [REPEATS]\n");
    return 2;
  }
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const long baseKb = CurrentRssKb();
  std::string rtf;
  {
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "irun_bench: cannot read %s\n", argv[1]);
      return 1;
    }
    in.seekg(0, std::ios::end);
    rtf.resize(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    in.read(&rtf[0], static_cast<std::streamsize>(rtf.size()));
  }
  double best = 1e30;
  size_t htmlSize = 0;
  int pictures = 0;
  // As irun.dll converts: pictures collected beside the document.
  irun::ConvertOptions dllOptions;
  dllOptions.keepPictures = true;
  for (int i = 0; i < repeats; ++i) {
    irun::HtmlChunks html;
    irun::ConvertStats stats;
    const double start = CpuSeconds();
    irun::ConvertRtfToChunks(rtf.data(), rtf.size(), dllOptions, html, &stats);
    best = std::min(best, std::max(CpuSeconds() - start, 1e-6));
    htmlSize = html.Size();
    pictures = stats.pictureCount;
  }
  // The converter alone: output streamed through a sink that keeps nothing, as
  // rtf2html does into a file.
  double bestStream = 1e30;
  for (int i = 0; i < repeats; ++i) {
    const double start = CpuSeconds();
    irun::ConvertRtf(rtf.data(), rtf.size(), [](const char*, size_t, void*) {}, nullptr,
                     irun::ConvertOptions(), nullptr);
    bestStream = std::min(bestStream, std::max(CpuSeconds() - start, 1e-6));
  }
  // As irun.dll's calls for pieces: the RTF in 64 KB pieces, the document read back in
  // 64 KB pieces (each dropped at once, as a caller that passes it on would).
  double bestPieces = 1e30;
  for (int i = 0; i < repeats; ++i) {
    Pieces pieces{rtf};
    irun::HtmlChunks html;
    const double start = CpuSeconds();
    irun::ConvertRtfPiecesToChunks(NextPiece, &pieces, dllOptions, html, nullptr);
    static char buffer[kPiece];
    while (html.Read(buffer, sizeof buffer) > 0) {
    }
    bestPieces = std::min(bestPieces, std::max(CpuSeconds() - start, 1e-6));
  }
  const double mb = static_cast<double>(rtf.size()) / (1024.0 * 1024.0);
  const double peakMb = static_cast<double>(PeakRssKb() - baseKb) / 1024.0;
  // One line: input MB, seconds in memory, MB/s in memory, MB/s streamed, peak MB,
  // peak as a multiple of the input, output bytes, pictures, MB/s in pieces.
  std::printf("%.1f %.4f %.1f %.1f %.1f %.2f %zu %d %.1f\n", mb, best, mb / best, mb / bestStream,
              peakMb, peakMb / mb, htmlSize, pictures, mb / bestPieces);
  return 0;
}
