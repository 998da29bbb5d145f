// irun.dll: the converter behind __stdcall calls, with a table of sessions that keep
// the last document and its pictures.
#include <windows.h>

#include <array>
#include <climits>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "irun.h"
#include "irun_core.h"

namespace {

constexpr int kMaxSessions = 1024;  // keep in step with irun.h
constexpr uint32_t kIndexBits = 10;
// Mixed into the values so that small integers, which callers invent, are never valid.
constexpr uint32_t kSessionMask = 0x5A3C0000u;

struct Slot {
  bool used = false;
  uint32_t generation = 0;
  irun::HtmlChunks body;
  std::vector<irun::Picture> pictures;
};

struct SessionTable {
  std::mutex lock;
  std::array<Slot, kMaxSessions> slots;
  uint32_t nextGeneration = 1;
};

SessionTable& Table() {
  static SessionTable table;
  return table;
}

IrunSession MakeSession(uint32_t index, uint32_t generation) {
  const uint32_t raw = ((generation << kIndexBits) | index) ^ kSessionMask;
  return static_cast<IrunSession>(raw & 0x7FFFFFFFu);
}

// The slot of a session value, or null for anything not handed out and still open.
// The table's lock must be held.
Slot* FindSlot(SessionTable& table, IrunSession session) {
  if (session <= 0) return nullptr;
  const uint32_t raw = static_cast<uint32_t>(session) ^ kSessionMask;
  const uint32_t index = raw & ((1u << kIndexBits) - 1);
  Slot& slot = table.slots[index];
  if (!slot.used || MakeSession(index, slot.generation) != session) return nullptr;
  return &slot;
}

bool SessionIsOpen(IrunSession session) {
  SessionTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  return FindSlot(table, session) != nullptr;
}

// The caller's colour text, read no further than its terminator or a sane length.
std::string ColorText(const char* text) {
  std::string color;
  if (!text) return color;
  for (int i = 0; i < 16 && text[i]; ++i) color.push_back(text[i]);
  return color;
}

}  // namespace

extern "C" IrunSession IRUN_CALL EXBufferOpenSession(void) {
  try {
    SessionTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    for (uint32_t index = 0; index < kMaxSessions; ++index) {
      Slot& slot = table.slots[index];
      if (slot.used) continue;
      // The generation tells a reused slot's new session from its old one.
      uint32_t generation = table.nextGeneration++ & 0x1FFFFF;
      if (MakeSession(index, generation) == 0) generation = table.nextGeneration++ & 0x1FFFFF;
      slot.used = true;
      slot.generation = generation;
      slot.body = irun::HtmlChunks();
      slot.pictures.clear();
      return MakeSession(index, generation);
    }
    return 0;
  } catch (...) {
    return 0;
  }
}

namespace {

irun::ConvertOptions OptionsOf(int32_t baseFontPixels, const char* backgroundColor,
                               int32_t flags, int32_t dotsPerInch) {
  irun::ConvertOptions options;
  options.baseFontPixels =
      baseFontPixels >= 1 && baseFontPixels <= 1000 ? baseFontPixels : IRUN_BASE_FONT_PIXELS;
  options.dotsPerInch = dotsPerInch >= 24 && dotsPerInch <= 2400 ? dotsPerInch : IRUN_SCREEN_DPI;
  options.backgroundColor = ColorText(backgroundColor);
  options.flags = flags;
  options.keepPictures = true;
  return options;
}

// Hands a finished conversion to the session, which drops its last document.
int32_t KeepDocument(IrunSession session, irun::HtmlChunks& html, irun::ConvertStats& stats,
                     int32_t* bodySize, int32_t* objectCount) {
  const size_t htmlSize = html.Size();
  if (htmlSize > static_cast<size_t>(INT32_MAX - 1)) return IRUN_ERROR_MEMORY;
  SessionTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  Slot* slot = FindSlot(table, session);
  if (!slot) return IRUN_ERROR_SESSION;  // closed meanwhile by another thread
  std::swap(slot->body, html);
  std::swap(slot->pictures, stats.pictures);
  *bodySize = static_cast<int32_t>(htmlSize);
  *objectCount = stats.pictureCount;
  return IRUN_OK;
}

// The caller's __stdcall reader behind the converter's plain one.
struct CallerReader {
  IrunReadRtfProc read;
  void* context;
};

size_t ReadCallerPiece(void* context, const char** piece) {
  const CallerReader& reader = *static_cast<CallerReader*>(context);
  *piece = nullptr;
  const int32_t length = reader.read(reader.context, piece);
  return length > 0 && *piece ? static_cast<size_t>(length) : 0;
}

}  // namespace

