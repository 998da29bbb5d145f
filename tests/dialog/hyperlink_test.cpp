// The hyperlink control on real statics of a dialog: colours read from the browser's
// settings, the clickable text rectangle, mouse and keyboard activation, painting. The
// link opens bin\link_target.exe (copied into a scratch folder), which leaves a line in
// link_target.opened for every start.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "dialog/hyperlink_control.h"
#include "testbed/test_host.h"
#include "tests/evernote/standin_support.h"

namespace {

constexpr int kLeftLinkId = 1006;
constexpr int kRightLinkId = 1008;
constexpr wchar_t kSettingsKey[] = L"Software\\Microsoft\\Internet Explorer\\Settings";
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kPurple = RGB(128, 0, 128);
constexpr COLORREF kGreen = RGB(0, 128, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// An in-memory dialog template: the send dialog's two link statics with its font.
class DialogTemplate {
 public:
  DialogTemplate() {
    // A child of one lasting top-level window: hiding a top-level window of its own costs
    // Wine a two-second wait for a window manager that Xvfb lacks.
    AddDword(DS_SETFONT | DS_CONTROL | WS_CHILD | WS_VISIBLE);
    AddDword(0);
    words_.push_back(2);  // controls
    for (short value : {0, 0, 385, 40}) words_.push_back(static_cast<WORD>(value));
    words_.push_back(0);  // no menu
    words_.push_back(0);  // standard class
    AddText(L"Links");
    words_.push_back(8);
    AddText(L"MS Sans Serif");
    AddStatic(kLeftLinkId, SS_LEFT | SS_CENTERIMAGE | WS_GROUP, 7);
    AddStatic(kRightLinkId, SS_RIGHT | SS_CENTERIMAGE | WS_GROUP, 207);
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void AddDword(DWORD value) {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
  }
  void AddText(const wchar_t* text) {
    while (*text) words_.push_back(static_cast<WORD>(*text++));
    words_.push_back(0);
  }
  void AddStatic(int id, DWORD style, short left) {
    if (words_.size() % 2) words_.push_back(0);  // items start on a DWORD boundary
    AddDword(style | WS_CHILD | WS_VISIBLE);
    AddDword(0);
    for (short value : {left, short{10}, short{171}, short{14}})
      words_.push_back(static_cast<WORD>(value));
    words_.push_back(static_cast<WORD>(id));
    words_.push_back(0xFFFF);
    words_.push_back(0x0082);  // static
    AddText(L"HYPERLINL");
    words_.push_back(0);  // no creation data
  }

  std::vector<WORD> words_;
};

HWND LastingTopLevelWindow() {
  static HWND window = [] {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"HyperlinkTestFrame";
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, windowClass.lpszClassName, L"Links", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           40, 40, 700, 160, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }();
  return window;
}

INT_PTR CALLBACK WhiteDialogProc(HWND, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_CTLCOLORSTATIC) return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
  return FALSE;
}

// The control's client area as drawn by the control itself.
class Capture {
 public:
  explicit Capture(HWND control) {
    RECT client{};
    GetClientRect(control, &client);
    width_ = client.right;
    height_ = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    PatBlt(memory, 0, 0, width_, height_, BLACKNESS);
    PrintWindow(control, memory, PW_CLIENTONLY);
    GdiFlush();
    auto* pixels = static_cast<const DWORD*>(bits);
    pixels_.assign(pixels, pixels + width_ * height_);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
  }

  // Pixels of exactly this colour, optionally only in columns [fromX, toX).
  int Count(COLORREF color, int fromX = 0, int toX = INT_MAX) const {
    DWORD wanted = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    int count = 0;
    for (int y = 0; y < height_; ++y)
      for (int x = fromX; x < width_ && x < toX; ++x)
        if ((pixels_[y * width_ + x] & 0xFFFFFF) == wanted) ++count;
    return count;
  }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<DWORD> pixels_;
};

void SetBrowserColor(const wchar_t* name, const std::wstring& text) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void ClearBrowserColors() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  RegDeleteValueW(key, L"Anchor Color");
  RegDeleteValueW(key, L"Anchor Color Visited");
  RegCloseKey(key);
}

class HyperlinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearBrowserColors();
    target_ = scratch_.path() + L"link_target.exe";
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"link_target.exe").c_str(),
                          target_.c_str(), FALSE));
  }
  void TearDown() override {
    if (dialog_) DestroyWindow(dialog_);
    ClearBrowserColors();
    // The scratch folder goes once every started target has ended.
    WaitUntil([] { return ProcessesNamed(L"link_target.exe").empty(); }, 5000);
  }

  // The dialog with its two statics, not yet links.
  void OpenPlainDialog() {
    dialog_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), template_.get(),
                                         LastingTopLevelWindow(), WhiteDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
    left_ = GetDlgItem(dialog_, kLeftLinkId);
    right_ = GetDlgItem(dialog_, kRightLinkId);
  }

  // The dialog with both links set up the way the send dialog does it.
  void OpenDialog() {
    OpenPlainDialog();
    ASSERT_TRUE(leftLink_.Attach(left_));
    leftLink_.Initialise();
    leftLink_.SetLinkTarget(WideFromPtr(target_.c_str()));
    leftLink_.SetLabel(u"https://example.com/plugins/yarrin2evernote?lang=en&page=1");
    ASSERT_TRUE(rightLink_.Attach(right_));
    rightLink_.Initialise();
    rightLink_.SetLinkTarget(WideFromPtr(target_.c_str()));
    rightLink_.SetLabel(u"Technical Support");
    PumpMessages(50);
  }

  int TimesOpened() const {
    HANDLE marker = CreateFileW((scratch_.path() + L"link_target.opened").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (marker == INVALID_HANDLE_VALUE) return 0;
    char bytes[256] = {};
    DWORD read = 0;
    ReadFile(marker, bytes, sizeof(bytes), &read, nullptr);
    CloseHandle(marker);
    return static_cast<int>(std::count(bytes, bytes + read, '\n'));
  }

  // Waits for the expected count, then a little longer so that a late extra start shows.
  int TimesOpenedSettled(int expected) const {
    WaitUntil([&] { return TimesOpened() >= expected; }, 10000);
    PumpMessages(700);
    return TimesOpened();
  }

  static POINT MiddleOf(const RECT& rect) {
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  }
  static void Click(HWND control, POINT down, POINT up) {
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(down.x, down.y));
    SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(up.x, up.y));
  }
  static RECT ClientOf(HWND control) {
    RECT client{};
    GetClientRect(control, &client);
    return client;
  }
  void TypeToFocus(wchar_t character) {
    PostMessageW(GetFocus(), WM_CHAR, character, 0);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      if (!IsDialogMessageW(dialog_, &message)) DispatchMessageW(&message);
  }

  ScratchFolder scratch_;
  std::wstring target_;
  DialogTemplate template_;
  HWND dialog_ = nullptr;
  HWND left_ = nullptr;
  HWND right_ = nullptr;
  HyperlinkControl leftLink_;
  HyperlinkControl rightLink_;
};

