// The pieces of a note that the send operation composes itself.
#include <gtest/gtest.h>

#include "note/send_note.h"

#include <algorithm>
#include "win/module_state.h"

namespace {

TEST(LinkParagraphTest, PiecesStandInTheirPlaces) {
  EXPECT_EQ(LinkParagraph(u"yarrin://n?1", u"C:\\Docs\\a.yar", u"Notes", u"Tuesday 17:42:09",
                          u"Imported from Yarrin by Yarrin2Evernote"),
            u"<p><a href=\"yarrin://n?1\" title=\"C:\\Docs\\a.yar [Notes]\">Notes (Tuesday 17:42:09, "
            u"Imported from Yarrin by Yarrin2Evernote)</a></p>");
}

TEST(LinkParagraphTest, QuotesAndAngleBracketsCannotBreakTheMarkup) {
  WideString paragraph =
      LinkParagraph(u"a\"b&c", u"C:\\Bob's <files>", u"Tom's Q&A <draft>", u"s", u"i");
  EXPECT_EQ(paragraph,
            u"<p><a href=\"a&quot;b&amp;c\" title=\"C:\\Bob&#39;s &lt;files&gt; "
            u"[Tom&#39;s Q&amp;A &lt;draft&gt;]\">Tom&#39;s Q&amp;A &lt;draft&gt; (s, i)</a></p>");
  // Only the paragraph's own markup is left as markup.
  EXPECT_EQ(std::count(paragraph.begin(), paragraph.end(), u'<'), 4);
  EXPECT_EQ(std::count(paragraph.begin(), paragraph.end(), u'"'), 4);
}

TEST(StampTest, LongDateAnd24HourTimeWithoutMarker) {
  SYSTEMTIME evening{2026, 12, 2, 8, 17, 42, 9, 0};
  // English (United States) prefers a 12-hour clock with AM/PM.
  WideString stamp = FormatLocalDateTime(evening, MAKELCID(0x0409, SORT_DEFAULT));
  EXPECT_NE(stamp.find(u"2026"), WideString::npos) << std::string(stamp.begin(), stamp.end());
  EXPECT_NE(stamp.find(u"December"), WideString::npos);
  EXPECT_EQ(stamp.substr(stamp.size() - 8), u"17:42:09");
  EXPECT_EQ(stamp.find(u"PM"), WideString::npos);
}

TEST(StampTest, FailingFormatLeavesItsPartEmpty) {
  SYSTEMTIME invalid{2026, 13, 0, 40, 25, 0, 0, 0};
  EXPECT_EQ(FormatLocalDateTime(invalid, MAKELCID(0x0409, SORT_DEFAULT)), u" ");
}


}  // namespace
