// A static text control turned into a web link: drawn underlined in the browser's link
// colours, with a hand cursor and a tooltip, opening its target with the shell when
// clicked or activated from the keyboard.
#pragma once

#include <windows.h>

#include <optional>

#include "text/wide_string.h"

class HyperlinkControl {
 public:
  HyperlinkControl() = default;
  HyperlinkControl(const HyperlinkControl&) = delete;
  HyperlinkControl& operator=(const HyperlinkControl&) = delete;
  ~HyperlinkControl();

  // Subclasses the static; its own window procedure is restored when the window is
  // destroyed. False if the window procedure could not be replaced.
  bool Attach(HWND staticWindow);
  // Prepares the attached window: notify style, fonts, cursor, tooltip, link colours.
  void Initialise();
  // The text drawn (a copy is kept) and the static's window text.
  bool SetLabel(const WideString& text);
  // What the shell opens; also the tooltip text.
  bool SetLinkTarget(const WideString& text);
  // Opens the target; true (and the link drawn as visited) on success.
  bool Navigate();

  // "r,g,b" as in the browser's settings; no colour for an invalid text.
  static std::optional<COLORREF> ParseColorText(const WideString& text);

  HWND window = nullptr;
  COLORREF linkColor = RGB(0, 0, 255);
  COLORREF visitedColor = RGB(128, 0, 128);
  bool visited = false;

 private:
  std::optional<WideString> label_;
  std::optional<WideString> linkTarget_;
};
