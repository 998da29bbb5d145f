#include "evernote/enex_writer.h"

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <memory>

#include "text/code_pages.h"
#include "text/markup_escape.h"
#include "text/xml_chars.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr char kExportDtd[] = "http://xml.evernote.com/pub/evernote-export2.dtd";
constexpr char kNoteDtd[] = "http://xml.evernote.com/pub/enml2.dtd";
constexpr char16_t kPlaceholder[] = u"$$$NOTE_CONTENT$$$";

// XML character data: "&", "<" and ">" as entities, forbidden characters left out.
WideString XmlText(WideView text) {
  return EscapeMarkup(XmlCharsOnly(text), MarkupPlace::kText);
}

// Text for a CDATA section: a "]]>" would end the section early, so the section is
// closed after "]]" and a new one opened before ">".
WideString CdataText(WideView text) {
  static constexpr WideView kSplit = u"]]><![CDATA[";
  WideString out;
  out.reserve(text.size());
  ForEachXmlUnit(text, [&](char16_t unit) {
    if (unit == u'>' && out.size() >= 2 && out[out.size() - 1] == u']' &&
        out[out.size() - 2] == u']') {
      out += kSplit;
    }
    out.push_back(unit);
  });
  return out;
}

}  // namespace

#ifdef _WIN32
NoteTime NoteTimeFromSystemTime(const SYSTEMTIME& time) {
  NoteTime result;
  result.year = time.wYear;
  result.month = time.wMonth;
  result.day = time.wDay;
  result.hour = time.wHour;
  result.minute = time.wMinute;
  result.second = time.wSecond;
  result.milliseconds = time.wMilliseconds;
  return result;
}
#endif

WideString NoteTitle(WideView title) {
  return title.empty() ? WideString(u"The Default Title ") : WideString(title);
}

// The content element around the placeholder, ASCII only.
static ByteString ContentElementHead() {
  return ByteString(
             "<content><![CDATA[<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>"
             "<!DOCTYPE en-note SYSTEM \"") +
         kNoteDtd +
         "\"><en-note style=\"word-wrap: break-word; -webkit-nbsp-mode: space; "
         "-webkit-line-break: after-white-space;\">";
}
static constexpr char kContentElementTail[] = "</en-note>]]></content>";

WideString NoteContentElement(WideView content) {
  WideString element = WideFromAscii(ContentElementHead()) + kPlaceholder +
                       WideFromAscii(kContentElementTail);
  // The template holds the placeholder once, and the content is never searched for it.
  ReplaceAll(element, kPlaceholder, CdataText(content));
  return element;
}

WideString EnexTimestamp(const NoteTime& time) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4d%.2d%.2dT%.2d%.2d%.2dZ", time.year, time.month,
                time.day, time.hour, time.minute, time.second);
  return WideFromAscii(text);
}

WideString TagElements(WideView tags) {
  const WideString kept = XmlCharsOnly(tags);
  if (kept.empty()) return WideString();

  TextList pieces;
  int start = 0;
  for (;;) {
    const int comma = FindText(kept, u",", start);
    WideString piece = comma < 0 ? RightText(kept, static_cast<int>(kept.size()) - start)
                                 : MidText(kept, start, comma - start);
    TrimLeadingChars(piece, u" ");
    TrimTrailingChars(piece, u" ");
    pieces.push_back(std::move(piece));
    if (comma < 0) break;
    start = comma + 1;
  }

  WideString elements;
  for (const WideString& piece : pieces) {
    elements += u"<tag>";
    elements += XmlText(piece);
    elements += u"</tag>\n";
  }
  return elements;
}

namespace {

constexpr size_t kLineBytes = 57;  // 76 characters of base64

// Up to kLineBytes bytes of data as one line of base64 without its line feed; returns
// the number of characters written to line.
size_t Base64Line(const unsigned char* data, size_t size, char* line) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  char* write = line;
  for (size_t at = 0; at < size; at += 3) {
    const size_t left = size - at;
    const uint32_t bits = uint32_t(data[at]) << 16 | (left > 1 ? uint32_t(data[at + 1]) << 8 : 0) |
                          (left > 2 ? uint32_t(data[at + 2]) : 0);
    *write++ = kDigits[bits >> 18];
    *write++ = kDigits[(bits >> 12) & 63];
    *write++ = left > 1 ? kDigits[(bits >> 6) & 63] : '=';
    *write++ = left > 2 ? kDigits[bits & 63] : '=';
  }
  return static_cast<size_t>(write - line);
}

// Calls put(text, size) for each line of data's base64, the line feed between lines
// included, so that no copy of the whole encoding is ever made.
template <typename Put>
void ForEachBase64Line(const ByteString& data, Put put) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  char line[1 + kLineBytes / 3 * 4];
  for (size_t at = 0; at < data.size(); at += kLineBytes) {
    char* text = line + 1;
    const size_t size = data.size() - at < kLineBytes ? data.size() - at : kLineBytes;
    size_t length = Base64Line(bytes + at, size, text);
    if (at) {  // a line feed ends the line before
      *--text = '\n';
      ++length;
    }
    put(text, length);
  }
}

}  // namespace

