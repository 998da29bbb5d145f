#include "note/send_note.h"

#include "convert/html_cleanup.h"
#include "convert/rtf_to_html.h"
#include "resources/resource_ids.h"
#include "resources/web_addresses.h"
#include "text/markup_escape.h"
#include "win/module_state.h"

namespace {

constexpr int kStampUnits = 100;

WideString Attribute(const WideString& text) { return EscapeMarkup(text, MarkupPlace::kAttribute); }

WideString RichTextBody(const ByteString& rtf) {
  WideString body;
  ConvertRtfToHtml(rtf, body);
  CleanConvertedHtml(body);
  return body;
}

WideString CurrentStamp() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return FormatLocalDateTime(now, GetUserDefaultLCID());
}

}  // namespace

WideString PluginComment() {
  return u"<!-- Created by Yarrin2Evernote " + WideFromAscii(Y2E_MAKER_URL) + u"-->";
}

void CleanConvertedHtml(WideString& html) {
  ReplaceConverterComment(html, PluginComment());
  ConvertBookmarks(html);
  LinkifyUrls(html);
  ExtractBodyContent(html);
}

WideString LinkParagraph(const WideString& link, const WideString& documentPath,
                         const WideString& nodeTitle, const WideString& stamp,
                         const WideString& imported) {
  WideString title = Attribute(nodeTitle);
  return u"<P><A HREF=\"" + Attribute(link) + u"\" TITLE='" + Attribute(documentPath) + u" [" +
         title + u"]'>" + title + u" (" + Attribute(stamp) + u", " + Attribute(imported) +
         u")</A></P>";
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

void SendNote(const SendRequest& request) {
  const bool richText = request.source == BodySource::kRichText;
  if (request.logCallback) {
    WideString first = ModuleString(richText ? IDS_CONVERT_TEXT : IDS_SEND_HTML_CODE);
    if (!first.empty()) request.logCallback(WidePtr(first), request.logContext);
  }
  WideString body = richText ? RichTextBody(request.rtf) : request.htmlCode;

  WideString content;
  if (!request.link.empty())
    content = LinkParagraph(request.link, request.documentPath, request.title, CurrentStamp(),
                            ImportedByText());
  content += u"<P>" + body + u"</P>";

  ImportRequest import;
  import.content = &content;
  import.title = &request.title;
  import.showConsole = request.showConsole ? 1 : 0;
  import.logCallback = request.logCallback;
  import.logContext = request.logContext;
  if (!request.tags.empty()) import.tags = &request.tags;
  RunImport(import);
}
