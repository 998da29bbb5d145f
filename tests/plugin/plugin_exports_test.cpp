// The five exports as the host sees them: records filled byte-exactly, menu items,
// events and command results, through the real DLL loaded by a test host.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "testbed/test_host.h"

namespace {

constexpr unsigned char kPattern = 0xA5;

class PluginExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetHost();
    ASSERT_NE(Plugin().module, nullptr) << "Yarrin2Evernote.dll did not load";
  }
  void TearDown() override { SetCallbackMissing("YHC_GetModuleVersionInfoEx", false); }
};

// A record inside a larger patterned buffer, so that writes past its end are seen.
struct PatternedInfo {
  std::vector<unsigned char> bytes = std::vector<unsigned char>(1200, kPattern);
  PluginInfo* info() { return reinterpret_cast<PluginInfo*>(bytes.data()); }
};

std::wstring NameOf(PluginInfo* info) { return std::wstring(info->name); }

size_t FirstChangedByte(const std::vector<unsigned char>& bytes, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i)
    if (bytes[i] != kPattern) return i;
  return to;
}

TEST_F(PluginExportsTest, SupportsUnicode) { EXPECT_EQ(Plugin().isSupportsPluginUnicode(), 1); }

TEST_F(PluginExportsTest, FullRecordGetsNameVersionAndFlagsOnly) {
  PatternedInfo record;
  record.info()->size = 1060;
  record.info()->flagWordA = 0x100;
  record.info()->flagWordB = 0x40;
  ASSERT_EQ(Plugin().getPluginInfo(record.info()), 1);

  EXPECT_EQ(record.info()->menuItemCount, 4);
  EXPECT_EQ(NameOf(record.info()), L"Yarrin2Evernote 1.04");
  EXPECT_EQ(record.info()->requiredHostBuild, 2509);
  EXPECT_EQ(record.info()->flagWordA, 0x102u);
  EXPECT_EQ(record.info()->flagWordB, 0x42u);
  // The name's range keeps the host's bytes behind the terminating NUL.
  size_t afterName = 8 + (NameOf(record.info()).size() + 1) * 2;
  EXPECT_EQ(FirstChangedByte(record.bytes, afterName, 1048), 1048u);
  EXPECT_EQ(FirstChangedByte(record.bytes, 1060, record.bytes.size()), record.bytes.size());
}

TEST_F(PluginExportsTest, NameIsRebuiltNotAppendedOnEveryCall) {
  for (int call = 0; call < 2; ++call) {
    PatternedInfo record;
    record.info()->size = 1060;
    ASSERT_EQ(Plugin().getPluginInfo(record.info()), 1);
    EXPECT_EQ(NameOf(record.info()), L"Yarrin2Evernote 1.04") << "call " << call;
  }
}

TEST_F(PluginExportsTest, MinorAndReleaseAreWrittenWithoutSeparator) {
  Host().version = ModuleVersionInfo{sizeof(ModuleVersionInfo), 1, 2, 13, 7};
  PatternedInfo record;
  record.info()->size = 1060;
  ASSERT_EQ(Plugin().getPluginInfo(record.info()), 1);
  EXPECT_EQ(NameOf(record.info()), L"Yarrin2Evernote 1.213");
}

TEST_F(PluginExportsTest, NameHasNoVersionWithoutTheHostsVersionCallback) {
  for (bool missing : {true, false}) {
    SetCallbackMissing("YHC_GetModuleVersionInfoEx", missing);
    Host().versionAvailable = missing;  // missing, or present but failing
    PatternedInfo record;
    record.info()->size = 1060;
    ASSERT_EQ(Plugin().getPluginInfo(record.info()), 1);
    EXPECT_EQ(NameOf(record.info()), L"Yarrin2Evernote") << "missing=" << missing;
    EXPECT_EQ(record.info()->menuItemCount, 4);
  }
}

TEST_F(PluginExportsTest, RecordOf544BytesIsRefusedUntouched) {
  PatternedInfo record;
  record.info()->size = 544;
  std::vector<unsigned char> before = record.bytes;
  EXPECT_EQ(Plugin().getPluginInfo(record.info()), 0);
  EXPECT_EQ(record.bytes, before);
}

