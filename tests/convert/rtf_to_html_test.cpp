// The converter binding against stand-in DLLs, one per row of the failure table: the
// HTML and the result, which calls were made, and that the library was freed each time.
// The binding looks for irun.dll beside the module it is linked into, here this test
// program, so each case copies its stand-in there as irun.dll.
#include "convert/rtf_to_html.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "testbed/support/files.h"

namespace {

std::wstring FakePath(const wchar_t* variant) {
  return ProgramFolder() + L"..\\fakes\\fake_irun_" + variant + L".dll";
}

std::string Env(const char* name) {
  char value[1024] = "";
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return std::string(value, length < sizeof value ? length : 0);
}

int Count(const char* name) { return std::atoi(Env(name).c_str()); }

const char* const kRecords[] = {"FAKE_IRUN_LOADS", "FAKE_IRUN_UNLOADS", "FAKE_IRUN_OPENED",
                                "FAKE_IRUN_CONVERT", "FAKE_IRUN_GETBODY", "FAKE_IRUN_CLOSED"};

// The document exactly as the library hands it over, its ANSI "\xE9" now UTF-8.
const std::string kConverted = "<html><body bgcolor=red>caf\xC3\xA9</body></html>";

// The page through the binding: true with the document when it was converted and read.
bool Convert(std::string_view rtf, std::string& document, WideString* failure = nullptr) {
  WideString reason;
  std::optional<ConvertedPage> page = ConvertPage(rtf, reason);
  const bool read = page && page->ReadDocument([&document](std::string_view bytes) {
    document.append(bytes.data(), bytes.size());
    return true;
  }, reason);
  if (failure) *failure = reason;
  return read;
}

class ConvertPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kRecords) SetEnvironmentVariableA(name, nullptr);
    DeleteFileW(Installed().c_str());
  }
  void TearDown() override { DeleteFileW(Installed().c_str()); }

  static std::wstring Installed() { return ProgramFolder() + L"irun.dll"; }
  static void Install(const wchar_t* variant) {
    ASSERT_TRUE(CopyFileW(FakePath(variant).c_str(), Installed().c_str(), FALSE))
        << "no stand-in " << GetLastError();
  }
  // The library went away again: loaded and unloaded as often, and no longer mapped.
  static void ExpectFreed(int loads) {
    EXPECT_EQ(Count("FAKE_IRUN_LOADS"), loads);
    EXPECT_EQ(Count("FAKE_IRUN_UNLOADS"), loads);
    EXPECT_EQ(GetModuleHandleW(L"irun.dll"), nullptr);
  }
};

struct Row {
  const wchar_t* variant;
  bool result;
  std::string document;
  int opened, getBody, closed;
  const char16_t* failure;  // what the user reads; empty on success
};

TEST_F(ConvertPageTest, EachRowOfTheFailureTable) {
  const Row rows[] = {
      {L"ok", true, kConverted, 1, 1, 1, u""},
      {L"no_open", false, "", 0, 0, 0,
       u"The converter irun.dll lacks its function EXBufferOpenSession"},
      // counted as a failed conversion
      {L"no_convert", false, "", 1, 0, 1,
       u"The converter irun.dll lacks its function EXBufferConvert"},
      {L"convert_fails", false, "", 1, 0, 1,
       u"The converter could not convert the page (result code 2)"},
      {L"no_getbody", false, "", 1, 0, 1,
       u"The converter irun.dll lacks its function EXBufferGetBody"},
      {L"no_close", true, kConverted, 1, 1, 0, u""},  // nothing to close
      {L"empty_body", true, "", 1, 1, 1, u""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "stand-in " << std::string(row.variant, row.variant + wcslen(row.variant)));
    SetUp();
    Install(row.variant);
    std::string document;
    WideString failure;
    EXPECT_EQ(Convert("{\\rtf1 x}", document, &failure), row.result);
    EXPECT_EQ(document, row.document);
    EXPECT_EQ(failure, row.failure);
    EXPECT_EQ(Count("FAKE_IRUN_OPENED"), row.opened);
    EXPECT_EQ(Count("FAKE_IRUN_GETBODY"), row.getBody);
    EXPECT_EQ(Count("FAKE_IRUN_CLOSED"), row.closed);
    ExpectFreed(1);
  }
}

TEST_F(ConvertPageTest, ConvertGetsTheDocumentedArguments) {
  Install(L"ok");
  // The RTF is counted up to its zero byte. A library without the calls for pieces gets
  // the page joined and gives the document whole.
  std::string document;
  ASSERT_TRUE(Convert(std::string_view("{\\rtf1 x}\0junk", 14), document));
  EXPECT_EQ(Env("FAKE_IRUN_CONVERT"), "4711|{\\rtf1 x}|9|0|0|16||0|96");
  EXPECT_EQ(document, kConverted);
  // An empty capture still goes to the converter, with length 0.
  ASSERT_TRUE(Convert("", document));
  EXPECT_EQ(Env("FAKE_IRUN_CONVERT"), "4711||0|0|0|16||0|96");
  ExpectFreed(2);
}

TEST_F(ConvertPageTest, MissingLibraryGivesNoDocument) {
  std::string document;
  WideString failure;
  EXPECT_FALSE(Convert("{\\rtf1 x}", document, &failure));
  EXPECT_EQ(document, "");
  EXPECT_EQ(failure.rfind(u"Cannot load the converter irun.dll from the folder ", 0), 0u);
  ExpectFreed(0);
}

// An irun.dll planted in the current folder or on PATH must not be loaded.
TEST_F(ConvertPageTest, PlantedLibraryIsNotLoaded) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring planted = std::wstring(temp) + L"y2e-planted-" +
                               std::to_wstring(GetCurrentProcessId()) + L"\\";
  ASSERT_TRUE(CreateDirectoryW(planted.c_str(), nullptr) ||
              GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(CopyFileW(FakePath(L"ok").c_str(), (planted + L"irun.dll").c_str(), FALSE));

  wchar_t oldFolder[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, oldFolder);
  std::wstring oldPath(32767, L'\0');
  oldPath.resize(GetEnvironmentVariableW(L"PATH", oldPath.data(), 32767));
  SetCurrentDirectoryW(planted.c_str());
  SetEnvironmentVariableW(L"PATH", (planted + L";" + oldPath).c_str());

  std::string document;
  const bool converted = Convert("{\\rtf1 x}", document);

  SetCurrentDirectoryW(oldFolder);
  SetEnvironmentVariableW(L"PATH", oldPath.c_str());
  DeleteFileW((planted + L"irun.dll").c_str());
  RemoveDirectoryW(planted.c_str());

  EXPECT_FALSE(converted);
  EXPECT_EQ(document, "");
  ExpectFreed(0);
}


}  // namespace
