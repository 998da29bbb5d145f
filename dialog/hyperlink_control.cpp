#include "dialog/hyperlink_control.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <climits>
#include <new>

#include "win/boundary.h"

namespace {

constexpr UINT_PTR kSubclassId = 0x4C4E4B;  // "LNK"
constexpr UINT_PTR kToolId = 1;
constexpr wchar_t kBrowserSettingsKey[] = L"Software\\Microsoft\\Internet Explorer\\Settings";
constexpr DWORD kColorValueBytes = 24;

// Statics that draw an icon, a rectangle, a frame, a bitmap, a metafile or nothing of
// their own: their look is not ours to paint.
bool ShowsNoText(LONG_PTR style) {
  switch (style & SS_TYPEMASK) {
    case SS_ICON: case SS_BLACKRECT: case SS_GRAYRECT: case SS_WHITERECT:
    case SS_BLACKFRAME: case SS_GRAYFRAME: case SS_WHITEFRAME:
    case SS_OWNERDRAW: case SS_BITMAP: case SS_ENHMETAFILE:
      return true;
    default:
      return false;
  }
}

// As _wtoi: leading white space, an optional sign, then digits up to the first other
// character. Out-of-range numbers stop at the int limits.
long long ReadInteger(WideView text) {
  size_t at = 0;
  while (at < text.size() && (text[at] == u' ' || (text[at] >= u'\t' && text[at] <= u'\r')))
    ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) negative = text[at++] == u'-';
  long long value = 0;
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
    value = value * 10 + (text[at] - u'0');
    if (value > INT_MAX) {
      value = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
      break;
    }
  }
  return negative ? -value : value;
}

std::optional<COLORREF> ReadColorValue(HKEY key, const wchar_t* name) {
  wchar_t buffer[kColorValueBytes / sizeof(wchar_t)] = {};
  DWORD bytes = kColorValueBytes;
  if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes) !=
      ERROR_SUCCESS)
    return std::nullopt;  // missing, or longer than the buffer
  return HyperlinkControl::ParseColorText(WideFromPtr(buffer, bytes / sizeof(wchar_t)));
}

TOOLINFOW ToolFor(HWND window) {
  TOOLINFOW tool{};
  // The version 2 record: the comctl32 5.8 that a host without a manifest loads refuses
  // larger ones.
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.hwnd = window;
  tool.uId = kToolId;
  return tool;
}

}  // namespace

HyperlinkControl::~HyperlinkControl() { Detach(); }

bool HyperlinkControl::Attach(HWND staticWindow) {
  Detach();
  if (!staticWindow ||
      !SetWindowSubclass(staticWindow, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
    return false;
  window = staticWindow;
  return true;
}

void HyperlinkControl::Detach() {
  if (window && IsWindow(window)) RemoveWindowSubclass(window, SubclassProc, kSubclassId);
  if (tooltip && IsWindow(tooltip)) DestroyWindow(tooltip);
  window = nullptr;
  tooltip = nullptr;
}

void HyperlinkControl::Initialise() {
  if (!window) return;
  MakeNotifyingStatic();
  cursor_ = LoadCursorW(nullptr, IDC_HAND);
  if (paintLabel) CreateLinkFont();
  if (!tooltip) {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, nullptr, nullptr);
  }
  if (!label_ && GetWindowTextLengthW(window) > 0) {
    int length = GetWindowTextLengthW(window);
    WideString text(static_cast<size_t>(length) + 1, u'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, WidePtr(text), length + 1)));
    SetLabel(text);
  }
  ComputeLinkRect();
  if (linkTarget_)
    RegisterTool();
  else if (label_)
    SetLinkTarget(*label_);
  if (paintLabel) ReadBrowserLinkColors();
}

void HyperlinkControl::MakeNotifyingStatic() {
  wchar_t className[8] = {};
  GetClassNameW(window, className, 8);
  if (lstrcmpiW(className, L"static") != 0) return;
  LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
  // Without SS_NOTIFY a static lets mouse clicks through to its parent.
  if (!(style & SS_NOTIFY)) SetWindowLongPtrW(window, GWL_STYLE, style | SS_NOTIFY);
  if (ShowsNoText(style)) paintLabel = false;
}

void HyperlinkControl::CreateLinkFont() {
  normalFont_ = reinterpret_cast<HFONT>(SendMessageW(GetParent(window), WM_GETFONT, 0, 0));
  if (!normalFont_) normalFont_ = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  if (linkFont_) return;
  LOGFONTW font{};
  if (!GetObjectW(normalFont_, sizeof(font), &font)) return;
  font.lfUnderline = TRUE;
  linkFont_.reset(CreateFontIndirectW(&font));
}

// Only reads: a user who may not write the browser's key still gets its colours.
void HyperlinkControl::ReadBrowserLinkColors() {
  UniqueKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kBrowserSettingsKey, 0, KEY_QUERY_VALUE, key.put()) !=
      ERROR_SUCCESS)
    return;
  if (auto color = ReadColorValue(key.get(), L"Anchor Color")) linkColor = *color;
  if (auto color = ReadColorValue(key.get(), L"Anchor Color Visited")) visitedColor = *color;
}

