// The binding with the project's own converter (irun.dll copied beside this program):
// RTF through the converter and the clean-up to a note body, and on to ENEX.
// The converter ends its lines with CR LF.
#include <windows.h>

#include <gtest/gtest.h>

#include "convert/rtf_to_html.h"
#include "evernote/enex_writer.h"
#include "text/code_pages.h"

namespace {

const char kRtf[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0 Caf\\'e9 bookmark<Intro Part> "
    "see http://x.y/z\\par Q&A}";

TEST(IrunBinding, RtfBecomesNoteBody) {
  WideString html;
  ASSERT_TRUE(ConvertPageToNoteBody(kRtf, html));
  EXPECT_EQ(html,
            u"\r\n<div>Caf&#233; <a name=\"Intro\"><font color=\"orange\">&#8226;</font></a> see "
            u"<a href=\"http://x.y/z\" target=\"_blank\">http://x.y/z</a></div>\r\n"
            u"<div>Q&amp;A</div>\r\n");
  EXPECT_EQ(GetModuleHandleW(L"irun.dll"), nullptr);

  const NoteTime time{2026, 12, 8, 5, 42, 9, 0};
  const ByteString enex =
      BuildEnexDocument(NoteTitle(u"Caf\u00e9 & more"), u"<p>" + html + u"</p>", time, time, u"rtf");
  EXPECT_NE(enex.find("<title>Caf\xC3\xA9 &amp; more</title>"), ByteString::npos);
  EXPECT_NE(enex.find(WideToUtf8(html)), ByteString::npos);
}

TEST(IrunBinding, EmptyRtfStillConverts) {
  WideString html = u"old";
  EXPECT_TRUE(ConvertRtfToHtml("", html));
  EXPECT_NE(html.find(u"<body>"), WideString::npos);
  html = u"old";
  EXPECT_TRUE(ConvertPageToNoteBody("", html));
  EXPECT_EQ(html, u"\r\n");
}

}  // namespace
