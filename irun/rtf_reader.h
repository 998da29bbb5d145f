// The RTF reader: control words, groups and destinations, the character and paragraph
// state of the text, and the font, colour and field tables. Content goes to the HTML
// writer as it is read, in one pass over the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "code_page.h"
#include "html_writer.h"
#include "picture_data.h"
#include "rtf_input.h"
#include "rtf_document.h"
#include "rtf_keywords.h"

namespace irun {

class RtfReader {
 public:
  // Reads its input piece by piece through read(context, ...). The reader fills
  // `document`, which `writer` reads, and when `pictures` is given, adds the pictures
  // whose data is sound to it.
  RtfReader(InputReader read, void* context, DocumentTables& document, HtmlWriter& writer,
            std::vector<Picture>* pictures);
  RtfReader(const RtfReader&) = delete;
  RtfReader& operator=(const RtfReader&) = delete;

  // Reads the whole input: as RTF when it begins with "{\rtf" (after white space),
  // else as plain text in the default code page.
  void Read();

 private:
  static constexpr int kMaxGroupDepth = 1000;  // deeper groups are read but their content dropped
  static constexpr size_t kMaxFieldInstruction = 2048;
  static constexpr size_t kMaxFontName = 256;
  static constexpr size_t kMaxStyleName = 64;  // enough for "heading N" and the first aliases
  static constexpr int kMaxTwips = 31680;      // 22 inches: larger indents are nonsense

  static int ClampTwips(int value) {
    return value < -kMaxTwips ? -kMaxTwips : value > kMaxTwips ? kMaxTwips : value;
  }
  // Braces, backslashes and line ends interrupt text.
  static bool IsSpecial(unsigned char c) {
    return c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n' || c == 0;
  }

  enum class Dest : uint8_t {
    kText,            // visible text
    kSkip,            // read and dropped
    kFontTable,       // font names and charsets
    kStyleSheet,      // style names and the control words that make a style a heading
    kColorTable,      // colour entries
    kFieldInst,       // a field's instruction, kept for HYPERLINK
    kPicture,         // picture properties; the data is skipped
    kListMarker,      // \pntext / \listtext: the number or bullet of a list paragraph
    kListDefinition,  // \*\pn: the list kind of the following paragraphs
    kTableProps,      // \*\nesttableprops: control words only
    kListTable,       // \listtable, \listoverridetable: the kind of each list level
    kShape,           // \shpinst: a shape's properties; its text box and picture are shown
    kShapeName,       // \sn: a shape property's name
    kShapePicture,    // \sv of the property "pib": the shape's picture
  };
  // What closing a group finishes, besides restoring the state.
  enum GroupRole : uint8_t {
    kRoleNone = 0,
    kRolePicture = 1,
    kRoleField = 2,
    kRoleListMarker = 4,
    kRoleListDefinition = 8,
    kRoleFontEntry = 16,
  };
  struct GroupState {
    Dest dest = Dest::kText;
    uint8_t roles = kRoleNone;
    int unicodeSkip = 1;         // \uc
    int field = -1;              // index into the open fields of the innermost field
    Dest uprDest = Dest::kSkip;  // where the Unicode half of \upr goes
    CharFormat chr;
    ParaFormat para;
  };

  void ReadRtf();
  void ReadPlainText();
  void ReadTextRun();
  void ReadVisibleText();
  void ReadFieldInstruction();
  void ReadControl();
  void ControlSymbol(unsigned char c);
  void ControlWord(const KeywordEntry& keyword, bool hasParam, int param);
  void DocumentWord(Keyword id, bool hasParam, int param);
  void DestinationWord(Keyword id);
  void CharacterWord(Keyword id, bool hasParam, int param);
  void TableEntryWord(const KeywordEntry& keyword, int param);
  void ParagraphWord(Keyword id, int param);
  void TableWord(Keyword id, int param);
  void PictureWord(Keyword id, bool hasParam, int param);
  void BreakWord(const KeywordEntry& keyword);
  void SkipBinary(long long count);

  void PushGroup();
  void PopGroup();
  GroupState& State() { return stack_.back(); }
  void EnterDestination(Dest dest);

  bool NothingHeldBack() const {
    return skip_ == 0 && !expectTrail_ && pending_.empty() && !highSurrogate_;
  }
  unsigned TextCodePage();
  void HexByte(unsigned char byte);
  void TextByte(unsigned char byte);
  void FlushBytes();
  void UnicodeChar(int value);
  void TextUnit(char16_t unit);
  void TextCodePoint(uint32_t codePoint);
  void Paragraph();
  void LineBreak();

  void BeginFont(int number);
  void FontNameByte(unsigned char byte);
  void FinishFont();
  void FinishColor();
  void StyleNameByte(unsigned char byte);
  void FinishStyle();
  void SetPictureType(PictureType type);
  void FinishPicture();
  ListKind MarkerKind() const;
  void ApplyListDefinition();
  ListKind ListKindAt(int listStyle, int level) const;
  void FinishField();

  RtfInput in_;
  DocumentTables& document_;
  HtmlWriter& writer_;
  bool stopped_ = false;

  std::vector<GroupState> stack_;
  int depth_ = 0;
  int overflow_ = 0;  // groups opened beyond the depth limit and not closed yet
  bool ignorableNext_ = false;
  int skip_ = 0;  // fallback characters still to skip after \u

  unsigned codePage_ = 1252;
  TextDecoder decoder_;
  FontInfo* fontEntry_ = nullptr;
  std::string fontName_;
  int fontFamily_ = 0;
  int cachedFont_ = INT32_MIN;
  unsigned cachedFontCodePage_ = 0;
  int colorEntry_ = 0;
  bool colorSet_ = false;
  std::string styleName_;  // of the style sheet entry being read
  int styleNumber_ = 0;    // \s of that entry; Normal has none
  int styleOutline_ = -1;  // \outlinelevel of that entry

  std::string pending_;  // double-byte text awaiting decoding, all in pendingCodePage_
  unsigned pendingCodePage_ = 0;
  bool expectTrail_ = false;
  std::u16string decoded_;
  char16_t highSurrogate_ = 0;

  int fieldSerial_ = 0;
  std::string listMarker_;
  ListKind listMarkerKind_ = ListKind::kNone;
  ParaFormat listDefinition_;
  std::unordered_map<int, std::vector<ListKind>> listKinds_;  // \listid -> kind by level
  std::unordered_map<int, int> listOfStyle_;  // \ls -> \listid
  std::vector<ListKind> listLevels_;          // of the \list being read
  bool inListOverride_ = false;
  int overrideListId_ = 0;
  std::string shapeProperty_;  // the name of the shape property being read
  bool shapeShown_ = false;    // the current shape's text box or picture was shown
  Picture picture_;  // the properties of the picture being read; its data comes last
  std::vector<Picture>* pictures_;  // null: picture data is skipped
  PictureData pictureData_;
  bool rowImpliesTable_ = false;  // the open row began without \intbl
};

}  // namespace irun
