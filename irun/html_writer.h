// The HTML writer: blocks (paragraphs, lists, tables), formatting runs and links, in
// the order the reader hands over content.
//
// Structure is opened lazily when content arrives, so nothing empty is written, and
// neighbouring runs of equal format merge. Runs nest in a fixed order of levels: a
// change at one level closes it and every level inside it, then reopens what is on.
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "html_output.h"
#include "irun_types.h"
#include "rtf_document.h"

namespace irun {

// The run levels, outermost first.
enum class RunLevel : uint8_t {
  kLink, kFont, kColor, kBold, kItalic, kUnderline, kStrike, kSuperscript, kSubscript,
};
constexpr size_t kRunLevels = 9;

// The format of a run as one value per level; 0 means the level is off.
struct RunFormat {
  std::array<uint64_t, kRunLevels> value{};
  uint64_t& operator[](RunLevel level) { return value[static_cast<size_t>(level)]; }
  uint64_t operator[](RunLevel level) const { return value[static_cast<size_t>(level)]; }
};

// "#RRGGBB" of a 24-bit colour, written at `text`.
inline void HexColor(int rgb, char (&text)[7]) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  text[0] = '#';
  for (int i = 0; i < 6; ++i) text[1 + i] = kHex[(rgb >> (20 - 4 * i)) & 0xF];
}

// The font-family value of a font table entry: the name without characters that would
// break a style attribute, quoted when it needs it, then the generic family of the
// \fnil..\ftech keyword `family` (0..6).
std::string CssFontFamily(std::u16string_view name, int family);

class HtmlWriter {
 public:
  HtmlWriter(HtmlOutput& out, const ConvertOptions& options, const DocumentTables& tables);
  HtmlWriter(const HtmlWriter&) = delete;
  HtmlWriter& operator=(const HtmlWriter&) = delete;

  void StartDocument();
  // Closes what is open and ends the document.
  void FinishDocument();
  // True once the output has outgrown what any sane document of the `inputRead` bytes
  // read so far makes; the reader then stops.
  bool OverBudget(uint64_t inputRead) { return out_.OverBudget(inputRead); }

  // Before any visible content: the paragraph of `para` (with its table cell and list)
  // and the run of `chr` where they are not open yet.
  void BeginContent(const CharFormat& chr, const ParaFormat& para) {
    if (!paraOpen_) OpenParagraph(para);
    if (formatDirty_) ApplyRunFormat(chr);
    paraHasContent_ = true;
  }
  // The character format may have changed: the next content compares it with the
  // open run.
  void FormatChanged() { formatDirty_ = true; }

  // Text after BeginContent. `text` is bytes 0x20..0x7F and tabs; HTML folds
  // spaces, so the second and later ones of a row are written as no-break spaces.
  void Text(const char* text, size_t size);
  void Character(uint32_t codePoint);
  void LineBreak();
  // Writes the image reference of a picture and returns its name.
  std::string PictureReference(const Picture& picture);
  int PictureCount() const { return pictureCount_; }

  bool ParagraphOpen() const { return paraOpen_; }
  // Ends the paragraph; one that has not begun is written empty. Its look (alignment,
  // indents, spacing, shading) is `para`'s: the last before the paragraph's end wins.
  void EndParagraph(const ParaFormat& para) {
    if (!paraOpen_) {
      OpenParagraph(para);
    } else if (!SameLook(para, paraLook_)) {
      Restyle(para);
    }
    CloseParagraph();
  }
  // Ends the cell of the table `depth` levels deep (1 the outermost), with the look of
  // `para` for the paragraph it ends, or the row.
  void EndCell(int depth, const ParaFormat& para);
  void EndRow(int depth);

