// The converter fed in pieces: every split of an input gives the document and pictures
// of the input converted whole, and the document read back in small pieces is the
// same. Long tokens that reach over the reader's window have their own cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "irun_core.h"
#include "test_support.h"

namespace {

// Hands out `rtf` in pieces of `sizes` (repeated), each in a buffer that is spoilt
// when the next piece is asked for: a reader that kept an earlier piece reads braces.
struct Pieces {
  const std::string& rtf;
  std::vector<size_t> sizes;
  size_t at = 0;
  size_t calls = 0;
  std::string piece;

  static size_t Next(void* context, const char** out) {
    Pieces& self = *static_cast<Pieces*>(context);
    std::fill(self.piece.begin(), self.piece.end(), '{');
    const size_t size =
        std::min(self.sizes[self.calls++ % self.sizes.size()], self.rtf.size() - self.at);
    std::string next = self.rtf.substr(self.at, size);
    self.piece.swap(next);
    self.at += size;
    *out = self.piece.data();
    return size;
  }
};

struct Result {
  bool ok = false;
  std::string html;
  std::vector<irun::Picture> pictures;
};

irun::ConvertOptions KeepPictures() {
  irun::ConvertOptions options;
  options.keepPictures = true;
  return options;
}

Result ConvertWhole(const std::string& rtf) {
  Result result;
  irun::HtmlChunks html;
  irun::ConvertStats stats;
  result.ok = irun::ConvertRtfToChunks(rtf.data(), rtf.size(), KeepPictures(), html, &stats);
  result.html.resize(html.Size());
  html.CopyTo(result.html.data());
  result.pictures = std::move(stats.pictures);
  return result;
}

// Converts `rtf` in pieces and reads the document back `readSize` bytes at a time.
Result ConvertInPieces(const std::string& rtf, const std::vector<size_t>& sizes,
                       size_t readSize) {
  Result result;
  Pieces pieces{rtf, sizes, 0, 0, {}};
  irun::HtmlChunks html;
  irun::ConvertStats stats;
  result.ok = irun::ConvertRtfPiecesToChunks(Pieces::Next, &pieces, KeepPictures(), html, &stats);
  std::string buffer(readSize, '\0');
  while (const size_t copied = html.Read(buffer.data(), readSize)) {
    EXPECT_LE(copied, readSize);
    result.html.append(buffer, 0, copied);
  }
  EXPECT_EQ(html.Read(buffer.data(), readSize), 0u) << "reading goes on after the end";
  result.pictures = std::move(stats.pictures);
  return result;
}

void ExpectSame(const Result& whole, const Result& split, const std::string& where) {
  EXPECT_TRUE(split.ok) << where;
  ASSERT_EQ(split.html.size(), whole.html.size()) << where;
  const auto differ = std::mismatch(whole.html.begin(), whole.html.end(), split.html.begin());
  EXPECT_TRUE(differ.first == whole.html.end())
      << where << ": documents differ from byte " << (differ.first - whole.html.begin());
  ASSERT_EQ(split.pictures.size(), whole.pictures.size()) << where;
  for (size_t i = 0; i < whole.pictures.size(); ++i) {
    const irun::Picture& a = whole.pictures[i];
    const irun::Picture& b = split.pictures[i];
    EXPECT_TRUE(a.name == b.name && a.type == b.type && a.data == b.data &&
                a.pixelWidth == b.pixelWidth && a.goalHeight == b.goalHeight &&
                a.mappingMode == b.mappingMode && a.widthBytes == b.widthBytes)
        << where << ": picture " << i;
  }
}

// Piece sizes and the read size for each split: every boundary of small pieces, pieces
// about the reader's window, and seeded random ones from a byte to a few windows.
struct Split {
  std::vector<size_t> sizes;
  size_t readSize;
};

std::vector<Split> Splits() {
  std::vector<Split> splits = {{{1}, 1},         {{2}, 7},         {{3}, 64},
                               {{7}, 4096},      {{1, 64, 5}, 3},  {{4093}, 65536},
                               {{65535}, 1000},  {{65536}, 65537}, {{65537}, 1 << 20}};
  std::mt19937 random(19);
  for (int i = 0; i < 3; ++i) {
    Split split{{}, 1 + random() % 9000};
    for (int j = 0; j < 50; ++j) split.sizes.push_back(1 + random() % (i == 0 ? 16 : 200000));
    splits.push_back(split);
  }
  return splits;
}

void ExpectEverySplitAsWhole(const std::string& rtf, const std::string& where) {
  const Result whole = ConvertWhole(rtf);
  ASSERT_TRUE(whole.ok) << where;
  for (const Split& split : Splits()) {
    ExpectSame(whole, ConvertInPieces(rtf, split.sizes, split.readSize),
               where + " in pieces of " + std::to_string(split.sizes[0]) + "...");
  }
}

TEST(IrunPieces, TheCorpusGivesTheSameDocumentsAndPicturesHoweverItIsSplit) {
  const std::vector<GoldenCase> cases = AllGoldenCases();
  ASSERT_GE(cases.size(), 60u);
  for (const GoldenCase& c : cases) ExpectEverySplitAsWhole(c.rtf, c.file + ":" + std::to_string(c.line));
  size_t files = 0;
  for (const char* folder : {"pandoc", "office", "highlighter", "../../irun/fuzz/corpus"}) {
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath(folder))) {
      const std::string path = entry.path().string();
      if (entry.path().extension() == ".md" || entry.path().extension() == ".txt") continue;
      ExpectEverySplitAsWhole(ReadFileBytes(path), path);
      ++files;
    }
  }
  EXPECT_GE(files, 60u);
}

