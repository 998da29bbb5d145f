#include "note/send_note.h"

#include <new>
#include <utility>

#include "convert/enml.h"
#include "convert/rtf_to_html.h"
#include "convert/well_formed.h"
#include "evernote/enex_file.h"
#include "evernote/md5.h"
#include "note/note_pictures.h"
#include "resources/resource_ids.h"
#include "text/markup_escape.h"
#include "win/module_state.h"
#include "win/settings.h"

namespace {

constexpr int kStampUnits = 100;

WideString Attribute(const WideString& text) { return EscapeMarkup(text, MarkupPlace::kAttribute); }

WideString CurrentStamp() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return FormatLocalDateTime(now, GetUserDefaultLCID());
}

template <typename Answer>
Answer Ask(const std::function<Answer()>& question) {
  return question ? question() : Answer();
}

// The page converted and cleaned up, its pictures as resources; false (logged) when the
// page could not be had or converted, since a note made of an error message or of
// nothing would hide that the page went nowhere.
bool RichTextBody(const SendRequest& request, WideString& body,
                  std::vector<NoteResource>& resources) {
  WideString failure;
  std::vector<PictureData> pictures;
  // A rich edit that holds text yet gives no RTF (its capture ran out of memory, as a
  // 32-bit host may with a page of tens of megabytes): an empty note must not stand in
  // for the page.
  std::optional<ByteString> rtf = Ask(request.ask.pageRtf);
  if (!rtf) {
    request.log.Error(u"Cannot capture the text as RTF; nothing was sent");
    return false;
  }
  // Moved in: the conversion lets the RTF go as soon as it is converted.
  if (!ConvertPageToNoteBody(std::move(*rtf), body, &failure, &pictures)) {
    request.log.Error(failure + u"; nothing was sent");
    return false;
  }
  resources = AttachPictures(body, pictures, request.log);
  return true;
}

// The names the content's en-media elements may use: the MD5 of each resource.
std::vector<std::string> MediaHashes(const std::vector<NoteResource>& resources) {
  std::vector<std::string> hashes;
  for (const NoteResource& resource : resources) hashes.push_back(Md5Hex(resource.data));
  return hashes;
}

DWORD WaitNoticeMs() {
  constexpr DWORD kLongestSeconds = 24 * 60 * 60;  // beyond a day the product overflows
  auto seconds = ReadUserSetting(kWaitNoticeSetting);
  if (!seconds) return kDefaultWaitNoticeMs;
  return (*seconds < kLongestSeconds ? *seconds : kLongestSeconds) * 1000;
}

// The note's content: the link paragraph, when there is a link, and the body wrapped in
// a paragraph, as valid ENML. The body is moved in and let go once copied, so that the
// passes over the content never have a third copy of a large page beside them.
WideString NoteContent(const SendRequest& request, WideString body,
                       const std::vector<NoteResource>& resources) {
  const WideString link = Ask(request.ask.link);
  const WideString documentPath = Ask(request.ask.documentPath);
  WideString content;
  if (!link.empty())
    content = LinkParagraph(link, documentPath, request.title, CurrentStamp(), ImportedByText());
  content.reserve(content.size() + body.size() + 7);
  content += u"<p>";
  content += body;
  content += u"</p>";
  WideString().swap(body);
  // The converted page is well-formed already; the host's code may be anything.
  if (request.source == BodySource::kHtmlCode) MakeWellFormed(content);
  MakeEnml(content, MediaHashes(resources));
  return content;
}

void SendComposedNote(const SendRequest& request) {
  const bool richText = request.source == BodySource::kRichText;
  WideString first = ModuleString(richText ? IDS_CONVERT_TEXT : IDS_SEND_HTML_CODE);
  if (!first.empty()) request.log.Line(first);

  std::vector<NoteResource> resources;
  WideString content;
  if (richText) {
    WideString body;
    if (!RichTextBody(request, body, resources)) return;
    content = NoteContent(request, std::move(body), resources);
  } else {
    content = NoteContent(request, request.htmlCode, resources);
  }

  // The content goes on as UTF-8, and the wide text is let go at once.
  ContentPieces pieces = ContentFromWide(content);
  WideString().swap(content);
  ImportRequest import;
  import.content = &pieces;
  import.title = &request.title;
  import.showConsole = request.showConsole ? 1 : 0;
  import.log = request.log;
  import.waitControl = request.waitControl;
  const WideString tags = Ask(request.ask.tags);
  if (!tags.empty()) import.tags = &tags;
  import.resources = &resources;
  import.waitNoticeMs = WaitNoticeMs();
  import.saveAsFile = ReadUserSetting(kSaveEnexFileSetting).value_or(0) == 1;
  RunImport(import);
}

}  // namespace

WideString LinkParagraph(const WideString& link, const WideString& documentPath,
                         const WideString& nodeTitle, const WideString& stamp,
                         const WideString& imported) {
  WideString title = Attribute(nodeTitle);
  return u"<p><a href=\"" + Attribute(link) + u"\" title=\"" + Attribute(documentPath) + u" [" +
         title + u"]\">" + title + u" (" + Attribute(stamp) + u", " + Attribute(imported) +
         u")</a></p>";
}

WideString FormatLocalDateTime(const SYSTEMTIME& time, LCID locale) {
  wchar_t date[kStampUnits] = {};
  wchar_t clock[kStampUnits] = {};
  if (!GetDateFormatW(locale, DATE_LONGDATE, &time, nullptr, date, kStampUnits)) date[0] = L'\0';
  if (!GetTimeFormatW(locale, TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT, &time, nullptr, clock,
                      kStampUnits))
    clock[0] = L'\0';
  return WideFromPtr(date) + u" " + WideFromPtr(clock);
}

WideString ImportedByText() {
  return ModuleString(IDS_IMPORTED_FROM) + u" " + ModuleString(IDS_BY) + u" Yarrin2Evernote";
}

void SendPage(const SendRequest& request) {
  // The import cleans up after itself (note file deleted, ENScript waited for) on every
  // way out; what is left here is to tell the user.
  try {
    SendComposedNote(request);
  } catch (const std::bad_alloc&) {
    request.log.Error(u"There was not enough memory to send this page");
  } catch (...) {
    request.log.Error(u"The page could not be sent because of an unexpected error");
  }
}
