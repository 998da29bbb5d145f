#include "convert/rtf_to_html.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "irun/irun.h"
#include "text/utf8.h"
#include "win/guards.h"
#include "win/module_state.h"
#include "win/system_text.h"

namespace {

constexpr char16_t kLibraryName[] = u"irun.dll";

// A function of the converter library, or null when the library lacks it.
template <typename Proc>
Proc FindFunction(const UniqueModule& library, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(library.get(), name)));
}

// Closes the converter session on every way out; a library without
// EXBufferCloseSession has nothing to close.
class UniqueConverterSession {
 public:
  UniqueConverterSession(const UniqueModule& library, IrunSession session)
      : close_(FindFunction<EXBufferCloseSessionProc>(library, "EXBufferCloseSession")),
        session_(session) {}
  ~UniqueConverterSession() { Close(); }
  // Ends the session now: its document is no more needed.
  void Close() {
    if (close_) close_(session_);
    close_ = nullptr;
  }
  UniqueConverterSession(const UniqueConverterSession&) = delete;
  UniqueConverterSession& operator=(const UniqueConverterSession&) = delete;

 private:
  EXBufferCloseSessionProc close_;
  IrunSession session_;
};

// A file named irun.dll in the host's current folder or on PATH must never run inside
// the host: look in the plug-in's own folder first, then only in the safe default
// folders (the host's folder and the system folder). On failure, failure says where it
// looked and what the system answered there.
HMODULE LoadConverterLibrary(WideString& failure) {
  const WideString folder = ModuleFolder();
  DWORD ownError = ERROR_MOD_NOT_FOUND;
  if (!folder.empty()) {
    const WideString own = folder + kLibraryName;
    // Dependencies of the converter come from its own folder too.
    if (HMODULE module = LoadLibraryExW(WidePtr(own), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
      return module;
    }
    ownError = GetLastError();
  }
  failure = u"Cannot load the converter " + WideString(kLibraryName) + u" from the folder " +
            (folder.empty() ? WideString(u"of the plug-in") : folder) + u": " +
            SystemErrorText(ownError);
  if (HMODULE module = LoadLibraryExW(reinterpret_cast<const wchar_t*>(kLibraryName), nullptr,
                                      LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)) {
    return module;
  }
  // Windows 7 without KB2533623 refuses the search flags: the system folder alone then.
  if (GetLastError() == ERROR_INVALID_PARAMETER) return LoadSystemLibrary(kLibraryName);
  return nullptr;
}

WideString Lacks(const char* function) {
  return u"The converter " + WideString(kLibraryName) + u" lacks its function " +
         WideFromAscii(function);
}

// The converter's picture kinds in the picture type of the note.
PictureFormat FormatFromConverter(int32_t format) {
  switch (format) {
    case IRUN_PICTURE_PNG: return PictureFormat::kPng;
    case IRUN_PICTURE_JPEG: return PictureFormat::kJpeg;
    case IRUN_PICTURE_EMF: return PictureFormat::kEmf;
    case IRUN_PICTURE_WMF: return PictureFormat::kWmf;
    case IRUN_PICTURE_DIB: return PictureFormat::kDib;
    case IRUN_PICTURE_BITMAP: return PictureFormat::kBitmap;
    default: return PictureFormat::kOther;
  }
}

// The pictures of the session's document. A library without the picture calls, or a
// picture whose bytes cannot be had, gives none: its reference stays as it is.
std::vector<PictureData> SessionPictures(const UniqueModule& library, IrunSession session) {
  std::vector<PictureData> pictures;
  const auto count = FindFunction<EXBufferGetPictureCountProc>(library, "EXBufferGetPictureCount");
  const auto info = FindFunction<EXBufferGetPictureInfoProc>(library, "EXBufferGetPictureInfo");
  const auto copy = FindFunction<EXBufferCopyPictureProc>(library, "EXBufferCopyPicture");
  int32_t total = 0;
  if (!count || !info || !copy || count(session, &total) != IRUN_OK) return pictures;
  for (int32_t index = 0; index < total; ++index) {
    IrunPictureInfo record{};
    record.size = sizeof(record);
    if (info(session, index, &record) != IRUN_OK || record.byteCount < 0) continue;
    PictureData picture;
    record.name[sizeof(record.name) - 1] = '\0';
    picture.name = record.name;
    picture.format = FormatFromConverter(record.format);
    picture.bytes.resize(static_cast<size_t>(record.byteCount));
    if (copy(session, index, picture.bytes.data(), record.byteCount) != IRUN_OK) continue;
    picture.pixelWidth = record.pixelWidth;
    picture.pixelHeight = record.pixelHeight;
    picture.goalWidth = record.goalWidth;
    picture.goalHeight = record.goalHeight;
    picture.scaleX = record.scaleX;
    picture.scaleY = record.scaleY;
    picture.mappingMode = record.mappingMode;
    picture.bitsPerPixel = record.bitsPerPixel;
    picture.planes = record.planes;
    picture.widthBytes = record.widthBytes;
    pictures.push_back(std::move(picture));
  }
  return pictures;
}

bool Fail(WideString& failure, WideString text) {
  failure = std::move(text);
  return false;
}

WideString ConvertFailure(int32_t result) {
  return u"The converter could not convert the page (result code " + WideNumber(result) + u")";
}

// The RTF's pieces for EXBufferConvertPieces, each let go once the converter asks for the
// next: it keeps what it still needs of them itself.
struct RtfPieceSource {
  SystemPieces* pieces;
  size_t next = 0;
};

int32_t IRUN_CALL NextRtfPiece(void* context, const char** piece) {
  auto* source = static_cast<RtfPieceSource*>(context);
  SystemPieces& pieces = *source->pieces;
  if (source->next > 0) pieces[source->next - 1].Release();
  while (source->next < pieces.size()) {
    const SystemBlock& next = pieces[source->next++];
    if (next.size() == 0) continue;
    *piece = next.data();
    return static_cast<int32_t>(next.size());
  }
  *piece = nullptr;
  return 0;
}

// The pieces as one text, each let go once copied, for a library that takes the RTF
// only whole.
ByteString JoinPieces(SystemPieces& pieces) {
  ByteString joined;
  joined.reserve(SystemPiecesSize(pieces));
  for (SystemBlock& piece : pieces) {
    joined.append(piece.data(), piece.size());
    piece.Release();
  }
  return joined;
}

// The converter's bytes as UTF-8: ASCII as it is, any other byte read in the ANSI code
// page, a double-byte character whole even when its bytes come in two pieces.
class AnsiToUtf8 {
 public:
  explicit AnsiToUtf8(const ByteSink& sink) : sink_(sink) {}

  bool Put(std::string_view bytes) {
    const bool ascii = lead_ == 0 && std::none_of(bytes.begin(), bytes.end(), [](char c) {
      return static_cast<unsigned char>(c) >= 0x80;
    });
    if (ascii) return bytes.empty() || sink_(bytes);
    std::string utf8;
    utf8.reserve(bytes.size() + bytes.size() / 2);
    for (const char c : bytes) Take(static_cast<unsigned char>(c), utf8);
    return utf8.empty() || sink_(utf8);
  }

  bool Finish() {
    if (lead_ == 0) return true;
    std::string utf8;
    AppendCharacter(reinterpret_cast<const char*>(&lead_), 1, utf8);
    lead_ = 0;
    return sink_(utf8);
  }

 private:
  void Take(unsigned char byte, std::string& utf8) {
    if (lead_ != 0) {
      const char pair[2] = {static_cast<char>(lead_), static_cast<char>(byte)};
      lead_ = 0;
      AppendCharacter(pair, 2, utf8);
    } else if (byte < 0x80) {
      utf8.push_back(static_cast<char>(byte));
    } else if (IsDBCSLeadByteEx(CP_ACP, byte)) {
      lead_ = byte;
    } else {
      AppendCharacter(reinterpret_cast<const char*>(&byte), 1, utf8);
    }
  }

  static void AppendCharacter(const char* bytes, int count, std::string& utf8) {
    wchar_t units[2] = {};
    const int made = MultiByteToWideChar(CP_ACP, 0, bytes, count, units, 2);
    char encoded[4];
    if (made <= 0) {
      utf8.append(encoded, EncodeUtf8(0xFFFD, encoded));
      return;
    }
    for (int i = 0; i < made; ++i) utf8.append(encoded, EncodeUtf8(units[i], encoded));
  }

  const ByteSink& sink_;
  unsigned char lead_ = 0;  // a double-byte character's first byte, its second still to come
};

}  // namespace

