#include "convert/richedit_stream.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

struct RtfPieceSink {
  SystemPieces pieces;
  bool ended = false;  // a zero byte came: the rest is not RTF
  bool outOfMemory = false;
};

void AppendPieces(RtfPieceSink& sink, const char* data, size_t count) {
  if (sink.ended) return;
  if (const void* zero = std::memchr(data, '\0', count)) {
    count = static_cast<size_t>(static_cast<const char*>(zero) - data);
    sink.ended = true;
  }
  AppendToSystemPieces(sink.pieces, data, count);
}

DWORD CALLBACK CollectRtfPieces(DWORD_PTR cookie, LPBYTE data, LONG count, LONG* taken) {
  auto* sink = reinterpret_cast<RtfPieceSink*>(cookie);
  try {
    AppendPieces(*sink, reinterpret_cast<const char*>(data), static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    sink->outOfMemory = true;
    *taken = 0;
    return 1;
  }
  *taken = count;
  return 0;
}

// The RTF being streamed in: the block being read and how far; each block read to its end
// is given back at once.
struct RtfSource {
  SystemPieces pieces;
  size_t block = 0;
  size_t offset = 0;
  bool ended = false;  // a zero byte came: the rest is not RTF
};

DWORD CALLBACK DeliverRtf(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
  auto* source = reinterpret_cast<RtfSource*>(cookie);
  size_t count = 0;
  const auto room = static_cast<size_t>(std::max<LONG>(wanted, 0));
  while (count < room && !source->ended && source->block < source->pieces.size()) {
    SystemBlock& piece = source->pieces[source->block];
    size_t take = std::min(room - count, piece.size() - source->offset);
    const char* from = piece.data() + source->offset;
    if (const void* zero = std::memchr(from, '\0', take)) {
      take = static_cast<size_t>(static_cast<const char*>(zero) - from);
      source->ended = true;
    }
    std::memcpy(buffer + count, from, take);
    count += take;
    source->offset += take;
    if (source->offset == piece.size()) {
      piece.Release();
      ++source->block;
      source->offset = 0;
    }
  }
  *given = static_cast<LONG>(count);
  return 0;
}

}  // namespace

LONG RichEditTextLength(HWND richEdit, RichEditPart part) {
  if (part == RichEditPart::kWholeText) return GetWindowTextLengthW(richEdit);
  CHARRANGE range{0, 0};
  SendMessageW(richEdit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  return range.cpMax > range.cpMin ? range.cpMax - range.cpMin : range.cpMin - range.cpMax;
}

SystemPieces CaptureRichEditRtfPieces(HWND richEdit, RichEditPart part) {
  if (RichEditTextLength(richEdit, part) <= 0) return SystemPieces();
  RtfPieceSink sink;
  EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&sink), 0, CollectRtfPieces};
  WPARAM format = part == RichEditPart::kSelection ? (SFF_SELECTION | SF_RTF) : SF_RTF;
  LRESULT streamed = SendMessageW(richEdit, EM_STREAMOUT, format, reinterpret_cast<LPARAM>(&stream));
  if (streamed == 0 || sink.outOfMemory) return SystemPieces();
  return std::move(sink.pieces);
}

bool LoadRichEditRtf(HWND richEdit, SystemPieces rtf) {
  RtfSource source{std::move(rtf)};
  EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, DeliverRtf};
  return SendMessageW(richEdit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream)) > 0;
}
