// irun.dll's four calls on a document of several megabytes. The 64-bit build keeps the
// HTML as the reference; the 32-bit DLL, called through a frame that checks the stack
// and the callee-saved registers, must hand out the very same bytes.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "irun/irun.h"
#include "tests/enscript_fixture.h"
#include "testbed/support/irun_library.h"
#if !defined(_WIN64)
#include "tests/win32/checked_call.h"
#endif

namespace {

// RTF of at least `bytes` bytes using what the converter handles: fonts of two code
// pages, colours, sizes, character formats, hexadecimal and Unicode characters, HTML
// specials, table rows and small pictures. Counts the pictures.
std::string LargeDocument(size_t bytes, int& pictures) {
  std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
      "{\\f1\\froman\\fcharset204 Times New Roman;}{\\f2\\fmodern Courier New;}}"
      "{\\colortbl ;\\red200\\green0\\blue0;\\red0\\green0\\blue160;}\\pard\\plain ";
  pictures = 0;
  char paragraph[400];
  for (int i = 0; rtf.size() < bytes; ++i) {
    std::snprintf(paragraph, sizeof(paragraph),
                  "{\\f%d\\fs%d\\cf%d Paragraph %d: \\b bold\\b0 , \\i italic\\i0 , \\ul under\\ul0 , "
                  "caf\\'e9 \\u1046? & <tag> \"quoted\" https://example.org/p%d}\\par ",
                  i % 3, 16 + 2 * (i % 8), i % 3, i, i);
    rtf += paragraph;
    if (i % 40 == 39) {
      std::snprintf(paragraph, sizeof(paragraph),
                    "\\trowd\\trgaph108\\cellx2000\\cellx4000\\pard\\intbl A%d\\cell B%d\\cell\\row\\pard ",
                    i, i);
      rtf += paragraph;
    }
    if (i % 50 == 49) {
      rtf += "{\\pict\\pngblip\\picw1\\pich1 89504e470d0a1a0a0000000d49484452}";
      ++pictures;
    }
  }
  return rtf + "}";
}

#if defined(_WIN64)
int32_t Open(const IrunLibrary& irun) { return irun.open(); }
int32_t Convert(const IrunLibrary& irun, int32_t session, const std::string& rtf, int32_t* size,
                int32_t* objects) {
  return irun.convert(session, rtf.data(), static_cast<int32_t>(rtf.size()), size, objects, 16,
                      "FFFFFF", 0, 96);
}
int32_t GetBody(const IrunLibrary& irun, int32_t session, char* body) {
  return irun.getBody(session, body);
}
int32_t Close(const IrunLibrary& irun, int32_t session) { return irun.close(session); }
#else
// Each call goes through the checking frame, as from a 32-bit host.
int32_t Checked(const void* function, std::initializer_list<uint32_t> args, const char* name) {
  CallRecord record;
  int32_t result = CallChecked(function, args, record);
  EXPECT_EQ(record.stackLeft, 0) << name << ": arguments left on the stack";
  EXPECT_TRUE(record.registersKept) << name << ": EBX, ESI or EDI changed";
  return result;
}
int32_t Open(const IrunLibrary& irun) {
  return Checked(reinterpret_cast<const void*>(irun.open), {}, "EXBufferOpenSession");
}
int32_t Convert(const IrunLibrary& irun, int32_t session, const std::string& rtf, int32_t* size,
                int32_t* objects) {
  return Checked(reinterpret_cast<const void*>(irun.convert),
                 {static_cast<uint32_t>(session), Slot(rtf.data()), static_cast<uint32_t>(rtf.size()),
                  Slot(size), Slot(objects), 16, Slot("FFFFFF"), 0, 96},
                 "EXBufferConvert");
}
int32_t GetBody(const IrunLibrary& irun, int32_t session, char* body) {
  return Checked(reinterpret_cast<const void*>(irun.getBody),
                 {static_cast<uint32_t>(session), Slot(body)}, "EXBufferGetBody");
}
int32_t Close(const IrunLibrary& irun, int32_t session) {
  return Checked(reinterpret_cast<const void*>(irun.close), {static_cast<uint32_t>(session)},
                 "EXBufferCloseSession");
}
#endif

TEST(Irun32, FourCallsOnADocumentOfSeveralMegabytes) {
  const IrunLibrary irun(ProgramFolder() + L"irun.dll");  // beside it, as beside a host
  ASSERT_TRUE(irun.HasConversion()) << "irun.dll did not load";
  int pictures = 0;
  const std::string rtf = LargeDocument(12u << 20, pictures);

  int32_t session = Open(irun);
  ASSERT_NE(session, 0);
  int32_t size = -1, objects = -1;
  ASSERT_EQ(Convert(irun, session, rtf, &size, &objects), IRUN_OK);
  EXPECT_EQ(objects, pictures);
  ASSERT_GT(size, 0);
  // The body fills exactly `size` bytes of a buffer with guard bytes behind it.
  std::vector<char> buffer(static_cast<size_t>(size) + 1 + 64, '\x7F');
  std::fill(buffer.begin(), buffer.begin() + size + 1, '\0');
  EXPECT_EQ(GetBody(irun, session, buffer.data()), IRUN_OK);
  EXPECT_EQ(std::string(buffer.begin() + size, buffer.end()), '\0' + std::string(64, '\x7F'));
  EXPECT_EQ(Close(irun, session), IRUN_OK);
  EXPECT_EQ(Close(irun, session), IRUN_ERROR_SESSION);
  const std::string body(buffer.data(), static_cast<size_t>(size));

  const std::string folder = Y2E_REFERENCE_DIR;
  std::wstring reference = L"Z:" + std::wstring(folder.begin(), folder.end()) + L"\\irun32-document.html";
#if defined(_WIN64)
  CreateDirectoryW((L"Z:" + std::wstring(folder.begin(), folder.end())).c_str(), nullptr);
  WriteFileBytes(reference, body);
  EXPECT_EQ(ReadFileBytes(reference).size(), body.size()) << "cannot keep the reference in " << folder;
#else
  const std::string expected = ReadFileBytes(reference);
  ASSERT_FALSE(expected.empty()) << "no reference HTML in " << folder
                                 << ": run the 64-bit build's irun32_reference first";
  ASSERT_EQ(body.size(), expected.size());
  size_t at = 0;
  while (at < body.size() && body[at] == expected[at]) ++at;
  EXPECT_EQ(at, body.size()) << "first difference: 64-bit \"" << expected.substr(at, 80)
                             << "\", 32-bit \"" << body.substr(at, 80) << "\"";
#endif
}

}  // namespace
