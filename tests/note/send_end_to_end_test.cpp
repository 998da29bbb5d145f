// A page typed into the host's editor, sent through the real send dialog, arrives in the
// ENScript stand-in's notebook as one whole note.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>

#include "cleanup/enml_pass.h"
#include "convert/richedit_stream.h"
#include "convert/rtf_to_html.h"
#include "note/send_note.h"
#include "testbed/test_host.h"
#include "tests/cleanup/canonical_xml.h"
#include "tests/cleanup/reference/steps.h"
#include "tests/enscript_fixture.h"
#include "tests/rtf_capture.h"
#include "text/code_pages.h"

namespace {

const char kPage[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
    // Wine's rich edit gives the first run the format of the next change without \plain.
    "\\pard\\plain Hello {\\b bold} world, see https://example.org/a and bookmark<Top of page>.\\par "
    "Second \\u1046? line\\line and third\\par}";

std::wstring EnexNow() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  wchar_t text[32];
  wsprintfW(text, L"%04d%02d%02dT%02d%02d%02dZ", now.wYear, now.wMonth, now.wDay, now.wHour,
            now.wMinute, now.wSecond);
  return text;
}

// The page converted and cleaned up whole, one step after the other, as the note's
// content holds it: what the send, which does it in one pass as the page is read, must
// arrive at. In one spelling (see CanonicalXml), with XML's line feeds.
std::string WholePageCleanedUp(const ByteString& rtf) {
  WideString failure;
  std::optional<ConvertedPage> page = ConvertPage(rtf, failure);
  std::string document;
  if (!page || !page->ReadDocument([&document](std::string_view bytes) {
        document.append(bytes.data(), bytes.size());
        return true;
      }, failure))
    return "(not converted)";
  return CanonicalXml(ReferencePageContent(document, NewAnchorName));
}

std::vector<std::wstring> LogRows(HWND dialog) { return ListRows(GetDlgItem(dialog, 1003)); }

// What one or more presses of "Send To Evernote" left behind.
struct SendResult {
  bool dialogOpened = false;
  std::vector<std::wstring> logBefore;  // rows before the first press
  std::vector<std::wstring> logAfter;
  std::wstring linkField;
  std::string expectedBody;  // the dialog's rich text converted and cleaned up
  std::vector<bool> sendEnabledAfter;
  bool openAfter = false;  // the dialog was still open after the presses
  std::wstring clockBefore, clockAfter;
};

// Opens the dialog through command 0 and presses Send `presses` times; prepare runs on
// the open dialog before the first press.
SendResult SendThroughDialog(int presses = 1, std::function<void(HWND)> prepare = {}) {
  SendResult result;
  auto watch = WhenWindowAppears(DialogCaptionStartingWith(L"Yarrin2Evernote"), [&](HWND dialog) {
    result.dialogOpened = true;
    if (prepare) prepare(dialog);
    result.logBefore = LogRows(dialog);
    result.linkField = WindowText(GetDlgItem(dialog, 1001));
    result.expectedBody =
        WholePageCleanedUp(CapturedRtf(GetDlgItem(dialog, 1007), RichEditPart::kWholeText));
    result.clockBefore = EnexNow();
    for (int i = 0; i < presses; ++i) {
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
      result.sendEnabledAfter.push_back(IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE);
    }
    result.clockAfter = EnexNow();
    result.openAfter = IsWindow(dialog) != FALSE;
    result.logAfter = LogRows(dialog);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }, 30000);
  RunPluginCommand(0);
  CancelWindowWatch(watch);
  return result;
}

// XML turns every CR LF into a line feed, CDATA sections included.
std::string WithLineFeeds(std::string text) {
  size_t at = 0;
  while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
  return text;
}

// A part of the stored note as the expected body is spelt.
std::string Canonical(const WideString& markup) { return CanonicalXml(WideToUtf8(markup)); }

// The en-note element's inside.
WideString NoteBody(const StoredNote& note) {
  size_t open = note.content.find(u'>');
  size_t close = note.content.rfind(u"</en-note>");
  if (open == WideString::npos || close == WideString::npos) return note.content;
  return note.content.substr(open + 1, close - open - 1);
}

std::vector<std::wstring> NewRows(const SendResult& result) {
  return std::vector<std::wstring>(result.logAfter.begin() + result.logBefore.size(),
                                   result.logAfter.end());
}

class SendEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveEvernoteAppPaths();
    ResetHost();
    Host().nodeTitle = u"Notes";
    Host().tags = u"work, home";
    Host().documentPath = u"C:\\Docs\\notes.yar";
    Host().nodeLink = u"yarrin://notes.yar?node=7";
    SetEditorRtf(kPage);
    SelectInEditor(0, 0);
    ASSERT_NE(Plugin().module, nullptr);
    RegisterPluginWithHost();
  }
  void TearDown() override { RemoveEvernoteAppPaths(); }
};

