// One page sent through the shipped plug-in, irun.dll and the ENScript stand-in. The
// 64-bit build keeps the ENEX file the stand-in received as the reference; the 32-bit
// build must send the very same bytes (times aside). The 32-bit build also sends a page
// of 50 MB of RTF, once as it is and once with all but 128 MB of the address space taken:
// the page must arrive whole or the send end in an error line of the log; never a crash,
// nor an empty note under a log that claims success.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "testbed/test_host.h"
#include "tests/enscript_fixture.h"

namespace {

// Formatting, a web address, characters that need escaping, a code-page and a Unicode
// character; no bookmark, whose anchor name differs on every send.
const char kPage[] =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}}"
    "{\\colortbl ;\\red192\\green0\\blue0;}"
    "\\pard\\plain Trip plan for {\\b May} and {\\i June}, see https://example.org/trips & more.\\par "
    "{\\cf1 Red words} in {\\f1 Courier} with <angle> brackets, caf\\'e9 and \\u1046? text.\\par "
    "Tabs\\tab between\\tab words.\\par}";

const wchar_t kReference[] = L"send32-page.enex";

std::wstring WinePath(const std::string& unixPath) {
  return L"Z:" + std::wstring(unixPath.begin(), unixPath.end());
}

// Holds all of this process's free address space but about `leftMegabytes`, in holes of
// at most 64 MB, for the object's lifetime: a 32-bit host that has used up most of its
// 2 GB. Meant for the 32-bit build.
class TightAddressSpace {
 public:
  explicit TightAddressSpace(size_t leftMegabytes) {
    for (size_t size : {size_t{64} << 20, size_t{1} << 20})
      while (void* block = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS))
        held_.push_back({block, size});
    size_t left = 0;
    while (left < (leftMegabytes << 20) && !held_.empty()) {
      VirtualFree(held_.front().first, 0, MEM_RELEASE);
      left += held_.front().second;
      held_.erase(held_.begin());
    }
  }
  ~TightAddressSpace() {
    for (const auto& block : held_) VirtualFree(block.first, 0, MEM_RELEASE);
  }
  TightAddressSpace(const TightAddressSpace&) = delete;
  TightAddressSpace& operator=(const TightAddressSpace&) = delete;

 private:
  std::vector<std::pair<void*, size_t>> held_;
};

// Opens the send dialog through command 0, presses "Send To Evernote" once and closes
// the dialog; returns the log rows the send added (empty when the dialog never opened).
// With leftMegabytes the press runs in a TightAddressSpace of that many megabytes.
std::vector<std::wstring> SendThroughDialog(bool& opened, size_t leftMegabytes = 0) {
  opened = false;
  std::vector<std::wstring> added;
  auto watch = WhenWindowAppears(DialogCaptionStartingWith(L"Yarrin2Evernote"), [&](HWND dialog) {
    opened = true;
    HWND list = GetDlgItem(dialog, 1003);
    size_t before = ListRows(list).size();
    {
      std::unique_ptr<TightAddressSpace> tight;
      if (leftMegabytes > 0) tight = std::make_unique<TightAddressSpace>(leftMegabytes);
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    }
    std::vector<std::wstring> after = ListRows(list);
    added.assign(after.begin() + static_cast<ptrdiff_t>(before), after.end());
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }, 300000);
  EXPECT_EQ(RunPluginCommand(0), 1);
  CancelWindowWatch(watch);
  return added;
}

// Replaces the text between `open` and the next `close` with "#".
void Mask(std::string& text, const std::string& open, const std::string& close) {
  size_t start = text.find(open);
  if (start == std::string::npos) return;
  start += open.size();
  size_t end = text.find(close, start);
  if (end != std::string::npos) text.replace(start, end - start, "#");
}

// The ENEX without its times: the UTC times of the note and the local stamp of the link
// paragraph (between the title's " (" and the imported-by text).
[[maybe_unused]] std::string WithoutTimes(std::string enex) {
  Mask(enex, "<created>", "</created>");
  Mask(enex, "<updated>", "</updated>");
  size_t imported = enex.find(", Imported from Yarrin by Yarrin2Evernote)");
  size_t open = imported == std::string::npos ? std::string::npos : enex.rfind(" (", imported);
  if (open != std::string::npos) enex.replace(open + 2, imported - open - 2, "#");
  return enex;
}

[[maybe_unused]] std::string FirstDifference(const std::string& expected,
                                                const std::string& actual) {
  size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  if (at == expected.size() && at == actual.size()) return "none";
  size_t from = at > 60 ? at - 60 : 0;
  return "at byte " + std::to_string(at) + "\n  64-bit: " + expected.substr(from, 160) +
         "\n  32-bit: " + actual.substr(from, 160);
}

class Send32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveEvernoteAppPaths();
    ResetHost();
    Host().nodeTitle = u"Tom's Q&A";
    Host().tags = u"travel, summer";
    Host().documentPath = u"C:\\Docs\\trips.yar";
    Host().nodeLink = u"yarrin://trips.yar?node=5";
    ASSERT_NE(Plugin().module, nullptr);
  }
  void TearDown() override { RemoveEvernoteAppPaths(); }
};

