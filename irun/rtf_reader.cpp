// One pass over the bytes: groups push and pop a copy of the reading state, control
// words change it, text goes to the writer at once.
#include "rtf_reader.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "byte_scan.h"

namespace irun {

namespace {

constexpr int kMaxGroupDepth = 1000;  // deeper groups are read but their content dropped
constexpr size_t kMaxFieldInstruction = 2048;
constexpr size_t kMaxFontName = 256;
constexpr size_t kMaxStyleName = 64;  // enough for "heading N" and the first aliases
constexpr int kMaxTwips = 31680;  // 22 inches: larger indents are nonsense
constexpr int kHeadingLevels = 6;  // <h1> to <h6>
// Small pieces of the input are copied into a window of this size as it is read, so
// that none need stay valid for long and no copy of the whole input is kept; pieces at
// least this large are read where they lie.
constexpr size_t kWindowSize = 64 * 1024;

// 1..6 for a style named "heading 1" to "heading 6" (any case, spaces around it, an
// alias list after a comma), else 0.
int HeadingLevelOfName(std::string_view name) {
  name = name.substr(0, name.find(','));
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  static constexpr std::string_view kHeading = "heading ";
  if (name.size() != kHeading.size() + 1) return 0;
  for (size_t i = 0; i < kHeading.size(); ++i) {
    const char c = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] + 32) : name[i];
    if (c != kHeading[i]) return 0;
  }
  const int level = name.back() - '0';
  return level >= 1 && level <= kHeadingLevels ? level : 0;
}

int ClampTwips(int value) { return std::clamp(value, -kMaxTwips, kMaxTwips); }

bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
  return -1;
}
// Braces, backslashes and line ends interrupt text.
bool IsSpecial(unsigned char c) {
  return c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n' || c == 0;
}

// The address of a HYPERLINK instruction, or empty for any other field and for
// addresses that would run script when the note is opened.
std::u16string HyperlinkTarget(const std::u16string& instruction) {
  size_t i = 0;
  auto skipSpaces = [&] {
    while (i < instruction.size() && (instruction[i] == ' ' || instruction[i] == '\t')) ++i;
  };
  // The next word, or a quoted text; `word` views the instruction.
  auto token = [&] {
    skipSpaces();
    size_t start = i;
    size_t stop;
    if (i < instruction.size() && instruction[i] == '"') {
      start = ++i;
      while (i < instruction.size() && instruction[i] != '"') ++i;
      stop = i;
      if (i < instruction.size()) ++i;
    } else {
      while (i < instruction.size() && instruction[i] != ' ' && instruction[i] != '\t') ++i;
      stop = i;
    }
    return std::u16string_view(instruction).substr(start, stop - start);
  };
  const std::u16string_view keyword = token();
  static constexpr std::u16string_view kHyperlink = u"HYPERLINK";
  if (keyword.size() != kHyperlink.size() ||
      !std::equal(keyword.begin(), keyword.end(), kHyperlink.begin(), [](char16_t a, char16_t b) {
        return (a >= 'a' && a <= 'z' ? a - 32 : a) == b;
      })) {
    return {};
  }
  std::u16string_view url, anchor;
  while (true) {
    skipSpaces();
    if (i >= instruction.size()) break;
    const bool isSwitch = instruction[i] == '\\';
    const std::u16string_view word = token();
    if (isSwitch) {
      if (word == u"\\l") {
        anchor = token();
      } else if (word == u"\\o" || word == u"\\t") {
        token();
      }
    } else if (url.empty()) {
      url = word;
    }
  }
  std::u16string target(url);
  if (!anchor.empty()) {
    target += u'#';
    target += anchor;
  }
  std::u16string scheme;
  for (char16_t c : std::u16string_view(target).substr(0, 12))
    scheme.push_back(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (scheme.rfind(u"javascript:", 0) == 0 || scheme.rfind(u"vbscript:", 0) == 0 ||
      scheme.rfind(u"data:", 0) == 0) {
    return {};
  }
  target.erase(std::remove_if(target.begin(), target.end(), [](char16_t c) { return c < 0x20; }),
               target.end());
  return target;
}

}  // namespace

