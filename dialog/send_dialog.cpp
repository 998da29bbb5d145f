#include "dialog/send_dialog.h"

#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <richedit.h>

#include <new>
#include <optional>
#include <utility>

#include "convert/richedit_stream.h"
#include "dialog/log_list.h"
#include "evernote/install_lookup.h"
#include "evernote/start_evernote.h"
#include "note/send_note.h"
#include "resources/resource_ids.h"
#include "resources/web_addresses.h"
#include "win/boundary.h"
#include "win/guards.h"
#include "win/host_callbacks.h"
#include "win/message_box.h"
#include "win/module_state.h"

namespace {

// Build date and time of this release, shown in the caption.
constexpr char16_t kReleaseStamp[] = u"Feb  7 2016 18:15:56";
constexpr WORD kRussian = 1049;
// The link field is read with the capacity the host may fill it with, so that a long
// link arrives whole.
constexpr int kLinkFieldUnits = static_cast<int>(kHostTextCapacity);
constexpr int kRichEditMargin = 20;
constexpr DWORD kWarningTimeoutMs = 5000;
constexpr UINT kAnySound = 0xFFFFFFFF;
constexpr WPARAM kMoveByCaption = SC_MOVE | HTCAPTION;  // 0xF012
constexpr int kBlinkCount = 4;
constexpr DWORD kBlinkStartMs = 150;
constexpr DWORD kAlternateFontMs = 300;
constexpr DWORD kUsualFontMs = 150;
constexpr LONG kNormalWeight = FW_NORMAL;
constexpr LONG kBoldWeight = FW_BOLD;

// Made by the first dialog from its Send button's font and reused by every later one;
// never deleted, because a blink thread may still hold it after its dialog is gone.
HFONT sendButtonFont = nullptr;

WideString DialogItemText(HWND dialog, int id, int units) {
  WideString text(static_cast<size_t>(units), u'\0');
  UINT length = GetDlgItemTextW(dialog, id, WidePtr(text), units);
  text.resize(length);
  return text;
}

CHARRANGE SelectionOf(HWND richEdit) {
  CHARRANGE range{0, 0};
  SendMessageW(richEdit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  return range;
}

HFONT CopyFontWithWeight(HFONT font, LONG (*weightOf)(LONG)) {
  if (!font || GetObjectType(font) != OBJ_FONT) return nullptr;
  LOGFONTW logFont{};
  if (!GetObjectW(font, sizeof(logFont), &logFont)) return nullptr;
  logFont.lfWeight = weightOf(logFont.lfWeight);
  return CreateFontIndirectW(&logFont);
}

// The blink thread touches nothing but the button's handle, its own font and the
// process-wide bold font; it never sees the dialog object, which may be gone any time.
void BlinkSendButton(HWND button) {
  auto usual = reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0));
  UniqueFont alternate(ToggleBoldFont(usual));
  Sleep(kBlinkStartMs);
  for (int blink = 0; blink < kBlinkCount; ++blink) {
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(alternate.get()), TRUE);
    Sleep(kAlternateFontMs);
    if (!IsWindow(button)) return;
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(usual), TRUE);
    Sleep(kUsualFontMs);
    if (!IsWindow(button)) return;
  }
  PlayNotificationSound();
}

DWORD WINAPI SendButtonBlinkThread(void* button) {
  AtBoundaryVoid([&] { BlinkSendButton(static_cast<HWND>(button)); });
  // The thread holds a reference on this module, so that the host may unload the
  // plug-in while a blink still runs.
  FreeLibraryAndExitThread(ThisModule(), 0);
  return 0;
}

}  // namespace

SendDialog::SendDialog(HWND editor, const WideString& name, int kind)
    : nodeKind(kind), displayName(name), hostEditorWindow(editor) {}

SendDialog::~SendDialog() = default;

INT_PTR SendDialog::Run(HWND owner) {
  // The log list and the links' tooltips are common controls.
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  return DialogBoxParamW(Module().instanceHandle, MAKEINTRESOURCEW(IDD_SEND_DIALOG), owner,
                         SendDialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK SendDialog::SendDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  AtBoundaryVoid([&] {
    if (message == WM_INITDIALOG) {
      auto* self = reinterpret_cast<SendDialog*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      self->window = dialog;
      self->OnInitDialog();
      return;
    }
    auto* self = reinterpret_cast<SendDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self) return;
    switch (message) {
      case WM_COMMAND:     self->OnCommand(LOWORD(wParam)); break;
      case WM_LBUTTONDOWN: self->OnLButtonDown(); break;
      case WM_NCDESTROY:   self->OnNcDestroy(); break;
      default:             break;
    }
  });
  // Focus is set by OnInitDialog; everything else gets the dialog manager's handling.
  return FALSE;
}

