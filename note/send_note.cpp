#include "note/send_note.h"

#include <memory>
#include <new>
#include <utility>

#include "cleanup/enml_pass.h"
#include "convert/rtf_to_html.h"
#include "note/note_pictures.h"
#include "resources/resource_ids.h"
#include "text/code_pages.h"
#include "text/markup_escape.h"
#include "win/module_state.h"

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

Note WithTimesOfNow(Note note) {
  GetSystemTime(&note.created);
  note.updated = note.created;
  return note;
}

ByteSink ContentSink(BytePieces& content) {
  return [&content](std::string_view bytes) {
    AppendToPieces(content, bytes.data(), bytes.size());
    return true;
  };
}

// The link paragraph, when there is a link, as valid ENML in UTF-8.
ByteString LinkParagraphEnml(const SendRequest& request) {
  const WideString link = Ask(request.ask.link);
  const WideString documentPath = Ask(request.ask.documentPath);
  if (link.empty()) return ByteString();
  return CleanUpHtml(
      WideToUtf8(LinkParagraph(link, documentPath, request.title, CurrentStamp(), ImportedByText())));
}

// The page as the note's content: its RTF asked for, converted, cleaned up with its
// pictures made resources. False (logged) when the page could not be had or converted,
// since a note made of an error message or of nothing would hide that the page went
// nowhere.
bool PageIntoNote(const SendRequest& request, Note& note) {
  const LogSink& log = request.import.log;
  // A rich edit that holds text yet gives no RTF (its capture ran out of memory, as a
  // 32-bit host may with a page of tens of megabytes): an empty note must not stand in
  // for the page.
  std::optional<SystemPieces> rtf = Ask(request.ask.pageRtf);
  if (!rtf) {
    log.Error(u"Cannot capture the text as RTF; nothing was sent");
    return false;
  }
  WideString failure;
  // Moved in: the conversion lets each piece of the RTF go once it is read.
  std::optional<ConvertedPage> page = ConvertPage(std::move(*rtf), failure);
  if (!page || !PageContent(*page, log, note.content, note.resources, failure)) {
    log.Error(failure + u"; nothing was sent");
    return false;
  }
  return true;
}

// The host's HTML code as the note's content, wrapped in a paragraph and made valid ENML.
void HtmlCodeIntoNote(const SendRequest& request, Note& note) {
  AppendToPieces(note.content, "<p>", 3);
  EnmlOptions options;
  options.outerDepth = 1;
  EnmlPass pass(options, ContentSink(note.content));
  FeedWideHtml(pass, request.htmlCode);
  pass.Finish();
  AppendToPieces(note.content, "</p>", 4);
  TrimLastPiece(note.content);
}

// The send, top-down: its first line, the page (or the host's code) made the note's
// content, the link back to the host page put before it, the tags, then the import,
// which writes the note file, runs ENScript and logs the rest.
void SendComposedNote(const SendRequest& request) {
  const bool richText = request.source == BodySource::kRichText;
  const WideString first = ModuleString(richText ? IDS_CONVERT_TEXT : IDS_SEND_HTML_CODE);
  if (!first.empty()) request.import.log.Line(first);

  Note note;
  note.title = request.title;
  if (richText) {
    if (!PageIntoNote(request, note)) return;
  } else {
    HtmlCodeIntoNote(request, note);
  }
  // Asked for now, after the page; it goes first.
  note.content.insert(note.content.begin(), LinkParagraphEnml(request));
  note.tags = Ask(request.ask.tags);
  // The note's times are those of the import, as Evernote would set them.
  note = WithTimesOfNow(std::move(note));
  RunImport(note, request.import);
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
    request.import.log.Error(u"There was not enough memory to send this page");
  } catch (...) {
    request.import.log.Error(u"The page could not be sent because of an unexpected error");
  }
}