 private:
  struct ListLevel {
    bool ordered = false;
    bool itemOpen = false;
  };
  // The body, or one table cell: what paragraphs are written into.
  struct Container {
    std::vector<ListLevel> lists;
    bool hasContent = false;
    bool lastBare = false;  // the last paragraph was written without a wrapper
  };
  struct TableLevel {
    bool rowOpen = false;
    bool cellOpen = false;
    size_t cellIndex = 0;
    std::vector<int> boundaries;  // \cellx of the row, in twips
  };
  enum class ParaKind : uint8_t { kDiv, kItem, kBare };
  // How a run level is written: a fixed start tag, or (when null) one made by `open`.
  struct RunRule {
    const char* start;
    void (HtmlWriter::*open)(uint64_t value);
    const char* end;
  };
  static const RunRule kRunRules[kRunLevels];

  // A paragraph's style, built without the heap: paragraphs open often. Room for
  // every property with the longest numbers.
  class StyleText {
   public:
    void Add(std::string_view text) {
      const size_t n = std::min(text.size(), sizeof data_ - size_);
      std::memcpy(data_ + size_, text.data(), n);
      size_ += n;
    }
    void AddNumber(int value) {
      char digits[12];
      const auto result = std::to_chars(digits, digits + sizeof digits, value);
      Add(std::string_view(digits, static_cast<size_t>(result.ptr - digits)));
    }
    void AddHexColor(int rgb) {
      char text[7];
      HexColor(rgb, text);
      Add(std::string_view(text, sizeof text));
    }
    void DropLast() {
      if (size_ > 0) --size_;
    }
    std::string_view View() const { return std::string_view(data_, size_); }

   private:
    char data_[256];
    size_t size_ = 0;
  };

  int Pixels(int twips) const;
  // The look of a paragraph, each property ending in ";".
  StyleText ParagraphStyle(const ParaFormat& para, bool forItem) const;
  void FinishStyle(StyleText& style) const;
  void WriteStyleAttribute(std::string_view style);
  // The style attribute of the paragraph's box, where Restyle can find it again.
  void WriteParagraphStyle(std::string_view style);
  static bool SameLook(const ParaFormat& a, const ParaFormat& b) {
    return a.align == b.align && a.leftIndent == b.leftIndent &&
           a.rightIndent == b.rightIndent && a.firstIndent == b.firstIndent &&
           a.spaceBefore == b.spaceBefore && a.spaceAfter == b.spaceAfter &&
           a.shading == b.shading;
  }
  void Restyle(const ParaFormat& para);

  void OpenParagraph(const ParaFormat& para);
  // The box of a paragraph outside lists and cells: <div> or <h1>..<h6>.
  void OpenBlock(std::string_view style);
  void CloseBlock();
  void CloseParagraph();
  void StartListItem(Container& container, const ParaFormat& para);
  void CloseListLevel(Container& container);
  void CloseLists(Container& container);
  void EnsureCell(int depth);
  void CloseCell(TableLevel& table);
  void CloseTablesDeeperThan(int depth);

  void WriteSpace();
  void WriteTab();

  RunFormat EffectiveFormat(const CharFormat& chr) const;
  void ApplyRunFormat(const CharFormat& chr);
  void CloseRunsFrom(size_t first);
  void CloseRuns();
  void OpenLink(uint64_t serial);
  void OpenFont(uint64_t value);
  void OpenColor(uint64_t value);
  void WriteHexColor(int rgb);

  HtmlOutput& out_;
  const ConvertOptions& options_;
  const DocumentTables& document_;

  std::vector<Container> containers_;
  std::vector<TableLevel> tables_;
  bool paraOpen_ = false;
  bool paraHasContent_ = false;
  ParaKind paraKind_ = ParaKind::kDiv;
  int heading_ = 0;  // of the open paragraph: 1..6 for <h1>..<h6>, 0 for none
  ParaFormat paraLook_;          // the format the open paragraph's style was written for
  uint64_t paraStyleAt_ = 0;     // the output offset of that style attribute
  size_t paraStyleSize_ = 0;     // and its length (0: none written)
  bool lastSpace_ = true;
  bool formatDirty_ = true;
  RunFormat open_;
  int pictureCount_ = 0;
};

}  // namespace irun
