// rtf2html: converts one RTF file to HTML, on standard output or into a named file, and
// with --pictures writes the pictures into a folder under the names the HTML uses.
//   rtf2html [-o output.html] [--pictures DIR] input.rtf
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "irun_core.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#define IRUN_CAN_MAP 1
#endif

namespace {

using FileGuard = std::unique_ptr<FILE, int (*)(FILE*)>;

int Usage() {
  std::fprintf(stderr, "usage: rtf2html [-o output.html] [--pictures DIR] input.rtf\n");
  return 2;
}

// The bytes of the input file. Where the system can, the file is mapped: reading it
// into a buffer would copy the document and fault in as much fresh memory, which costs
// about a third of a conversion.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() {
#if defined(IRUN_CAN_MAP)
    if (mapped_) munmap(mapped_, mappedSize_);
#endif
  }

  bool Open(const char* path) {
#if defined(IRUN_CAN_MAP)
    const int fd = open(path, O_RDONLY);
    if (fd < 0) return false;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
      int flags = MAP_PRIVATE;
#if defined(MAP_POPULATE)
      flags |= MAP_POPULATE;
#endif
      void* mapped = mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, flags, fd, 0);
      if (mapped != MAP_FAILED) {
        mapped_ = mapped;
        mappedSize_ = static_cast<size_t>(info.st_size);
      }
    }
    close(fd);
    if (mapped_) return true;
#endif
    return Read(path);
  }
  const char* Data() const { return mapped_ ? static_cast<const char*>(mapped_) : read_.data(); }
  size_t Size() const { return mapped_ ? mappedSize_ : read_.size(); }

 private:
  // Reads the file in one piece when its size is known, in pieces when not (a pipe).
  bool Read(const char* path) {
    FileGuard file(std::fopen(path, "rb"), &std::fclose);
    if (!file) return false;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
      const long size = std::ftell(file.get());
      if (size > 0 && std::fseek(file.get(), 0, SEEK_SET) == 0) {
        read_.resize(static_cast<size_t>(size));
        read_.resize(std::fread(read_.data(), 1, read_.size(), file.get()));
      } else {
        std::rewind(file.get());
      }
    }
    char buffer[1 << 16];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
      read_.append(buffer, count);
    return std::ferror(file.get()) == 0;
  }

  void* mapped_ = nullptr;
  size_t mappedSize_ = 0;
  std::string read_;
};

void WriteToFile(const char* data, size_t size, void* userData) {
  std::fwrite(data, 1, size, static_cast<FILE*>(userData));
}

// The 14-byte file header that makes a DIB (header, colour table, bits) a .bmp file.
std::string BitmapFileHeader(const std::vector<unsigned char>& dib) {
  auto little = [&](size_t at, size_t count) {
    uint32_t value = 0;
    for (size_t i = count; i-- > 0;) value = value << 8 | (at + i < dib.size() ? dib[at + i] : 0);
    return value;
  };
  const uint32_t headerSize = little(0, 4);
  uint32_t colors = 0;
  uint32_t entrySize = 4;
  uint32_t masks = 0;
  if (headerSize == 12) {  // BITMAPCOREHEADER
    const uint32_t bits = little(10, 2);
    colors = bits <= 8 ? 1u << bits : 0;
    entrySize = 3;
  } else {
    const uint32_t bits = little(14, 2);
    colors = little(32, 4);
    if (colors == 0 && bits <= 8) colors = 1u << bits;
    if (headerSize == 40 && little(16, 4) == 3) masks = 12;  // BI_BITFIELDS
  }
  const uint64_t offset = 14 + uint64_t{headerSize} + masks + uint64_t{colors} * entrySize;
  const uint64_t fileSize = 14 + uint64_t{dib.size()};
  std::string header = "BM";
  for (uint64_t value : {fileSize, uint64_t{0}, std::min<uint64_t>(offset, fileSize)}) {
    for (int i = 0; i < 4; ++i) header.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
  }
  return header;
}

// Writes each picture into `folder` under its name; a DIB gets its file header so that
// the file is a .bmp. Returns false when a file cannot be written.
bool WritePictures(const std::string& folder, const std::vector<irun::Picture>& pictures) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  for (const irun::Picture& picture : pictures) {
    const std::string path = (std::filesystem::path(folder) / picture.name).string();
    FileGuard file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) {
      std::fprintf(stderr, "rtf2html: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
      return false;
    }
    if (picture.type == irun::PictureType::kDib) {
      const std::string header = BitmapFileHeader(picture.data);
      std::fwrite(header.data(), 1, header.size(), file.get());
    }
    std::fwrite(picture.data.data(), 1, picture.data.size(), file.get());
    if (std::fflush(file.get()) != 0 || std::ferror(file.get())) {
      std::fprintf(stderr, "rtf2html: cannot write %s\n", path.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* input = nullptr;
  const char* output = nullptr;
  const char* pictureFolder = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
      output = argv[++i];
    } else if (std::strcmp(argv[i], "--pictures") == 0 && i + 1 < argc) {
      pictureFolder = argv[++i];
    } else if (argv[i][0] == '-' && argv[i][1] != 0) {
      return Usage();
    } else if (!input) {
      input = argv[i];
    } else {
      return Usage();
    }
  }
  if (!input) return Usage();
  InputFile rtf;
  if (!rtf.Open(input)) {
    std::fprintf(stderr, "rtf2html: cannot read %s: %s\n", input, std::strerror(errno));
    return 1;
  }
  FileGuard outFile(output ? std::fopen(output, "wb") : nullptr, &std::fclose);
  if (output && !outFile) {
    std::fprintf(stderr, "rtf2html: cannot write %s: %s\n", output, std::strerror(errno));
    return 1;
  }
  FILE* target = output ? outFile.get() : stdout;
  irun::ConvertOptions options;
  options.keepPictures = pictureFolder != nullptr;
  irun::ConvertStats stats;
  if (!irun::ConvertRtf(rtf.Data(), rtf.Size(), &WriteToFile, target, options, &stats)) {
    std::fprintf(stderr, "rtf2html: out of memory converting %s\n", input);
    return 1;
  }
  if (std::fflush(target) != 0 || std::ferror(target)) {
    std::fprintf(stderr, "rtf2html: cannot write the output\n");
    return 1;
  }
  if (pictureFolder && !WritePictures(pictureFolder, stats.pictures)) return 1;
  return 0;
}
