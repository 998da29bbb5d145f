#include "convert/rtf_to_html.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

#include "convert/html_cleanup.h"
#include "convert/well_formed.h"
#include "irun/irun.h"
#include "text/code_pages.h"
#include "text/text_ops.h"
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

// The session's document as UTF-16, made in the memory of the result: the bytes are
// fetched into its upper half and widened in place from the front, so that the page is
// not held twice more while it changes form. The converter writes ASCII; from the first
// byte beyond it, the rest goes through the ANSI code page instead. False when there is
// not memory enough.
bool FetchBody(EXBufferGetBodyProc getBody, IrunSession session, size_t size, WideString& html) {
  WideString text;
  try {
    text.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  char* bytes = reinterpret_cast<char*>(&text[0]) + size;  // the upper half
  getBody(session, bytes);
  // Character i covers bytes 2i and 2i + 1, below byte size + i that is read for it.
  for (size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte >= 0x80) {
      const ByteString rest(bytes + i, size - i);
      text.resize(i);
      text += BytesToWide(rest, kCodePageAnsi);
      break;
    }
    text[i] = byte;
  }
  html.swap(text);
  return true;
}

bool Fail(WideString* failure, WideString text) {
  if (failure) *failure = std::move(text);
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

// One conversion with the converter library: loaded, a session opened, and both given
// back on every way out.
class Conversion {
 public:
  bool Open(WideString* failure) {
    WideString loadFailure;
    library_.reset(LoadConverterLibrary(loadFailure));
    if (!library_) return Fail(failure, loadFailure);
    const auto open = Find<EXBufferOpenSessionProc>("EXBufferOpenSession");
    if (!open) return Fail(failure, Lacks("EXBufferOpenSession"));
    session_ = open();
    closer_ = std::make_unique<UniqueConverterSession>(library_, session_);
    return true;
  }

  // Converts the RTF whole (up to its first zero byte); bodySize is the document's size.
  bool Convert(const ByteString& rtf, int32_t& bodySize, WideString* failure) {
    // A library without EXBufferConvert cannot convert: a failed conversion.
    const auto convert = Find<EXBufferConvertProc>("EXBufferConvert");
    if (!convert) return Fail(failure, Lacks("EXBufferConvert"));
    int32_t objectCount = 0;
    const int32_t length = static_cast<int32_t>(std::strlen(rtf.c_str()));
    // No background colour: the note's own shows through.
    const int32_t result = convert(session_, rtf.c_str(), length, &bodySize, &objectCount,
                                   IRUN_BASE_FONT_PIXELS, "", IRUN_FLAGS_DEFAULT, IRUN_SCREEN_DPI);
    if (result != IRUN_OK) return Fail(failure, ConvertFailure(result));
    return CheckSize(bodySize, failure);
  }

  // Converts the RTF piece by piece, letting each go as it is read.
  bool Convert(SystemPieces& rtf, int32_t& bodySize, WideString* failure) {
    const auto convert = Find<EXBufferConvertPiecesProc>("EXBufferConvertPieces");
    if (!convert) return Convert(JoinPieces(rtf), bodySize, failure);
    RtfPieceSource source{&rtf};
    int32_t objectCount = 0;
    const int32_t result = convert(session_, NextRtfPiece, &source, &bodySize, &objectCount,
                                   IRUN_BASE_FONT_PIXELS, "", IRUN_FLAGS_DEFAULT, IRUN_SCREEN_DPI);
    SystemPieces().swap(rtf);
    if (result != IRUN_OK) return Fail(failure, ConvertFailure(result));
    return CheckSize(bodySize, failure);
  }

  std::vector<PictureData> Pictures() { return SessionPictures(library_, session_); }

  // The whole document as UTF-16.
  bool FetchWide(int32_t bodySize, WideString& text, WideString* failure) {
    const auto getBody = Find<EXBufferGetBodyProc>("EXBufferGetBody");
    if (!getBody) return Fail(failure, Lacks("EXBufferGetBody"));
    if (!FetchBody(getBody, session_, static_cast<size_t>(bodySize), text)) return NoRoom(bodySize, failure);
    return true;
  }

  // The document's bytes to feed, a block at a time where the library can give them so,
  // up to its first zero byte.
  bool Read(int32_t bodySize, const std::function<void(const char*, size_t)>& feed,
            WideString* failure) {
    if (const auto read = Find<EXBufferReadBodyProc>("EXBufferReadBody")) {
      constexpr int32_t kBlock = 16 * 1024;  // the converter gives back what is read
      ByteString block(kBlock, '\0');
      for (;;) {
        int32_t copied = 0;
        const int32_t result = read(session_, &block[0], kBlock, &copied);
        if (result != IRUN_OK) return Fail(failure, ConvertFailure(result));
        if (copied <= 0) return true;
        const size_t size = static_cast<size_t>(std::min(copied, kBlock));
        if (const void* zero = std::memchr(block.data(), '\0', size)) {
          feed(block.data(), static_cast<size_t>(static_cast<const char*>(zero) - block.data()));
          return true;
        }
        feed(block.data(), size);
      }
    }
    const auto getBody = Find<EXBufferGetBodyProc>("EXBufferGetBody");
    if (!getBody) return Fail(failure, Lacks("EXBufferGetBody"));
    ByteString whole;
    try {
      whole.resize(static_cast<size_t>(bodySize));
    } catch (const std::bad_alloc&) {
      return NoRoom(bodySize, failure);
    }
    getBody(session_, &whole[0]);
    feed(whole.data(), std::strlen(whole.c_str()));
    return true;
  }

  // The converter's copy of the page goes before more work on this one.
  void Close() { closer_.reset(); }

 private:
  template <typename Proc>
  Proc Find(const char* name) const {
    return FindFunction<Proc>(library_, name);
  }
  static bool CheckSize(int32_t bodySize, WideString* failure) {
    if (bodySize >= 0) return true;
    return Fail(failure, u"The converter reported a page of " + WideNumber(bodySize) + u" bytes");
  }
  static bool NoRoom(int32_t bodySize, WideString* failure) {
    return Fail(failure, u"Not enough memory for the converted page (" + WideNumber(bodySize) +
                             u" bytes)");
  }

  UniqueModule library_;
  IrunSession session_ = 0;
  std::unique_ptr<UniqueConverterSession> closer_;
};

// A segment of the converter's document as UTF-16: ASCII as it is, anything beyond
// through the ANSI code page, as the whole document is read.
WideString WidenSegment(std::string_view bytes) {
  for (unsigned char byte : bytes) {
    if (byte >= 0x80) return BytesToWide(ByteString(bytes), kCodePageAnsi);
  }
  return WideString(bytes.begin(), bytes.end());
}

}  // namespace