void SendDialog::OnInitDialog() {
  CheckDlgButton(window, IDC_SHOW_CONSOLE, BST_UNCHECKED);
  AttachLinks();
  SetSendButtonFont();
  SetDialogIcon();
  WideString caption = BuildCaption();
  SetWindowTextW(window, WidePtr(caption));
  ApplyHostLook();
  HWND richEdit = GetDlgItem(window, IDC_RICH_EDIT);
  SendMessageW(richEdit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
               MAKELPARAM(kRichEditMargin, kRichEditMargin));
  ShowHostLink();
  SendMessageW(richEdit, EM_AUTOURLDETECT, TRUE, 0);
  LoadHostText(richEdit);
  SetFocus(GetDlgItem(window, IDOK));
  PrepareLogList(GetDlgItem(window, IDC_LOG_LIST));
  // The host's character positions, although the text here may start at its selection.
  CHARRANGE hostSelection = SelectionOf(hostEditorWindow);
  SendMessageW(richEdit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&hostSelection));
  WriteOpeningLog(caption);
  WarnIfNotTextNode();
  StartSendButtonBlink();
}

void SendDialog::AttachLinks() {
  if (pluginPageLink.Attach(GetDlgItem(window, IDC_PLUGIN_PAGE_LINK))) pluginPageLink.Initialise();
  pluginPageLink.SetLinkTarget(PluginPageUrl());
  pluginPageLink.SetLabel(PluginPageUrl());
  if (supportLink.Attach(GetDlgItem(window, IDC_SUPPORT_LINK))) supportLink.Initialise();
  supportLink.SetLinkTarget(SupportPageUrl());
  supportLink.SetLabel(ModuleString(IDS_TECHNICAL_SUPPORT));
}

void SendDialog::SetSendButtonFont() {
  HWND button = GetDlgItem(window, IDOK);
  if (!sendButtonFont)
    sendButtonFont = MakeBoldFont(reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(sendButtonFont), FALSE);
}

void SendDialog::SetDialogIcon() {
  HICON icon = LoadIconW(Module().instanceHandle, MAKEINTRESOURCEW(IDI_PLUGIN));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

WideString SendDialog::BuildCaption() {
  WideString caption = displayName + u", Released [" + kReleaseStamp + u"]";
  nodeTitle = HostNodeTitle(HostCurrentNode());
  return caption + u" - " + nodeTitle;
}

void SendDialog::ApplyHostLook() {
  HostOptions options{};
  options.size = sizeof(HostOptions);
  options.mask = kHostOptionsAll;
  options.charFormat.cbSize = sizeof(CHARFORMATW);
  if (!HostGetOptions(options)) return;  // the controls keep the system colours
  HWND richEdit = GetDlgItem(window, IDC_RICH_EDIT);
  SendMessageW(richEdit, EM_SETBKGNDCOLOR, 0, options.backgroundColor);
  SendMessageW(richEdit, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&options.charFormat));
  HWND list = GetDlgItem(window, IDC_LOG_LIST);
  SendMessageW(list, LVM_SETBKCOLOR, 0, options.backgroundColor);
  SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, options.backgroundColor);
  SendMessageW(list, LVM_SETTEXTCOLOR, 0, options.textColor);
}

// One batch, ended before the folder warning's box can show.
void SendDialog::WriteOpeningLog(const WideString& caption) {
  LogBatch batch(GetDlgItem(window, IDC_LOG_LIST));
  for (const WideString& line : InstallInfoLines()) AddLogLine(window, line);
  AddLogLine(window, caption);
  WideString tags = GetNodeTags();
  if (!tags.empty()) AddLogLine(window, u"Tags: " + tags);
  // The host's page had text that could not be copied (memory ran out): an empty dialog
  // must not look like an empty page.
  if (hostTextLost_) DialogLog().Error(u"Cannot copy the page's text from Yarrin");
}

void SendDialog::ShowHostLink() {
  WideString link = GetHostPageLink();
  if (link.empty()) {
    MessageBeep(kAnySound);
    return;
  }
  SetDlgItemTextW(window, IDC_LINK_FIELD, WidePtr(link));
}

WideString SendDialog::GetHostPageLink() {
  WideString documentPath = HostDocumentPath();
  // A document that was never saved has no file, so no link can lead back to it.
  if (documentPath.find(u'\\') == WideString::npos) return WideString();
  return HostNodeLink(documentPath, HostCurrentNode());
}

