// RTF in and out of real rich edit controls.
#include <gtest/gtest.h>

#include <richedit.h>

#include <algorithm>
#include <string>

#include "convert/richedit_stream.h"
#include "tests/rtf_capture.h"

namespace {

// A hidden rich edit whose streaming messages are counted.
class RichEditWindow {
 public:
  RichEditWindow() {
    static HMODULE library = LoadLibraryW(L"riched20.dll");
    (void)library;
    window_ = CreateWindowExW(0, L"RICHEDIT20W", L"", WS_POPUP | ES_MULTILINE, 0, 0, 300, 200,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(window_, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
    SetPropW(window_, L"counter", this);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Counting)));
  }
  RichEditWindow(const RichEditWindow&) = delete;
  RichEditWindow& operator=(const RichEditWindow&) = delete;
  ~RichEditWindow() { DestroyWindow(window_); }

  HWND get() const { return window_; }
  int streamOuts = 0;

  void SetText(const wchar_t* text) { SetWindowTextW(window_, text); }
  void Select(LONG anchor, LONG active) { SendMessageW(window_, EM_SETSEL, anchor, active); }
  std::wstring Text() const {
    int length = GetWindowTextLengthW(window_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window_, text.data(), length + 1)));
    return text;
  }
  // Effects of the character at position.
  DWORD EffectsAt(LONG position) {
    Select(position, position + 1);
    CHARFORMATW format{};
    format.cbSize = sizeof(format);
    SendMessageW(window_, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return format.dwEffects;
  }

 private:
  static LRESULT CALLBACK Counting(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<RichEditWindow*>(GetPropW(window, L"counter"));
    if (message == EM_STREAMOUT) ++self->streamOuts;
    return CallWindowProcW(self->original_, window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
  WNDPROC original_ = nullptr;
};

// Wine's reader applies the first change of format to the text before it unless the
// paragraph starts with \\plain.
const ByteString kFormattedRtf =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\pard\\plain "
    "Plain {\\b bold} \\u1055?\\u1088?\\u1080?\\u1074?\\u1077?\\u1090? "
    "\\u26085?\\u26412?\\par}";
const std::wstring kFormattedText = L"Plain bold \u041f\u0440\u0438\u0432\u0435\u0442 "
                                    L"\u65e5\u672c";

// The rich edit keeps its text without the closing paragraph mark of the RTF.
std::wstring WithoutFinalBreak(std::wstring text) {
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.pop_back();
  return text;
}

std::wstring WithoutLineFeeds(std::wstring text) {
  text.erase(std::remove(text.begin(), text.end(), L'\n'), text.end());
  return text;
}

TEST(RichEditStreamTest, EmptyControlGivesEmptyRtfWithoutStreaming) {
  RichEditWindow edit;
  EXPECT_EQ(RichEditTextLength(edit.get(), RichEditPart::kWholeText), 0);
  EXPECT_EQ(CapturedRtf(edit.get(), RichEditPart::kWholeText), "");
  EXPECT_EQ(edit.streamOuts, 0);
}

TEST(RichEditStreamTest, CollapsedSelectionGivesEmptyRtfThoughTextIsThere) {
  RichEditWindow edit;
  edit.SetText(L"Some text");
  edit.Select(4, 4);
  EXPECT_EQ(CapturedRtf(edit.get(), RichEditPart::kSelection), "");
  EXPECT_EQ(edit.streamOuts, 0);
  ByteString whole = CapturedRtf(edit.get(), RichEditPart::kWholeText);
  EXPECT_EQ(edit.streamOuts, 1);
  EXPECT_EQ(whole.rfind("{\\rtf", 0), 0u) << whole;
  EXPECT_NE(whole.find("Some text"), ByteString::npos) << whole;
}

TEST(RichEditStreamTest, SelectionMadeEitherWayGivesTheSameLengthAndRtf) {
  RichEditWindow edit;
  edit.SetText(L"first second third");
  edit.Select(6, 12);
  LONG forward = RichEditTextLength(edit.get(), RichEditPart::kSelection);
  ByteString forwardRtf = CapturedRtf(edit.get(), RichEditPart::kSelection);
  edit.Select(12, 6);
  EXPECT_EQ(RichEditTextLength(edit.get(), RichEditPart::kSelection), forward);
  EXPECT_EQ(forward, 6);
  ByteString backwardRtf = CapturedRtf(edit.get(), RichEditPart::kSelection);
  EXPECT_EQ(backwardRtf, forwardRtf);
  EXPECT_NE(backwardRtf.find("second"), ByteString::npos) << backwardRtf;
  EXPECT_EQ(backwardRtf.find("first"), ByteString::npos) << backwardRtf;
  EXPECT_EQ(RichEditTextLength(edit.get(), RichEditPart::kWholeText), 18);
}

TEST(RichEditStreamTest, LoadReplacesEarlierContent) {
  RichEditWindow edit;
  edit.SetText(L"earlier content that must go");
  edit.Select(3, 3);  // a stream into the selection would keep the rest
  EXPECT_TRUE(LoadRichEditRtf(edit.get(), SystemPiecesOf("{\\rtf1\\ansi new words\\par}")));
  EXPECT_EQ(WithoutFinalBreak(edit.Text()), L"new words");
}

TEST(RichEditStreamTest, LoadStopsAtTheFirstZeroByte) {
  RichEditWindow edit;
  ByteString rtf("{\\rtf1\\ansi kept\0 dropped}", 26);
  ASSERT_EQ(rtf.size(), 26u);
  EXPECT_TRUE(LoadRichEditRtf(edit.get(), SystemPiecesOf(rtf)));
  EXPECT_EQ(WithoutFinalBreak(edit.Text()), L"kept");
}

TEST(RichEditStreamTest, LoadThatReadsNothingIsFalse) {
  RichEditWindow edit;
  EXPECT_FALSE(LoadRichEditRtf(edit.get(), SystemPiecesOf("")));
  EXPECT_FALSE(LoadRichEditRtf(nullptr, SystemPiecesOf(kFormattedRtf)));
}

TEST(RichEditStreamTest, WindowThatIsNoRichEditGivesEmptyRtf) {
  HWND button = CreateWindowExW(0, L"BUTTON", L"not a rich edit", WS_POPUP, 0, 0, 50, 20,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  EXPECT_EQ(CapturedRtf(button, RichEditPart::kWholeText), "");
  EXPECT_EQ(CapturedRtf(nullptr, RichEditPart::kWholeText), "");
  DestroyWindow(button);
}

TEST(RichEditStreamTest, FormattedNonLatinTextSurvivesARoundTrip) {
  RichEditWindow source;
  ASSERT_TRUE(LoadRichEditRtf(source.get(), SystemPiecesOf(kFormattedRtf)));
  ASSERT_EQ(WithoutFinalBreak(source.Text()), kFormattedText);

  ByteString captured = CapturedRtf(source.get(), RichEditPart::kWholeText);
  ASSERT_FALSE(captured.empty());
  EXPECT_EQ(captured.find('\0'), ByteString::npos);

  RichEditWindow target;
  target.SetText(L"old");
  ASSERT_TRUE(LoadRichEditRtf(target.get(), SystemPiecesOf(captured)));
  EXPECT_EQ(WithoutFinalBreak(target.Text()), kFormattedText);
  EXPECT_TRUE(target.EffectsAt(7) & CFE_BOLD) << "inside \"bold\"";
  EXPECT_FALSE(target.EffectsAt(12) & CFE_BOLD) << "after \"bold\"";
  // The bold word ends where it ended; that "Plain" before it stays plain is not checked,
  // because Wine writes RTF without \\plain and so reads its own output back bold there.
  EXPECT_NE(captured.find("bold\\b0"), ByteString::npos) << captured;
}

TEST(RichEditStreamTest, SelectionOfFormattedTextKeepsItsFormatting) {
  RichEditWindow source;
  ASSERT_TRUE(LoadRichEditRtf(source.get(), SystemPiecesOf(kFormattedRtf)));
  EXPECT_FALSE(source.EffectsAt(1) & CFE_BOLD);
  source.Select(6, 17);  // "bold Привет"
  ByteString captured = CapturedRtf(source.get(), RichEditPart::kSelection);

  RichEditWindow target;
  ASSERT_TRUE(LoadRichEditRtf(target.get(), SystemPiecesOf(captured)));
  EXPECT_EQ(WithoutFinalBreak(target.Text()), L"bold \u041f\u0440\u0438\u0432\u0435\u0442");
  EXPECT_TRUE(target.EffectsAt(0) & CFE_BOLD);
  EXPECT_FALSE(target.EffectsAt(6) & CFE_BOLD);
}

// A page of megabytes goes out in full blocks but the last, for the whole text and a
// selection alike, and comes back in whole: the control asks for a few kilobytes at a time,
// so the blocks are read across the control's requests.
TEST(RichEditStreamTest, PageOfManyBlocksRoundTripsWhole) {
  // Cyrillic letters take about eight RTF bytes each: well over a megabyte.
  std::wstring text;
  for (int line = 0; line < 2000; ++line) {
    text += L"\u0421\u0442\u0440\u043e\u043a\u0430 " + std::to_wstring(line) + L" ";
    text.append(80, L'\u0436');
    text += L"\r";
  }
  RichEditWindow source;
  source.SetText(text.c_str());
  SendMessageW(source.get(), EM_SETSEL, 5, 90000);
  for (RichEditPart part : {RichEditPart::kWholeText, RichEditPart::kSelection}) {
    SystemPieces pieces = CaptureRichEditRtfPieces(source.get(), part);
    ASSERT_GT(pieces.size(), 3u);
    for (size_t i = 0; i + 1 < pieces.size(); ++i) EXPECT_EQ(pieces[i].size(), SystemBlock::kBytes);
    EXPECT_EQ(pieces.back().data()[pieces.back().size() - 1], '}');

    RichEditWindow target;
    ASSERT_TRUE(LoadRichEditRtf(target.get(), std::move(pieces)));
    // Character positions count a paragraph's end as one: compared without line feeds.
    const std::wstring expected =
        part == RichEditPart::kWholeText ? text : text.substr(5, 90000 - 5);
    EXPECT_TRUE(WithoutFinalBreak(WithoutLineFeeds(target.Text())) == WithoutFinalBreak(expected))
        << "part " << static_cast<int>(part) << ": " << target.Text().size() << " characters";
  }
  EXPECT_TRUE(CaptureRichEditRtfPieces(RichEditWindow().get(), RichEditPart::kWholeText).empty());
}

// A zero byte ends the RTF wherever it lies: here in the second block, after text that
// follows a group the reader skips.
TEST(RichEditStreamTest, LoadStopsAtAZeroByteInALaterBlock) {
  ByteString rtf = "{\\rtf1\\ansi first{\\*\\skipped ";
  rtf.append(SystemBlock::kBytes, 'x');
  rtf += "} second";
  rtf += '\0';
  rtf += " dropped}";
  RichEditWindow edit;
  ASSERT_TRUE(LoadRichEditRtf(edit.get(), SystemPiecesOf(rtf)));
  EXPECT_EQ(WithoutFinalBreak(edit.Text()), L"first second");
}

}  // namespace