TEST_F(PluginExportsTest, ShortRecordsGetOnlyTheFieldsThatFitInside) {
  for (uint32_t size : {545u, 1047u, 1048u, 1052u, 1056u, 1059u}) {
    PatternedInfo record;
    record.info()->size = size;
    ASSERT_EQ(Plugin().getPluginInfo(record.info()), 1) << size;
    EXPECT_EQ(FirstChangedByte(record.bytes, size, record.bytes.size()), record.bytes.size())
        << "written past a record of " << size << " bytes";
    EXPECT_EQ(record.info()->menuItemCount, 4) << size;
    bool nameFits = size >= 1048;
    EXPECT_EQ(record.bytes[8] != kPattern, nameFits) << size;
    if (nameFits) {
      EXPECT_EQ(NameOf(record.info()), L"Yarrin2Evernote 1.04");
    }
    if (size >= 1052) {
      EXPECT_EQ(record.info()->requiredHostBuild, 2509) << size;
    }
  }
}

struct PatternedMenuItem {
  std::vector<unsigned char> bytes = std::vector<unsigned char>(sizeof(MenuItemInfo), kPattern);
  MenuItemInfo* info() { return reinterpret_cast<MenuItemInfo*>(bytes.data()); }
};

struct ExpectedItem {
  int index;
  const wchar_t* caption;
  const wchar_t* hint;
  bool hasIcon;
  bool setsFlags;
  uint32_t flags;
};

TEST_F(PluginExportsTest, MenuItemsZeroOneAndThree) {
  const ExpectedItem expected[] = {
      {0, L"Send Text 2 Evernote", L"Send selected\\entire text from Yarrin to Evernote", true,
       true, 5123},
      {1, L"Start Evernote", L"Start the Evernote", false, true, 2},
      {3, L"About Yarrin2Evernote", L"About Yarrin2Evernote", false, false, 0},
  };
  for (const ExpectedItem& item : expected) {
    SCOPED_TRACE(item.index);
    PatternedMenuItem record;
    ASSERT_EQ(Plugin().getMenuItemInfo(item.index, record.info()), 1);
    MenuItemInfo* info = record.info();
    EXPECT_EQ(std::wstring(info->caption), item.caption);
    EXPECT_EQ(std::wstring(info->hint), item.hint);
    EXPECT_STREQ(info->procName, "CommandProc");
    EXPECT_EQ(info->itemCode, 6);
    EXPECT_EQ(info->commandId, item.index);
    EXPECT_EQ(FirstChangedByte(record.bytes, 0, 4), 4u) << "host's first field touched";
    size_t hostTail = offsetof(MenuItemInfo, hostReserved1);
    EXPECT_EQ(FirstChangedByte(record.bytes, hostTail, hostTail + 20), hostTail + 20);
    if (item.hasIcon) {
      ASSERT_NE(info->icon, nullptr);
      ICONINFO iconInfo{};
      ASSERT_TRUE(GetIconInfo(info->icon, &iconInfo));
      BITMAP bitmap{};
      GetObjectW(iconInfo.hbmColor ? iconInfo.hbmColor : iconInfo.hbmMask, sizeof(bitmap), &bitmap);
      EXPECT_EQ(bitmap.bmWidth, 16);
      if (iconInfo.hbmColor) DeleteObject(iconInfo.hbmColor);
      DeleteObject(iconInfo.hbmMask);
    } else {
      size_t icon = offsetof(MenuItemInfo, icon);
      EXPECT_EQ(FirstChangedByte(record.bytes, icon, icon + sizeof(HICON)), icon + sizeof(HICON));
    }
    if (item.setsFlags) {
      EXPECT_EQ(info->itemFlags, item.flags);
    } else {
      size_t flags = offsetof(MenuItemInfo, itemFlags);
      EXPECT_EQ(FirstChangedByte(record.bytes, flags, flags + 4), flags + 4);
    }
  }
}

TEST_F(PluginExportsTest, OtherMenuIndicesLeaveTheRecordAlone) {
  for (int index : {2, 4, -1, 1000}) {
    PatternedMenuItem record;
    std::vector<unsigned char> before = record.bytes;
    EXPECT_EQ(Plugin().getMenuItemInfo(index, record.info()), 1) << index;
    EXPECT_EQ(record.bytes, before) << index;
  }
}