// A PNG of `size` bytes whose body holds every byte value, RTF syntax included.
std::string FakePng(size_t size) {
  std::string png("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
  for (size_t i = 0; png.size() < size - 12; ++i) png.push_back(static_cast<char>(i * 7 % 256));
  return png + std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < bytes.size(); ++i) {
    hex += kDigits[static_cast<unsigned char>(bytes[i]) >> 4];
    hex += kDigits[static_cast<unsigned char>(bytes[i]) & 15];
    if (i % 64 == 63) hex += "\r\n";
  }
  return hex;
}

// The text and pictures a reader sees of a document, to compare with a table.
void ExpectSeen(const Result& result, const std::string& visible, const std::string& picture,
                const std::string& where) {
  EXPECT_EQ(VisibleText(result.html), visible) << where;
  ASSERT_EQ(result.pictures.size(), picture.empty() ? 0u : 1u) << where;
  if (picture.empty()) return;
  const std::vector<unsigned char>& data = result.pictures[0].data;
  EXPECT_TRUE(std::equal(picture.begin(), picture.end(), data.begin(), data.end(),
                         [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; }))
      << where << ": picture data";
}

// Tokens that reach over the end of the reader's 64 KB window, and tokens cut off by
// the end of the input. Text before a token moves it over the window's end (the end of
// the first 64 KB, in pieces of that size or copied from smaller ones) at each of its
// first bytes and deep into the long ones; the reader must see what it sees of the
// token alone, and every split of the input must give what the whole gives.
TEST(IrunPieces, TokensOverTheWindowsEndReadAsAWhole) {
  const std::string png = FakePng(200000);
  const std::string letters(10000, 'x'), zeros(10000, '0'), spaces(100000, ' ');
  std::string folded;  // HTML drops leading spaces and folds others: all are no-break
  for (int i = 0; i < 100000; ++i) folded += "\xC2\xA0";
  const std::string kRtf = "{\\rtf1 ";
  const struct {
    const char* name;
    std::string rtf;
    std::string visible;
    std::string picture;
  } cases[] = {
      {"a 10,000-letter control word", kRtf + "a\\" + letters + " b}", "ab\n", ""},
      {"a 10,000-digit parameter", kRtf + "a\\u" + zeros + "66?c}", "aBc\n", ""},
      {"a negative parameter", kRtf + "a\\u-" + zeros + "1?c}", "a\xEF\xBF\xBF" "c\n", ""},
      {"a word and its space", kRtf + "a\\b b\\b0 c}", "abc\n", ""},
      {"\\'hh", kRtf + "a\\'41\\'e9c}", "aA\xC3\xA9" "c\n", ""},
      {"\\u and its fallback", kRtf + "a\\uc3\\u66 xyzc}", "aBc\n", ""},
      {"\\bin of 200,000 bytes", kRtf + "a{\\pict\\pngblip\\bin200000 " + png + "}b}", "ab\n", png},
      {"\\bin cut off by the end", kRtf + "a{\\pict\\pngblip\\bin400000 " + png + "}b}", "a\n", ""},
      {"hex picture data", kRtf + "a{\\pict\\pngblip " + Hex(png) + "}b}", "ab\n", png},
      {"a 200,000-byte text run", kRtf + std::string(200000, 'w') + "}", std::string(200000, 'w') + "\n", ""},
      {"\\' cut off after its digit", kRtf + "a\\'4", "a\n", ""},
      {"\\' cut off before its digits", kRtf + "a\\'", "a\n", ""},
      {"\\' with one digit", kRtf + "a\\'4g}", "ag\n", ""},
      {"{\\rtf after 100,000 spaces", spaces + "{\\rtf1 x}", "x\n", ""},
      {"plain text after 100,000 spaces", spaces + "plain", folded + "plain\n", ""},
      {"plain text that begins like RTF", spaces + "{\\rtx", folded + "{\\rtx\n", ""},
  };
  for (const auto& c : cases) {
    ExpectSeen(ConvertWhole(c.rtf), c.visible, c.picture, c.name);
    ExpectEverySplitAsWhole(c.rtf, c.name);
    if (c.rtf.rfind(kRtf, 0) != 0) continue;
    for (size_t inWindow : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19,
                            20, 24, 32, 100, 5000, 9999}) {
      const std::string filler(65536 - kRtf.size() - inWindow, 'f');
      const std::string rtf = kRtf + filler + c.rtf.substr(kRtf.size());
      // Pieces of a window's size are read where they lie; smaller ones are copied.
      for (size_t pieceSize : {65536, 4096}) {
        ExpectSeen(ConvertInPieces(rtf, {pieceSize}, 65536), filler + c.visible, c.picture,
                   std::string(c.name) + " with " + std::to_string(inWindow) +
                       " bytes in the window, pieces of " + std::to_string(pieceSize));
      }
    }
  }
}

// Output beyond 64 bytes a byte of input stops the reader at the same place however the
// input arrives: two fonts of long names, alternating every four bytes.
TEST(IrunPieces, AnOverlongDocumentStopsAtTheSamePlace) {
  std::string rtf = "{\\rtf1{\\fonttbl{\\f1 " + std::string(300, 'm') + ";}{\\f2 " +
                    std::string(300, 'n') + ";}}";
  const size_t kRuns = 100000;
  for (size_t i = 0; i < kRuns; ++i) rtf += "\\f1a\\f2a";
  rtf += "}";
  const Result whole = ConvertWhole(rtf);
  const std::string visible = VisibleText(whole.html);
  EXPECT_LT(std::count(visible.begin(), visible.end(), 'a'), static_cast<long>(2 * kRuns))
      << "the document was not stopped";
  EXPECT_LE(whole.html.size(), rtf.size() * 64 + (1u << 20) + 65536);
  ExpectEverySplitAsWhole(rtf, "overlong");
}

}  // namespace