void AppendBase64(ByteString& out, const ByteString& data) {
  ForEachBase64Line(data, [&](const char* text, size_t size) { out.append(text, size); });
}

namespace {

constexpr size_t kSinkPiece = 64 * 1024;

// Gathers the document's small writes into pieces of kSinkPiece bytes for the sink, and
// remembers a refusal: once the sink has refused, nothing more reaches it.
class SinkBuffer {
 public:
  explicit SinkBuffer(const EnexSink& sink) : sink_(sink), buffer_(new char[kSinkPiece]) {}

  bool ok() const { return ok_; }

  void Put(char byte) {
    if (used_ == kSinkPiece) Flush();
    buffer_[used_++] = byte;
  }
  void Put(const char* data, size_t size) {
    while (size > 0 && ok_) {
      if (used_ == kSinkPiece) Flush();
      const size_t room = kSinkPiece - used_;
      const size_t part = size < room ? size : room;
      std::copy(data, data + part, buffer_.get() + used_);
      used_ += part;
      data += part;
      size -= part;
    }
  }
  void Put(const ByteString& text) { Put(text.data(), text.size()); }

  // Hands over what is gathered; false once the sink has refused.
  bool Flush() {
    if (ok_ && used_ > 0) ok_ = sink_(buffer_.get(), used_);
    used_ = 0;
    return ok_;
  }

 private:
  const EnexSink& sink_;
  std::unique_ptr<char[]> buffer_;  // one piece, whatever the document's size
  size_t used_ = 0;
  bool ok_ = true;
};

// point's UTF-8 written to bytes, which has room for 4; returns how many were written.
size_t EncodeUtf8(uint32_t point, char* bytes) {
  static constexpr unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
  const size_t size = point < 0x80 ? 1 : point < 0x800 ? 2 : point < 0x10000 ? 3 : 4;
  for (size_t at = size - 1; at > 0; --at, point >>= 6)
    bytes[at] = static_cast<char>(0x80 | (point & 0x3F));
  bytes[0] = static_cast<char>(kLead[size] | point);
  return size;
}

// Copies the content's UTF-8 bytes into the CDATA section piece after piece, checking
// them as a UTF-8 decoder does, so that a character split over two pieces is whole
// again. Bytes that cannot form a character give U+FFFD, one for each maximal run that
// could have begun one, as browsers decode; valid characters that XML forbids are left
// out. A "]]>" is split over two sections.
class CdataStream {
 public:
  explicit CdataStream(SinkBuffer& out) : out_(out) {}

  // False once the sink has refused bytes.
  bool Write(const ByteString& piece) {
    for (const char byte : piece) {
      Take(static_cast<unsigned char>(byte));
      if (!out_.ok()) return false;
    }
    return true;
  }

  // The content ended: a sequence cut short by its end is one U+FFFD.
  bool Finish() {
    if (needed_ > 0) Reject();
    return out_.ok();
  }

 private:
  void Take(unsigned char byte) {
    if (needed_ == 0) {
      Begin(byte);
      return;
    }
    if (byte < lower_ || byte > upper_) {
      Reject();     // the sequence ends before this byte,
      Begin(byte);  // which may begin the next one
      return;
    }
    lower_ = 0x80;
    upper_ = 0xBF;
    point_ = point_ << 6 | (byte & 0x3F);
    if (--needed_ == 0) Emit(point_);
  }

  // A byte outside a sequence: a character, the lead of a sequence, or a fault. The
  // second byte's range rules out overlong forms and values beyond U+10FFFF. Encoded
  // surrogates (ED A0..BF) decode, to be left out as XML forbids them.
  void Begin(unsigned char byte) {
    if (byte < 0x80) {
      Emit(byte);
    } else if (byte >= 0xC2 && byte <= 0xDF) {
      Expect(1, byte & 0x1F, 0x80, 0xBF);
    } else if (byte >= 0xE0 && byte <= 0xEF) {
      Expect(2, byte & 0x0F, byte == 0xE0 ? 0xA0 : 0x80, 0xBF);
    } else if (byte >= 0xF0 && byte <= 0xF4) {
      Expect(3, byte & 0x07, byte == 0xF0 ? 0x90 : 0x80, byte == 0xF4 ? 0x8F : 0xBF);
    } else {
      Emit(0xFFFD);
    }
  }

  void Expect(int needed, uint32_t point, unsigned char lower, unsigned char upper) {
    needed_ = needed;
    point_ = point;
    lower_ = lower;
    upper_ = upper;
  }

  void Reject() {
    needed_ = 0;
    lower_ = 0x80;
    upper_ = 0xBF;
    Emit(0xFFFD);
  }

