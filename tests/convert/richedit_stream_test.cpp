// RTF in and out of real rich edit controls.
#include <gtest/gtest.h>

#include <richedit.h>

#include "convert/richedit_stream.h"

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

TEST(RichEditStreamTest, EmptyControlGivesEmptyRtfWithoutStreaming) {
  RichEditWindow edit;
  EXPECT_EQ(RichEditTextLength(edit.get(), RichEditPart::kWholeText), 0);
  EXPECT_EQ(CaptureRichEditRtf(edit.get(), RichEditPart::kWholeText), "");
  EXPECT_EQ(edit.streamOuts, 0);
}

TEST(RichEditStreamTest, CollapsedSelectionGivesEmptyRtfThoughTextIsThere) {
  RichEditWindow edit;
  edit.SetText(L"Some text");
  edit.Select(4, 4);
  EXPECT_EQ(CaptureRichEditRtf(edit.get(), RichEditPart::kSelection), "");
  EXPECT_EQ(edit.streamOuts, 0);
  ByteString whole = CaptureRichEditRtf(edit.get(), RichEditPart::kWholeText);
  EXPECT_EQ(edit.streamOuts, 1);
  EXPECT_EQ(whole.rfind("{\\rtf", 0), 0u) << whole;
  EXPECT_NE(whole.find("Some text"), ByteString::npos) << whole;
}

TEST(RichEditStreamTest, SelectionMadeEitherWayGivesTheSameLengthAndRtf) {
  RichEditWindow edit;
  edit.SetText(L"first second third");
  edit.Select(6, 12);
  LONG forward = RichEditTextLength(edit.get(), RichEditPart::kSelection);
  ByteString forwardRtf = CaptureRichEditRtf(edit.get(), RichEditPart::kSelection);
  edit.Select(12, 6);
  EXPECT_EQ(RichEditTextLength(edit.get(), RichEditPart::kSelection), forward);
  EXPECT_EQ(forward, 6);
  ByteString backwardRtf = CaptureRichEditRtf(edit.get(), RichEditPart::kSelection);
  EXPECT_EQ(backwardRtf, forwardRtf);
  EXPECT_NE(backwardRtf.find("second"), ByteString::npos) << backwardRtf;
  EXPECT_EQ(backwardRtf.find("first"), ByteString::npos) << backwardRtf;
  EXPECT_EQ(RichEditTextLength(edit.get(), RichEditPart::kWholeText), 18);
}

TEST(RichEditStreamTest, LoadReplacesEarlierContent) {
  RichEditWindow edit;
  edit.SetText(L"earlier content that must go");
  edit.Select(3, 3);  // a stream into the selection would keep the rest
  EXPECT_TRUE(LoadRichEditRtf(edit.get(), "{\\rtf1\\ansi new words\\par}"));
  EXPECT_EQ(WithoutFinalBreak(edit.Text()), L"new words");
}

TEST(RichEditStreamTest, LoadStopsAtTheFirstZeroByte) {
  RichEditWindow edit;
  ByteString rtf("{\\rtf1\\ansi kept\0 dropped}", 26);
  ASSERT_EQ(rtf.size(), 26u);
  EXPECT_TRUE(LoadRichEditRtf(edit.get(), rtf));
  EXPECT_EQ(WithoutFinalBreak(edit.Text()), L"kept");
}

TEST(RichEditStreamTest, LoadThatReadsNothingIsFalse) {
  RichEditWindow edit;
  EXPECT_FALSE(LoadRichEditRtf(edit.get(), ""));
  EXPECT_FALSE(LoadRichEditRtf(nullptr, kFormattedRtf));
}

