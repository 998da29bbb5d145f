#include "note/send_note.h"

#include <new>

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

void Log(const SendRequest& request, const WideString& text) {
  if (request.logCallback) request.logCallback(WidePtr(text), request.logContext);
}

void LogError(const SendRequest& request, const WideString& text) {
  Log(request, u"ERROR: " + text);
}

// The page converted and cleaned up, its pictures as resources; false (logged) when the
// converter failed, since a note made of an error message or of nothing would hide that
// the page went nowhere.
bool RichTextBody(SendRequest& request, WideString& body, std::vector<NoteResource>& resources) {
  WideString failure;
  std::vector<PictureData> pictures;
  const bool converted = ConvertPageToNoteBody(request.rtf, body, &failure, &pictures);
  ByteString().swap(request.rtf);  // of no more use: a large page frees it before the import
  if (!converted) {
    LogError(request, failure + u"; nothing was sent");
    return false;
  }
  resources = AttachPictures(body, pictures, [&](const WideString& line) { Log(request, line); });
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

void SendComposedNote(SendRequest& request) {
  const bool richText = request.source == BodySource::kRichText;
  WideString first = ModuleString(richText ? IDS_CONVERT_TEXT : IDS_SEND_HTML_CODE);
  if (!first.empty()) Log(request, first);

  WideString content;
  if (!request.link.empty())
    content = LinkParagraph(request.link, request.documentPath, request.title, CurrentStamp(),
                            ImportedByText());
  content += u"<p>";
  std::vector<NoteResource> resources;
  if (richText) {
    WideString body;  // gone before the import, which holds the whole document
    if (!RichTextBody(request, body, resources)) return;
    content += body;
  } else {
    content += request.htmlCode;
  }
  content += u"</p>";
  // The converted page is well-formed already; the host's code may be anything.
  if (!richText) MakeWellFormed(content);
  MakeEnml(content, MediaHashes(resources));

  ImportRequest import;
  import.content = &content;
  import.title = &request.title;
  import.showConsole = request.showConsole ? 1 : 0;
  import.logCallback = request.logCallback;
  import.logContext = request.logContext;
  import.waitControl = request.waitControl;
  if (!request.tags.empty()) import.tags = &request.tags;
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

void SendNote(SendRequest request) {
  // The import cleans up after itself (note file deleted, ENScript waited for) on every
  // way out; what is left here is to tell the user.
  try {
    SendComposedNote(request);
  } catch (const std::bad_alloc&) {
    LogError(request, u"There was not enough memory to send this page");
  } catch (...) {
    LogError(request, u"The page could not be sent because of an unexpected error");
  }
}
