// The binding with the project's own converter (irun.dll copied beside this program):
// RTF through the converter and the clean-up to a note body, and on to ENEX.
// The converter ends its lines with CR LF.
#include <windows.h>

#include <gtest/gtest.h>

#include "cleanup/enml_pass.h"
#include "convert/rtf_to_html.h"
#include "evernote/enex_writer.h"

namespace {

const char kRtf[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0 Caf\\'e9 bookmark<Intro Part> "
    "see http://x.y/z\\par Q&A}";

// The page's note body, as the send makes it.
std::string NoteBody(std::string_view rtf) {
  WideString failure;
  std::optional<ConvertedPage> page = ConvertPage(rtf, failure);
  EXPECT_TRUE(page) << std::string(failure.begin(), failure.end());
  if (!page) return "(not converted)";
  EnmlOptions options;
  options.wholeDocument = options.bookmarks = options.addresses = true;
  options.outerDepth = 1;
  std::string body;
  EnmlPass pass(options, [&body](std::string_view bytes) {
    body.append(bytes.data(), bytes.size());
    return true;
  });
  EXPECT_TRUE(page->ReadDocument([&pass](std::string_view bytes) { return pass.Feed(bytes); },
                                 failure));
  pass.Finish();
  return body;
}

TEST(IrunBinding, RtfBecomesNoteBody) {
  const std::string body = NoteBody(kRtf);
  EXPECT_EQ(body,
            "\r\n<div style=\"font-family:Arial\">Caf\xC3\xA9 <a name=\"Intro\"><font "
            "color=\"orange\">\xE2\x80\xA2</font></a> see <a href=\"http://x.y/z\" "
            "target=\"_blank\">http://x.y/z</a></div>\r\n<div style=\"font-family:Arial\">Q&amp;A</div>\r\n");
  EXPECT_EQ(GetModuleHandleW(L"irun.dll"), nullptr);

  const NoteTime time{2026, 12, 8, 5, 42, 9, 0};
  const ByteString enex =
      BuildEnexDocument(NoteTitle(u"Caf\u00e9 & more"), {"<p>" + body + "</p>"}, time, time, u"rtf");
  EXPECT_NE(enex.find("<title>Caf\xC3\xA9 &amp; more</title>"), ByteString::npos);
  EXPECT_NE(enex.find(body), ByteString::npos);
}

TEST(IrunBinding, EmptyRtfStillConverts) {
  EXPECT_EQ(NoteBody(""), "\r\n");
  EXPECT_EQ(GetModuleHandleW(L"irun.dll"), nullptr);
}

}  // namespace