// The host's text goes into the dialog's rich edit through a copy as RTF in blocks, each
// given back once the rich edit has read it: the rich edit keeps the page, and a send
// captures it anew.
void SendDialog::LoadHostText(HWND richEdit) {
  if (nodeKind == kNodeHtmlOnly) return;  // there is no rich text to show
  HostCommand(kHostBeforeEditorRead, 0, nullptr);
  CHARRANGE selection = SelectionOf(hostEditorWindow);
  hostPart_ = selection.cpMin == selection.cpMax ? RichEditPart::kWholeText
                                                 : RichEditPart::kSelection;
  SystemPieces hostRtf = CaptureRichEditRtfPieces(hostEditorWindow, hostPart_);
  if (!hostRtf.empty())
    LoadRichEditRtf(richEdit, std::move(hostRtf));
  else
    hostTextLost_ = RichEditTextLength(hostEditorWindow, hostPart_) > 0;
}

void SendDialog::WarnIfNotTextNode() {
  if (IsSendableNode(HostNodeKind(HostCurrentNode()))) return;
  MessageBeep(kAnySound);
  ShowTimedMessageBox(window, ModuleString(IDS_CANNOT_SEND_FOLDER), kPluginName,
                      MB_ICONWARNING, kWarningTimeoutMs);
}

void SendDialog::StartSendButtonBlink() {
  // The thread's own reference on this module, released as the thread ends.
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(&SendButtonBlinkThread), &self))
    return;
  UniqueThread thread(CreateThread(nullptr, 0, SendButtonBlinkThread, GetDlgItem(window, IDOK), 0,
                                    nullptr));
  if (!thread) FreeLibrary(self);
}

// Send and Close disabled and the close box greyed for one send; all of it comes back
// on every way out. At the first "still waiting" notice Close and the close box come
// back as the way out of a wait for an ENScript that may never end.
class SendDialog::SendingState final : public WaitControl {
 public:
  explicit SendingState(SendDialog& dialog) : dialog_(dialog) {
    HWND window = dialog.window;
    HWND send = GetDlgItem(window, IDOK);
    // A disabled button cannot keep the focus: the keyboard would be lost.
    sendHadFocus_ = GetFocus() == send;
    if (sendHadFocus_) SetFocus(GetDlgItem(window, IDC_LOG_LIST));
    EnableWindow(send, FALSE);
    EnableClose(false);
    dialog.sending_ = this;
  }
  SendingState(const SendingState&) = delete;
  SendingState& operator=(const SendingState&) = delete;
  ~SendingState() {
    HWND window = dialog_.window;
    dialog_.sending_ = nullptr;
    if (!window) return;
    EnableClose(true);
    EnableWindow(GetDlgItem(window, IDOK), TRUE);
    if (sendHadFocus_) SetFocus(GetDlgItem(window, IDOK));
  }

  void OnStillWaiting() override {
    if (!closeOffered_ && dialog_.window) EnableClose(true);
    closeOffered_ = true;
  }
  bool StopWaiting() override { return stopRequested_; }

  // Close pressed during the send: counts once Close is offered.
  void RequestStop() { stopRequested_ = stopRequested_ || closeOffered_; }

