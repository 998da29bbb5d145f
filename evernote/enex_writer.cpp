#include "evernote/enex_writer.h"

#include <cstdint>
#include <cstdio>

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

// True when CdataText would change text: a unit XML forbids, or a "]]>".
bool NeedsCdataWork(WideView text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit)) {
      if (i + 1 >= text.size() || !IsLowSurrogate(text[i + 1])) return true;
      ++i;
    } else if (!IsXmlChar(unit)) {
      return true;
    }
    if (unit == u'>' && i >= 2 && text[i - 1] == u']' && text[i - 2] == u']') return true;
  }
  return false;
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

void AppendBase64(ByteString& out, const ByteString& data) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  constexpr size_t kLineGroups = 19;  // 76 characters
  const size_t groups = (data.size() + 2) / 3;
  const size_t start = out.size();
  out.resize(start + groups * 4 + (groups ? (groups - 1) / kLineGroups : 0));
  char* write = &out[start];
  const auto* read = reinterpret_cast<const unsigned char*>(data.data());
  for (size_t group = 0; group < groups; ++group) {
    if (group && group % kLineGroups == 0) *write++ = '\n';
    const size_t at = group * 3;
    const size_t left = data.size() - at;
    const uint32_t bits = uint32_t(read[at]) << 16 | (left > 1 ? uint32_t(read[at + 1]) << 8 : 0) |
                          (left > 2 ? uint32_t(read[at + 2]) : 0);
    *write++ = kDigits[bits >> 18];
    *write++ = kDigits[(bits >> 12) & 63];
    *write++ = left > 1 ? kDigits[(bits >> 6) & 63] : '=';
    *write++ = left > 2 ? kDigits[bits & 63] : '=';
  }
}

namespace {

size_t Base64Size(size_t bytes) {
  const size_t groups = (bytes + 2) / 3;
  return groups * 4 + (groups ? (groups - 1) / 19 : 0);
}

// One resource element without its data's base64, split where the data goes.
void AppendResource(ByteString& out, const NoteResource& resource) {
  out += "<resource><data encoding=\"base64\">\n";
  AppendBase64(out, resource.data);
  out += "\n</data><mime>";
  out += resource.mime;
  out += "</mime>";
  if (resource.width > 0 && resource.height > 0) {
    out += "<width>" + std::to_string(resource.width) + "</width><height>" +
           std::to_string(resource.height) + "</height>";
  }
  if (!resource.fileName.empty()) {
    out += "<resource-attributes><file-name>";
    AppendUtf8(out, XmlText(resource.fileName));
    out += "</file-name></resource-attributes>";
  }
  out += "</resource>\n";
}

}  // namespace

ByteString BuildEnexDocument(WideView title, const WideString& content, const NoteTime& created,
                             const NoteTime& updated, WideView tags,
                             const std::vector<NoteResource>& resources) {
  // Everything after the content is small: made first, so that the document can be
  // sized once around the content, which may be many megabytes and is converted
  // straight into it (and copied beforehand only when it holds something to mend).
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
  constexpr char kClosing[] = "</note>\n</en-export>";
  size_t resourceBytes = 0;
  for (const NoteResource& resource : resources)
    resourceBytes += Base64Size(resource.data.size()) + 256 + resource.fileName.size() * 3;

  ByteString document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  document += "<!DOCTYPE en-export SYSTEM \"";
  document += kExportDtd;
  document += "\">\n";
  document += "<en-export application=\"Yarrin/Yarrin2Evernote\">\n";
  document += "<note>\n<title>";
  AppendUtf8(document, XmlText(title));
  document += "</title>\n";
  document += ContentElementHead();
  const size_t spare = tail.size() + resourceBytes + sizeof kClosing;
  if (NeedsCdataWork(content)) {
    AppendUtf8(document, CdataText(content), spare);
  } else {
    AppendUtf8(document, content, spare);
  }
  document += tail;
  for (const NoteResource& resource : resources) AppendResource(document, resource);
  document += kClosing;
  return document;
}
