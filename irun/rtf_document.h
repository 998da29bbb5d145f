// What the RTF reader knows of the document and the HTML writer reads: the character
// and paragraph formats of the text, and the tables that formats refer to by number
// (fonts, colours, heading styles, open fields, the current row's cells).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "irun_types.h"

namespace irun {

constexpr int kMaxTableDepth = 8;  // \itap beyond this is taken as this
constexpr int kMaxListLevel = 8;   // \ilvl 0..8 as Word writes them
constexpr int kHeadingLevels = 6;  // <h1> to <h6>

enum class Align : uint8_t { kLeft, kCenter, kRight, kJustify };
enum class ListKind : uint8_t { kNone, kBullet, kOrdered };

struct CharFormat {
  int font = -1;
  int halfPoints = 24;
  int color = 0;
  int background = 0;
  int link = 0;  // serial number of the hyperlink field whose result this is
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  bool hidden = false;
  int8_t vertical = 0;  // 1 superscript, -1 subscript
};

struct ParaFormat {
  Align align = Align::kLeft;
  int leftIndent = 0;  // twips, as are the other lengths
  int rightIndent = 0;
  int firstIndent = 0;
  int spaceBefore = 0;
  int spaceAfter = 0;
  int tableDepth = 0;
  ListKind list = ListKind::kNone;
  int listLevel = 0;
  int listStart = 1;
  int heading = 0;  // 1..6: the paragraph is that level's heading; 0 it is none
  int listStyle = 0;  // \ls: the list override whose level kinds the list table gives
  int shading = 0;    // \cbpat: the colour table index of the background, 0 for none
};

struct FontInfo {
  unsigned codePage = 0;  // 0: the document's
  std::string css;        // font-family value, ready to write
};

// A field being read. Fields nest; the innermost is last.
struct Field {
  std::u16string instruction;
  std::u16string target;  // a usable HYPERLINK's address, without control characters
  int serial = 0;
  bool hasResult = false;  // \fldrslt was read
};

class DocumentTables {
 public:
  DocumentTables() = default;
  DocumentTables(const DocumentTables&) = delete;
  DocumentTables& operator=(const DocumentTables&) = delete;

  // The entry of font `number`, or null when the font table has none.
  const FontInfo* FindFont(int number) const {
    if (number >= 0 && number < kFontSlots) return fontSlots_[static_cast<size_t>(number)];
    auto found = fonts_.find(number);
    return found == fonts_.end() ? nullptr : &found->second;
  }
  // A new or redefined font entry, emptied.
  FontInfo& DefineFont(int number) {
    FontInfo& font = fonts_[number];
    if (number >= 0 && number < kFontSlots) fontSlots_[static_cast<size_t>(number)] = &font;
    font = FontInfo();
    return font;
  }

  // RGB of colour `index`, or -1 for the automatic colour (index 0, unset or unknown).
  int ColorAt(int index) const {
    if (index <= 0 || static_cast<size_t>(index) >= colors.size()) return -1;
    return colors[static_cast<size_t>(index)];
  }

  // The link target of the open field with `serial`, or null.
  const Field* FindField(int serial) const {
    for (const Field& field : fields) {
      if (field.serial == serial) return &field;
    }
    return nullptr;
  }

  // The heading level (1..6) of paragraph style `number`, or 0.
  int HeadingOfStyle(int number) const {
    auto found = headingStyles.find(number);
    return found == headingStyles.end() ? 0 : found->second;
  }

  int defaultFont = 0;
  std::unordered_map<int, int> headingStyles;  // \s number -> level, headings only
  std::vector<int> colors;        // RGB, -1 for an entry without colour words
  std::vector<Field> fields;      // the fields open at the reading position
  std::vector<int> rowCells;      // \cellx of the last row definition, in twips

 private:
  std::unordered_map<int, FontInfo> fonts_;  // never erased: pointers into it stay valid
  static constexpr int kFontSlots = 256;
  std::array<const FontInfo*, kFontSlots> fontSlots_{};  // fonts_ by the usual small numbers
};

}  // namespace irun
