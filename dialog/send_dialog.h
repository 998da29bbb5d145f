// The send dialog: menu command "Send Text 2 Evernote". A modal dialog (resource 101)
// that shows the host's page in its own rich edit, a link back to the host page and a
// log, and sends the page into Evernote when "Send To Evernote" is pressed.
#pragma once

#include <windows.h>

#include "convert/richedit_stream.h"
#include "dialog/hyperlink_control.h"
#include "note/send_note.h"
#include "text/wide_string.h"

class SendDialog {
 public:
  SendDialog(HWND hostEditorWindow, const WideString& displayName, int nodeKind);
  SendDialog(const SendDialog&) = delete;
  SendDialog& operator=(const SendDialog&) = delete;
  virtual ~SendDialog();

  // Runs the dialog modally over owner (may be null); returns DialogBoxParamW's result,
  // 2 when the user closed it, -1 or 0 when it could not be created.
  INT_PTR Run(HWND owner);

  // Sends the page as one note: the rich edit's content (htmlCode null) or the given
  // HTML code of the host's node.
  void SendPageAsNote(const WideString* htmlCode);

  int nodeKind;              // the node's kind when the command ran
  WideString displayName;    // the plug-in's display name, copied at construction
  WideString nodeTitle;      // the host node's title, read while opening
  HWND hostEditorWindow;     // the host's editor; may be null
  HWND window = nullptr;     // the dialog; null outside WM_INITDIALOG..WM_NCDESTROY
  HyperlinkControl pluginPageLink;  // static 1006
  HyperlinkControl supportLink;     // static 1008

 private:
  class SendingState;

  SendingState* sending_ = nullptr;  // the send under way (waiting for ENScript, say)
  RichEditPart hostPart_ = RichEditPart::kWholeText;  // what was taken from the host
  bool hostTextLost_ = false;  // the host's page had text that could not be copied

  static INT_PTR CALLBACK SendDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                         LPARAM lParam);
  void OnInitDialog();
  void OnCommand(int id);
  void OnLButtonDown();
  void OnNcDestroy();

  void OnSend();
  void ReportSendFailure(const WideString& reason);
  void SendForNodeKind();
  void SendHtmlCode();
  SendRequest NewSendRequest(const WideString* htmlCode);
  LogSink DialogLog() const;
  void LoadHostText(HWND richEdit);
  void ShowHostLink();
  WideString GetHostPageLink();
  void WarnIfNotTextNode();
  void StartSendButtonBlink();

  void AttachLinks();
  void SetSendButtonFont();
  void SetDialogIcon();
  WideString BuildCaption();
  void ApplyHostLook();
  void WriteOpeningLog(const WideString& caption);
};

// Opens the send dialog over owner for the host's current page and returns when it has
// closed, with DialogBoxParamW's result.
INT_PTR OpenSendDialog(HWND owner, HWND hostEditorWindow, const WideString& displayName,
                       int nodeKind);

// The "SystemNotification" sound, played without waiting for it.
void PlayNotificationSound();

// The plug-in's page and the support page, in Russian when the host's language is.
WideString PluginPageUrl();
WideString SupportPageUrl();

// A new bold copy of font, or a copy with its weight toggled between normal and bold.
// Null when font is not a font. The caller owns the result.
HFONT MakeBoldFont(HFONT font);
HFONT ToggleBoldFont(HFONT font);
