// Picture data handed to the caller: each format as RTF holds it, hex or \bin, with its
// sizes; broken or cut-off data gives no picture and changes nothing in the document.
// RTF written by LibreOffice (make_office_samples.sh) must give back the very bytes of
// the pictures it was made from.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "irun_core.h"
#include "test_support.h"

namespace {

using Bytes = std::string;

void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
}
void Put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<char>(v));
  b.push_back(static_cast<char>(v >> 8));
}

// The smallest pictures of each layout the converter checks.
Bytes Png() {
  return Bytes("\x89PNG\r\n\x1A\n", 8) + Bytes("\0\0\0\x0DIHDR", 8) +
         Bytes("\0\0\0\x02\0\0\0\x03\x08\x06\0\0\0", 13) + "CRC!" +
         Bytes("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
}
Bytes Jpeg() { return Bytes("\xFF\xD8\xFF\xE0\0\x10JFIF\0\xFF\xD9", 14); }
Bytes Emf(uint32_t declaredSize = 108, uint32_t signature = 0x464D4520) {
  Bytes b;
  Put32(b, 1);   // EMR_HEADER
  Put32(b, 88);  // its size
  b.append(32, '\0');  // bounds and frame
  Put32(b, signature);
  Put32(b, 0x10000);  // version
  Put32(b, declaredSize);
  Put32(b, 2);  // records
  b.append(88 - b.size(), '\0');
  Put32(b, 14);  // EMR_EOF
  Put32(b, 20);
  b.append(12, '\0');
  return b;
}
Bytes Wmf(uint32_t declaredWords = 12) {
  Bytes b;
  Put16(b, 1);       // memory metafile
  Put16(b, 9);       // header words
  Put16(b, 0x0300);  // version
  Put32(b, declaredWords);
  Put16(b, 0);
  Put32(b, 3);
  Put16(b, 0);
  Put32(b, 3);  // the end record
  Put16(b, 0);
  return b;
}
Bytes Dib(uint32_t headerSize = 40) {
  Bytes b;
  Put32(b, headerSize);
  Put32(b, 1);   // width
  Put32(b, 1);   // height
  Put16(b, 1);   // planes
  Put16(b, 24);  // bits per pixel
  b.append(24, '\0');
  b.append("\x10\x20\x30\0", 4);  // one pixel
  return b;
}

std::string Hex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
    if (i % 32 == 31) hex += "\r\n";  // as writers break their lines
  }
  return hex;
}

std::vector<irun::Picture> Pictures(const std::string& rtf, irun::ConvertStats* statsOut = nullptr) {
  irun::ConvertOptions options;
  options.keepPictures = true;
  irun::ConvertStats stats;
  const std::string html = ConvertForTest(rtf, options, &stats);
  // The document is the same whether pictures are kept or not.
  EXPECT_EQ(html, ConvertForTest(rtf)) << rtf;
  for (const irun::Picture& picture : stats.pictures) {
    EXPECT_NE(html.find("<img src=\"" + picture.name + "\""), std::string::npos) << picture.name;
  }
  if (statsOut) *statsOut = stats;
  return stats.pictures;
}

Bytes Data(const irun::Picture& picture) { return Bytes(picture.data.begin(), picture.data.end()); }

