// Installation lookup through the App Paths keys, and the About box that closes itself.
#include <gtest/gtest.h>

#include "evernote/install_lookup.h"
#include "plugin/about.h"
#include "win/message_box.h"
#include "testbed/test_host.h"
#include "tests/registry_fixture.h"

namespace {

const std::wstring kEnscriptKey = ScopedAppPath::KeyOf(L"ENScript.exe");

// Writes the default value of the ENScript key with any type and byte count.
void WriteRawDefault(DWORD type, const void* data, DWORD bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEnscriptKey.c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, nullptr, 0, type, static_cast<const BYTE*>(data), bytes);
  RegCloseKey(key);
}

class InstallLookupTest : public ::testing::Test {
 protected:
  void SetUp() override { RemoveEvernoteAppPaths(); }
  void TearDown() override { RemoveEvernoteAppPaths(); }
};

TEST_F(InstallLookupTest, RegisteredPathComesBackExactly) {
  ScopedAppPath enscript(L"ENScript.exe", L"C:\\Program Files\\Evernote\\ENScript.exe");
  ScopedAppPath evernote(L"Evernote.exe", L"\"C:\\Program Files\\Evernote\\Evernote.exe\"");
  EXPECT_EQ(FindEnscriptPath(), u"C:\\Program Files\\Evernote\\ENScript.exe");
  EXPECT_EQ(FindEvernotePath(), u"\"C:\\Program Files\\Evernote\\Evernote.exe\"");
}

TEST_F(InstallLookupTest, MissingKeyOrDefaultValueGivesEmpty) {
  EXPECT_EQ(FindEnscriptPath(), u"");
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEnscriptKey.c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const wchar_t path[] = L"C:\\Evernote";
  RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof(path));
  RegCloseKey(key);
  EXPECT_EQ(FindEnscriptPath(), u"") << "the Path value is not the program's path";
}

TEST_F(InstallLookupTest, CurrentUsersKeyIsNotConsulted) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kEnscriptKey.c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const wchar_t path[] = L"C:\\User\\ENScript.exe";
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof(path));
  RegCloseKey(key);
  EXPECT_EQ(FindEnscriptPath(), u"");
  RegDeleteTreeW(HKEY_CURRENT_USER, kEnscriptKey.c_str());
}

TEST_F(InstallLookupTest, ValueWithoutTerminatingNulKeepsItsLastCharacter) {
  const wchar_t path[] = L"C:\\E\\ENScript.exe";
  WriteRawDefault(REG_SZ, path, (sizeof(path) / sizeof(wchar_t) - 1) * sizeof(wchar_t));
  EXPECT_EQ(FindEnscriptPath(), u"C:\\E\\ENScript.exe");
}

TEST_F(InstallLookupTest, ExpandableValueStaysUnexpanded) {
  const wchar_t path[] = L"%ProgramFiles%\\Evernote\\ENScript.exe";
  WriteRawDefault(REG_EXPAND_SZ, path, sizeof(path));
  EXPECT_EQ(FindEnscriptPath(), u"%ProgramFiles%\\Evernote\\ENScript.exe");
}

TEST_F(InstallLookupTest, LongestPathIs1299Characters) {
  for (size_t length : {1298u, 1299u, 1300u, 1301u, 4000u}) {
    std::wstring path(length, L'p');
    WriteRawDefault(REG_SZ, path.c_str(), static_cast<DWORD>((length + 1) * sizeof(wchar_t)));
    WideString found = FindEnscriptPath();
    EXPECT_EQ(found.size(), length <= 1299 ? length : 0u) << length;
  }
  std::wstring unterminated(1300, L'q');
  WriteRawDefault(REG_SZ, unterminated.c_str(), 1300 * sizeof(wchar_t));
  EXPECT_EQ(FindEnscriptPath(), u"") << "1300 characters without NUL";
}

TEST_F(InstallLookupTest, InstallInfoLinesWithAndWithoutPaths) {
  std::vector<WideString> absent = InstallInfoLines();
  ASSERT_EQ(absent.size(), 2u);
  EXPECT_EQ(absent[0], u"Evernote Path: ");
  EXPECT_EQ(absent[1], u"ENScript Path: ");

  ScopedAppPath evernote(L"Evernote.exe", L"C:\\EN\\Evernote.exe");
  ScopedAppPath enscript(L"ENScript.exe", L"C:\\EN\\ENScript.exe");
  std::vector<WideString> present = InstallInfoLines();
  ASSERT_EQ(present.size(), 2u);
  EXPECT_EQ(present[0], u"Evernote Path: C:\\EN\\Evernote.exe");
  EXPECT_EQ(present[1], u"ENScript Path: C:\\EN\\ENScript.exe");
}

