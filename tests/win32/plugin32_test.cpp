// The shipped Yarrin2Evernote.dll as a 32-bit host sees it: each export called with
// __stdcall from a frame that checks the stack and the callee-saved registers, records
// laid out byte by byte at the host's offsets, and the host callbacks called back from
// the plug-in while dialog 101 is open.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "testbed/test_host.h"
#include "tests/win32/checked_call.h"

// Callees of other conventions, for the frame's own check.
extern "C" int32_t __cdecl CdeclSum(int32_t a, int32_t b) { return a + b; }
extern "C" int32_t __stdcall StdcallSum(int32_t a, int32_t b) { return a + b; }
extern "C" int32_t ClobberEbx();
asm(R"(
    .text
    .globl _ClobberEbx
_ClobberEbx:
    movl $1, %ebx
    movl $7, %eax
    ret
)");

namespace {

constexpr uint8_t kPattern = 0xA5;

// A host-side record: pattern bytes, with fields written at literal offsets.
struct Bytes {
  std::vector<uint8_t> data;
  explicit Bytes(size_t size) : data(size, kPattern) {}
  void Put32(size_t offset, uint32_t value) { std::memcpy(&data[offset], &value, 4); }
  void PutWide(size_t offset, const std::u16string& text) {
    std::memcpy(&data[offset], text.c_str(), (text.size() + 1) * 2);
  }
  void PutAscii(size_t offset, const std::string& text) {
    std::memcpy(&data[offset], text.c_str(), text.size() + 1);
  }
  uint32_t Get32(size_t offset) const {
    uint32_t value;
    std::memcpy(&value, &data[offset], 4);
    return value;
  }
  uint32_t Address() { return Slot(data.data()); }
};

// The offsets of the first and last bytes that differ, or "same".
std::string Difference(const Bytes& expected, const Bytes& actual) {
  size_t first = expected.data.size(), last = 0;
  for (size_t i = 0; i < expected.data.size(); ++i) {
    if (expected.data[i] == actual.data[i]) continue;
    if (first == expected.data.size()) first = i;
    last = i;
  }
  if (first == expected.data.size()) return "same";
  return "bytes " + std::to_string(first) + " to " + std::to_string(last) + " differ";
}

void ExpectCleanCall(const CallRecord& record, const char* what) {
  EXPECT_EQ(record.stackLeft, 0) << what << ": arguments left on the stack";
  EXPECT_TRUE(record.registersKept) << what << ": EBX, ESI or EDI changed";
}

TEST(CheckedCall, SeesCalleesOfOtherConventions) {
  CallRecord record;
  EXPECT_EQ(CallChecked(reinterpret_cast<const void*>(StdcallSum), {2, 3}, record), 5);
  EXPECT_EQ(record.stackLeft, 0);
  EXPECT_TRUE(record.registersKept);
  EXPECT_EQ(CallChecked(reinterpret_cast<const void*>(CdeclSum), {2, 3}, record), 5);
  EXPECT_EQ(record.stackLeft, 8);
  EXPECT_EQ(CallChecked(reinterpret_cast<const void*>(ClobberEbx), {}, record), 7);
  EXPECT_FALSE(record.registersKept);
}

class Plugin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetHost();
    ASSERT_NE(Plugin().module, nullptr) << "Yarrin2Evernote.dll did not load";
  }

  int32_t Call(const void* function, std::initializer_list<uint32_t> args, const char* what) {
    CallRecord record;
    int32_t result = CallChecked(function, args, record);
    ExpectCleanCall(record, what);
    return result;
  }
  template <typename F>
  const void* Export(F function) {
    return reinterpret_cast<const void*>(function);
  }
};

TEST_F(Plugin32Test, SupportsUnicode) {
  EXPECT_EQ(Call(Export(Plugin().isSupportsPluginUnicode), {}, "Yarrin_IsSupportsPluginUnicode"), 1);
}

struct InfoCase {
  uint32_t size;
  int32_t result;
  void (*fill)(Bytes& expected);
};

TEST_F(Plugin32Test, PluginInfoRecordsOf544And545And1060Bytes) {
  const InfoCase cases[] = {
      {544, 0, [](Bytes&) {}},
      {545, 1, [](Bytes& b) { b.Put32(4, 4); }},
      {1060, 1,
       [](Bytes& b) {
         b.Put32(4, 4);
         b.PutWide(8, u"Yarrin2Evernote 1.04");
         b.Put32(1048, 2509);
         b.Put32(1052, 0x102);
         b.Put32(1056, 0x42);
       }},
  };
  for (const InfoCase& c : cases) {
    SCOPED_TRACE(c.size);
    Bytes record(1200);
    record.Put32(0, c.size);
    record.Put32(1052, 0x100);
    record.Put32(1056, 0x40);
    Bytes expected = record;
    c.fill(expected);
    EXPECT_EQ(Call(Export(Plugin().getPluginInfo), {record.Address()}, "Yarrin_GetPluginInfo"),
              c.result);
    EXPECT_EQ(Difference(expected, record), "same");
  }
}

struct MenuCase {
  int32_t index;
  std::u16string caption, hint;
  bool icon;
  bool setsFlags;
  uint32_t flags;
};

