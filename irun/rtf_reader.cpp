// One pass over the bytes: groups push and pop a copy of the reading state, control
// words change it, text goes to the writer at once. The control words are read in
// rtf_control_words.cpp, the destinations and the tables they fill in
// rtf_destinations.cpp, the input window in rtf_input.cpp.
#include "rtf_reader.h"

#include <algorithm>

#include "byte_scan.h"

namespace irun {

namespace {

bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

}  // namespace

RtfReader::RtfReader(InputReader read, void* context, DocumentTables& document,
                     HtmlWriter& writer, std::vector<Picture>* pictures)
    : in_(read, context), document_(document), writer_(writer), pictures_(pictures) {
  stack_.reserve(64);
  stack_.emplace_back();
}

void RtfReader::Read() {
  if (in_.StartsWithRtf()) {
    ReadRtf();
  } else {
    ReadPlainText();
  }
  FlushBytes();
  if (highSurrogate_) {
    highSurrogate_ = 0;
    if (State().dest == Dest::kText) TextCodePoint(0xFFFD);
  }
}

// ---- tokens ----------------------------------------------------------------------

void RtfReader::ReadRtf() {
  while (*in_.p != '{') ++in_.p;  // white space before "{\rtf", which the window holds
  while (!stopped_ && in_.More()) {
    switch (*in_.p) {
      case '{':
        ++in_.p;
        PushGroup();
        break;
      case '}':
        ++in_.p;
        PopGroup();
        if (depth_ == 0) return;  // the document's group is closed; the rest is not RTF
        break;
      case '\\':
        ReadControl();
        break;
      case '\r':
      case '\n':
      case 0:
        ++in_.p;
        break;
      default:
        ReadTextRun();
        break;
    }
    if (writer_.OverBudget(in_.Read())) stopped_ = true;
  }
}

void RtfReader::ReadPlainText() {
  while (in_.More()) {
    const unsigned char c = static_cast<unsigned char>(*in_.p++);
    if (c == '\n') {
      FlushBytes();
      writer_.EndParagraph(State().para);
    } else if (c != '\r') {
      TextByte(c);
    }
    if (writer_.OverBudget(in_.Read())) break;
  }
}

// Plain bytes up to the next brace, backslash or line end.
void RtfReader::ReadTextRun() {
  const GroupState& state = State();
  switch (overflow_ > 0 ? Dest::kSkip : state.dest) {
    case Dest::kText:
      if (!state.chr.hidden) {
        ReadVisibleText();
        return;
      }
      break;
    case Dest::kFieldInst:
      ReadFieldInstruction();
      return;
    case Dest::kFontTable:
    case Dest::kStyleSheet:
    case Dest::kColorTable:
    case Dest::kListMarker:
      break;
    case Dest::kShapeName:
      while (in_.More() && !IsSpecial(static_cast<unsigned char>(*in_.p))) {
        if (shapeProperty_.size() < 16) shapeProperty_.push_back(*in_.p);
        ++in_.p;
      }
      return;
    default: {
      // Picture data, or skipped text: line ends mean nothing here either.
      const bool keep = pictures_ && overflow_ == 0 && state.dest == Dest::kPicture;
      do {
        const char* const start = in_.p;
        in_.p = SkipData(in_.p, in_.end);
        if (keep) pictureData_.AddHex(start, static_cast<size_t>(in_.p - start));
      } while (in_.p == in_.end && in_.More());
      return;
    }
  }
  while (in_.More() && !IsSpecial(static_cast<unsigned char>(*in_.p))) {
    TextByte(static_cast<unsigned char>(*in_.p++));
  }
}

// A field's instruction: text bytes that need no decoding are kept in bulk.
void RtfReader::ReadFieldInstruction() {
  const GroupState& state = State();
  while (in_.More() && !IsSpecial(static_cast<unsigned char>(*in_.p))) {
    if (state.field >= 0 && NothingHeldBack() && IsTextByte(static_cast<unsigned char>(*in_.p))) {
      const char* const start = in_.p;
      in_.p = ScanTextBytes(in_.p, in_.end);
      std::u16string& instruction = document_.fields[static_cast<size_t>(state.field)].instruction;
      const size_t room = kMaxFieldInstruction - std::min(instruction.size(), kMaxFieldInstruction);
      instruction.append(start, start + std::min(room, static_cast<size_t>(in_.p - start)));
      continue;
    }
    TextByte(static_cast<unsigned char>(*in_.p++));
  }
}

// The hot path: text bytes that need no decoding go to the writer in bulk; bytes that
// need decoding, and the fallback characters after \u, go one by one.
void RtfReader::ReadVisibleText() {
  const GroupState& state = State();
  if (in_.p < in_.end && static_cast<unsigned char>(*in_.p) < 0x80 &&
      !IsSpecial(static_cast<unsigned char>(*in_.p)) && NothingHeldBack()) {
    // Even a control character that is then dropped opens the paragraph here.
    writer_.BeginContent(state.chr, state.para);
  }
  while (in_.More()) {
    const unsigned char c = static_cast<unsigned char>(*in_.p);
    if (IsSpecial(c)) return;
    if (c >= 0x80 || !NothingHeldBack()) {
      TextByte(c);
      ++in_.p;
      continue;
    }
    if (!IsTextByte(c)) {
      ++in_.p;  // control characters that HTML cannot show
      continue;
    }
    const char* const start = in_.p;
    in_.p = ScanTextBytes(in_.p, in_.end);
    writer_.BeginContent(state.chr, state.para);
    writer_.Text(start, static_cast<size_t>(in_.p - start));
  }
}

void RtfReader::ReadControl() {
  ++in_.p;  // the backslash
  if (!in_.More()) return;
  const unsigned char c = static_cast<unsigned char>(*in_.p);
  if (!IsAsciiLetter(c)) {
    ++in_.p;
    ControlSymbol(c);
    return;
  }
  KeywordName name;
  name.Read(in_.p, in_.end);
  // A name that goes on past the window (past 32 letters only its start counts).
  while (in_.More() && IsAsciiLetter(static_cast<unsigned char>(*in_.p))) name.Add(*in_.p++);
  bool hasParam = false;
  long long param = 0;
  bool negative = false;
  if (in_.Ensure(2) && *in_.p == '-' && IsDigit(static_cast<unsigned char>(in_.p[1]))) {
    negative = true;
    ++in_.p;
  }
  while (in_.More() && IsDigit(static_cast<unsigned char>(*in_.p))) {
    hasParam = true;
    // Numbers beyond 32 bits stick at the limit instead of wrapping.
    if (param <= 0x7FFFFFFFLL) param = param * 10 + (*in_.p - '0');
    ++in_.p;
  }
  if (in_.More() && *in_.p == ' ') ++in_.p;
  if (negative) param = -param;
  param = std::clamp<long long>(param, INT32_MIN, INT32_MAX);
  const KeywordEntry keyword = FindKeyword(name);
  if (overflow_ > 0) {
    if (keyword.id == Keyword::kBin && hasParam) SkipBinary(param);
    return;
  }
  ControlWord(keyword, hasParam, static_cast<int>(param));
}

// `count` raw bytes, which may reach over many windows; a picture keeps them.
void RtfReader::SkipBinary(long long count) {
  const bool keep = pictures_ && overflow_ == 0 && State().dest == Dest::kPicture;
  uint64_t left = count < 0 ? 0 : static_cast<uint64_t>(count);
  while (left > 0 && in_.More()) {
    const size_t part = static_cast<size_t>(std::min<uint64_t>(left, static_cast<uint64_t>(in_.end - in_.p)));
    if (keep) pictureData_.AddBinary(in_.p, part, true);
    in_.p += part;
    left -= part;
  }
  if (keep) pictureData_.AddBinary(in_.p, 0, left == 0);  // cut off when the input ended first
}

// ---- groups ----------------------------------------------------------------------

void RtfReader::PushGroup() {
  FlushBytes();
  skip_ = 0;
  ignorableNext_ = false;
  if (overflow_ > 0 || depth_ >= kMaxGroupDepth) {
    ++overflow_;
    return;
  }
  ++depth_;
  stack_.push_back(stack_.back());
  stack_.back().roles = kRoleNone;
}

void RtfReader::PopGroup() {
  FlushBytes();
  skip_ = 0;
  ignorableNext_ = false;
  if (overflow_ > 0) {
    --overflow_;
    return;
  }
  if (depth_ == 0) return;
  --depth_;
  const uint8_t roles = stack_.back().roles;
  if (roles & kRoleField) FinishField();  // in the field's own format
  stack_.pop_back();
  if (roles & kRolePicture) FinishPicture();
  if (roles & kRoleListMarker) listMarkerKind_ = MarkerKind();
  if (roles & kRoleListDefinition) ApplyListDefinition();
  if (roles & kRoleFontEntry) FinishFont();
  if ((roles & kRoleField) && !document_.fields.empty()) document_.fields.pop_back();
  writer_.FormatChanged();
}

// ---- text ------------------------------------------------------------------------

unsigned RtfReader::TextCodePage() {
  const int font = State().chr.font;
  if (font != cachedFont_) {
    cachedFont_ = font;
    const FontInfo* info = document_.FindFont(font);
    cachedFontCodePage_ = info ? info->codePage : 0;
  }
  return cachedFontCodePage_ != 0 ? cachedFontCodePage_ : codePage_;
}

// A byte of text in the current font's code page, from the input or from \'hh.
void RtfReader::HexByte(unsigned char byte) {
  if (skip_ > 0) {
    --skip_;
    return;
  }
  const Dest dest = State().dest;
  if (dest == Dest::kFontTable) {
    FontNameByte(byte);
    return;
  }
  if (dest == Dest::kStyleSheet) {
    StyleNameByte(byte);
    return;
  }
  if (dest == Dest::kListMarker) {
    if (listMarker_.size() < 16) listMarker_.push_back(static_cast<char>(byte));
    return;
  }
  if (dest != Dest::kText && dest != Dest::kFieldInst) return;
  const unsigned codePage = TextCodePage();
  if (!IsDoubleByteCodePage(codePage)) {
    // A byte is a character here: decoded at once, after what waits in another page.
    FlushBytes();
    TextUnit(decoder_.DecodeByte(codePage, byte));
    return;
  }
  if (!pending_.empty() && codePage != pendingCodePage_) FlushBytes();
  pendingCodePage_ = codePage;
  pending_.push_back(static_cast<char>(byte));
  if (expectTrail_) {
    expectTrail_ = false;
  } else if (IsLeadByte(codePage, byte)) {
    expectTrail_ = true;
  }
}

void RtfReader::TextByte(unsigned char byte) {
  const Dest dest = State().dest;
  if (byte < 0x80 && !expectTrail_ && dest != Dest::kFontTable && dest != Dest::kStyleSheet &&
      dest != Dest::kListMarker) {
    if (skip_ > 0) {
      --skip_;
      return;
    }
    FlushBytes();
    if (byte == '\t') {
      TextUnit('\t');
    } else if (byte == ';' && dest == Dest::kColorTable) {
      FinishColor();
    } else if (byte >= 0x20) {
      TextUnit(byte);
    }
    return;
  }
  HexByte(byte);
}

void RtfReader::FlushBytes() {
  expectTrail_ = false;
  if (pending_.empty()) return;
  decoded_.clear();
  decoder_.Decode(pendingCodePage_, pending_, decoded_);
  pending_.clear();
  for (char16_t unit : decoded_) TextUnit(unit);
}

void RtfReader::UnicodeChar(int value) {
  // Writers give units above 32767 as negative numbers.
  if (value < 0 && value >= -32768) value += 65536;
  const char16_t unit = value >= 0 && value <= 0xFFFF ? static_cast<char16_t>(value) : u'\uFFFD';
  FlushBytes();
  const Dest dest = State().dest;
  if (dest == Dest::kListMarker) {
    if (listMarker_.size() < 16) listMarker_.push_back(unit < 0x80 ? static_cast<char>(unit) : '*');
  } else if (dest != Dest::kFontTable) {
    TextUnit(unit);
  }
  skip_ = State().unicodeSkip;
}

// One UTF-16 unit of text; surrogate halves are paired here.
void RtfReader::TextUnit(char16_t unit) {
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    if (highSurrogate_) TextCodePoint(0xFFFD);
    highSurrogate_ = unit;
    return;
  }
  uint32_t codePoint = unit;
  if (unit >= 0xDC00 && unit <= 0xDFFF) {
    if (!highSurrogate_) {
      TextCodePoint(0xFFFD);
      return;
    }
    codePoint = 0x10000 + ((static_cast<uint32_t>(highSurrogate_) - 0xD800) << 10) +
                (unit - 0xDC00);
    highSurrogate_ = 0;
  } else if (highSurrogate_) {
    highSurrogate_ = 0;
    TextCodePoint(0xFFFD);
  }
  TextCodePoint(codePoint);
}

void RtfReader::TextCodePoint(uint32_t codePoint) {
  GroupState& state = State();
  if (state.dest == Dest::kFieldInst) {
    if (state.field < 0) return;
    std::u16string& instruction = document_.fields[static_cast<size_t>(state.field)].instruction;
    if (instruction.size() < kMaxFieldInstruction)
      instruction.push_back(codePoint > 0xFFFF ? u'\uFFFD' : static_cast<char16_t>(codePoint));
    return;
  }
  // Hidden text, and control characters that HTML cannot show.
  if (state.dest != Dest::kText || state.chr.hidden || (codePoint < 0x20 && codePoint != '\t'))
    return;
  writer_.BeginContent(state.chr, state.para);
  writer_.Character(codePoint);
}

void RtfReader::Paragraph() {
  if (State().dest != Dest::kText) return;
  writer_.EndParagraph(State().para);
}

void RtfReader::LineBreak() {
  const GroupState& state = State();
  if (state.dest != Dest::kText || state.chr.hidden) return;
  writer_.BeginContent(state.chr, state.para);
  writer_.LineBreak();
}
}  // namespace irun
