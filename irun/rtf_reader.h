// The RTF reader: control words, groups and destinations, the character and paragraph
// state of the text, and the font, colour and field tables. Content goes to the HTML
// writer as it is read, in one pass over the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "code_page.h"
#include "html_writer.h"
#include "picture_data.h"
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

  // The input window (or a large piece itself). Every loop over bytes asks More()
  // rather than stopping at end_, so that each token is read the same wherever the
  // window ends; no pointer into it may be kept across More() or Ensure(), which
  // move it.
  bool More() { return p_ < end_ || Refill(1); }
  bool Ensure(size_t bytes) {
    return static_cast<size_t>(end_ - p_) >= bytes || Refill(bytes);
  }
  bool Refill(size_t bytes);
  void NextPiece();
  uint64_t InputRead() const { return windowStart_ + static_cast<uint64_t>(p_ - base_); }
  bool StartsWithRtf();

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
  void FontOrColorWord(const KeywordEntry& keyword, int param);
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

  InputReader read_;
  void* context_;
  const char* piece_ = nullptr;  // the rest of the current piece, not yet in the window
  size_t pieceLeft_ = 0;
  bool inputEnded_ = false;
  std::vector<char> window_;  // a copy of the input from p_ on, or empty
  const char* base_ = nullptr;  // the window's start, or of a piece read where it lies
  uint64_t windowStart_ = 0;    // the input offset of base_
  const char* p_ = nullptr;
  const char* end_ = nullptr;
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
  Picture picture_;  // the properties of the picture being read; its data comes last
  std::vector<Picture>* pictures_;  // null: picture data is skipped
  PictureData pictureData_;
  bool rowImpliesTable_ = false;  // the open row began without \intbl
};

}  // namespace irun
