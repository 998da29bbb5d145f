// The body of a converted document, cut into segments as it arrives: the same body as the
// whole-document clean-up keeps, cut only where no element is open.
#include "convert/body_segments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Segments(const std::string& document, size_t pieceBytes,
                                  size_t segmentBytes) {
  std::vector<std::string> segments;
  BodySegmenter segmenter(segmentBytes,
                          [&](std::string_view segment) { segments.emplace_back(segment); });
  for (size_t at = 0; at < document.size(); at += pieceBytes)
    segmenter.Feed(document.data() + at, std::min(pieceBytes, document.size() - at));
  segmenter.Finish();
  return segments;
}

struct Case {
  const char* name;
  std::string document;
  std::vector<std::string> segments;  // with segments of one byte: cut at every chance
};

const std::string kHead =
    "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html\">\r\n"
    "<!-- made by a converter, <b> and all -->\r\n</head>\r\n";

const Case kCases[] = {
    {"paragraphs",
     kHead + "<body bgcolor=\"#FFFFFF\">\r\n<div>a</div>\r\n<div>b<br>c<img src=\"x\"></div>\r\n"
             "</body>\r\n</html>\r\n",
     {"\r\n", "<div>a</div>\r\n", "<div>b<br>c<img src=\"x\"></div>\r\n"}},
    {"a table holds its lines together",
     "<body>\r\n<table border=\"1\">\r\n<tr><td>x</td></tr>\r\n</table>\r\n<div>y</div>\r\n"
     "</body>",
     {"\r\n", "<table border=\"1\">\r\n<tr><td>x</td></tr>\r\n</table>\r\n", "<div>y</div>\r\n"}},
    {"comments and quoted values hide their > and line ends",
     "<body>\n<!-- a > \n b -->\n<a title=\"x>\ny\" href='>\n'>t</a>\n<br/>\n</body>",
     {"\n", "<!-- a > \n b -->\n", "<a title=\"x>\ny\" href='>\n'>t</a>\n", "<br/>\n"}},
    {"<bodyx> is another element", "<bodyx>no\n<body>\nyes\n</body>", {"\n", "yes\n"}},
    {"the end tag is found as text, also inside a value",
     "<body>\n<a title=\"</body>\">x</a>\n", {"\n", "<a title=\""}},
    {"no body tag: the whole document", "<div>a</div>\n<div>b</div>", {"<div>a</div>\n<div>b</div>"}},
    {"a body never closed runs to the end", "<body>\n<div>a</div>\n<div>b", {"\n", "<div>a</div>\n", "<div>b"}},
    {"stray end tags and a lone <", "<body>\n</i>x < y\n<b>z</b>\n</body>", {"\n", "</i>x < y\n", "<b>z</b>\n"}},
};

TEST(BodySegmenter, CutsOnlyBetweenWholeElementsWhateverThePieces) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    for (size_t piece : {size_t{1}, size_t{2}, size_t{5}, c.document.size()}) {
      SCOPED_TRACE(piece);
      EXPECT_EQ(Segments(c.document, piece, 1), c.segments);
    }
    // Large segments: the same body in one.
    std::string body;
    for (const std::string& segment : c.segments) body += segment;
    EXPECT_EQ(Segments(c.document, 3, 1 << 20), std::vector<std::string>{body});
  }
}

TEST(BodySegmenter, SegmentsGrowToTheirSizeBeforeTheyAreCut) {
  std::string document = "<body>";
  for (int i = 0; i < 1000; ++i) document += "<div>line " + std::to_string(i) + "</div>\n";
  document += "</body>";
  const std::vector<std::string> segments = Segments(document, 4096, 1000);
  ASSERT_GT(segments.size(), 10u);
  std::string joined;
  for (size_t i = 0; i < segments.size(); ++i) {
    if (i + 1 < segments.size()) {
      EXPECT_GE(segments[i].size(), 1000u);
    }
    EXPECT_LT(segments[i].size(), 1100u);
    joined += segments[i];
  }
  EXPECT_EQ(joined, document.substr(6, document.size() - 13));
}

}  // namespace