extern "C" int32_t IRUN_CALL EXBufferConvert(IrunSession session, const char* rtf,
                                             int32_t rtfLength, int32_t* bodySize,
                                             int32_t* objectCount, int32_t baseFontPixels,
                                             const char* backgroundColor, int32_t flags,
                                             int32_t dotsPerInch) {
  if (bodySize) *bodySize = 0;
  if (objectCount) *objectCount = 0;
  try {
    if (!SessionIsOpen(session)) return IRUN_ERROR_SESSION;
    if (!bodySize || !objectCount || rtfLength < 0 || (!rtf && rtfLength > 0))
      return IRUN_ERROR_ARGUMENT;
    const irun::ConvertOptions options =
        OptionsOf(baseFontPixels, backgroundColor, flags, dotsPerInch);
    // Converted outside the lock so that sessions on other threads need not wait.
    irun::HtmlChunks html;
    irun::ConvertStats stats;
    if (!irun::ConvertRtfToChunks(rtf, static_cast<size_t>(rtfLength), options, html, &stats))
      return IRUN_ERROR_MEMORY;
    return KeepDocument(session, html, stats, bodySize, objectCount);
  } catch (...) {
    return IRUN_ERROR_MEMORY;
  }
}

extern "C" int32_t IRUN_CALL EXBufferConvertPieces(IrunSession session, IrunReadRtfProc read,
                                                   void* context, int32_t* bodySize,
                                                   int32_t* objectCount, int32_t baseFontPixels,
                                                   const char* backgroundColor, int32_t flags,
                                                   int32_t dotsPerInch) {
  if (bodySize) *bodySize = 0;
  if (objectCount) *objectCount = 0;
  try {
    if (!SessionIsOpen(session)) return IRUN_ERROR_SESSION;
    if (!read || !bodySize || !objectCount) return IRUN_ERROR_ARGUMENT;
    const irun::ConvertOptions options =
        OptionsOf(baseFontPixels, backgroundColor, flags, dotsPerInch);
    CallerReader reader{read, context};
    irun::HtmlChunks html;
    irun::ConvertStats stats;
    if (!irun::ConvertRtfPiecesToChunks(ReadCallerPiece, &reader, options, html, &stats))
      return IRUN_ERROR_MEMORY;
    return KeepDocument(session, html, stats, bodySize, objectCount);
  } catch (...) {
    return IRUN_ERROR_MEMORY;
  }
}

extern "C" int32_t IRUN_CALL EXBufferGetBody(IrunSession session, char* body) {
  try {
    SessionTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    Slot* slot = FindSlot(table, session);
    if (!slot) return IRUN_ERROR_SESSION;
    // Once reading has begun, the document's start is given back already.
    if (!body || slot->body.ReadStarted()) return IRUN_ERROR_ARGUMENT;
    slot->body.CopyTo(body);
    return IRUN_OK;
  } catch (...) {
    return IRUN_ERROR_MEMORY;
  }
}

extern "C" int32_t IRUN_CALL EXBufferReadBody(IrunSession session, char* buffer,
                                              int32_t bufferSize, int32_t* copied) {
  if (copied) *copied = 0;
  try {
    SessionTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    Slot* slot = FindSlot(table, session);
    if (!slot) return IRUN_ERROR_SESSION;
    if (!buffer || !copied || bufferSize < 1) return IRUN_ERROR_ARGUMENT;
    *copied = static_cast<int32_t>(slot->body.Read(buffer, static_cast<size_t>(bufferSize)));
    return IRUN_OK;
  } catch (...) {
    return IRUN_ERROR_MEMORY;
  }
}