TEST_F(SendEndToEndTest, RichTextArrivesAsOneWholeNote) {
  ScopedEnscript enscript(L"richtext");
  SendResult sent = SendThroughDialog();
  ASSERT_TRUE(sent.dialogOpened);
  auto notes = enscript.Notes();
  ASSERT_EQ(notes.size(), 1u);
  const StoredNote& note = notes[0];
  EXPECT_EQ(note.title, u"Notes");
  EXPECT_EQ(note.tags, (std::vector<WideString>{u"work", u"home"}));
  std::wstring created(note.created.begin(), note.created.end());
  EXPECT_LE(sent.clockBefore, created);
  EXPECT_GE(sent.clockAfter, created);
  EXPECT_EQ(note.updated, note.created);

  WideString body = NoteBody(note);
  WideString linkStart = u"<p><a href=\"yarrin://notes.yar?node=7\" title=\"C:\\Docs\\notes.yar [Notes]\">Notes (";
  WideString linkEnd = u", Imported from Yarrin by Yarrin2Evernote)</a></p>";
  ASSERT_EQ(body.rfind(linkStart, 0), 0u);
  size_t paragraphEnd = body.find(linkEnd);
  ASSERT_NE(paragraphEnd, WideString::npos);
  WideString rest = body.substr(paragraphEnd + linkEnd.size());
  // The bookmark's anchor name is made afresh for each send; the rest is identical.
  EXPECT_EQ(Canonical(rest), WithLineFeeds(sent.expectedBody));
  EXPECT_NE(rest.find(u"<a href=\"https://example.org/a\" target=\"_blank\">"), WideString::npos);
  EXPECT_NE(rest.find(u"<a name=\"Top\">"), WideString::npos);
  EXPECT_NE(rest.find(u"<b>bold</b>"), WideString::npos);
  EXPECT_NE(rest.find(u"Second \u0416 line<br/>and third"), WideString::npos);
  EXPECT_NE(rest.find(u"<font color=\"orange\">\u2022</font>"), WideString::npos);

  std::vector<std::wstring> expectedLog = {
      L"Convert text to HTML", L"==================", L"Start Yarrin2Evernote",
      L"ENScript path: " + enscript.exePath(), L"ENScript started " + enscript.exePath(),
      L"End of Yarrin2Evernote"};
  EXPECT_EQ(NewRows(sent), expectedLog);
  EXPECT_TRUE(enscript.NoteFilesLeft().empty());
}

// A page of many segments, with tables and lists that span lines, arrives as the page
// cleaned up whole.
TEST_F(SendEndToEndTest, LargePageArrivesAsTheWholePageCleanedUp) {
  std::string page =
      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl ;\\red200\\green0\\blue0;}"
      "\\pard\\plain ";
  for (int i = 0; page.size() < 1200000; ++i) {
    const std::string n = std::to_string(i);
    page += "Line " + n + " {\\b bold} {\\cf1 red} https://example.org/" + n +
            ". bookmark<Mark" + n + " here> caf\\'e9\\par ";
    if (i % 50 == 0) {
      page += "\\trowd\\cellx2000\\cellx4000\\intbl A" + n + "\\cell B\\line b\\cell\\row\\pard ";
      page += "{\\pntext\\'b7\\tab}{\\*\\pn\\pnlvlblt{\\pntxtb\\'b7}}\\fi-360\\li720 item " + n +
              "\\par\\pard ";
    }
  }
  page += "}";
  ScopedEnscript enscript(L"large");
  Host().documentPath = u"Untitled";
  // Into the dialog's own editor: Wine's rich edit takes minutes to empty the host's of
  // a page this large afterwards.
  SendResult sent = SendThroughDialog(
      1, [&page](HWND dialog) {
        ASSERT_TRUE(LoadRichEditRtf(GetDlgItem(dialog, 1007), SystemPiecesOf(page)));
      });
  auto notes = enscript.Notes();
  ASSERT_EQ(notes.size(), 1u);
  const WideString body = NoteBody(notes[0]);
  EXPECT_GT(body.size(), 2000000u);
  EXPECT_NE(body.find(u"<a name=\"Mark7\">"), WideString::npos);
  EXPECT_TRUE(Canonical(body) == WithLineFeeds(sent.expectedBody));  // not printed: megabytes
}

