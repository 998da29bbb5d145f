// RTF written by the rich edit control itself: text and formatting are applied through
// its messages, streamed out as RTF and converted. What a reader sees of the HTML must
// be the text exactly, in every script; a picture pasted into the control must come
// back with its bytes.
#include <windows.h>
#include <richedit.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "irun_core.h"
#include "test_support.h"

namespace {

struct LibraryCloser {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
struct WindowCloser {
  void operator()(HWND window) const { DestroyWindow(window); }
};
using LibraryGuard = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryCloser>;
using WindowGuard = std::unique_ptr<std::remove_pointer_t<HWND>, WindowCloser>;

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned long c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

DWORD CALLBACK CollectRtf(DWORD_PTR cookie, LPBYTE bytes, LONG count, LONG* written) {
  reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<char*>(bytes),
                                                 static_cast<size_t>(count));
  *written = count;
  return 0;
}

class IrunRichEdit : public ::testing::Test {
 protected:
  void SetUp() override {
    // The control's class lives in riched20.dll, which must be loaded explicitly.
    library_.reset(LoadLibraryW(L"riched20.dll"));
    ASSERT_TRUE(library_);
    edit_.reset(CreateWindowExW(0, L"RICHEDIT20W", L"", WS_POPUP | ES_MULTILINE, 0, 0, 600, 400,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(edit_);
  }

  // Paragraphs are separated by "\r", as the control keeps them.
  void SetText(const std::u16string& text) {
    SETTEXTEX set = {ST_DEFAULT, 1200};
    SendMessageW(edit_.get(), EM_SETTEXTEX, reinterpret_cast<WPARAM>(&set),
                 reinterpret_cast<LPARAM>(text.c_str()));
    text_ = text;
    // Wine starts the control in bold 9 pt System; a plain 12 pt font keeps the
    // expected markup about the formatting that the tests apply.
    CHARFORMAT2W plain = {};
    plain.cbSize = sizeof plain;
    plain.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_FACE | CFM_SIZE | CFM_CHARSET;
    plain.yHeight = 240;
    plain.bCharSet = DEFAULT_CHARSET;
    wcscpy(plain.szFaceName, L"Arial");
    ASSERT_TRUE(SendMessageW(edit_.get(), EM_SETCHARFORMAT, SCF_ALL,
                             reinterpret_cast<LPARAM>(&plain)));
  }

  // Applies character effects to the first occurrence of `part`.
  void Format(const std::u16string& part, DWORD mask, DWORD effects, COLORREF color = 0) {
    const size_t at = text_.find(part);
    ASSERT_NE(at, std::u16string::npos);
    SendMessageW(edit_.get(), EM_SETSEL, at, at + part.size());
    CHARFORMAT2W format = {};
    format.cbSize = sizeof format;
    format.dwMask = mask;
    format.dwEffects = effects;
    format.crTextColor = color;
    ASSERT_TRUE(SendMessageW(edit_.get(), EM_SETCHARFORMAT, SCF_SELECTION,
                             reinterpret_cast<LPARAM>(&format)));
  }

  void FormatParagraph(const std::u16string& part, const PARAFORMAT2& format) {
    const size_t at = text_.find(part);
    ASSERT_NE(at, std::u16string::npos);
    SendMessageW(edit_.get(), EM_SETSEL, at, at);
    ASSERT_TRUE(SendMessageW(edit_.get(), EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format)));
  }

  std::string StreamOutRtf() {
    std::string rtf;
    EDITSTREAM stream = {reinterpret_cast<DWORD_PTR>(&rtf), 0, &CollectRtf};
    SendMessageW(edit_.get(), EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    EXPECT_EQ(rtf.compare(0, 5, "{\\rtf"), 0) << rtf;
    return rtf;
  }

  // The text as a reader must see it: one line per paragraph.
  //
  // Wine differs from Windows here: its RTF writer converts each character with
  // best-fit mapping into the document's code page and writes the result when it
  // finds one, so 'Ł' goes out as a plain 'L' and Greek 'ε' as 'e', where Windows
  // writes \u. The check stays exact, against the text Wine's writer really keeps.
  std::string ExpectedText() const {
    std::u16string source = text_;
    if (RunningOnWine()) source = WineWriterText(source);
    std::string text = Utf8(source);
    for (char& c : text) {
      if (c == '\r') c = '\n';
    }
    return text + "\n";
  }

  static bool RunningOnWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  }

  static std::u16string WineWriterText(const std::u16string& text) {
    std::u16string kept;
    for (size_t i = 0; i < text.size(); ++i) {
      const wchar_t c = static_cast<wchar_t>(text[i]);
      char byte[4];
      BOOL lost = FALSE;
      if (c >= 0x80 && !(c >= 0xD800 && c <= 0xDFFF) &&
          WideCharToMultiByte(1252, 0, &c, 1, byte, sizeof byte, nullptr, &lost) == 1 && !lost) {
        wchar_t back = 0;
        MultiByteToWideChar(1252, 0, byte, 1, &back, 1);
        kept.push_back(static_cast<char16_t>(back));
      } else {
        kept.push_back(text[i]);
      }
    }
    return kept;
  }

  LibraryGuard library_;
  WindowGuard edit_;
  std::u16string text_;
};

const std::u16string kScripts[] = {
    u"Latin: The quick brown fox; na\u00EFve caf\u00E9, \u00C6r\u00F8sk\u00F8bing, \u0141\u00F3d\u017A.",
    u"Cyrillic: \u0421\u044A\u0435\u0448\u044C \u0436\u0435 \u0435\u0449\u0451 \u044D\u0442\u0438\u0445 "
    u"\u043C\u044F\u0433\u043A\u0438\u0445 \u0431\u0443\u043B\u043E\u043A.",
    u"Greek: \u039E\u03B5\u03C3\u03BA\u03B5\u03C0\u03AC\u03B6\u03C9 \u03C4\u03B7\u03BD "
    u"\u03C8\u03C5\u03C7\u03BF\u03C6\u03B8\u03CC\u03C1\u03B1.",
    u"CJK: \u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8\u3001\u4E2D\u6587\u6587\u672C\uFF0C"
    u"\uD55C\uAD6D\uC5B4 \uD14D\uC2A4\uD2B8.",
    u"Emoji: \U0001F600 \U0001F389 \U0001F44D\U0001F3FD \U0001F1E9\U0001F1EA family "
    u"\U0001F468\u200D\U0001F469\u200D\U0001F467.",
};

TEST_F(IrunRichEdit, EachScriptSurvivesTheRoundTrip) {
  for (const std::u16string& sample : kScripts) {
    SetText(sample);
    const std::string html = ConvertForTest(StreamOutRtf());
    EXPECT_EQ(VisibleText(html), ExpectedText()) << html;
  }
}

TEST_F(IrunRichEdit, FormattedMixedScriptsKeepTextAndFormatting) {
  std::u16string all;
  for (const std::u16string& sample : kScripts) all += (all.empty() ? u"" : u"\r") + sample;
  SetText(all);
  Format(u"quick", CFM_BOLD, CFE_BOLD);
  Format(u"\u0436\u0435", CFM_ITALIC, CFE_ITALIC);
  Format(u"\u044D\u0442\u0438\u0445", CFM_UNDERLINE, CFE_UNDERLINE);
  Format(u"\u4E2D\u6587", CFM_COLOR, 0, RGB(255, 0, 0));
  Format(u"\U0001F389", CFM_BOLD, CFE_BOLD);
  PARAFORMAT2 centre = {};
  centre.cbSize = sizeof centre;
  centre.dwMask = PFM_ALIGNMENT;
  centre.wAlignment = PFA_CENTER;
  FormatParagraph(u"Greek", centre);
  const std::string rtf = StreamOutRtf();
  const std::string html = ConvertForTest(rtf);
  EXPECT_EQ(VisibleText(html), ExpectedText()) << rtf << "\n" << html;
  const std::string body = BodyOf(html);
  for (const char* piece : {"<b>quick</b>", "<i>&#1078;&#1077;</i>", "<u>&#1101;&#1090;&#1080;&#1093;</u>",
                            "color:#FF0000\">&#20013;&#25991;</span>", "<b>&#127881;</b>",
                            // the rich edit's font, its default one, is written too
                            "<div style=\"text-align:center;font-family:Arial\">Greek:"}) {
    EXPECT_NE(body.find(piece), std::string::npos) << piece << "\n" << rtf << "\n" << body;
  }
}

TEST_F(IrunRichEdit, BulletedParagraphsBecomeAList) {
  SetText(u"Before\rFirst point\rSecond point\rAfter");
  PARAFORMAT2 bullet = {};
  bullet.cbSize = sizeof bullet;
  bullet.dwMask = PFM_NUMBERING;
  bullet.wNumbering = PFN_BULLET;
  FormatParagraph(u"First", bullet);
  FormatParagraph(u"Second", bullet);
  const std::string rtf = StreamOutRtf();
  const std::string html = ConvertForTest(rtf);
  EXPECT_EQ(VisibleText(html), ExpectedText()) << rtf << "\n" << html;
  EXPECT_NE(BodyOf(html).find("<ul>\n<li style=\"font-family:Arial\">First point</li>\n"
                             "<li style=\"font-family:Arial\">Second point</li>\n</ul>"),
            std::string::npos)
      << rtf << "\n" << html;
}

struct MetafileCloser {
  void operator()(HENHMETAFILE metafile) const { DeleteEnhMetaFile(metafile); }
};
using MetafileGuard = std::unique_ptr<std::remove_pointer_t<HENHMETAFILE>, MetafileCloser>;

// A picture as a drawing program would hand it over: an enhanced metafile of a red
// rectangle with an ellipse in it.
MetafileGuard DrawMetafile() {
  HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
  if (!dc) return MetafileGuard();
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HGDIOBJ old = SelectObject(dc, red);
  Rectangle(dc, 0, 0, 120, 80);
  Ellipse(dc, 20, 10, 100, 70);
  SelectObject(dc, old);
  DeleteObject(red);
  return MetafileGuard(CloseEnhMetaFile(dc));
}

std::string MetafileBytes(HENHMETAFILE metafile) {
  std::string bytes(GetEnhMetaFileBits(metafile, 0, nullptr), '\0');
  GetEnhMetaFileBits(metafile, static_cast<UINT>(bytes.size()), reinterpret_cast<BYTE*>(&bytes[0]));
  return bytes;
}

TEST_F(IrunRichEdit, APastedPictureComesBackWithItsBytes) {
  SetText(u"Before  after");
  const MetafileGuard metafile = DrawMetafile();
  ASSERT_TRUE(metafile);
  const std::string expected = MetafileBytes(metafile.get());
  ASSERT_GT(expected.size(), 88u);
  // Pasted between the two words, as a user would: the clipboard takes its own copy.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const bool placed = SetClipboardData(CF_ENHMETAFILE, CopyEnhMetaFileW(metafile.get(), nullptr));
  CloseClipboard();
  ASSERT_TRUE(placed);
  SendMessageW(edit_.get(), EM_SETSEL, 7, 7);
  SendMessageW(edit_.get(), WM_PASTE, 0, 0);

  const std::string rtf = StreamOutRtf();
  irun::ConvertOptions options;
  options.keepPictures = true;
  irun::ConvertStats stats;
  const std::string html = ConvertForTest(rtf, options, &stats);
  ASSERT_EQ(stats.pictures.size(), 1u) << rtf.substr(0, 2000);
  const irun::Picture& picture = stats.pictures[0];
  EXPECT_EQ(picture.type, irun::PictureType::kEmf);
  EXPECT_EQ(picture.name, "_img_1.emf");
  EXPECT_EQ(std::string(picture.data.begin(), picture.data.end()), expected);
  // The writer gives the picture's size; a pasted picture has no goal size in Wine.
  EXPECT_GT(picture.pixelWidth, 0);
  EXPECT_GT(picture.pixelHeight, 0);
  EXPECT_NE(BodyOf(html).find("Before <img src=\"_img_1.emf\""), std::string::npos) << html;
}

}  // namespace