// One conversion with the converter library: loaded, a session opened, and both given
// back on every way out.
class ConvertedPage::Conversion {
 public:
  bool Open(WideString& failure) {
    WideString loadFailure;
    library_.reset(LoadConverterLibrary(loadFailure));
    if (!library_) return Fail(failure, loadFailure);
    const auto open = Find<EXBufferOpenSessionProc>("EXBufferOpenSession");
    if (!open) return Fail(failure, Lacks("EXBufferOpenSession"));
    session_ = open();
    closer_ = std::make_unique<UniqueConverterSession>(library_, session_);
    return true;
  }

  // Converts the RTF piece by piece, letting each go as it is read.
  bool Convert(SystemPieces& rtf, WideString& failure) {
    const auto convert = Find<EXBufferConvertPiecesProc>("EXBufferConvertPieces");
    if (!convert) return ConvertWhole(JoinPieces(rtf), failure);
    RtfPieceSource source{&rtf};
    int32_t objectCount = 0;
    const int32_t result = convert(session_, NextRtfPiece, &source, &bodySize_, &objectCount,
                                   IRUN_BASE_FONT_PIXELS, "", IRUN_FLAGS_DEFAULT, IRUN_SCREEN_DPI);
    SystemPieces().swap(rtf);
    if (result != IRUN_OK) return Fail(failure, ConvertFailure(result));
    return CheckSize(failure);
  }