TEST_F(SendEndToEndTest, WithoutLinkThereIsNoLinkParagraph) {
  ScopedEnscript enscript(L"nolink");
  Host().documentPath = u"Untitled";  // never saved: no backslash, no link
  SendResult sent = SendThroughDialog();
  EXPECT_EQ(sent.linkField, L"");
  auto notes = enscript.Notes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(Canonical(NoteBody(notes[0])), WithLineFeeds(sent.expectedBody));
}

TEST_F(SendEndToEndTest, TitleWithApostropheAndAmpersandArrivesIntact) {
  ScopedEnscript enscript(L"title");
  Host().nodeTitle = u"Tom's Q&A <draft>";
  SendThroughDialog();
  auto notes = enscript.Notes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].title, u"Tom's Q&A <draft>");
  WideString body = NoteBody(notes[0]);
  EXPECT_NE(body.find(u"title=\"C:\\Docs\\notes.yar [Tom's Q&amp;A &lt;draft&gt;]\">"
                      u"Tom's Q&amp;A &lt;draft&gt; ("),
            WideString::npos);
}

TEST_F(SendEndToEndTest, HtmlCodeNodesSendTheHostsCode) {
  for (int kind : {1, 3}) {
    SCOPED_TRACE(kind);
    ScopedEnscript enscript(L"html" + std::to_wstring(kind));
    Host().nodeKind = kind;
    Host().htmlCode = u"<b>Code</b> of the node";
    Host().documentPath = u"Untitled";
    SendResult sent = SendThroughDialog();
    auto notes = enscript.Notes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(NoteBody(notes[0]), u"<p><b>Code</b> of the node</p>");
    ASSERT_FALSE(NewRows(sent).empty());
    EXPECT_EQ(NewRows(sent)[0], L"Send HTML code into Evernote");
  }
}

TEST_F(SendEndToEndTest, EmptyHtmlCodeGivesAnEmptyParagraph) {
  ScopedEnscript enscript(L"emptyhtml");
  Host().nodeKind = 3;
  Host().htmlCode = u"";
  Host().documentPath = u"Untitled";
  SendThroughDialog();
  auto notes = enscript.Notes();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(NoteBody(notes[0]), u"<p></p>");
}

TEST_F(SendEndToEndTest, FailingEnscriptIsReportedAsAFailure) {
  ScopedEnscript enscript(L"failing");
  enscript.SetFault("exit 3");
  SendResult sent = SendThroughDialog();
  ASSERT_FALSE(NewRows(sent).empty());
  EXPECT_EQ(NewRows(sent).back(),
            L"ERROR: ENScript ended with exit code 3; the note was not imported");
  EXPECT_TRUE(sent.sendEnabledAfter.at(0));
}

// irun.dll beside the plug-in, moved away for the lifetime of the object.
class ConverterAway {
 public:
  ConverterAway() { moved_ = MoveFileW(path_.c_str(), (path_ + L".away").c_str()) != FALSE; }
  ~ConverterAway() {
    if (moved_) MoveFileW((path_ + L".away").c_str(), path_.c_str());
  }
  bool moved() const { return moved_; }

 private:
  std::wstring path_ = ProgramFolder() + L"irun.dll";
  bool moved_ = false;
};

TEST_F(SendEndToEndTest, ConverterThatCannotBeLoadedSendsNothingAndSaysWhy) {
  ScopedEnscript enscript(L"noconverter");
  ConverterAway away;
  ASSERT_TRUE(away.moved());
  SendResult sent = SendThroughDialog();
  std::vector<std::wstring> rows = NewRows(sent);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], L"Convert text to HTML");
  const std::wstring start =
      L"ERROR: Cannot load the converter irun.dll from the folder " + ProgramFolder() + L": ";
  EXPECT_EQ(rows[1].rfind(start, 0), 0u) << rows[1].c_str();
  EXPECT_EQ(rows[1].substr(rows[1].size() - 18), L"; nothing was sent") << rows[1].c_str();
  EXPECT_TRUE(enscript.ImportLog().empty()) << "ENScript must not run";
  EXPECT_TRUE(sent.sendEnabledAfter.at(0));
}