bool HyperlinkControl::SetLabel(const WideString& text) {
  try {
    label_ = text;
  } catch (const std::bad_alloc&) {
    label_.reset();
    return false;
  }
  ComputeLinkRect();
  if (window) SetWindowTextW(window, WidePtr(*label_));
  return true;
}

bool HyperlinkControl::SetLinkTarget(const WideString& text) {
  try {
    linkTarget_ = text;
  } catch (const std::bad_alloc&) {
    linkTarget_.reset();
    return false;
  }
  if (!label_) ComputeLinkRect();
  if (tooltip) RegisterTool();
  return true;
}

// One tool, id 1, for the whole link: a new target replaces the old one.
void HyperlinkControl::RegisterTool() {
  SendMessageW(tooltip, TTM_ACTIVATE, TRUE, 0);
  TOOLINFOW tool = ToolFor(window);
  SendMessageW(tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  tool.rect = linkRect;
  tool.lpszText = WidePtr(*linkTarget_);  // the tooltip keeps its own copy
  SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

bool HyperlinkControl::Navigate() {
  if (!linkTarget_) return false;
  auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", WidePtr(*linkTarget_), nullptr, nullptr, SW_SHOWNORMAL));
  if (result <= 32) return false;
  visited = true;
  Redraw();
  return true;
}

std::optional<COLORREF> HyperlinkControl::ParseColorText(const WideString& text) {
  WideView rest(text.c_str());  // up to the first NUL
  int parts[2] = {};
  for (int& part : parts) {
    size_t comma = rest.find(u',');
    if (comma == WideView::npos) return std::nullopt;
    long long value = ReadInteger(rest.substr(0, comma));
    if (value == -1) return std::nullopt;
    part = static_cast<int>(value);
    rest.remove_prefix(comma + 1);
  }
  if (rest.empty()) return std::nullopt;
  int blue = static_cast<int>(ReadInteger(rest));
  return RGB(parts[0] & 0xFF, parts[1] & 0xFF, blue & 0xFF);
}

const WideString* HyperlinkControl::DrawnText() const {
  if (label_) return &*label_;
  if (linkTarget_) return &*linkTarget_;
  return nullptr;
}

// The static's own alignment. Addresses may hold "&": it is drawn, not taken as a
// mnemonic prefix.
UINT HyperlinkControl::AlignmentFlags() const {
  switch (GetWindowLongPtrW(window, GWL_STYLE) & SS_TYPEMASK) {
    case SS_CENTER: return DT_CENTER | DT_NOPREFIX;
    case SS_RIGHT: return DT_RIGHT | DT_NOPREFIX;
    default: return DT_LEFT | DT_NOPREFIX;
  }
}

void HyperlinkControl::ComputeLinkRect() {
  const WideString* text = DrawnText();
  if (!window || !text) return;
  RECT client{};
  GetClientRect(window, &client);
  RECT rect = client;
  if (paintLabel) {
    UINT alignment = AlignmentFlags();
    {
      UniqueWindowDc dc(window);
      UniqueSelection font(dc.get(), linkFont_.get());
      DrawTextW(dc.get(), WidePtr(*text), -1, &rect, DT_CALCRECT | DT_WORDBREAK | alignment);
    }
    int slack = client.right - rect.right;
    if (alignment & DT_CENTER) OffsetRect(&rect, slack / 2, 0);
    if (alignment & DT_RIGHT) OffsetRect(&rect, slack, 0);
  }
  linkRect = rect;
  // The tooltip follows the text it explains.
  if (tooltip && linkTarget_) {
    TOOLINFOW tool = ToolFor(window);
    tool.rect = linkRect;
    SendMessageW(tooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

bool HyperlinkControl::InLinkRect(POINT point) const { return PtInRect(&linkRect, point) != FALSE; }

void HyperlinkControl::Paint(HDC dc) {
  RECT client{};
  GetClientRect(window, &client);
  // The parent's static background, so the link sits on the dialog's colour.
  auto background = reinterpret_cast<HBRUSH>(SendMessageW(
      GetParent(window), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
      reinterpret_cast<LPARAM>(window)));
  if (background) FillRect(dc, &client, background);

  const WideString* text = DrawnText();
  if (!text) return;
  COLORREF color = !IsWindowEnabled(window) ? GetSysColor(COLOR_GRAYTEXT)
                   : visited                ? visitedColor
                                            : linkColor;
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = SetTextColor(dc, color);
  {
    UniqueSelection font(dc, linkFont_ ? linkFont_.get() : normalFont_);
    RECT rect = linkRect;
    DrawTextW(dc, WidePtr(*text), -1, &rect, DT_WORDBREAK | AlignmentFlags());
    if (GetFocus() == window) DrawFocusRect(dc, &linkRect);
  }
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
}

void HyperlinkControl::Redraw() {
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
}

void HyperlinkControl::RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!tooltip) return;
  MSG relayed{};
  relayed.hwnd = window;
  relayed.message = message;
  relayed.wParam = wParam;
  relayed.lParam = lParam;
  relayed.time = static_cast<DWORD>(GetMessageTime());
  GetCursorPos(&relayed.pt);
  SendMessageW(tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

LRESULT HyperlinkControl::OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam) {
  if (linkTarget_ && InLinkRect(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)})) {
    SetCursor(cursor_);
    return 0;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT HyperlinkControl::OnSetCursor(UINT message, WPARAM wParam, LPARAM lParam) {
  POINT point{};
  if (linkTarget_ && GetCursorPos(&point) && ScreenToClient(window, &point) &&
      InLinkRect(point)) {
    SetCursor(cursor_);
    return TRUE;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

void HyperlinkControl::OnLeftButtonDown(POINT point) {
  if (!InLinkRect(point)) return;
  SetFocus(window);
  SetCapture(window);
}

void HyperlinkControl::OnLeftButtonUp(POINT point) {
  if (GetCapture() != window) return;
  ReleaseCapture();
  if (InLinkRect(point)) Navigate();
}

void HyperlinkControl::OnChar(WPARAM character) {
  if (character == VK_RETURN || character == VK_SPACE) Navigate();
}

// The last message of the window: its own procedure takes over again, and the tooltip
// goes with it.
void HyperlinkControl::OnNcDestroy() {
  RemoveWindowSubclass(window, SubclassProc, kSubclassId);
  if (tooltip && IsWindow(tooltip)) DestroyWindow(tooltip);
  tooltip = nullptr;
}

LRESULT HyperlinkControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_MOUSEFIRST && message <= WM_MBUTTONDBLCLK) RelayToTooltip(message, wParam, lParam);
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_MOUSEMOVE:     return OnMouseMove(message, wParam, lParam);
    case WM_SETCURSOR:     return OnSetCursor(message, wParam, lParam);
    case WM_LBUTTONDOWN:   OnLeftButtonDown(point); return 0;
    case WM_LBUTTONUP:     OnLeftButtonUp(point); return 0;
    case WM_CHAR:          OnChar(wParam); return 0;
    case WM_GETDLGCODE:    return DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:     if (!paintLabel) break; Redraw(); return 0;
    case WM_ENABLE:        Redraw(); return 0;
    case WM_SETFONT:       normalFont_ = reinterpret_cast<HFONT>(wParam); if (LOWORD(lParam)) Redraw(); return 0;
    case WM_GETFONT:       return reinterpret_cast<LRESULT>(normalFont_);
    case WM_ERASEBKGND:    return 1;  // painting fills the background
    case WM_UPDATEUISTATE: return 0;
    case WM_PRINTCLIENT:   if (!paintLabel) break; Paint(reinterpret_cast<HDC>(wParam)); return 0;
    case WM_PAINT: {
      if (!paintLabel) break;
      if (wParam) {
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
      }
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      Paint(dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_NCDESTROY: {
      HWND destroyed = window;
      OnNcDestroy();
      window = nullptr;
      return DefSubclassProc(destroyed, message, wParam, lParam);
    }
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK HyperlinkControl::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam, UINT_PTR, DWORD_PTR self) {
  return AtBoundary(LRESULT{0}, [&] {
    auto* control = reinterpret_cast<HyperlinkControl*>(self);
    if (control->window != window) return DefSubclassProc(window, message, wParam, lParam);
    return control->HandleMessage(message, wParam, lParam);
  });
}