 private:
  void EnableClose(bool enable) {
    HWND window = dialog_.window;
    EnableMenuItem(GetSystemMenu(window, FALSE), SC_CLOSE,
                   MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    EnableWindow(GetDlgItem(window, IDCANCEL), enable);
  }

  SendDialog& dialog_;
  bool sendHadFocus_ = false;
  bool closeOffered_ = false;
  bool stopRequested_ = false;
};

void SendDialog::OnCommand(int id) {
  // While a send waits for ENScript the dialog stays open and sends nothing more: Enter,
  // Escape and the close box land here too. Close, once offered, stops the wait; the
  // dialog closes when the send has ended.
  if (sending_ && (id == IDOK || id == IDCANCEL)) {
    if (id == IDCANCEL) sending_->RequestStop();
    return;
  }
  switch (id) {
    case IDOK:               OnSend(); break;
    case IDCANCEL:           EndDialog(window, IDCANCEL); break;
    case IDC_COPY_LOG:       CopyLogToClipboard(window); break;
    case IDC_START_EVERNOTE: StartEvernote(); break;
    default:                 break;
  }
}

void SendDialog::OnLButtonDown() { SendMessageW(window, WM_SYSCOMMAND, kMoveByCaption, 0); }

void SendDialog::OnNcDestroy() {
  SetWindowLongPtrW(window, DWLP_USER, 0);
  window = nullptr;
}

void SendDialog::OnSend() {
  bool stopped = false;
  {
    SendingState sending(*this);
    try {
      SendForNodeKind();
    } catch (const std::bad_alloc&) {
      ReportSendFailure(u"There was not enough memory to send this page");
    } catch (...) {
      ReportSendFailure(u"The page could not be sent because of an unexpected error");
    }
    stopped = sending.StopWaiting();
  }
  // The user stopped waiting by closing the dialog: it closes now, as Close does.
  if (stopped && window) EndDialog(window, IDCANCEL);
}

// Whatever stopped the send has released what it held on its way out; the user hears
// the end of the send as always and reads why it failed.
void SendDialog::ReportSendFailure(const WideString& reason) {
  AtBoundaryVoid([&] { DialogLog().Error(reason); });
  PlayNotificationSound();
}

void SendDialog::SendForNodeKind() {
  int kind = HostNodeKind(HostCurrentNode());
  if (!IsSendableNode(kind)) {
    MessageBoxW(window, WidePtr(ModuleString(IDS_CANNOT_SEND_FOLDER)),
                reinterpret_cast<const wchar_t*>(kPluginName), MB_ICONWARNING);
    MessageBeep(kAnySound);
    return;
  }
  if (SendsHtmlCode(kind))
    SendHtmlCode();
  else
    SendPageAsNote(nullptr);
}

void SendDialog::SendHtmlCode() {
  WideString htmlCode;
  if (!HostNodeItem(HostCurrentNode(), kNodeItemHtmlCode, htmlCode)) return;
  SendPageAsNote(&htmlCode);
}

// The send's lines go in one batch; the import shows them before it waits for ENScript.
void SendDialog::SendPageAsNote(const WideString* htmlCode) {
  {
    LogBatch batch(GetDlgItem(window, IDC_LOG_LIST));
    SendPage(NewSendRequest(htmlCode));
  }
  PlayNotificationSound();
}

// The send asks for what it needs when it needs it: the page, then the link and the
// document path, the tags last.
SendRequest SendDialog::NewSendRequest(const WideString* htmlCode) {
  SendRequest request;
  request.title = nodeTitle;
  if (htmlCode) {
    request.source = BodySource::kHtmlCode;
    request.htmlCode = *htmlCode;
  }
  const HWND dialog = window;
  request.ask.pageRtf = [dialog]() -> std::optional<SystemPieces> {
    const HWND richEdit = GetDlgItem(dialog, IDC_RICH_EDIT);
    SystemPieces rtf = CaptureRichEditRtfPieces(richEdit, RichEditPart::kWholeText);
    if (rtf.empty() && RichEditTextLength(richEdit, RichEditPart::kWholeText) > 0)
      return std::nullopt;
    return rtf;
  };
  request.ask.link = [dialog] { return DialogItemText(dialog, IDC_LINK_FIELD, kLinkFieldUnits); };
  request.ask.documentPath = [] { return HostDocumentPath(); };
  request.ask.tags = [] { return GetNodeTags(); };
  request.import = UserImportSettings();
  request.import.showConsole = IsDlgButtonChecked(window, IDC_SHOW_CONSOLE) == BST_CHECKED;
  request.import.log = DialogLog();
  request.import.waitControl = sending_;
  return request;
}

LogSink SendDialog::DialogLog() const {
  return {LogToList, GetDlgItem(window, IDC_LOG_LIST), ShowLogList};
}

INT_PTR OpenSendDialog(HWND owner, HWND hostEditorWindow, const WideString& displayName,
                       int nodeKind) {
  // The dialog's rich edit is a RICHEDIT20W: its library is loaded here, since a host
  // need not have loaded it, and held until the dialog is gone.
  UniqueModule richEdit(LoadSystemLibrary(u"riched20.dll"));
  SendDialog dialog(hostEditorWindow, displayName, nodeKind);
  return dialog.Run(owner);
}

void PlayNotificationSound() { PlaySoundW(L"SystemNotification", nullptr, SND_ALIAS | SND_ASYNC); }

WideString PluginPageUrl() {
  return WideFromAscii(HostUiLanguage() == kRussian ? Y2E_PLUGIN_PAGE_URL_RU : Y2E_PLUGIN_PAGE_URL_EN);
}

WideString SupportPageUrl() {
  return WideFromAscii(HostUiLanguage() == kRussian ? Y2E_SUPPORT_PAGE_URL_RU
                                                    : Y2E_SUPPORT_PAGE_URL_EN);
}

HFONT MakeBoldFont(HFONT font) {
  return CopyFontWithWeight(font, [](LONG) { return kBoldWeight; });
}

HFONT ToggleBoldFont(HFONT font) {
  return CopyFontWithWeight(
      font, [](LONG weight) { return weight == kBoldWeight ? kNormalWeight : kBoldWeight; });
}