TEST(RichEditStreamTest, WindowThatIsNoRichEditGivesEmptyRtf) {
  HWND button = CreateWindowExW(0, L"BUTTON", L"not a rich edit", WS_POPUP, 0, 0, 50, 20,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  EXPECT_EQ(CaptureRichEditRtf(button, RichEditPart::kWholeText), "");
  EXPECT_EQ(CaptureRichEditRtf(nullptr, RichEditPart::kWholeText), "");
  DestroyWindow(button);
}

TEST(RichEditStreamTest, FormattedNonLatinTextSurvivesARoundTrip) {
  RichEditWindow source;
  ASSERT_TRUE(LoadRichEditRtf(source.get(), kFormattedRtf));
  ASSERT_EQ(WithoutFinalBreak(source.Text()), kFormattedText);

  ByteString captured = CaptureRichEditRtf(source.get(), RichEditPart::kWholeText);
  ASSERT_FALSE(captured.empty());
  EXPECT_EQ(captured.find('\0'), ByteString::npos);

  RichEditWindow target;
  target.SetText(L"old");
  ASSERT_TRUE(LoadRichEditRtf(target.get(), captured));
  EXPECT_EQ(WithoutFinalBreak(target.Text()), kFormattedText);
  EXPECT_TRUE(target.EffectsAt(7) & CFE_BOLD) << "inside \"bold\"";
  EXPECT_FALSE(target.EffectsAt(12) & CFE_BOLD) << "after \"bold\"";
  // The bold word ends where it ended; that "Plain" before it stays plain is not checked,
  // because Wine writes RTF without \\plain and so reads its own output back bold there.
  EXPECT_NE(captured.find("bold\\b0"), ByteString::npos) << captured;
}

TEST(RichEditStreamTest, SelectionOfFormattedTextKeepsItsFormatting) {
  RichEditWindow source;
  ASSERT_TRUE(LoadRichEditRtf(source.get(), kFormattedRtf));
  EXPECT_FALSE(source.EffectsAt(1) & CFE_BOLD);
  source.Select(6, 17);  // "bold Привет"
  ByteString captured = CaptureRichEditRtf(source.get(), RichEditPart::kSelection);

  RichEditWindow target;
  ASSERT_TRUE(LoadRichEditRtf(target.get(), captured));
  EXPECT_EQ(WithoutFinalBreak(target.Text()), L"bold \u041f\u0440\u0438\u0432\u0435\u0442");
  EXPECT_TRUE(target.EffectsAt(0) & CFE_BOLD);
  EXPECT_FALSE(target.EffectsAt(6) & CFE_BOLD);
}

TEST(RichEditStreamTest, PageLargerThanTheFirstReserveIsCapturedWhole) {
  // Cyrillic letters take about eight RTF bytes each: well beyond the first megabyte.
  std::wstring text;
  for (int line = 0; line < 2000; ++line) {
    text += L"\u0421\u0442\u0440\u043e\u043a\u0430 " + std::to_wstring(line) + L" ";
    text.append(80, L'\u0436');
    text += L"\r";
  }
  RichEditWindow source;
  source.SetText(text.c_str());
  ByteString captured = CaptureRichEditRtf(source.get(), RichEditPart::kWholeText);
  EXPECT_GT(captured.size(), size_t{1} << 20);
  EXPECT_EQ(captured.back(), '}');

  RichEditWindow target;
  ASSERT_TRUE(LoadRichEditRtf(target.get(), captured));
  EXPECT_EQ(target.Text(), source.Text());

  // In pieces: the same bytes, in full blocks but the last, of the whole text and of a
  // selection of it alike.
  for (RichEditPart part : {RichEditPart::kWholeText, RichEditPart::kSelection}) {
    SendMessageW(source.get(), EM_SETSEL, 5, 900000);
    const ByteString whole = CaptureRichEditRtf(source.get(), part);
    const SystemPieces pieces = CaptureRichEditRtfPieces(source.get(), part);
    ASSERT_GT(pieces.size(), 10u);
    ByteString joined;
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (i + 1 < pieces.size()) {
        EXPECT_EQ(pieces[i].size(), SystemBlock::kBytes);
      }
      joined.append(pieces[i].data(), pieces[i].size());
    }
    EXPECT_TRUE(joined == whole);
  }
  EXPECT_TRUE(CaptureRichEditRtfPieces(RichEditWindow().get(), RichEditPart::kWholeText).empty());
}

}  // namespace