extern "C" int32_t IRUN_CALL EXBufferCloseSession(IrunSession session) {
  try {
    SessionTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    Slot* slot = FindSlot(table, session);
    if (!slot) return IRUN_ERROR_SESSION;
    slot->used = false;
    slot->body = irun::HtmlChunks();
    std::vector<irun::Picture>().swap(slot->pictures);
    return IRUN_OK;
  } catch (...) {
    return IRUN_ERROR_MEMORY;
  }
}

namespace {

int32_t FormatCode(irun::PictureType type) {
  switch (type) {
    case irun::PictureType::kPng: return IRUN_PICTURE_PNG;
    case irun::PictureType::kJpeg: return IRUN_PICTURE_JPEG;
    case irun::PictureType::kEmf: return IRUN_PICTURE_EMF;
    case irun::PictureType::kWmf: return IRUN_PICTURE_WMF;
    case irun::PictureType::kDib: return IRUN_PICTURE_DIB;
    case irun::PictureType::kBitmap: return IRUN_PICTURE_BITMAP;
    case irun::PictureType::kOther: break;
  }
  return IRUN_PICTURE_OTHER;
}

// The picture `index` of an open session, or null; the table's lock must be held.
const irun::Picture* FindPicture(const Slot& slot, int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= slot.pictures.size()) return nullptr;
  return &slot.pictures[static_cast<size_t>(index)];
}

}  // namespace

extern "C" int32_t IRUN_CALL EXBufferGetPictureCount(IrunSession session, int32_t* count) {
  try {
    SessionTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    Slot* slot = FindSlot(table, session);
    if (!slot) return IRUN_ERROR_SESSION;
    if (!count) return IRUN_ERROR_ARGUMENT;
    *count = static_cast<int32_t>(slot->pictures.size());
    return IRUN_OK;
  } catch (...) {
    return IRUN_ERROR_MEMORY;
  }
}

extern "C" int32_t IRUN_CALL EXBufferGetPictureInfo(IrunSession session, int32_t index,
                                                    IrunPictureInfo* info) {
  try {
    SessionTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    Slot* slot = FindSlot(table, session);
    if (!slot) return IRUN_ERROR_SESSION;
    const irun::Picture* picture = FindPicture(*slot, index);
    if (!picture || !info || info->size < static_cast<int32_t>(sizeof(IrunPictureInfo)))
      return IRUN_ERROR_ARGUMENT;
    if (picture->data.size() > static_cast<size_t>(INT32_MAX) ||
        picture->name.size() >= sizeof info->name) {
      return IRUN_ERROR_MEMORY;  // cannot be told in the record
    }
    const int32_t size = info->size;
    std::memset(info, 0, sizeof *info);
    info->size = size;
    info->format = FormatCode(picture->type);
    info->byteCount = static_cast<int32_t>(picture->data.size());
    info->pixelWidth = picture->pixelWidth;
    info->pixelHeight = picture->pixelHeight;
    info->goalWidth = picture->goalWidth;
    info->goalHeight = picture->goalHeight;
    info->scaleX = picture->scaleX;
    info->scaleY = picture->scaleY;
    info->mappingMode = picture->mappingMode;
    info->bitsPerPixel = picture->bitsPerPixel;
    info->planes = picture->planes;
    info->widthBytes = picture->widthBytes;
    std::memcpy(info->name, picture->name.c_str(), picture->name.size() + 1);
    return IRUN_OK;
  } catch (...) {
    return IRUN_ERROR_MEMORY;
  }
}

extern "C" int32_t IRUN_CALL EXBufferCopyPicture(IrunSession session, int32_t index,
                                                 void* buffer, int32_t bufferSize) {
  try {
    SessionTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    Slot* slot = FindSlot(table, session);
    if (!slot) return IRUN_ERROR_SESSION;
    const irun::Picture* picture = FindPicture(*slot, index);
    if (!picture || !buffer || bufferSize < 0 ||
        static_cast<size_t>(bufferSize) < picture->data.size()) {
      return IRUN_ERROR_ARGUMENT;
    }
    std::memcpy(buffer, picture->data.data(), picture->data.size());
    return IRUN_OK;
  } catch (...) {
    return IRUN_ERROR_MEMORY;
  }
}
