#include "note/send_note.h"

#include "convert/html_cleanup.h"
#include "convert/richedit_stream.h"
#include "convert/rtf_to_html.h"
#include "dialog/log_list.h"
#include "dialog/send_dialog.h"
#include "evernote/import_runner.h"
#include "plugin/host_callbacks.h"
#include "plugin/module_state.h"
#include "resources/resource_ids.h"
#include "resources/web_addresses.h"

namespace {

constexpr int kLinkUnits = 260;          // the link field is read with this buffer
constexpr int kDocumentPathUnits = 260;  // and the host's document path
constexpr int kStampUnits = 100;

WideString LoadString(UINT id) {
  const wchar_t* text = nullptr;
  int length = LoadStringW(Module().instanceHandle, id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? WideFromPtr(text, static_cast<size_t>(length)) : WideString();
}

WideString DialogItemText(HWND dialog, int id, int units) {
  WideString text(static_cast<size_t>(units), u'\0');
  UINT length = GetDlgItemTextW(dialog, id, WidePtr(text), units);
  text.resize(length);
  return text;
}

WideString HostDocumentPath() {
  wchar_t buffer[kDocumentPathUnits] = {};
  HostCommand(kHostDocumentPath, kDocumentPathUnits, buffer);
  buffer[kDocumentPathUnits - 1] = L'\0';
  return WideFromPtr(buffer);
}

// The rich edit's text as the note body. A rich edit that holds text yet gives no RTF
// (its capture ran out of memory, as a 32-bit host may with a page of tens of megabytes)
// ends the send with an error line: an empty note must not stand in for the page.
bool RichTextBody(HWND dialog, WideString& body) {
  HWND richEdit = GetDlgItem(dialog, IDC_RICH_EDIT);
  ByteString rtf = CaptureRichEditRtf(richEdit, RichEditPart::kWholeText);
  if (rtf.empty() && RichEditTextLength(richEdit, RichEditPart::kWholeText) > 0) {
    AddLogLine(dialog, u"ERROR: Cannot capture the text as RTF");
    return false;
  }
  ConvertRtfToHtml(rtf, body);
  CleanConvertedHtml(body);
  return true;
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

WideString EscapeHtml(const WideString& text) {
  WideString escaped;
  escaped.reserve(text.size());
  for (char16_t c : text) {
    switch (c) {
      case u'&': escaped += u"&amp;"; break;
      case u'<': escaped += u"&lt;"; break;
      case u'>': escaped += u"&gt;"; break;
      case u'"': escaped += u"&quot;"; break;
      case u'\'': escaped += u"&#39;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

WideString LinkParagraph(const WideString& link, const WideString& documentPath,
                         const WideString& nodeTitle, const WideString& stamp,
                         const WideString& imported) {
  WideString title = EscapeHtml(nodeTitle);
  return u"<P><A HREF=\"" + EscapeHtml(link) + u"\" TITLE='" + EscapeHtml(documentPath) + u" [" +
         title + u"]'>" + title + u" (" + EscapeHtml(stamp) + u", " + EscapeHtml(imported) +
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
  return LoadString(IDS_IMPORTED_FROM) + u" " + LoadString(IDS_BY) + u" Yarrin2Evernote";
}

void SendNoteFromDialog(HWND dialog, const WideString& nodeTitle, const WideString* htmlCode) {
  AddLogString(dialog, htmlCode ? IDS_SEND_HTML_CODE : IDS_CONVERT_TEXT);
  WideString body;
  if (htmlCode)
    body = *htmlCode;
  else if (!RichTextBody(dialog, body))
    return;

  WideString link = DialogItemText(dialog, IDC_LINK_FIELD, kLinkUnits);
  WideString documentPath = HostDocumentPath();
  WideString content;
  if (!link.empty())
    content = LinkParagraph(link, documentPath, nodeTitle, CurrentStamp(), ImportedByText());
  content += u"<P>" + body + u"</P>";

  ImportRequest request;
  request.content = &content;
  request.title = &nodeTitle;
  request.showConsole = IsDlgButtonChecked(dialog, IDC_SHOW_CONSOLE) == BST_CHECKED ? 1 : 0;
  request.logCallback = LogToList;
  request.logContext = GetDlgItem(dialog, IDC_LOG_LIST);
  WideString tags = GetNodeTags();
  if (!tags.empty()) request.tags = &tags;
  RunImport(request);
}
