#include "convert/richedit_stream.h"

#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

// The control needs roughly a hundred RTF bytes per character for small pages, but a
// page of millions of characters must not reserve hundreds of megabytes up front in a
// 32-bit host: beyond this the buffer grows as the bytes arrive.
constexpr size_t kRtfBytesPerCharacter = 100;
constexpr size_t kLargestFirstReserve = 1 << 20;

struct RtfSink {
  ByteString bytes;
  bool outOfMemory = false;
};

// Grows to the capacity plus the larger of the capacity and the count, so that the old
// and the new block together stay below three times the RTF's size.
void AppendGrowing(ByteString& buffer, const char* data, size_t count) {
  if (buffer.size() + count > buffer.capacity())
    buffer.reserve(buffer.capacity() + std::max(buffer.capacity(), count));
  buffer.append(data, count);
}

DWORD CALLBACK CollectRtf(DWORD_PTR cookie, LPBYTE data, LONG count, LONG* taken) {
  auto* sink = reinterpret_cast<RtfSink*>(cookie);
  try {
    AppendGrowing(sink->bytes, reinterpret_cast<const char*>(data), static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    // Nothing may unwind through the control's code: stop the stream instead.
    sink->outOfMemory = true;
    *taken = 0;
    return 1;
  }
  *taken = count;
  return 0;
}

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

struct RtfSource {
  size_t delivered;
  size_t total;
  const char* bytes;
};

DWORD CALLBACK DeliverRtf(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
  auto* source = reinterpret_cast<RtfSource*>(cookie);
  size_t count = std::min(static_cast<size_t>(std::max<LONG>(wanted, 0)),
                          source->total - source->delivered);
  std::memcpy(buffer, source->bytes + source->delivered, count);
  source->delivered += count;
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

ByteString CaptureRichEditRtf(HWND richEdit, RichEditPart part) {
  LONG length = RichEditTextLength(richEdit, part);
  if (length <= 0) return ByteString();
  RtfSink sink;
  try {
    sink.bytes.reserve(
        std::min(static_cast<size_t>(length) * kRtfBytesPerCharacter, kLargestFirstReserve));
  } catch (const std::bad_alloc&) {
    return ByteString();
  }
  EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&sink), 0, CollectRtf};
  WPARAM format = part == RichEditPart::kSelection ? (SFF_SELECTION | SF_RTF) : SF_RTF;
  LRESULT streamed = SendMessageW(richEdit, EM_STREAMOUT, format, reinterpret_cast<LPARAM>(&stream));
  if (streamed == 0 || sink.outOfMemory) return ByteString();
  // Cut in place: a copy would need a second block as large as the RTF.
  size_t zero = sink.bytes.find('\0');
  if (zero != ByteString::npos) sink.bytes.resize(zero);
  return std::move(sink.bytes);
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

bool LoadRichEditRtf(HWND richEdit, const ByteString& rtf) {
  RtfSource source{0, std::strlen(rtf.c_str()), rtf.c_str()};
  EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, DeliverRtf};
  return SendMessageW(richEdit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream)) > 0;
}
