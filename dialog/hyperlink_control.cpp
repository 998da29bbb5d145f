#include "dialog/hyperlink_control.h"

#include <shellapi.h>

// The full link (drawing, cursor, tooltip, colours) arrives with its own change; until
// then the static shows its label as plain text.
HyperlinkControl::~HyperlinkControl() = default;

bool HyperlinkControl::Attach(HWND staticWindow) {
  window = staticWindow;
  return window != nullptr;
}

void HyperlinkControl::Initialise() {}

bool HyperlinkControl::SetLabel(const WideString& text) {
  label_ = text;
  if (window) SetWindowTextW(window, WidePtr(text));
  return true;
}

bool HyperlinkControl::SetLinkTarget(const WideString& text) {
  linkTarget_ = text;
  return true;
}

bool HyperlinkControl::Navigate() {
  if (!linkTarget_) return false;
  auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", WidePtr(*linkTarget_), nullptr, nullptr, SW_SHOWNORMAL));
  if (result <= 32) return false;
  visited = true;
  return true;
}

std::optional<COLORREF> HyperlinkControl::ParseColorText(const WideString&) { return std::nullopt; }
