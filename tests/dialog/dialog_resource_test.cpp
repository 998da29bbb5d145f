// Dialog 101 as the shipped DLL carries it, and a host that never loaded the rich edit
// library. This program loads nothing of rich edit itself: its test host's editor is
// never created.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testbed/test_host.h"

namespace {

struct Control {
  std::wstring className;
  int id;
  DWORD style;
  short x, y, cx, cy;
};

// A class given by its atom in the template, or its name.
std::wstring ClassName(const WORD*& at) {
  if (*at == 0xFFFF) {
    WORD atom = at[1];
    at += 2;
    switch (atom) {
      case 0x80: return L"button";
      case 0x81: return L"edit";
      case 0x82: return L"static";
      default: return L"#" + std::to_wstring(atom);
    }
  }
  std::wstring name(reinterpret_cast<const wchar_t*>(at));
  at += name.size() + 1;
  return name;
}

void SkipText(const WORD*& at) {
  if (*at == 0xFFFF) {
    at += 2;
    return;
  }
  while (*at++) {
  }
}

const WORD* AlignToDword(const WORD* at, const void* base) {
  auto offset = reinterpret_cast<const BYTE*>(at) - static_cast<const BYTE*>(base);
  return offset % 4 ? at + 1 : at;
}

// The controls of a DLGTEMPLATE (the DIALOG statement's form), in creation order.
std::vector<Control> ParseDialog(const void* resource, DWORD& dialogStyle) {
  auto* dialog = static_cast<const DLGTEMPLATE*>(resource);
  dialogStyle = dialog->style;
  const WORD* at = reinterpret_cast<const WORD*>(dialog + 1);
  SkipText(at);  // menu
  SkipText(at);  // class
  SkipText(at);  // caption
  if (dialog->style & DS_SETFONT) {
    ++at;  // point size
    SkipText(at);
  }
  std::vector<Control> controls;
  for (int i = 0; i < dialog->cdit; ++i) {
    at = AlignToDword(at, resource);
    auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(at);
    at = reinterpret_cast<const WORD*>(item + 1);
    Control control{ClassName(at), item->id, item->style, item->x, item->y, item->cx, item->cy};
    SkipText(at);  // text
    WORD extra = *at++;
    at = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(at) + extra);
    controls.push_back(control);
  }
  return controls;
}

TEST(DialogResourceTest, Dialog101HoldsEveryControlWithItsClassIdStyleAndPlace) {
  const WideString folder = WideFromPtr(ProgramFolder().c_str());
  const std::wstring path = std::wstring(folder.begin(), folder.end()) + L"Yarrin2Evernote.dll";
  HMODULE dll = LoadLibraryExW(path.c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(dll, nullptr);
  HRSRC found = FindResourceExW(dll, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(101),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  ASSERT_NE(found, nullptr);
  const void* resource = LockResource(LoadResource(dll, found));
  ASSERT_NE(resource, nullptr);
  ASSERT_NE(*static_cast<const DWORD*>(resource), 0xFFFF0001u) << "an extended template";
  DWORD dialogStyle = 0;
  std::vector<Control> controls = ParseDialog(resource, dialogStyle);
  FreeLibrary(dll);

  EXPECT_EQ(dialogStyle, DWORD(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU |
                               WS_MINIMIZEBOX));
  const DWORD child = WS_CHILD | WS_VISIBLE;
  const DWORD push = child | BS_PUSHBUTTON | WS_TABSTOP;
  const std::vector<Control> expected = {
      {L"RICHEDIT20W", 1007,
       child | WS_BORDER | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
           ES_WANTRETURN | ES_DISABLENOSCROLL,
       7, 7, 371, 188},
      {L"button", IDOK, child | BS_DEFPUSHBUTTON | WS_TABSTOP, 286, 202, 92, 16},
      {L"button", IDCANCEL, push, 286, 331, 92, 16},
      {L"button", 1005, push, 7, 202, 92, 16},
      {L"SysListView32", 1003,
       child | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
           LVS_NOLABELWRAP | LVS_NOCOLUMNHEADER,
       7, 255, 371, 50},
      {L"button", 1004, push, 7, 331, 92, 16},
      {L"static", 1006, child | SS_LEFT | SS_CENTERIMAGE | WS_GROUP, 7, 364, 171, 14},
      {L"static", 1008, child | SS_RIGHT | SS_CENTERIMAGE | WS_GROUP, 207, 364, 171, 14},
      {L"edit", 1001, child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY, 104, 226, 274,
       16},
      {L"button", 1010, child | BS_AUTOCHECKBOX | WS_TABSTOP, 7, 313, 292, 15},
      {L"static", 1009, child | SS_RIGHT | SS_CENTERIMAGE | WS_GROUP, 5, 228, 90, 11},
  };
  ASSERT_EQ(controls.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const Control& c = controls[i];
    const Control& e = expected[i];
    SCOPED_TRACE(e.id);
    EXPECT_EQ(c.id, e.id);
    EXPECT_EQ(lstrcmpiW(c.className.c_str(), e.className.c_str()), 0) << c.className.c_str();
    EXPECT_EQ(c.style, e.style) << std::hex << "style 0x" << c.style << ", expected 0x" << e.style;
    EXPECT_EQ((std::vector<short>{c.x, c.y, c.cx, c.cy}),
              (std::vector<short>{e.x, e.y, e.cx, e.cy}));
  }
}

TEST(DialogResourceTest, HostWithoutRichEditStillGetsTheDialog) {
  ASSERT_EQ(GetModuleHandleW(L"riched20.dll"), nullptr) << "this host must not load rich edit";
  ASSERT_NE(Plugin().module, nullptr);
  Host().mainWindowAvailable = false;  // no host window, whose editor would load it
  PluginInfo info{};
  info.size = sizeof(info);
  ASSERT_EQ(Plugin().getPluginInfo(&info), 1);  // the display name starts the caption
  std::wstring richEditClass;
  auto watch = WhenWindowAppears(DialogCaptionStartingWith(L"Yarrin2Evernote"), [&](HWND dialog) {
    wchar_t name[32] = {};
    GetClassNameW(GetDlgItem(dialog, 1007), name, 32);
    richEditClass = name;
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(RunPluginCommand(0), 1);
  CancelWindowWatch(watch);
  EXPECT_EQ(lstrcmpiW(richEditClass.c_str(), L"RICHEDIT20W"), 0)
      << "the dialog did not open: " << richEditClass.c_str();
  EXPECT_EQ(GetModuleHandleW(L"riched20.dll"), nullptr) << "the plug-in keeps rich edit loaded";
}

}  // namespace