TEST_F(Send32Test, PageArrivesAsTheSameEnexAsFromThe64BitBuild) {
  ScopedEnscript enscript(L"page");
  SetEditorRtf(kPage);
  SelectInEditor(0, 0);
  RegisterPluginWithHost();
  bool opened = false;
  std::vector<std::wstring> log = SendThroughDialog(opened);
  ASSERT_TRUE(opened);
  ASSERT_EQ(enscript.Notes().size(), 1u);
  std::string enex = ReadFileBytes(enscript.folder() + L"notebook\\received-0001.enex");
  ASSERT_NE(enex.find("<en-export"), std::string::npos);

  std::wstring reference = WinePath(Y2E_REFERENCE_DIR) + L"\\" + kReference;
#if defined(_WIN64)
  CreateDirectoryW(WinePath(Y2E_REFERENCE_DIR).c_str(), nullptr);
  WriteFileBytes(reference, enex);
  EXPECT_EQ(ReadFileBytes(reference), enex) << "cannot keep the reference in " << Y2E_REFERENCE_DIR;
#else
  std::string expected = ReadFileBytes(reference);
  ASSERT_FALSE(expected.empty()) << "no reference ENEX in " << Y2E_REFERENCE_DIR
                                 << ": run the 64-bit build's send32_reference first";
  EXPECT_EQ(FirstDifference(WithoutTimes(expected), WithoutTimes(enex)), "none");
#endif
}

#if !defined(_WIN64)

// RTF of about `bytes` bytes: text paragraphs around one large picture, an enhanced
// metafile holding a bitmap.
std::string PageWithLargePicture(size_t bytes) {
  const int width = 2048;
  const int height = static_cast<int>(bytes / 2 / (width * 4)) + 1;
  HDC screen = GetDC(nullptr);
  RECT frame{0, 0, width * 26, height * 26};
  HDC recorder = CreateEnhMetaFileW(screen, nullptr, &frame, nullptr);
  ReleaseDC(nullptr, screen);
  BITMAPINFO bitmap{};
  bitmap.bmiHeader.biSize = sizeof(bitmap.bmiHeader);
  bitmap.bmiHeader.biWidth = width;
  bitmap.bmiHeader.biHeight = height;
  bitmap.bmiHeader.biPlanes = 1;
  bitmap.bmiHeader.biBitCount = 32;
  std::string pixels(static_cast<size_t>(width) * height * 4, '\0');
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<char>(i * 7 + (i >> 13));
  StretchDIBits(recorder, 0, 0, width, height, 0, 0, width, height, pixels.data(), &bitmap,
                DIB_RGB_COLORS, SRCCOPY);
  HENHMETAFILE metafile = CloseEnhMetaFile(recorder);
  UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
  std::string bits(size, '\0');
  GetEnhMetaFileBits(metafile, size, reinterpret_cast<BYTE*>(&bits[0]));
  DeleteEnhMetaFile(metafile);

  std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\pard\\plain Before the picture.\\par "
                    "{\\pict\\emfblip\\picw" + std::to_string(width) + "\\pich" + std::to_string(height) + " ";
  rtf.reserve(rtf.size() + bits.size() * 2 + 100);
  const char digits[] = "0123456789abcdef";
  for (unsigned char c : bits) {
    rtf += digits[c >> 4];
    rtf += digits[c & 15];
  }
  return rtf + "}\\par After the picture.\\par}";
}

// The host's editor holds the 50 MB page for all cases: Wine's rich edit takes seconds
// to read it, more under emulation.
class LargePage32Test : public Send32Test {
 protected:
  static void SetUpTestSuite() {
    std::string page = PageWithLargePicture(50u << 20);
    pageBytes = page.size();
    SetEditorRtf(page);
  }
  void SetUp() override {
    Send32Test::SetUp();
    ASSERT_GE(pageBytes, 50u << 20);
    SelectInEditor(0, 0);
    RegisterPluginWithHost();
  }
  static size_t pageBytes;
};
size_t LargePage32Test::pageBytes = 0;

// How a send of the large page ended: the whole page in one note, or an error line and
// no note. An empty note with a log that claims success is neither.
void ExpectWholePageOrErrorLine(const std::vector<std::wstring>& log, const ScopedEnscript& enscript) {
  ASSERT_FALSE(log.empty()) << "the send wrote no log line";
  std::string rows;
  bool failed = false;
  for (const std::wstring& row : log) {
    rows += "\n  " + std::string(row.begin(), row.end());
    failed = failed || row.rfind(L"ERROR: ", 0) == 0;
  }
  std::printf("The send's log:%s\n", rows.c_str());
  auto notes = enscript.Notes();
  if (failed) {
    EXPECT_TRUE(notes.empty());
    return;
  }
  EXPECT_EQ(log.back(), L"End of Yarrin2Evernote");
  ASSERT_EQ(notes.size(), 1u) << "no error line, yet no note";
  const WideString& content = notes[0].content;
  EXPECT_NE(content.find(u"Before the picture."), WideString::npos);
  EXPECT_NE(content.find(u"After the picture."), WideString::npos);
  // The picture came with the note, or the log says why it was left out.
  bool leftOut = false;
  for (const std::wstring& row : log) leftOut = leftOut || row.rfind(L"Picture _img_1.", 0) == 0;
  if (!leftOut) {
    ASSERT_EQ(notes[0].resources.size(), 1u);
    EXPECT_NE(content.find(u"hash=\"" + notes[0].resources[0].hash + u"\""), WideString::npos);
  }
}

TEST_F(LargePage32Test, PageOf50MegabytesArrivesOrEndsInAnErrorLine) {
  ScopedEnscript enscript(L"large");
  bool opened = false;
  std::vector<std::wstring> log = SendThroughDialog(opened);
  ASSERT_TRUE(opened);
  ExpectWholePageOrErrorLine(log, enscript);
}

TEST_F(LargePage32Test, PageOf50MegabytesInATightAddressSpaceArrivesOrEndsInAnErrorLine) {
  ScopedEnscript enscript(L"tight");
  bool opened = false;
  // The dialog opens with the whole page; only the send itself runs short.
  std::vector<std::wstring> log = SendThroughDialog(opened, 128);
  ASSERT_TRUE(opened);
  ExpectWholePageOrErrorLine(log, enscript);
}

#endif

}  // namespace