  void Emit(uint32_t point) {
    if (!IsXmlChar(point)) return;  // not even a "]" in a row is broken by it
    if (point == '>' && brackets_ == 2) out_.Put("]]><![CDATA[", 12);
    brackets_ = point == ']' ? (brackets_ < 2 ? brackets_ + 1 : 2) : 0;
    if (point < 0x80) {
      out_.Put(static_cast<char>(point));
    } else {
      char bytes[4];
      out_.Put(bytes, EncodeUtf8(point, bytes));
    }
  }

  SinkBuffer& out_;
  int needed_ = 0;  // continuation bytes still to come
  uint32_t point_ = 0;
  unsigned char lower_ = 0x80;  // the range the next continuation byte must be in
  unsigned char upper_ = 0xBF;
  int brackets_ = 0;  // "]" just written, up to 2
};

// Everything before the content: the document's head, the title and the ENML head.
ByteString DocumentHead(WideView title) {
  ByteString head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  head += "<!DOCTYPE en-export SYSTEM \"";
  head += kExportDtd;
  head += "\">\n";
  head += "<en-export application=\"Yarrin/Yarrin2Evernote\">\n";
  head += "<note>\n<title>";
  AppendUtf8(head, XmlText(title));
  head += "</title>\n";
  head += ContentElementHead();
  return head;
}

// From the end of the content to the first resource.
ByteString ContentTail(const NoteTime& created, const NoteTime& updated, WideView tags) {
  ByteString tail = kContentElementTail;
  // Title and times hold exactly their values: readers keep line breaks around a title,
  // and one drops a creation date written with them.
  tail += "\n<created>";
  AppendUtf8(tail, EnexTimestamp(created));
  tail += "</created>\n<updated>";
  AppendUtf8(tail, EnexTimestamp(updated));
  tail += "</updated>\n";
  const WideString tagElements = TagElements(tags);
  if (!tagElements.empty()) {
    tail += "\n";
    AppendUtf8(tail, tagElements);
    tail += "\n";
  }
  return tail;
}

// One resource element, its data's base64 written line by line.
void WriteResource(SinkBuffer& out, const NoteResource& resource) {
  out.Put("<resource><data encoding=\"base64\">\n");
  ForEachBase64Line(resource.data, [&](const char* text, size_t size) { out.Put(text, size); });
  ByteString rest = "\n</data><mime>";
  rest += resource.mime;
  rest += "</mime>";
  if (resource.width > 0 && resource.height > 0) {
    rest += "<width>" + std::to_string(resource.width) + "</width><height>" +
            std::to_string(resource.height) + "</height>";
  }
  if (!resource.fileName.empty()) {
    rest += "<resource-attributes><file-name>";
    AppendUtf8(rest, XmlText(resource.fileName));
    rest += "</file-name></resource-attributes>";
  }
  rest += "</resource>\n";
  out.Put(rest);
}

// Appends text's UTF-8 to out, less the code units XML forbids.
void AppendXmlUtf8(ByteString& out, WideView text) {
  char16_t high = 0;
  ForEachXmlUnit(text, [&](char16_t unit) {
    if (IsHighSurrogate(unit)) {
      high = unit;
      return;
    }
    uint32_t point = unit;
    if (IsLowSurrogate(unit)) point = 0x10000 + ((uint32_t(high) - 0xD800) << 10) + (unit - 0xDC00);
    char bytes[4];
    out.append(bytes, EncodeUtf8(point, bytes));
  });
}

}  // namespace

bool WriteEnexDocument(const EnexSink& sink, WideView title, const ContentPieces& content,
                       const NoteTime& created, const NoteTime& updated, WideView tags,
                       const std::vector<NoteResource>& resources) {
  SinkBuffer out(sink);
  out.Put(DocumentHead(title));
  CdataStream cdata(out);
  for (const ByteString& piece : content) {
    if (!cdata.Write(piece)) return false;
  }
  if (!cdata.Finish()) return false;
  out.Put(ContentTail(created, updated, tags));
  for (const NoteResource& resource : resources) {
    if (!out.ok()) return false;
    WriteResource(out, resource);
  }
  out.Put("</note>\n</en-export>");
  return out.Flush();
}

ByteString BuildEnexDocument(WideView title, const ContentPieces& content, const NoteTime& created,
                             const NoteTime& updated, WideView tags,
                             const std::vector<NoteResource>& resources) {
  ByteString document;
  WriteEnexDocument(
      [&](const char* data, size_t size) {
        document.append(data, size);
        return true;
      },
      title, content, created, updated, tags, resources);
  return document;
}

ByteString BuildEnexDocument(WideView title, const WideString& content, const NoteTime& created,
                             const NoteTime& updated, WideView tags,
                             const std::vector<NoteResource>& resources) {
  return BuildEnexDocument(title, ContentFromWide(content), created, updated, tags, resources);
}

ContentPieces ContentFromWide(const WideString& content) {
  ContentPieces pieces(1);
  pieces[0].reserve(content.size());
  AppendXmlUtf8(pieces[0], content);
  return pieces;
}
