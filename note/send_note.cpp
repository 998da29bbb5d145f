#include "note/send_note.h"

#include <memory>
#include <new>
#include <utility>

#include "cleanup/enml_pass.h"
#include "convert/rtf_to_html.h"
#include "evernote/enex_file.h"
#include "note/note_pictures.h"
#include "resources/resource_ids.h"
#include "text/code_pages.h"
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

// The link paragraph, when there is a link, as valid ENML in UTF-8.
ByteString LinkParagraphEnml(const SendRequest& request) {
  const WideString link = Ask(request.ask.link);
  const WideString documentPath = Ask(request.ask.documentPath);
  if (link.empty()) return ByteString();
  return CleanUpHtml(
      WideToUtf8(LinkParagraph(link, documentPath, request.title, CurrentStamp(), ImportedByText())));
}

ByteSink ContentSink(BytePieces& content) {
  return [&content](std::string_view bytes) {
    AppendToPieces(content, bytes.data(), bytes.size());
    return true;
  };
}

// The note's content for a page of rich text: the link paragraph and the page converted,
// cleaned up and wrapped in a paragraph. False (logged) when the page could not be had
// or converted, since a note made of an error message or of nothing would hide that the
// page went nowhere.
bool RichTextContent(const SendRequest& request, BytePieces& content,
                     std::vector<NoteResource>& resources) {
  // A rich edit that holds text yet gives no RTF (its capture ran out of memory, as a
  // 32-bit host may with a page of tens of megabytes): an empty note must not stand in
  // for the page.
  std::optional<SystemPieces> rtf = Ask(request.ask.pageRtf);
  if (!rtf) {
    request.log.Error(u"Cannot capture the text as RTF; nothing was sent");
    return false;
  }
  WideString failure;
  // Moved in: the conversion lets each piece of the RTF go once it is read.
  std::optional<ConvertedPage> page = ConvertPage(std::move(*rtf), failure);
  if (!page || !PageContent(*page, request.log, content, resources, failure)) {
    request.log.Error(failure + u"; nothing was sent");
    return false;
  }
  // Asked for now, after the conversion; it goes first.
  content.insert(content.begin(), LinkParagraphEnml(request));
  return true;
}

// The note's content for the host's HTML code: the link paragraph and the code wrapped in
// a paragraph, made valid ENML.
BytePieces HtmlCodeContent(const SendRequest& request) {
  BytePieces content;
  const ByteString link = LinkParagraphEnml(request);
  AppendToPieces(content, link.data(), link.size());
  AppendToPieces(content, "<p>", 3);
  EnmlOptions options;
  options.outerDepth = 1;
  EnmlPass pass(options, ContentSink(content));
  FeedWideHtml(pass, request.htmlCode);
  pass.Finish();
  AppendToPieces(content, "</p>", 4);
  TrimLastPiece(content);
  return content;
}

DWORD WaitNoticeMs() {
  constexpr DWORD kLongestSeconds = 24 * 60 * 60;  // beyond a day the product overflows
  auto seconds = ReadUserSetting(kWaitNoticeSetting);
  if (!seconds) return kDefaultWaitNoticeMs;
  return (*seconds < kLongestSeconds ? *seconds : kLongestSeconds) * 1000;
}

void SendComposedNote(const SendRequest& request) {
  const bool richText = request.source == BodySource::kRichText;
  WideString first = ModuleString(richText ? IDS_CONVERT_TEXT : IDS_SEND_HTML_CODE);
  if (!first.empty()) request.log.Line(first);

  std::vector<NoteResource> resources;
  BytePieces content;
  if (richText) {
    if (!RichTextContent(request, content, resources)) return;
  } else {
    content = HtmlCodeContent(request);
  }

  ImportRequest import;
  import.content = &content;
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

bool PageContent(ConvertedPage& page, const LogSink& log, BytePieces& content,
                 std::vector<NoteResource>& resources, WideString& failure) {
  NotePictures pictures(page.Pictures(), log);
  EnmlOptions options;
  options.wholeDocument = options.bookmarks = options.addresses = true;
  options.outerDepth = 1;
  options.pictures = &pictures;
  AppendToPieces(content, "<p>", 3);
  EnmlPass pass(options, ContentSink(content));
  if (!page.ReadDocument([&pass](std::string_view bytes) { return pass.Feed(bytes); }, failure))
    return false;
  pass.Finish();
  AppendToPieces(content, "</p>", 4);
  TrimLastPiece(content);
  resources = pictures.TakeResources();
  return true;
}

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