RtfReader::RtfReader(InputReader read, void* context, DocumentTables& document,
                     HtmlWriter& writer, std::vector<Picture>* pictures)
    : read_(read), context_(context), document_(document), writer_(writer), pictures_(pictures) {
  stack_.reserve(64);
  stack_.emplace_back();
}

void RtfReader::Read() {
  if (StartsWithRtf()) {
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

// ---- the input window ------------------------------------------------------------

// Asks for the next piece, once the last one has been read or copied whole.
void RtfReader::NextPiece() {
  pieceLeft_ = inputEnded_ ? 0 : read_(context_, &piece_);
  if (pieceLeft_ == 0 || !piece_) {
    pieceLeft_ = 0;
    inputEnded_ = true;
  }
}

// Makes `bytes` bytes readable at p_, or as many as the input has left. A piece of at
// least a window's size is read where it lies: it stays valid until the next piece is
// asked for, and what is left of it then is copied first. Otherwise what is left is
// moved to the window's start and the rest filled from the pieces. The window only
// grows beyond its size for the white space that may come before "{\rtf".
bool RtfReader::Refill(size_t bytes) {
  const size_t kept = static_cast<size_t>(end_ - p_);
  windowStart_ = InputRead();
  if (kept == 0 && bytes <= kWindowSize) {
    if (pieceLeft_ == 0) NextPiece();
    if (pieceLeft_ >= kWindowSize) {
      base_ = p_ = piece_;
      end_ = piece_ + pieceLeft_;
      piece_ += pieceLeft_;
      pieceLeft_ = 0;
      return true;
    }
  }
  size_t size = std::max(kWindowSize, bytes);
  if (bytes > window_.size()) size = std::max(size, window_.size() * 2);  // grows seldom
  if (window_.size() != size && kept <= size) {
    std::vector<char> resized(size);  // larger, or back to its size after white space
    if (kept > 0) std::memcpy(resized.data(), p_, kept);
    window_.swap(resized);
  } else if (kept > 0) {
    std::memmove(window_.data(), p_, kept);
  }
  size_t filled = kept;
  while (filled < window_.size() && !inputEnded_) {
    if (pieceLeft_ == 0) {
      NextPiece();
      continue;
    }
    const size_t part = std::min(pieceLeft_, window_.size() - filled);
    std::memcpy(window_.data() + filled, piece_, part);
    piece_ += part;
    pieceLeft_ -= part;
    filled += part;
  }
  base_ = p_ = window_.data();
  end_ = p_ + filled;
  return filled >= bytes;
}

// White space, then "{\rtf". Plain text needs its leading white space, so the window
// holds all of it until the first other byte decides.
bool RtfReader::StartsWithRtf() {
  size_t i = 0;
  while (Ensure(i + 1) && (p_[i] == ' ' || p_[i] == '\t' || p_[i] == '\r' || p_[i] == '\n')) ++i;
  return Ensure(i + 5) && std::memcmp(p_ + i, "{\\rtf", 5) == 0;
}

// ---- tokens ----------------------------------------------------------------------

void RtfReader::ReadRtf() {
  while (*p_ != '{') ++p_;  // white space before "{\rtf", which the window holds
  while (!stopped_ && More()) {
    switch (*p_) {
      case '{':
        ++p_;
        PushGroup();
        break;
      case '}':
        ++p_;
        PopGroup();
        if (depth_ == 0) return;  // the document's group is closed; the rest is not RTF
        break;
      case '\\':
        ReadControl();
        break;
      case '\r':
      case '\n':
      case 0:
        ++p_;
        break;
      default:
        ReadTextRun();
        break;
    }
    if (writer_.OverBudget(InputRead())) stopped_ = true;
  }
}

void RtfReader::ReadPlainText() {
  while (More()) {
    const unsigned char c = static_cast<unsigned char>(*p_++);
    if (c == '\n') {
      FlushBytes();
      writer_.EndParagraph(State().para);
    } else if (c != '\r') {
      TextByte(c);
    }
    if (writer_.OverBudget(InputRead())) break;
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
    default: {
      // Picture data, or skipped text: line ends mean nothing here either.
      const bool keep = pictures_ && overflow_ == 0 && state.dest == Dest::kPicture;
      do {
        const char* const start = p_;
        p_ = SkipData(p_, end_);
        if (keep) pictureData_.AddHex(start, static_cast<size_t>(p_ - start));
      } while (p_ == end_ && More());
      return;
    }
  }
  while (More() && !IsSpecial(static_cast<unsigned char>(*p_))) {
    TextByte(static_cast<unsigned char>(*p_++));
  }
}

// A field's instruction: text bytes that need no decoding are kept in bulk.
void RtfReader::ReadFieldInstruction() {
  const GroupState& state = State();
  while (More() && !IsSpecial(static_cast<unsigned char>(*p_))) {
    if (state.field >= 0 && NothingHeldBack() && IsTextByte(static_cast<unsigned char>(*p_))) {
      const char* const start = p_;
      p_ = ScanTextBytes(p_, end_);
      std::u16string& instruction = document_.fields[static_cast<size_t>(state.field)].instruction;
      const size_t room = kMaxFieldInstruction - std::min(instruction.size(), kMaxFieldInstruction);
      instruction.append(start, start + std::min(room, static_cast<size_t>(p_ - start)));
      continue;
    }
    TextByte(static_cast<unsigned char>(*p_++));
  }
}

// The hot path: text bytes that need no decoding go to the writer in bulk; bytes that
// need decoding, and the fallback characters after \u, go one by one.
void RtfReader::ReadVisibleText() {
  const GroupState& state = State();
  if (p_ < end_ && static_cast<unsigned char>(*p_) < 0x80 &&
      !IsSpecial(static_cast<unsigned char>(*p_)) && NothingHeldBack()) {
    // Even a control character that is then dropped opens the paragraph here.
    writer_.BeginContent(state.chr, state.para);
  }
  while (More()) {
    const unsigned char c = static_cast<unsigned char>(*p_);
    if (IsSpecial(c)) return;
    if (c >= 0x80 || !NothingHeldBack()) {
      TextByte(c);
      ++p_;
      continue;
    }
    if (!IsTextByte(c)) {
      ++p_;  // control characters that HTML cannot show
      continue;
    }
    const char* const start = p_;
    p_ = ScanTextBytes(p_, end_);
    writer_.BeginContent(state.chr, state.para);
    writer_.Text(start, static_cast<size_t>(p_ - start));
  }
}

void RtfReader::ReadControl() {
  ++p_;  // the backslash
  if (!More()) return;
  const unsigned char c = static_cast<unsigned char>(*p_);
  if (!IsAsciiLetter(c)) {
    ++p_;
    ControlSymbol(c);
    return;
  }
  KeywordName name;
  name.Read(p_, end_);
  // A name that goes on past the window (past 32 letters only its start counts).
  while (More() && IsAsciiLetter(static_cast<unsigned char>(*p_))) name.Add(*p_++);
  bool hasParam = false;
  long long param = 0;
  bool negative = false;
  if (Ensure(2) && *p_ == '-' && IsDigit(static_cast<unsigned char>(p_[1]))) {
    negative = true;
    ++p_;
  }
  while (More() && IsDigit(static_cast<unsigned char>(*p_))) {
    hasParam = true;
    // Numbers beyond 32 bits stick at the limit instead of wrapping.
    if (param <= 0x7FFFFFFFLL) param = param * 10 + (*p_ - '0');
    ++p_;
  }
  if (More() && *p_ == ' ') ++p_;
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
  while (left > 0 && More()) {
    const size_t part = static_cast<size_t>(std::min<uint64_t>(left, static_cast<uint64_t>(end_ - p_)));
    if (keep) pictureData_.AddBinary(p_, part, true);
    p_ += part;
    left -= part;
  }
  if (keep) pictureData_.AddBinary(p_, 0, left == 0);  // cut off when the input ended first
}

void RtfReader::ControlSymbol(unsigned char c) {
  if (overflow_ > 0) return;
  if (c != '\'' && c != '\\' && c != '{' && c != '}') FlushBytes();
  switch (c) {
    case '\'': {
      const bool two = Ensure(2);
      const int high = p_ < end_ ? HexValue(static_cast<unsigned char>(*p_)) : -1;
      const int low = two ? HexValue(static_cast<unsigned char>(p_[1])) : -1;
      if (high < 0 || low < 0) {
        // A cut-off \'h: its one digit is no text either.
        if (high >= 0) ++p_;
        return;
      }
      p_ += 2;
      HexByte(static_cast<unsigned char>(high * 16 + low));
      return;
    }
    case '*':
      ignorableNext_ = true;
      return;
    case '\\':
    case '{':
    case '}':
      TextByte(c);
      return;
    case '~': TextUnit(0x00A0); return;
    case '-': TextUnit(0x00AD); return;
    case '_': TextUnit(0x2011); return;
    case '\r':
    case '\n':
      FlushBytes();
      Paragraph();
      return;
    case '\t':
      TextByte('\t');
      return;
    default:
      return;  // \: \| and the like have no text of their own
  }
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
  stack_.pop_back();
  if (roles & kRolePicture) FinishPicture();
  if (roles & kRoleListMarker) listMarkerKind_ = MarkerKind();
  if (roles & kRoleListDefinition) ApplyListDefinition();
  if (roles & kRoleFontEntry) FinishFont();
  if ((roles & kRoleField) && !document_.fields.empty()) document_.fields.pop_back();
  writer_.FormatChanged();
}

// A destination keyword: `dest` for the group, unless this group is skipped already.
void RtfReader::EnterDestination(Dest dest) {
  GroupState& state = State();
  if (state.dest == Dest::kSkip || state.dest == Dest::kStyleSheet) return;
  state.dest = dest;
}

// ---- control words ---------------------------------------------------------------

void RtfReader::ControlWord(const KeywordEntry& keyword, bool hasParam, int param) {
  if (keyword.id != Keyword::kU && keyword.id != Keyword::kBin) FlushBytes();
  const bool ignorable = ignorableNext_;
  ignorableNext_ = false;
  if (ignorable && !keyword.destination) {
    // A destination we do not read, behind \*: skipped with everything in it. Text
    // before it (\u and \bin leave it waiting) is not part of it.
    FlushBytes();
    State().dest = Dest::kSkip;
    return;
  }
  // The keywords come in groups, in the order of Keyword; each group has its step.
  const Keyword id = keyword.id;
  if (id < Keyword::kFonttbl) {
    DocumentWord(id, hasParam, param);
  } else if (id < Keyword::kPlain) {
    DestinationWord(id);
  } else if (id < Keyword::kFcharset) {
    CharacterWord(id, hasParam, param);
  } else if (id < Keyword::kPard) {
    FontOrColorWord(keyword, param);
  } else if (id < Keyword::kTrowd) {
    ParagraphWord(id, param);
  } else if (id < Keyword::kPngblip) {
    TableWord(id, param);
  } else if (id < Keyword::kPar) {
    PictureWord(id, hasParam, param);
  } else {
    BreakWord(keyword);
  }
}

// \rtf, code pages, the default font, Unicode characters and \bin.
void RtfReader::DocumentWord(Keyword id, bool hasParam, int param) {
  GroupState& state = State();
  switch (id) {
    case Keyword::kAnsi: codePage_ = 1252; return;
    case Keyword::kMac: codePage_ = 10000; return;
    case Keyword::kPc: codePage_ = 437; return;
    case Keyword::kPca: codePage_ = 850; return;
    case Keyword::kAnsicpg:
      if (param > 0 && param < 65536) codePage_ = static_cast<unsigned>(param);
      return;
    case Keyword::kDeff: document_.defaultFont = param; return;
    case Keyword::kUc: state.unicodeSkip = std::clamp(param, 0, 255); return;
    case Keyword::kU:
      if (!hasParam) return;
      UnicodeChar(param);
      if (state.dest == Dest::kText) {
        // The fallback text is dropped here already when it is plain bytes, as it
        // would be byte by byte.
        while (skip_ > 0 && More() && static_cast<unsigned char>(*p_) < 0x80 &&
               !IsSpecial(static_cast<unsigned char>(*p_))) {
          ++p_;
          --skip_;
        }
      }
      return;
    case Keyword::kBin:
      if (hasParam) SkipBinary(param);
      return;
    default:
      return;  // \rtf and unknown words
  }
}

void RtfReader::DestinationWord(Keyword id) {
  GroupState& state = State();
  CharFormat& chr = state.chr;
  switch (id) {
    case Keyword::kFonttbl: EnterDestination(Dest::kFontTable); return;
    case Keyword::kColortbl: EnterDestination(Dest::kColorTable); return;
    case Keyword::kStylesheet: EnterDestination(Dest::kStyleSheet); return;
    case Keyword::kSkipDestination: state.dest = Dest::kSkip; return;
    case Keyword::kPict:
      if (state.dest != Dest::kText) {
        state.dest = Dest::kSkip;
        return;
      }
      state.dest = Dest::kPicture;
      state.roles |= kRolePicture;
      picture_ = Picture();
      pictureData_.Start();
      return;
    case Keyword::kTextDestination: return;  // \shppict, \result: text as usual
    case Keyword::kUpr:
      // \upr holds the same text twice, for old readers and as \ud; only \ud is read.
      state.uprDest = state.dest;
      state.dest = Dest::kSkip;
      return;
    case Keyword::kUd: state.dest = state.uprDest; return;
    case Keyword::kField:
      if (state.dest != Dest::kText) return;
      document_.fields.emplace_back();
      document_.fields.back().serial = ++fieldSerial_;
      state.field = static_cast<int>(document_.fields.size()) - 1;
      state.roles |= kRoleField;
      return;
    case Keyword::kFldinst:
      state.dest = state.field >= 0 && state.dest == Dest::kText ? Dest::kFieldInst : Dest::kSkip;
      return;
    case Keyword::kFldrslt:
      if (state.field >= 0 && state.dest == Dest::kText) {
        Field& field = document_.fields[static_cast<size_t>(state.field)];
        if (field.target.empty()) field.target = HyperlinkTarget(field.instruction);
        if (!field.target.empty()) {
          chr.link = field.serial;
          writer_.FormatChanged();
        }
      }
      return;
    case Keyword::kListText:
      if (state.dest != Dest::kText) return;
      state.dest = Dest::kListMarker;
      state.roles |= kRoleListMarker;
      listMarker_.clear();
      return;
    case Keyword::kPn:
      if (state.dest != Dest::kText) return;
      state.dest = Dest::kListDefinition;
      state.roles |= kRoleListDefinition;
      listDefinition_ = ParaFormat();
      listDefinition_.list = ListKind::kBullet;
      return;
    case Keyword::kNesttableprops:
      if (state.dest == Dest::kText) state.dest = Dest::kTableProps;
      return;
    default:
      return;
  }
}

// Character formatting: every change here is compared with the open run.
void RtfReader::CharacterWord(Keyword id, bool hasParam, int param) {
  GroupState& state = State();
  CharFormat& chr = state.chr;
  const bool on = !hasParam || param != 0;
  switch (id) {
    case Keyword::kPlain: {
      const int link = chr.link;  // a field's result stays a link
      chr = CharFormat{};
      chr.font = document_.defaultFont;
      chr.link = link;
      break;
    }
    case Keyword::kB: chr.bold = on; break;
    case Keyword::kI: chr.italic = on; break;
    case Keyword::kUl: chr.underline = on; break;
    case Keyword::kUlnone: chr.underline = false; break;
    case Keyword::kStrike: chr.strike = on; break;
    case Keyword::kSuper: chr.vertical = 1; break;
    case Keyword::kSub: chr.vertical = -1; break;
    case Keyword::kNosupersub: chr.vertical = 0; break;
    case Keyword::kUp: chr.vertical = hasParam && param == 0 ? 0 : 1; break;
    case Keyword::kDn: chr.vertical = hasParam && param == 0 ? 0 : -1; break;
    case Keyword::kV: chr.hidden = on; break;
    case Keyword::kF:
      if (state.dest == Dest::kFontTable) {
        BeginFont(param);
        state.roles |= kRoleFontEntry;
        return;
      }
      chr.font = param;
      break;
    case Keyword::kFs: chr.halfPoints = hasParam ? std::clamp(param, 2, 3276) : 24; break;
    case Keyword::kCf: chr.color = param; break;
    case Keyword::kCb:
    case Keyword::kHighlight: chr.background = param; break;
    default:
      return;
  }
  writer_.FormatChanged();
}

// The font table's charsets and families and the colour table's components.
void RtfReader::FontOrColorWord(const KeywordEntry& keyword, int param) {
  switch (keyword.id) {
    case Keyword::kFcharset:
      if (fontEntry_) fontEntry_->codePage = CodePageOfCharset(param);
      return;
    case Keyword::kCpg:
      if (fontEntry_ && param > 0 && param < 65536)
        fontEntry_->codePage = static_cast<unsigned>(param);
      return;
    case Keyword::kFontFamily:
      fontFamily_ = keyword.value;
      return;
    case Keyword::kRed: colorEntry_ = (colorEntry_ & 0x00FFFF) | ((param & 0xFF) << 16); colorSet_ = true; return;
    case Keyword::kGreen: colorEntry_ = (colorEntry_ & 0xFF00FF) | ((param & 0xFF) << 8); colorSet_ = true; return;
    case Keyword::kBlue: colorEntry_ = (colorEntry_ & 0xFFFF00) | (param & 0xFF); colorSet_ = true; return;
    default:
      return;
  }
}

// Paragraph formatting, styles and the \*\pn list definitions.
void RtfReader::ParagraphWord(Keyword id, int param) {
  GroupState& state = State();
  ParaFormat& para = state.para;
  switch (id) {
    case Keyword::kPard: para = ParaFormat(); return;
    case Keyword::kQl: para.align = Align::kLeft; return;
    case Keyword::kQc: para.align = Align::kCenter; return;
    case Keyword::kQr: para.align = Align::kRight; return;
    case Keyword::kQj: para.align = Align::kJustify; return;
    case Keyword::kLi: para.leftIndent = ClampTwips(param); return;
    case Keyword::kRi: para.rightIndent = ClampTwips(param); return;
    case Keyword::kFi: para.firstIndent = ClampTwips(param); return;
    case Keyword::kSb: para.spaceBefore = std::clamp(param, 0, kMaxTwips); return;
    case Keyword::kSa: para.spaceAfter = std::clamp(param, 0, kMaxTwips); return;
    case Keyword::kIntbl: para.tableDepth = std::max(para.tableDepth, 1); return;
    case Keyword::kItap: para.tableDepth = std::clamp(param, 0, kMaxTableDepth); return;
    case Keyword::kLs:
      if (param > 0) {
        para.list = listMarkerKind_ == ListKind::kNone ? ListKind::kBullet : listMarkerKind_;
      }
      return;
    case Keyword::kIlvl: para.listLevel = std::clamp(param, 0, kMaxListLevel); return;
    case Keyword::kS:
      if (state.dest == Dest::kStyleSheet) {
        styleNumber_ = param;
      } else {
        para.heading = document_.HeadingOfStyle(param);
      }
      return;
    case Keyword::kOutlinelevel:
      if (state.dest == Dest::kStyleSheet) {
        styleOutline_ = param;
      } else if (param >= 0 && param < kHeadingLevels) {
        para.heading = param + 1;  // 6 to 8 have no HTML heading, 9 is body text
      }
      return;

    // \*\pn list definitions (as rich edit writes them)
    case Keyword::kPnlvlblt: listDefinition_.list = ListKind::kBullet; return;
    case Keyword::kPnNumbered: listDefinition_.list = ListKind::kOrdered; return;
    case Keyword::kPnlvl: listDefinition_.listLevel = std::clamp(param - 1, 0, kMaxListLevel); return;
    case Keyword::kPnstart: listDefinition_.listStart = std::clamp(param, 0, 1000000); return;
    default:
      return;
  }
}

void RtfReader::TableWord(Keyword id, int param) {
  GroupState& state = State();
  ParaFormat& para = state.para;
  switch (id) {
    case Keyword::kTrowd:
      document_.rowCells.clear();
      // Wine's rich edit writes its rows without \intbl: a row definition in the text
      // puts the paragraphs up to \row into the table.
      if (state.dest == Dest::kText && para.tableDepth == 0) {
        para.tableDepth = 1;
        rowImpliesTable_ = true;
      }
      return;
    case Keyword::kCellx:
      if (document_.rowCells.size() < 64) document_.rowCells.push_back(ClampTwips(param));
      return;
    case Keyword::kCell:
      if (state.dest == Dest::kText) writer_.EndCell(std::max(para.tableDepth, 1));
      return;
    case Keyword::kNestcell:
      if (state.dest == Dest::kText) writer_.EndCell(std::max(para.tableDepth, 2));
      return;
    case Keyword::kRow:
      if (state.dest == Dest::kText || state.dest == Dest::kTableProps) writer_.EndRow(1);
      if (std::exchange(rowImpliesTable_, false)) para.tableDepth = 0;
      return;
    case Keyword::kNestrow:
      if (state.dest == Dest::kText || state.dest == Dest::kTableProps)
        writer_.EndRow(std::max(para.tableDepth, 2));
      return;
    default:
      return;
  }
}

// The properties of the picture being read.
void RtfReader::PictureWord(Keyword id, bool hasParam, int param) {
  switch (id) {
    case Keyword::kPngblip: SetPictureType(PictureType::kPng); return;
    case Keyword::kJpegblip: SetPictureType(PictureType::kJpeg); return;
    case Keyword::kEmfblip: SetPictureType(PictureType::kEmf); return;
    case Keyword::kWmetafile:
      SetPictureType(PictureType::kWmf);
      picture_.mappingMode = hasParam ? param : 1;  // MM_TEXT when not given
      return;
    case Keyword::kDibitmap: SetPictureType(PictureType::kDib); return;
    case Keyword::kBitmap: SetPictureType(PictureType::kBitmap); return;
    case Keyword::kPicw: picture_.pixelWidth = std::clamp(param, 0, 100000); return;
    case Keyword::kPich: picture_.pixelHeight = std::clamp(param, 0, 100000); return;
    case Keyword::kPicwgoal: picture_.goalWidth = std::clamp(param, 0, 1000000); return;
    case Keyword::kPichgoal: picture_.goalHeight = std::clamp(param, 0, 1000000); return;
    case Keyword::kPicscalex: picture_.scaleX = std::clamp(param, 1, 10000); return;
    case Keyword::kPicscaley: picture_.scaleY = std::clamp(param, 1, 10000); return;
    case Keyword::kWbmbitspixel: picture_.bitsPerPixel = std::clamp(param, 0, 64); return;
    case Keyword::kWbmplanes: picture_.planes = std::clamp(param, 0, 64); return;
    case Keyword::kWbmwidthbytes: picture_.widthBytes = std::clamp(param, 0, 1 << 20); return;
    default:
      return;
  }
}

// Paragraph and line breaks, tabs and the named characters.
void RtfReader::BreakWord(const KeywordEntry& keyword) {
  switch (keyword.id) {
    case Keyword::kPar: Paragraph(); return;
    case Keyword::kPage:
    case Keyword::kSect:
      // Breaks, not paragraphs: they end an open paragraph and add none.
      if (writer_.ParagraphOpen()) Paragraph();
      return;
    case Keyword::kLine: LineBreak(); return;
    case Keyword::kTab: TextByte('\t'); return;
    case Keyword::kCharacter: TextUnit(static_cast<char16_t>(keyword.value)); return;
    default:
      return;
  }
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

// ---- font and colour tables ------------------------------------------------------

void RtfReader::BeginFont(int number) {
  FinishFont();
  fontEntry_ = &document_.DefineFont(number);
  fontName_.clear();
  fontFamily_ = 0;
}

void RtfReader::FontNameByte(unsigned char byte) {
  if (!fontEntry_) return;
  if (byte == ';') {
    FinishFont();
    return;
  }
  if (fontName_.size() < kMaxFontName) fontName_.push_back(static_cast<char>(byte));
}

void RtfReader::FinishFont() {
  if (!fontEntry_) return;
  std::u16string name;
  decoder_.Decode(fontEntry_->codePage != 0 ? fontEntry_->codePage : codePage_, fontName_, name);
  fontEntry_->css = CssFontFamily(name, fontFamily_);
  fontEntry_ = nullptr;
  fontName_.clear();
  cachedFont_ = INT32_MIN;
}

void RtfReader::StyleNameByte(unsigned char byte) {
  if (byte == ';') {
    FinishStyle();
    return;
  }
  if (styleName_.size() < kMaxStyleName) styleName_.push_back(static_cast<char>(byte));
}

// A style is a heading by its name ("heading 1" to "heading 6", in any case, with
// Word's aliases after a comma) or, failing that, by its outline level.
void RtfReader::FinishStyle() {
  int level = HeadingLevelOfName(styleName_);
  if (level == 0 && styleOutline_ >= 0 && styleOutline_ < kHeadingLevels)
    level = styleOutline_ + 1;
  if (level > 0) {
    document_.headingStyles[styleNumber_] = level;
  } else {
    document_.headingStyles.erase(styleNumber_);
  }
  styleName_.clear();
  styleNumber_ = 0;
  styleOutline_ = -1;
}

void RtfReader::FinishColor() {
  document_.colors.push_back(colorSet_ ? colorEntry_ : -1);
  colorEntry_ = 0;
  colorSet_ = false;
}

// ---- pictures and lists ----------------------------------------------------------

void RtfReader::SetPictureType(PictureType type) {
  picture_.type = type;
  picture_.mappingMode = 0;
}

void RtfReader::FinishPicture() {
  const GroupState& state = State();
  if (state.dest != Dest::kText || state.chr.hidden) return;
  writer_.BeginContent(state.chr, state.para);
  std::string name = writer_.PictureReference(picture_);
  if (!pictures_ || !pictureData_.Sound()) return;
  std::vector<unsigned char> data = pictureData_.TakeBytes();
  if (!IsWholePicture(picture_.type, data)) return;
  picture_.name = std::move(name);
  picture_.data = std::move(data);
  pictures_->push_back(std::move(picture_));
}

// Numbers and letters with a full stop or bracket make a numbered list; anything
// else (a bullet glyph, "o", "-") a bulleted one.
ListKind RtfReader::MarkerKind() const {
  for (char c : listMarker_) {
    if ((c >= '0' && c <= '9') || c == '.' || c == ')') return ListKind::kOrdered;
  }
  return ListKind::kBullet;
}

void RtfReader::ApplyListDefinition() {
  ParaFormat& para = State().para;
  para.list = listDefinition_.list;
  para.listLevel = listDefinition_.listLevel;
  para.listStart = listDefinition_.listStart;
}

}  // namespace irun
