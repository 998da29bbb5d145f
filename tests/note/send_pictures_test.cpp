// Pictures of a page arrive as resources of the note: the send operation with RTF that
// LibreOffice wrote (a PNG, a JPEG and a Windows metafile), through the project's
// converter, to the ENScript stand-in, which keeps the resources' bytes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "evernote/md5.h"
#include "note/send_note.h"
#include "tests/enscript_fixture.h"

namespace {

std::string SampleFile(const char* name) {
  std::ifstream file(std::string(Y2E_OFFICE_SAMPLES) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

int CollectLine(const wchar_t* text, void* context) {
  static_cast<std::vector<std::wstring>*>(context)->push_back(text);
  return 0;
}

uint32_t BigEndian32(const std::string& bytes, size_t at) {
  auto byte = [&](size_t i) { return uint32_t(static_cast<unsigned char>(bytes[at + i])); };
  return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

class SendPicturesTest : public ::testing::Test {
 protected:
  std::vector<StoredNote> Send(const std::string& rtf) {
    SendRequest request;
    request.title = u"Pictures";
    request.ask.pageRtf = [&rtf] { return std::optional<SystemPieces>(SystemPiecesOf(rtf)); };
    request.import.log = {CollectLine, &log};
    SendPage(request);
    return enscript.Notes();
  }

  ScopedEnscript enscript{L"pictures"};
  std::vector<std::wstring> log;
};

TEST_F(SendPicturesTest, PngJpegAndMetafileArriveAsResourcesNamedInTheContent) {
  const std::string png = SampleFile("picture.png");
  const std::string jpeg = SampleFile("picture.jpg");
  ASSERT_FALSE(png.empty());
  auto notes = Send(SampleFile("pictures.rtf"));
  ASSERT_EQ(notes.size(), 1u) << (log.empty() ? "" : std::string(log.back().begin(), log.back().end()));
  const StoredNote& note = notes[0];
  ASSERT_EQ(note.resources.size(), 3u);

  // PNG and JPEG go as they are.
  const StoredResource& first = note.resources[0];
  EXPECT_EQ(first.mime, u"image/png");
  EXPECT_EQ(first.bytes, png);
  EXPECT_EQ(first.hash, WideFromAscii(Md5Hex(png)));
  EXPECT_EQ(first.width, 40);
  EXPECT_EQ(first.height, 30);
  EXPECT_EQ(note.resources[1].mime, u"image/jpeg");
  EXPECT_EQ(note.resources[1].bytes, jpeg);

  // The metafile is drawn as a PNG of its display size.
  const StoredResource& drawn = note.resources[2];
  EXPECT_EQ(drawn.mime, u"image/png");
  ASSERT_GE(drawn.bytes.size(), 24u);
  EXPECT_EQ(drawn.bytes.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
  EXPECT_EQ(static_cast<int>(BigEndian32(drawn.bytes, 16)), drawn.width);
  EXPECT_EQ(static_cast<int>(BigEndian32(drawn.bytes, 20)), drawn.height);
  EXPECT_GT(drawn.width, 10);
  EXPECT_EQ(drawn.fileName, u"_img_3.png");

  // Each picture stands in the content as en-media naming its resource; no image
  // reference is left.
  for (const StoredResource& resource : note.resources) {
    EXPECT_NE(note.content.find(u"<en-media type=\"" + resource.mime + u"\" hash=\"" +
                                resource.hash + u"\""),
              WideString::npos)
        << std::string(resource.hash.begin(), resource.hash.end());
  }
  EXPECT_EQ(note.content.find(u"<img"), WideString::npos);
  EXPECT_NE(note.content.find(u"width=\"40\" height=\"30\"/>"), WideString::npos);
}

// The same picture twice is one resource; a picture too large to draw is left out with
// a line that names it, and the rest of the page still goes.
TEST_F(SendPicturesTest, RepeatedPictureIsOneResourceAndAnUndrawableOneIsLeftOut) {
  // A 2 x 1 DIB: a red and a green pixel.
  const std::string dib =
      "28000000020000000100000001001800000000000800000000000000000000000000000000000000"
      "0000ff00ff000000";
  const std::string picture = "{\\pict\\dibitmap0\\picw2\\pich1 " + dib + "}";
  const std::string huge = "{\\pict\\dibitmap0\\picw2\\pich1\\picwgoal2000000\\pichgoal2000000 " + dib + "}";
  const std::string rtf = "{\\rtf1\\ansi a" + picture + "b" + picture + "c" + huge + "d\\par}";
  auto notes = Send(rtf);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].resources.size(), 1u);
  const WideString& content = notes[0].content;
  size_t first = content.find(u"<en-media");
  ASSERT_NE(first, WideString::npos);
  EXPECT_NE(content.find(u"<en-media", first + 1), WideString::npos) << "one en-media each";
  EXPECT_NE(content.find(u"/>c"), WideString::npos);
  EXPECT_NE(content.find(u"cd"), WideString::npos) << "the undrawable picture goes";
  bool named = false;
  for (const std::wstring& line : log)
    named |= line.rfind(L"Picture _img_3.bmp is left out: ", 0) == 0;
  EXPECT_TRUE(named);
}

// Each kind of picture arrives at the size its RTF gives, in pixels at 96 dpi (a
// metafile's \picw and \pich are 0.01 mm); the converter hands over only bitmap headers
// the drawing takes; a hostile picture is left out with a line, the text around it whole.
TEST_F(SendPicturesTest, PicturesArriveAtTheirRtfSizeOrAreLeftOutWithALine) {
  const std::string wmf =  // a window of 200 x 100 and a rectangle in it
      "010009000003180000000000070000000000050000000c026400c800"
      "070000001b046400c8000000000003000000000000";
  const std::string os2Dib =  // 2 x 1 at 24 bits under OS/2's header of 64 bytes
      "40000000020000000100000001001800000000000800000000000000000000000000000000000000" +
      std::string(48, '0') + "0000ff00ff000000";
  const std::string hugeRle =  // 65536 x 65536 at 8 bits in four bytes of runs
      "2800000000000100000001000100080001000000040000000000000000000000010000000000000000000000"
      "ff000001";
  struct Case {
    const char* what;
    std::string picture;
    int width, height;  // 0: left out
  } cases[] = {
      {"metafile without goal", "\\wmetafile8\\picw10000\\pich5000 " + wmf, 378, 189},
      {"metafile scaled", "\\wmetafile8\\picw10000\\pich5000\\picscalex50 " + wmf, 189, 189},
      {"OS/2 bitmap", "\\dibitmap0 " + os2Dib, 2, 1},
      {"1-bit bitmap", "\\wbitmap0\\picw4\\pich2\\wbmbitspixel1\\wbmplanes1\\wbmwidthbytes2 50 00 a0 00", 4, 2},
      {"hostile run-length bitmap", "\\dibitmap0\\picw100\\pich100 " + hugeRle, 0, 0},
  };
  for (const Case& c : cases) {
    log.clear();
    const size_t before = enscript.Notes().size();
    auto notes = Send("{\\rtf1\\ansi before{\\pict" + c.picture + "}after\\par}");
    ASSERT_EQ(notes.size(), before + 1) << c.what;
    const StoredNote& note = notes.back();
    EXPECT_NE(note.content.find(u"before"), WideString::npos) << c.what;
    EXPECT_NE(note.content.find(u"after"), WideString::npos) << c.what;
    bool reported = false;
    for (const std::wstring& line : log) reported |= line.rfind(L"Picture _img_1.", 0) == 0;
    if (c.width == 0) {
      EXPECT_TRUE(note.resources.empty()) << c.what;
      EXPECT_TRUE(reported) << c.what;
      EXPECT_NE(note.content.find(u"beforeafter"), WideString::npos) << c.what;
      continue;
    }
    EXPECT_FALSE(reported) << c.what;
    ASSERT_EQ(note.resources.size(), 1u) << c.what;
    const StoredResource& drawn = note.resources[0];
    ASSERT_GE(drawn.bytes.size(), 24u) << c.what;
    EXPECT_EQ(static_cast<int>(BigEndian32(drawn.bytes, 16)), c.width) << c.what;
    EXPECT_EQ(static_cast<int>(BigEndian32(drawn.bytes, 20)), c.height) << c.what;
    EXPECT_NE(note.content.find(u" width=\"" + WideNumber(c.width) + u"\" height=\"" +
                                WideNumber(c.height) + u"\"/>"),
              WideString::npos)
        << c.what;
  }
}

}  // namespace