bool ConvertRtfToHtml(const ByteString& rtf, WideString& html, WideString* failure,
                      std::vector<PictureData>* pictures) {
  Conversion conversion;
  int32_t bodySize = 0;
  WideString text;
  if (!conversion.Open(failure) || !conversion.Convert(rtf, bodySize, failure) ||
      !conversion.FetchWide(bodySize, text, failure))
    return false;
  if (pictures) *pictures = conversion.Pictures();
  conversion.Close();
  // A zero byte ends the document, as it ends the text it is read as.
  const size_t end = text.find(u'\0');
  if (end != WideString::npos) text.resize(end);
  html.swap(text);
  return true;
}

bool ConvertPageToNoteBody(SystemPieces rtf, const BodySegmentSink& sink, WideString* failure,
                           std::vector<PictureData>* pictures, size_t segmentBytes) {
  Conversion conversion;
  int32_t bodySize = 0;
  if (!conversion.Open(failure) || !conversion.Convert(rtf, bodySize, failure)) return false;
  if (pictures) *pictures = conversion.Pictures();
  BodySegmenter segmenter(segmentBytes, [&sink](std::string_view bytes) {
    WideString segment = WidenSegment(bytes);
    ConvertBookmarks(segment);
    LinkifyUrls(segment);
    MakeWellFormed(segment);
    sink(segment);
  });
  if (!conversion.Read(bodySize, [&segmenter](const char* bytes, size_t size) {
        segmenter.Feed(bytes, size);
      }, failure))
    return false;
  conversion.Close();
  segmenter.Finish();
  return true;
}

bool ConvertPageToNoteBody(ByteString rtf, WideString& body, WideString* failure,
                           std::vector<PictureData>* pictures) {
  SystemPieces pieces = SystemPiecesOf(std::string_view(rtf.c_str()));
  ByteString().swap(rtf);
  WideString whole;
  if (!ConvertPageToNoteBody(std::move(pieces), [&whole](WideString& segment) { whole += segment; },
                             failure, pictures))
    return false;
  body.swap(whole);
  return true;
}