// The text the send dialog takes, which comes from the editor last reported by event 10.
std::wstring TextTheDialogShows() {
  std::wstring shown;
  auto watch = WhenWindowAppears(DialogCaptionStartingWith(L"Yarrin2Evernote"), [&](HWND dialog) {
    shown = WindowText(GetDlgItem(dialog, 1007));
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  RunPluginCommand(0);
  CancelWindowWatch(watch);
  return shown;
}

TEST_F(PluginExportsTest, LastEditorEventWinsAndOtherEventsChangeNothing) {
  SetEditorText(u"Text of the host's editor");
  HWND other = CreateWindowExW(0, L"RICHEDIT20W", L"Another editor", WS_POPUP, 0, 0, 10, 10,
                               nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  EventInfo event{};
  event.eventCode = 10;
  event.eventValue = other;
  EXPECT_EQ(Plugin().eventHandler(&event), 1);
  event.eventValue = HostEditor();
  EXPECT_EQ(Plugin().eventHandler(&event), 1);
  event.eventCode = 11;
  event.eventValue = other;
  EXPECT_EQ(Plugin().eventHandler(&event), 1);
  EXPECT_EQ(TextTheDialogShows(), L"Text of the host's editor");

  event.eventCode = 10;
  event.eventValue = other;
  Plugin().eventHandler(&event);
  EXPECT_EQ(TextTheDialogShows(), L"Another editor");
  event.eventValue = HostEditor();
  Plugin().eventHandler(&event);
  DestroyWindow(other);
}

TEST_F(PluginExportsTest, CommandResults) {
  EXPECT_EQ(RunPluginCommand(2), 0);
  EXPECT_EQ(RunPluginCommand(4), 0);
  EXPECT_EQ(RunPluginCommand(-1), 0);
  EXPECT_EQ(RunPluginCommand(1), 1);  // whatever starting Evernote gives

  // The About box and the send dialog are modal: close them as soon as they appear.
  auto closeAbout = WhenWindowAppears(DialogWithCaption(L"Yarrin2Evernote"),
                                      [](HWND box) { PostMessageW(box, WM_COMMAND, IDOK, 0); });
  EXPECT_EQ(RunPluginCommand(3), 1);
  CancelWindowWatch(closeAbout);

  auto closeDialog = WhenWindowAppears(DialogCaptionStartingWith(L"Yarrin2Evernote"),
                                       [](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
  EXPECT_EQ(RunPluginCommand(0), 1);
  CancelWindowWatch(closeDialog);
}

// An exception the test raises itself and continues from.
constexpr DWORD kProbeException = 0xE0C0FFEE;
LONG CALLBACK ContinueAfterProbe(EXCEPTION_POINTERS* info) {
  return info->ExceptionRecord->ExceptionCode == kProbeException ? EXCEPTION_CONTINUE_EXECUTION
                                                                   : EXCEPTION_CONTINUE_SEARCH;
}

// A handler the plug-in registered process-wide would stay behind when the host unloads
// it, and the host's next exception would call into code that is gone.
TEST_F(PluginExportsTest, UnloadedPluginLeavesNothingThatExceptionsReach) {
  const WideString folder = WideFromPtr(ProgramFolder().c_str());
  const std::wstring copy = std::wstring(folder.begin(), folder.end()) + L"Yarrin2Evernote-unload.dll";
  const std::wstring original = std::wstring(folder.begin(), folder.end()) + L"Yarrin2Evernote.dll";
  ASSERT_TRUE(CopyFileW(original.c_str(), copy.c_str(), FALSE));
  HMODULE plugin = LoadLibraryW(copy.c_str());
  ASSERT_NE(plugin, nullptr);
  auto getPluginInfo = reinterpret_cast<Yarrin_GetPluginInfoFn>(
      reinterpret_cast<void*>(GetProcAddress(plugin, "Yarrin_GetPluginInfo")));
  auto commandProc = reinterpret_cast<CommandProcFn>(
      reinterpret_cast<void*>(GetProcAddress(plugin, "CommandProc")));
  ASSERT_TRUE(getPluginInfo && commandProc);
  PluginInfo info{};
  info.size = sizeof(info);
  EXPECT_EQ(getPluginInfo(&info), 1);
  CommandInfo command{0, 2};
  EXPECT_EQ(commandProc(&command), 0);
  ASSERT_TRUE(FreeLibrary(plugin));
  ASSERT_EQ(GetModuleHandleW(copy.c_str()), nullptr) << "the copy is still loaded";

  // Registered last, so that every handler before it is called first.
  PVOID last = AddVectoredExceptionHandler(0, ContinueAfterProbe);
  RaiseException(kProbeException, 0, 0, nullptr);
  RemoveVectoredExceptionHandler(last);
  DeleteFileW(copy.c_str());
}

}  // namespace