// Reads the text of the About box that command 3 opens, then closes the box.
std::wstring AboutTextFromCommand() {
  std::wstring text;
  auto watch = WhenWindowAppears(DialogWithCaption(L"Yarrin2Evernote"), [&](HWND box) {
    text = WindowText(GetDlgItem(box, 0xFFFF));  // the message box's text control
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(RunPluginCommand(3), 1);
  CancelWindowWatch(watch);
  return text;
}

class AboutBoxTest : public InstallLookupTest {
 protected:
  void SetUp() override {
    InstallLookupTest::SetUp();
    ResetHost();
    ASSERT_NE(Plugin().module, nullptr);
  }
};

TEST_F(AboutBoxTest, SixLinesWithVersionAndPaths) {
  ScopedAppPath evernote(L"Evernote.exe", L"C:\\EN\\Evernote.exe");
  ScopedAppPath enscript(L"ENScript.exe", L"C:\\EN\\ENScript.exe");
  RegisterPluginWithHost();
  EXPECT_EQ(AboutTextFromCommand(),
            L"Yarrin2Evernote 1.04\r\n"
            L"Released: Feb  7 2016 16:47:35\r\n"
            L"Yarrin Plugin API: 9.69 build 2599\r\n"
            L"Required Yarrin 9.57 build 2509 or later\r\n"
            L"Evernote Path: C:\\EN\\Evernote.exe\r\n"
            L"ENScript Path: C:\\EN\\ENScript.exe");
}

TEST_F(AboutBoxTest, WithoutVersionCallbackAndPathsTheLinesStayBare) {
  SetCallbackMissing("YHC_GetModuleVersionInfoEx", true);
  RegisterPluginWithHost();
  SetCallbackMissing("YHC_GetModuleVersionInfoEx", false);
  std::wstring text = AboutTextFromCommand();
  EXPECT_EQ(text.substr(0, text.find(L"\r\n")), L"Yarrin2Evernote");
  EXPECT_NE(text.find(L"\r\nEvernote Path: \r\nENScript Path: "), std::wstring::npos) << text.c_str();
  EXPECT_NE(text.back(), L'\n');
}

TEST_F(AboutBoxTest, AboutBoxIsOwnedByTheHostsMainWindow) {
  HWND owner = nullptr;
  auto watch = WhenWindowAppears(DialogWithCaption(L"Yarrin2Evernote"), [&](HWND box) {
    owner = GetWindow(box, GW_OWNER);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  RunPluginCommand(3);
  CancelWindowWatch(watch);
  EXPECT_EQ(owner, HostMainWindowHandle());
}

TEST(TimedMessageBoxTest, ClosesByItselfWhenTheTimeIsUp) {
  // A safety net only: should the box stay, it is closed with OK after 8 s, which fails
  // the test instead of hanging it.
  UINT_PTR late = SetTimer(nullptr, 0, 8000, [](HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND box = FindWindowW(L"#32770", L"Timed");
    if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  DWORD start = GetTickCount();
  int result = ShowTimedMessageBox(nullptr, u"closes by itself", u"Timed", MB_ICONWARNING, 300);
  DWORD elapsed = GetTickCount() - start;
  KillTimer(nullptr, late);
  EXPECT_EQ(result, kMessageBoxTimedOut);
  EXPECT_GE(elapsed, 250u);
  EXPECT_EQ(FindWindowW(L"#32770", L"Timed"), nullptr);
}

TEST(TimedMessageBoxTest, UserCanStillCloseTheBox) {
  auto watch = WhenWindowAppears(DialogWithCaption(L"Early"),
                                 [](HWND box) { PostMessageW(box, WM_COMMAND, IDOK, 0); });
  int result = ShowTimedMessageBox(nullptr, u"closed early", u"Early", 0, 20000);
  CancelWindowWatch(watch);
  EXPECT_EQ(result, IDOK);
}

}  // namespace