TEST(IrunPictures, EachFormatIsHandedOverWithItsBytes) {
  struct Case {
    const char* keyword;
    Bytes bytes;
    irun::PictureType type;
    const char* name;
  };
  const Case cases[] = {
      {"\\pngblip", Png(), irun::PictureType::kPng, "_img_1.png"},
      {"\\jpegblip", Jpeg(), irun::PictureType::kJpeg, "_img_1.jpg"},
      {"\\emfblip", Emf(), irun::PictureType::kEmf, "_img_1.emf"},
      {"\\wmetafile8", Wmf(), irun::PictureType::kWmf, "_img_1.wmf"},
      {"\\dibitmap0", Dib(), irun::PictureType::kDib, "_img_1.bmp"},
      {"\\wbitmap0\\wbmbitspixel1\\wbmplanes1\\wbmwidthbytes2", Bytes("\xF0\x0F", 2),
       irun::PictureType::kBitmap, "_img_1.bmp"},
      {"\\macpict", Bytes("\x01\x02\x03", 3), irun::PictureType::kOther, "_img_1.png"},
  };
  for (const Case& c : cases) {
    // Hex digits in either case, with line breaks, and the same bytes after \bin.
    std::string upper = Hex(c.bytes);
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    for (const std::string& data :
         {Hex(c.bytes), upper, "\\bin" + std::to_string(c.bytes.size()) + " " + c.bytes}) {
      const std::vector<irun::Picture> pictures =
          Pictures("{\\rtf1 a{\\pict" + std::string(c.keyword) + "\r\n" + data + "}b\\par}");
      ASSERT_EQ(pictures.size(), 1u) << c.keyword;
      EXPECT_EQ(pictures[0].name, c.name);
      EXPECT_EQ(pictures[0].type, c.type) << c.keyword;
      EXPECT_EQ(Data(pictures[0]), c.bytes) << c.keyword;
    }
  }
}

TEST(IrunPictures, SizesScalesAndMappingModeComeFromTheRtf) {
  const std::vector<irun::Picture> pictures = Pictures(
      "{\\rtf1{\\pict\\wmetafile8\\picw96\\pich72\\picwgoal1440\\pichgoal1080\\picscalex50"
      "\\picscaley200 " + Hex(Wmf()) + "}{\\pict\\pngblip " + Hex(Png()) +
      "}{\\pict\\wbitmap0\\wbmbitspixel4\\wbmplanes1\\wbmwidthbytes6 " + Hex(Bytes(12, 'x')) +
      "}}");
  ASSERT_EQ(pictures.size(), 3u);
  // A device-dependent bitmap's depth, planes and row length.
  EXPECT_EQ(pictures[2].bitsPerPixel, 4);
  EXPECT_EQ(pictures[2].planes, 1);
  EXPECT_EQ(pictures[2].widthBytes, 6);
  const irun::Picture& wmf = pictures[0];
  EXPECT_EQ(wmf.name, "_img_1.wmf");
  EXPECT_EQ(wmf.pixelWidth, 96);
  EXPECT_EQ(wmf.pixelHeight, 72);
  EXPECT_EQ(wmf.goalWidth, 1440);
  EXPECT_EQ(wmf.goalHeight, 1080);
  EXPECT_EQ(wmf.scaleX, 50);
  EXPECT_EQ(wmf.scaleY, 200);
  EXPECT_EQ(wmf.mappingMode, 8);
  // What the RTF leaves out stays at its defaults.
  const irun::Picture& png = pictures[1];
  EXPECT_EQ(png.name, "_img_2.png");
  EXPECT_EQ(png.pixelWidth, 0);
  EXPECT_EQ(png.goalHeight, 0);
  EXPECT_EQ(png.scaleX, 100);
  EXPECT_EQ(png.mappingMode, 0);
  EXPECT_EQ(png.bitsPerPixel, 0);
  EXPECT_EQ(png.widthBytes, 0);
}