TEST(ParseColorText, ReadsThreeNumbersKeepingTheirLowEightBits) {
  struct Case {
    const char16_t* text;
    COLORREF color;
  } valid[] = {
      {u"0,128,0", RGB(0, 128, 0)},
      {u" 12, +34,\t56", RGB(12, 34, 56)},
      {u"256,0,0", RGB(0, 0, 0)},
      {u"0,257,511", RGB(0, 1, 255)},
      {u"-2,0,0", RGB(254, 0, 0)},
      {u"1x,2 ,3;", RGB(1, 2, 3)},
      {u"red,1,2", RGB(0, 1, 2)},  // read as 0, like _wtoi
      {u"0,0,-1", RGB(0, 0, 255)},
  };
  for (const Case& c : valid) {
    auto color = HyperlinkControl::ParseColorText(c.text);
    ASSERT_TRUE(color) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
    EXPECT_EQ(*color, c.color);
  }
  for (const char16_t* invalid : {u"0,128", u"0,128,", u"green", u"", u"-1,0,0", u"0,-1,0"})
    EXPECT_FALSE(HyperlinkControl::ParseColorText(invalid))
        << std::string(invalid, invalid + std::char_traits<char16_t>::length(invalid));
}

TEST_F(HyperlinkTest, BrowserAnchorColorDrawsTheLink) {
  OpenDialog();
  {
    Capture link(left_);
    EXPECT_GT(link.Count(kBlue), 20) << "default link colour";
    EXPECT_GT(link.Count(kWhite), 100) << "the parent's static background";
  }
  EXPECT_EQ(leftLink_.visitedColor, kPurple);
  DestroyWindow(dialog_);

  SetBrowserColor(L"Anchor Color", L"0,128,0");
  OpenDialog();
  Capture link(left_);
  EXPECT_GT(link.Count(kGreen), 20);
  EXPECT_EQ(link.Count(kBlue), 0);
}

TEST_F(HyperlinkTest, InvalidOrOverlongAnchorColorsAreIgnored) {
  for (const wchar_t* text : {L"0,128", L"0,128,", L"green", L"0,128,0             "}) {
    SetBrowserColor(L"Anchor Color", text);
    SetBrowserColor(L"Anchor Color Visited", text);
    OpenDialog();
    EXPECT_EQ(leftLink_.linkColor, kBlue) << text;
    EXPECT_EQ(leftLink_.visitedColor, kPurple) << text;
    DestroyWindow(dialog_);
  }
  SetBrowserColor(L"Anchor Color", L"256,128,0");
  OpenDialog();
  EXPECT_EQ(leftLink_.linkColor, kGreen) << "256 keeps its low 8 bits";
}

