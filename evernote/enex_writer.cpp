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
  explicit SinkBuffer(const ByteSink& sink) : sink_(sink), buffer_(new char[kSinkPiece]) {}

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
    if (ok_ && used_ > 0) ok_ = sink_(std::string_view(buffer_.get(), used_));
    used_ = 0;
    return ok_;
  }

 private:
  const ByteSink& sink_;
  std::unique_ptr<char[]> buffer_;  // one piece, whatever the document's size
  size_t used_ = 0;
  bool ok_ = true;
};

// Copies the content into the CDATA section piece after piece. A "]]>" would end the
// section early, so the section is closed after "]]" and a new one opened before ">",
// also where the three bytes are spread over pieces.
class CdataStream {
 public:
  explicit CdataStream(SinkBuffer& out) : out_(out) {}

  // False once the sink has refused bytes.
  bool Write(const ByteString& piece) {
    size_t from = 0;
    for (size_t at = 0; at < piece.size(); ++at) {
      const char byte = piece[at];
      if (byte == '>' && brackets_ == 2) {
        out_.Put(piece.data() + from, at - from);
        out_.Put("]]><![CDATA[", 12);
        from = at;
      }
      brackets_ = byte == ']' ? (brackets_ < 2 ? brackets_ + 1 : 2) : 0;
    }
    out_.Put(piece.data() + from, piece.size() - from);
    return out_.ok();
  }

 private:
  SinkBuffer& out_;
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

}  // namespace

bool WriteEnexDocument(const ByteSink& sink, WideView title, const BytePieces& content,
                       const NoteTime& created, const NoteTime& updated, WideView tags,
                       const std::vector<NoteResource>& resources) {
  SinkBuffer out(sink);
  out.Put(DocumentHead(title));
  CdataStream cdata(out);
  for (const ByteString& piece : content) {
    if (!cdata.Write(piece)) return false;
  }
  out.Put(ContentTail(created, updated, tags));
  for (const NoteResource& resource : resources) {
    if (!out.ok()) return false;
    WriteResource(out, resource);
  }
  out.Put("</note>\n</en-export>");
  return out.Flush();
}

ByteString BuildEnexDocument(WideView title, const BytePieces& content, const NoteTime& created,
                             const NoteTime& updated, WideView tags,
                             const std::vector<NoteResource>& resources) {
  ByteString document;
  WriteEnexDocument(
      [&](std::string_view bytes) {
        document.append(bytes.data(), bytes.size());
        return true;
      },
      title, content, created, updated, tags, resources);
  return document;
}