TEST_F(SendEndToEndTest, SloppyHtmlCodeArrivesWellFormed) {
  ScopedEnscript enscript(L"sloppy");
  Host().nodeKind = 3;
  Host().htmlCode = u"<p>One<br>two &amp three &nbsp;<img src=x.png width=10><p>Four</b>";
  Host().documentPath = u"Untitled";
  SendThroughDialog();
  auto notes = enscript.Notes();
  ASSERT_EQ(notes.size(), 1u) << "the stand-in refuses content that is not well-formed";
  // As in HTML, a paragraph that starts ends the one before it; the note's own wrapper
  // stays around the code.
  EXPECT_EQ(NoteBody(notes[0]),
            u"<p><p>One<br/>two &amp;amp three \u00a0<a href=\"x.png\">x.png</a></p>"
            u"<p>Four</p></p>");
}

// Another thread knocks at the dialog while ENScript takes its time, before the first
// notice: the dialog answers, Send and Close are disabled, Escape and the close box do
// nothing, and the log goes on to say that the send is waiting.
TEST_F(SendEndToEndTest, DialogKeepsAnsweringWhileEnscriptRuns) {
  ScopedEnscript enscript(L"slow");
  enscript.SetFault("sleep 3000");
  ScopedUserSetting oftenNotices(L"WaitNoticeSeconds", 1);
  struct Probe {
    HWND dialog = nullptr;
    bool answered = false;
    bool sendEnabled = true;
    bool closeEnabled = true;
  } probe;
  HANDLE thread = nullptr;
  SendResult sent = SendThroughDialog(1, [&](HWND dialog) {
    probe.dialog = dialog;
    thread = CreateThread(nullptr, 0, [](void* context) -> DWORD {
      auto* p = static_cast<Probe*>(context);
      Sleep(500);
      DWORD_PTR result = 0;
      p->answered = SendMessageTimeoutW(p->dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000,
                                        &result) != 0;
      p->sendEnabled = IsWindowEnabled(GetDlgItem(p->dialog, IDOK)) != FALSE;
      p->closeEnabled = IsWindowEnabled(GetDlgItem(p->dialog, IDCANCEL)) != FALSE;
      PostMessageW(p->dialog, WM_COMMAND, IDCANCEL, 0);
      PostMessageW(p->dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    }, &probe, 0, nullptr);
  });
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, 10000);
  CloseHandle(thread);
  EXPECT_TRUE(probe.answered) << "the dialog froze while ENScript ran";
  EXPECT_FALSE(probe.sendEnabled);
  EXPECT_FALSE(probe.closeEnabled);
  EXPECT_TRUE(sent.openAfter) << "Escape or the close box ended the dialog during the send";
  EXPECT_TRUE(sent.sendEnabledAfter.at(0));
  EXPECT_EQ(enscript.Notes().size(), 1u);
  std::vector<std::wstring> rows = NewRows(sent);
  int notices = 0;
  for (const std::wstring& row : rows) notices += row.rfind(L"Still waiting for ENScript", 0) == 0;
  EXPECT_GE(notices, 1);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.back(), L"End of Yarrin2Evernote");
}

TEST_F(SendEndToEndTest, ConsoleCheckBoxDecidesTheShowMode) {
  ScopedEnscript enscript(L"console");
  SendThroughDialog();
  SendThroughDialog(1, [](HWND dialog) { CheckDlgButton(dialog, 1010, BST_CHECKED); });
  auto log = enscript.ImportLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[0].find("show=hidden"), std::string::npos) << log[0];
  EXPECT_NE(log[1].find("show=shown 5"), std::string::npos) << log[1];
}

TEST_F(SendEndToEndTest, TwoPressesSendTwoNotes) {
  ScopedEnscript enscript(L"twice");
  SendResult sent = SendThroughDialog(2);
  EXPECT_EQ(enscript.Notes().size(), 2u);
  EXPECT_EQ(sent.sendEnabledAfter, (std::vector<bool>{true, true}));
  EXPECT_EQ(NewRows(sent).size(), 12u);
}

}  // namespace
