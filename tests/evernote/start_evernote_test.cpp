// Starting Evernote through its App Paths key and bringing its window to the front, with
// the client stand-in (bin\Evernote.exe) registered in the Wine registry.
#include <gtest/gtest.h>

#include "evernote/start_evernote.h"
#include "tests/evernote/standin_support.h"
#include "testbed/test_host.h"
#include "tests/registry_fixture.h"

namespace {

constexpr wchar_t kOwnWindowClass[] = L"StartEvernoteTestWindow";

class StartEvernoteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EndProcessesNamed(L"Evernote.exe");
    RemoveEvernoteAppPaths();
  }
  void TearDown() override {
    if (ownWindow_) DestroyWindow(ownWindow_);
    EndProcessesNamed(L"Evernote.exe");
    RemoveEvernoteAppPaths();
  }

  // A window of the test in front, so that an activation has something to change.
  HWND BringOwnWindowToFront() {
    if (!ownWindow_) {
      WNDCLASSW windowClass{};
      windowClass.lpfnWndProc = DefWindowProcW;
      windowClass.hInstance = GetModuleHandleW(nullptr);
      windowClass.lpszClassName = kOwnWindowClass;
      RegisterClassW(&windowClass);
      ownWindow_ = CreateWindowExW(0, kOwnWindowClass, L"test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                   50, 50, 200, 100, nullptr, nullptr, GetModuleHandleW(nullptr),
                                   nullptr);
    }
    SetForegroundWindow(ownWindow_);
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == ownWindow_; }))
        << "the test's own window did not come to the front";
    return ownWindow_;
  }

  // Waits for the one running stand-in and its window in front.
  HWND WaitForStandInInFront() {
    HWND window = nullptr;
    WaitUntil([&] {
      auto running = ProcessesNamed(L"Evernote.exe");
      window = running.empty() ? nullptr : StandInWindowOf(running.front());
      return window && GetForegroundWindow() == window;
    });
    return window;
  }

  HWND ownWindow_ = nullptr;
};

TEST_F(StartEvernoteTest, StartsTheRegisteredClientAndBringsItsWindowToTheFront) {
  ScopedAppPath registered(L"Evernote.exe", StandInPath());
  BringOwnWindowToFront();

  EXPECT_TRUE(StartEvernote());
  ASSERT_TRUE(WaitUntil([] { return !ProcessesNamed(L"Evernote.exe").empty(); }))
      << "no Evernote.exe process after the start";
  HWND client = WaitForStandInInFront();
  ASSERT_NE(client, nullptr) << "the client's window never came to the front; foreground is "
                             << GetForegroundWindow();
  EXPECT_TRUE(IsWindowVisible(client));
}

TEST_F(StartEvernoteTest, StartingAgainActivatesTheRunningClient) {
  ScopedAppPath registered(L"Evernote.exe", StandInPath());
  ASSERT_TRUE(StartEvernote());
  HWND client = WaitForStandInInFront();
  ASSERT_NE(client, nullptr);
  DWORD firstProcess = ProcessOf(client);

  // The second client ends without a window, as Evernote does: only the plug-in's
  // activation can bring the first one back to the front.
  BringOwnWindowToFront();
  EXPECT_TRUE(StartEvernote());
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == client; }))
      << "foreground window " << GetForegroundWindow() << ", client " << client;
  EXPECT_TRUE(WaitUntil([&] { return ProcessesNamed(L"Evernote.exe").size() == 1; }));
  EXPECT_EQ(ProcessesNamed(L"Evernote.exe"), std::vector<DWORD>{firstProcess});
}

TEST_F(StartEvernoteTest, ActivationNeedsARegisteredRunningClientWithAWindow) {
  EXPECT_FALSE(ActivateEvernote()) << "nothing registered, nothing running";

  ScopedAppPath registered(L"Evernote.exe", StandInPath());
  EXPECT_FALSE(ActivateEvernote()) << "registered, not running";

  ASSERT_TRUE(StartEvernote());
  HWND client = WaitForStandInInFront();
  ASSERT_NE(client, nullptr);
  BringOwnWindowToFront();
  EXPECT_TRUE(ActivateEvernote());
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == client; }));

  RemoveEvernoteAppPaths();
  BringOwnWindowToFront();
  EXPECT_FALSE(ActivateEvernote()) << "running, no longer registered";
  PumpMessages(300);
  EXPECT_EQ(GetForegroundWindow(), ownWindow_);
}

BOOL CALLBACK StopAtProcessWindow(HWND window, LPARAM context) {
  auto* found = reinterpret_cast<std::pair<DWORD, HWND>*>(context);
  if (ProcessOf(window) != found->first) return TRUE;
  found->second = window;
  return FALSE;
}

// The client's hidden helper window, put first in the window order: activation passes it
// over for the visible main window.
TEST_F(StartEvernoteTest, HiddenHelperWindowAheadOfTheClientsIsPassedOver) {
  ScopedAppPath registered(L"Evernote.exe", StandInPath());
  ASSERT_TRUE(StartEvernote());
  HWND client = WaitForStandInInFront();
  ASSERT_NE(client, nullptr);
  HWND helper = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    return (helper = FindWindowExW(nullptr, nullptr, L"EvernoteStandInHelper", nullptr)) != nullptr;
  }));
  ASSERT_FALSE(IsWindowVisible(helper));
  BringOwnWindowToFront();
  SetWindowPos(helper, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  std::pair<DWORD, HWND> first{ProcessOf(client), nullptr};
  EnumWindows(StopAtProcessWindow, reinterpret_cast<LPARAM>(&first));
  ASSERT_EQ(first.second, helper) << "the helper must come first for this test to mean anything";

  EXPECT_TRUE(ActivateEvernote());
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == client; }))
      << "foreground window " << GetForegroundWindow() << ", client " << client;
}

TEST_F(StartEvernoteTest, UpperCaseExecutableMatchesTheRegisteredName) {
  ScratchFolder folder;
  std::wstring upperCase = folder.path() + L"EVERNOTE.EXE";
  ASSERT_TRUE(CopyFileW(StandInPath().c_str(), upperCase.c_str(), FALSE));
  HANDLE process = StartProgram(upperCase);
  ASSERT_NE(process, nullptr);
  DWORD processId = GetProcessId(process);
  HWND client = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (client = StandInWindowOf(processId)) != nullptr; }));
  ASSERT_EQ(ProcessesNamed(L"EVERNOTE.EXE"), std::vector<DWORD>{processId});

  ScopedAppPath registered(L"Evernote.exe", L"C:\\Program Files\\Evernote\\Evernote.exe");
  BringOwnWindowToFront();
  EXPECT_TRUE(ActivateEvernote());
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == client; }));

  TerminateProcess(process, 9);
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
}

TEST_F(StartEvernoteTest, NothingStartsWithoutARegisteredClient) {
  EXPECT_FALSE(StartEvernote()) << "not registered";
  {
    ScratchFolder folder;
    ScopedAppPath registered(L"Evernote.exe", folder.path() + L"Evernote.exe");
    EXPECT_FALSE(StartEvernote()) << "registered path without a program";
  }
  PumpMessages(1000);
  EXPECT_TRUE(ProcessesNamed(L"Evernote.exe").empty());
}

}  // namespace