TEST_F(Plugin32Test, MenuItemRecordsOf1860Bytes) {
  const MenuCase cases[] = {
      {0, u"Send Text 2 Evernote", u"Send selected\\entire text from Yarrin to Evernote", true,
       true, 0x1403},
      {1, u"Start Evernote", u"Start the Evernote", false, true, 2},
      {3, u"About Yarrin2Evernote", u"About Yarrin2Evernote", false, false, 0},
  };
  for (const MenuCase& c : cases) {
    SCOPED_TRACE(c.index);
    Bytes record(1900);
    Bytes expected = record;
    expected.PutWide(4, c.caption);
    expected.PutWide(524, c.hint);
    expected.PutAscii(1564, "CommandProc");
    expected.Put32(1824, 6);
    expected.Put32(1828, static_cast<uint32_t>(c.index));
    if (c.setsFlags) expected.Put32(1856, c.flags);
    ASSERT_EQ(Call(Export(Plugin().getMenuItemInfo), {static_cast<uint32_t>(c.index), record.Address()},
                   "Yarrin_GetMenuItemInfo"),
              1);
    if (c.icon) {
      // The handle's value is the system's; it must be a 16-pixel icon.
      HICON icon = reinterpret_cast<HICON>(static_cast<uintptr_t>(record.Get32(1832)));
      ICONINFO info{};
      ASSERT_TRUE(GetIconInfo(icon, &info));
      BITMAP bitmap{};
      GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
      EXPECT_EQ(bitmap.bmWidth, 16);
      if (info.hbmColor) DeleteObject(info.hbmColor);
      DeleteObject(info.hbmMask);
      expected.Put32(1832, record.Get32(1832));
    }
    EXPECT_EQ(Difference(expected, record), "same");
  }
  Bytes untouched(1900);
  Bytes record = untouched;
  EXPECT_EQ(Call(Export(Plugin().getMenuItemInfo), {2, record.Address()}, "Yarrin_GetMenuItemInfo"), 1);
  EXPECT_EQ(Difference(untouched, record), "same");
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// What dialog 101 showed of the host's answers to the callbacks.
struct DialogSeen {
  bool opened = false;
  std::wstring caption, editorClass, text, link, pageLink;
  HWND owner = nullptr;
  COLORREF logText = 0, logBackground = 0;
  std::vector<std::wstring> log;
};

TEST_F(Plugin32Test, EditorEventThenCommandZeroOpensDialog101OverTheHostsAnswers) {
  Host().nodeTitle = u"Trip plan";
  Host().tags = u"travel, summer";
  Host().documentPath = u"C:\\Docs\\trips.yar";
  Host().nodeLink = u"yarrin://trips.yar?node=5";
  Host().optionsAvailable = true;
  Host().textColor = RGB(10, 20, 30);
  Host().backgroundColor = RGB(250, 240, 230);
  Host().uiLanguage = 1049;
  SetEditorText(u"Pack the tent");

  Bytes info(1060);
  info.Put32(0, 1060);
  ASSERT_EQ(Call(Export(Plugin().getPluginInfo), {info.Address()}, "Yarrin_GetPluginInfo"), 1);
  Bytes event(16);
  event.Put32(4, 10);
  event.Put32(12, Slot(HostEditor()));
  EXPECT_EQ(Call(Export(Plugin().eventHandler), {event.Address()}, "Yarrin_EventHandler"), 1);

  DialogSeen seen;
  auto watch = WhenWindowAppears(DialogCaptionStartingWith(L"Yarrin2Evernote"), [&](HWND dialog) {
    seen.opened = true;
    seen.caption = WindowText(dialog);
    seen.owner = GetWindow(dialog, GW_OWNER);
    HWND editor = GetDlgItem(dialog, 1007);
    seen.editorClass = ClassOf(editor);
    seen.text = WindowText(editor);
    seen.link = WindowText(GetDlgItem(dialog, 1001));
    seen.pageLink = WindowText(GetDlgItem(dialog, 1006));
    HWND list = GetDlgItem(dialog, 1003);
    seen.logText = static_cast<COLORREF>(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0));
    seen.logBackground = static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0));
    seen.log = ListRows(list);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }, 30000);
  Bytes command(8);
  command.Put32(4, 0);
  EXPECT_EQ(Call(Export(Plugin().commandProc), {command.Address()}, "CommandProc"), 1);
  CancelWindowWatch(watch);

  ASSERT_TRUE(seen.opened);
  EXPECT_EQ(seen.caption.rfind(L"Yarrin2Evernote 1.04, Released [", 0), 0u) << seen.caption;
  EXPECT_EQ(seen.caption.substr(seen.caption.size() - 12), L" - Trip plan") << seen.caption;
  EXPECT_EQ(seen.owner, HostMainWindowHandle());
  EXPECT_EQ(seen.editorClass, L"RichEdit20W");
  EXPECT_EQ(seen.text, L"Pack the tent");
  EXPECT_EQ(seen.link, L"yarrin://trips.yar?node=5");
  EXPECT_EQ(seen.pageLink, L"https://yarrin2evernote.org/ru/plugin.html");
  EXPECT_EQ(seen.logText, RGB(10, 20, 30));
  EXPECT_EQ(seen.logBackground, RGB(250, 240, 230));
  EXPECT_NE(std::find(seen.log.begin(), seen.log.end(), L"Tags: travel, summer"), seen.log.end());
}

TEST_F(Plugin32Test, UnknownCommandsAreRefused) {
  for (uint32_t id : {2u, 4u, 0xFFFFFFFFu}) {
    Bytes command(8);
    command.Put32(4, id);
    EXPECT_EQ(Call(Export(Plugin().commandProc), {command.Address()}, "CommandProc"), 0) << id;
  }
}

}  // namespace