TEST_F(HyperlinkTest, RightAlignedLinkIsClickableAtItsRightEndOnly) {
  OpenDialog();
  RECT client = ClientOf(right_);
  RECT link = rightLink_.linkRect;
  EXPECT_EQ(link.right, client.right);
  EXPECT_GT(link.left, client.right / 2) << "\"Technical Support\" is short";
  EXPECT_EQ(leftLink_.linkRect.left, 0);
  EXPECT_TRUE(GetWindowLongPtrW(right_, GWL_STYLE) & SS_NOTIFY);

  Capture drawn(right_);
  EXPECT_EQ(drawn.Count(kBlue, 0, link.left), 0) << "text drawn left of its rectangle";
  EXPECT_GT(drawn.Count(kBlue, link.left), 20);

  // A click on the static beside the text does nothing.
  POINT beside{2, MiddleOf(link).y};
  Click(right_, beside, beside);
  EXPECT_NE(GetFocus(), right_);
  EXPECT_FALSE(rightLink_.visited);

  // Pressed on the text, released off it: nothing opens and the mouse is let go.
  SendMessageW(right_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(MiddleOf(link).x, MiddleOf(link).y));
  EXPECT_EQ(GetCapture(), right_);
  EXPECT_EQ(GetFocus(), right_);
  SendMessageW(right_, WM_LBUTTONUP, 0, MAKELPARAM(beside.x, beside.y));
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FALSE(rightLink_.visited);

  EXPECT_EQ(TimesOpenedSettled(0), 0);
}

TEST_F(HyperlinkTest, ClickOnTheTextOpensTheTargetAndShowsItVisited) {
  SetBrowserColor(L"Anchor Color Visited", L"200,0,0");
  OpenDialog();
  Click(right_, MiddleOf(rightLink_.linkRect), MiddleOf(rightLink_.linkRect));
  EXPECT_TRUE(rightLink_.visited);
  EXPECT_EQ(TimesOpenedSettled(1), 1);

  Capture drawn(right_);
  EXPECT_GT(drawn.Count(RGB(200, 0, 0)), 20);
  EXPECT_EQ(drawn.Count(kBlue), 0);
  EXPECT_GT(Capture(left_).Count(kBlue), 20) << "the other link is not visited";
}

TEST_F(HyperlinkTest, EnterAndSpaceOpenTheFocusedLink) {
  OpenDialog();
  EXPECT_EQ(SendMessageW(left_, WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS);
  SetFocus(left_);
  TypeToFocus(L'x');
  EXPECT_FALSE(leftLink_.visited);
  TypeToFocus(L'\r');
  EXPECT_EQ(TimesOpenedSettled(1), 1);
  TypeToFocus(L' ');
  EXPECT_EQ(TimesOpenedSettled(2), 2);
  EXPECT_TRUE(leftLink_.visited);
}

TEST_F(HyperlinkTest, DisabledLinkIsDrawnInGrayText) {
  SetBrowserColor(L"Anchor Color", L"0,128,0");
  OpenDialog();
  COLORREF grayText = GetSysColor(COLOR_GRAYTEXT);
  ASSERT_NE(grayText, kGreen);
  EnableWindow(left_, FALSE);
  Capture disabled(left_);
  EXPECT_GT(disabled.Count(grayText), 20);
  EXPECT_EQ(disabled.Count(kGreen), 0);

  EnableWindow(left_, TRUE);
  EXPECT_GT(Capture(left_).Count(kGreen), 20);
}

TEST_F(HyperlinkTest, TooltipShowsTheCurrentTargetOverTheText) {
  OpenDialog();
  ASSERT_NE(rightLink_.tooltip, nullptr);
  rightLink_.SetLinkTarget(u"https://example.com/support");
  EXPECT_EQ(SendMessageW(rightLink_.tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);

  wchar_t text[256] = {};
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = right_;
  tool.uId = 1;
  tool.lpszText = text;
  SendMessageW(rightLink_.tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(text, L"https://example.com/support");
  ASSERT_TRUE(SendMessageW(rightLink_.tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)));
  EXPECT_TRUE(EqualRect(&tool.rect, &rightLink_.linkRect));

  // The hand shows over the text only.
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  SetCursor(arrow);
  SendMessageW(right_, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(GetCursor(), arrow);
  POINT middle = MiddleOf(rightLink_.linkRect);
  SendMessageW(right_, WM_MOUSEMOVE, 0, MAKELPARAM(middle.x, middle.y));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
}

TEST_F(HyperlinkTest, StaticGetsItsOwnProcedureBack) {
  OpenPlainDialog();
  // The window goes first: the link lets go of it and its tooltip.
  auto link = std::make_unique<HyperlinkControl>();
  ASSERT_TRUE(link->Attach(left_));
  link->Initialise();
  HWND tooltip = link->tooltip;
  ASSERT_TRUE(IsWindow(tooltip));
  DestroyWindow(left_);
  EXPECT_EQ(link->window, nullptr);
  EXPECT_FALSE(IsWindow(tooltip));
  link.reset();

  // The link goes first: a plain static stays behind.
  link = std::make_unique<HyperlinkControl>();
  ASSERT_TRUE(link->Attach(right_));
  link->Initialise();
  link->SetLinkTarget(WideFromPtr(target_.c_str()));
  EXPECT_EQ(SendMessageW(right_, WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS);
  link.reset();
  EXPECT_NE(SendMessageW(right_, WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS);
  SetFocus(right_);
  TypeToFocus(L' ');
  EXPECT_EQ(TimesOpenedSettled(0), 0);
}

}  // namespace
