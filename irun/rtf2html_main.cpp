// rtf2html: converts one RTF file to HTML, on standard output or into a named file.
//   rtf2html [-o output.html] input.rtf
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "irun_core.h"

namespace {

using FileGuard = std::unique_ptr<FILE, int (*)(FILE*)>;

int Usage() {
  std::fprintf(stderr, "usage: rtf2html [-o output.html] input.rtf\n");
  return 2;
}

bool ReadWholeFile(const char* path, std::string& data) {
  FileGuard file(std::fopen(path, "rb"), &std::fclose);
  if (!file) return false;
  char buffer[1 << 16];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) data.append(buffer, count);
  return std::ferror(file.get()) == 0;
}

void WriteToFile(const char* data, size_t size, void* userData) {
  std::fwrite(data, 1, size, static_cast<FILE*>(userData));
}

}  // namespace

int main(int argc, char** argv) {
  const char* input = nullptr;
  const char* output = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
      output = argv[++i];
    } else if (argv[i][0] == '-' && argv[i][1] != 0) {
      return Usage();
    } else if (!input) {
      input = argv[i];
    } else {
      return Usage();
    }
  }
  if (!input) return Usage();
  std::string rtf;
  if (!ReadWholeFile(input, rtf)) {
    std::fprintf(stderr, "rtf2html: cannot read %s: %s\n", input, std::strerror(errno));
    return 1;
  }
  FileGuard outFile(output ? std::fopen(output, "wb") : nullptr, &std::fclose);
  if (output && !outFile) {
    std::fprintf(stderr, "rtf2html: cannot write %s: %s\n", output, std::strerror(errno));
    return 1;
  }
  FILE* target = output ? outFile.get() : stdout;
  irun::ConvertStats stats;
  if (!irun::ConvertRtf(rtf.data(), rtf.size(), &WriteToFile, target, irun::ConvertOptions(),
                        &stats)) {
    std::fprintf(stderr, "rtf2html: out of memory converting %s\n", input);
    return 1;
  }
  if (std::fflush(target) != 0 || std::ferror(target)) {
    std::fprintf(stderr, "rtf2html: cannot write the output\n");
    return 1;
  }
  return 0;
}
