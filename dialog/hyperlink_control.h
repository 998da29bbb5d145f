// A static text control turned into a web link: drawn underlined in the browser's link
// colours, with a hand cursor and a tooltip, opening its target with the shell when
// clicked or activated from the keyboard.
#pragma once

#include <windows.h>

#include <optional>

#include "win/guards.h"
#include "text/wide_string.h"

class HyperlinkControl {
 public:
  HyperlinkControl() = default;
  HyperlinkControl(const HyperlinkControl&) = delete;
  HyperlinkControl& operator=(const HyperlinkControl&) = delete;
  // Detaches from a window that is still alive; deletes the link font.
  ~HyperlinkControl();

  // Subclasses the static; its own window procedure is restored when the window is
  // destroyed. False if the window procedure could not be replaced.
  bool Attach(HWND staticWindow);
  // Prepares the attached window: notify style, fonts, cursor, tooltip, link colours.
  void Initialise();
  // The text drawn (a copy is kept) and the static's window text. False, and no label
  // kept, when the copy cannot be made.
  bool SetLabel(const WideString& text);
  // What the shell opens; also the tooltip text. False, and no target kept, when the
  // copy cannot be made.
  bool SetLinkTarget(const WideString& text);
  // Opens the target with the shell; true (and the link drawn as visited) on success.
  bool Navigate();

  // "r,g,b" as the browser keeps its link colours: decimal numbers, each read like
  // _wtoi, of which only the low 8 bits count. No colour for an invalid text: fewer than
  // two commas, nothing after the second, or a red or green part that reads as -1.
  static std::optional<COLORREF> ParseColorText(const WideString& text);

  HWND window = nullptr;         // the static; null before Attach and after its destruction
  HWND tooltip = nullptr;        // created by Initialise, destroyed with the static
  RECT linkRect{};               // client coordinates of the text: the only clickable area
  COLORREF linkColor = RGB(0, 0, 255);
  COLORREF visitedColor = RGB(128, 0, 128);
  bool visited = false;
  bool paintLabel = true;        // clear for statics that show no text (icons, frames...)

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam, UINT_PTR id, DWORD_PTR self);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnSetCursor(UINT message, WPARAM wParam, LPARAM lParam);
  void OnLeftButtonDown(POINT point);
  void OnLeftButtonUp(POINT point);
  void OnChar(WPARAM character);
  void OnNcDestroy();
  void RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint(HDC dc);
  void Redraw();
  void Detach();

  void MakeNotifyingStatic();
  void CreateLinkFont();
  void ReadBrowserLinkColors();
  void RegisterTool();
  void ComputeLinkRect();
  const WideString* DrawnText() const;
  UINT AlignmentFlags() const;
  bool InLinkRect(POINT point) const;

  std::optional<WideString> label_;
  std::optional<WideString> linkTarget_;
  HCURSOR cursor_ = nullptr;
  UniqueFont linkFont_;  // our own underlined font, when we made one
  HFONT normalFont_ = nullptr;  // the dialog's; not ours
};