  std::vector<PictureData>& Pictures() { return pictures_; }
  void TakePictures() { pictures_ = SessionPictures(library_, session_); }

  // The document's bytes, a block at a time where the library can give them so, up to
  // its first zero byte; then the library goes.
  bool Read(const ByteSink& sink, WideString& failure) {
    AnsiToUtf8 utf8(sink);
    const bool read = ReadBytes(utf8, failure) && utf8.Finish();
    closer_.reset();
    library_.reset();
    return read;
  }

 private:
  // A library without EXBufferConvertPieces converts the RTF whole (up to its first zero
  // byte); one without EXBufferConvert cannot convert.
  bool ConvertWhole(const ByteString& rtf, WideString& failure) {
    const auto convert = Find<EXBufferConvertProc>("EXBufferConvert");
    if (!convert) return Fail(failure, Lacks("EXBufferConvert"));
    int32_t objectCount = 0;
    const int32_t length = static_cast<int32_t>(std::strlen(rtf.c_str()));
    // No background colour: the note's own shows through.
    const int32_t result = convert(session_, rtf.c_str(), length, &bodySize_, &objectCount,
                                   IRUN_BASE_FONT_PIXELS, "", IRUN_FLAGS_DEFAULT, IRUN_SCREEN_DPI);
    if (result != IRUN_OK) return Fail(failure, ConvertFailure(result));
    return CheckSize(failure);
  }

  bool ReadBytes(AnsiToUtf8& utf8, WideString& failure) {
    const auto refused = [&failure] { return Fail(failure, WideString()); };
    if (const auto read = Find<EXBufferReadBodyProc>("EXBufferReadBody")) {
      constexpr int32_t kBlock = 16 * 1024;  // the converter gives back what is read
      ByteString block(kBlock, '\0');
      for (;;) {
        int32_t copied = 0;
        const int32_t result = read(session_, &block[0], kBlock, &copied);
        if (result != IRUN_OK) return Fail(failure, ConvertFailure(result));
        if (copied <= 0) return true;
        const std::string_view bytes(block.data(), static_cast<size_t>(std::min(copied, kBlock)));
        const size_t zero = bytes.find('\0');
        if (!utf8.Put(bytes.substr(0, zero))) return refused();
        if (zero != std::string_view::npos) return true;
      }
    }
    const auto getBody = Find<EXBufferGetBodyProc>("EXBufferGetBody");
    if (!getBody) return Fail(failure, Lacks("EXBufferGetBody"));
    ByteString whole;
    try {
      whole.resize(static_cast<size_t>(bodySize_));
    } catch (const std::bad_alloc&) {
      return Fail(failure, u"Not enough memory for the converted page (" + WideNumber(bodySize_) +
                               u" bytes)");
    }
    getBody(session_, &whole[0]);
    if (!utf8.Put(std::string_view(whole.c_str()))) return refused();
    return true;
  }

  template <typename Proc>
  Proc Find(const char* name) const {
    return FindFunction<Proc>(library_, name);
  }

  bool CheckSize(WideString& failure) const {
    if (bodySize_ >= 0) return true;
    return Fail(failure, u"The converter reported a page of " + WideNumber(bodySize_) + u" bytes");
  }

  UniqueModule library_;
  IrunSession session_ = 0;
  std::unique_ptr<UniqueConverterSession> closer_;  // before library_ in going
  int32_t bodySize_ = 0;
  std::vector<PictureData> pictures_;
};

ConvertedPage::ConvertedPage(std::unique_ptr<Conversion> conversion)
    : conversion_(std::move(conversion)) {}
ConvertedPage::ConvertedPage(ConvertedPage&&) noexcept = default;
ConvertedPage& ConvertedPage::operator=(ConvertedPage&&) noexcept = default;
ConvertedPage::~ConvertedPage() = default;

std::vector<PictureData>& ConvertedPage::Pictures() { return conversion_->Pictures(); }

bool ConvertedPage::ReadDocument(const ByteSink& sink, WideString& failure) {
  return conversion_->Read(sink, failure);
}

std::optional<ConvertedPage> ConvertPage(SystemPieces rtf, WideString& failure) {
  auto conversion = std::make_unique<ConvertedPage::Conversion>();
  if (!conversion->Open(failure) || !conversion->Convert(rtf, failure)) return std::nullopt;
  conversion->TakePictures();
  return ConvertedPage(std::move(conversion));
}

std::optional<ConvertedPage> ConvertPage(std::string_view rtf, WideString& failure) {
  return ConvertPage(SystemPiecesOf(rtf.substr(0, rtf.find('\0'))), failure);
}