TEST(IrunPictures, BrokenOrCutOffDataGivesNoPictureButKeepsTheReference) {
  const std::string png = Hex(Png());
  const struct {
    const char* what;
    std::string rtf;
  } cases[] = {
      {"an odd number of digits", "{\\pict\\pngblip " + png + "0}"},
      {"a stray character", "{\\pict\\pngblip " + png.substr(0, 20) + "zz" + png.substr(20) + "}"},
      {"a PNG without its end", "{\\pict\\pngblip " + Hex(Png().substr(0, 40)) + "}"},
      {"a JPEG without its end", "{\\pict\\jpegblip " + Hex(Jpeg().substr(0, 10)) + "}"},
      {"a JPEG named a PNG", "{\\pict\\pngblip " + Hex(Jpeg()) + "}"},
      {"an EMF shorter than it says", "{\\pict\\emfblip " + Hex(Emf(400)) + "}"},
      {"an EMF without its signature", "{\\pict\\emfblip " + Hex(Emf(108, 0x12345678)) + "}"},
      {"a metafile shorter than it says", "{\\pict\\wmetafile8 " + Hex(Wmf(40)) + "}"},
      {"a DIB of no known header size", "{\\pict\\dibitmap0 " + Hex(Dib(41)) + "}"},
      {"no data", "{\\pict\\pngblip}"},
      {"a \\bin between two digits", "{\\pict\\pngblip 8\\bin1 x9}"},
  };
  for (const auto& c : cases) {
    irun::ConvertStats stats;
    EXPECT_TRUE(Pictures("{\\rtf1 a" + c.rtf + "b\\par}", &stats).empty()) << c.what;
    EXPECT_EQ(stats.pictureCount, 1) << c.what;
  }
}

TEST(IrunPictures, OnlyPicturesThatAreShownAreHandedOver) {
  const std::string png = Hex(Png());
  // Word's pair: the shape picture is used, its alternative skipped; hidden text and a
  // document cut off inside the picture (a \bin past the end) give nothing.
  std::vector<irun::Picture> pictures = Pictures(
      "{\\rtf1{\\*\\shppict{\\pict\\pngblip " + png + "}}{\\nonshppict{\\pict\\wmetafile8 " +
      Hex(Wmf()) + "}}{\\v{\\pict\\pngblip " + png + "}}\\par}");
  ASSERT_EQ(pictures.size(), 1u);
  EXPECT_EQ(pictures[0].type, irun::PictureType::kPng);
  irun::ConvertStats stats;
  EXPECT_TRUE(Pictures("{\\rtf1 a{\\pict\\pngblip\\bin100 " + Png(), &stats).empty());
  EXPECT_EQ(stats.pictureCount, 0);
  // Without keepPictures nothing is collected.
  const std::string rtf = "{\\rtf1{\\pict\\pngblip " + png + "}}";
  EXPECT_TRUE(ConvertForTest(rtf).find("_img_1.png") != std::string::npos);
  irun::ConvertStats plain;
  ConvertForTest(rtf, irun::ConvertOptions(), &plain);
  EXPECT_TRUE(plain.pictures.empty());
}

// Width and height of a PNG, from its header chunk.
std::pair<uint32_t, uint32_t> PngSize(const Bytes& png) {
  auto big32 = [&](size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(png.at(at + i));
    return v;
  };
  return {big32(16), big32(20)};
}

TEST(IrunPictures, LibreOfficeDocumentGivesBackTheBytesOfItsPictures) {
  const std::vector<irun::Picture> pictures =
      Pictures(ReadFileBytes(TestDataPath("office/pictures.rtf")));
  ASSERT_EQ(pictures.size(), 3u);
  const Bytes png = Data(pictures[0]);
  EXPECT_EQ(pictures[0].name, "_img_1.png");
  EXPECT_EQ(png, ReadFileBytes(TestDataPath("office/picture.png")));
  EXPECT_EQ(PngSize(png), std::make_pair(40u, 30u));
  EXPECT_EQ(pictures[1].name, "_img_2.jpg");
  EXPECT_EQ(Data(pictures[1]), ReadFileBytes(TestDataPath("office/picture.jpg")));
  // The metafile's file has a 22-byte placeable header that RTF leaves out.
  EXPECT_EQ(pictures[2].name, "_img_3.wmf");
  EXPECT_EQ(pictures[2].type, irun::PictureType::kWmf);
  EXPECT_EQ(Data(pictures[2]), ReadFileBytes(TestDataPath("office/picture.wmf")).substr(22));
}

}  // namespace
