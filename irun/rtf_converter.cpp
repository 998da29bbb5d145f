// The RTF reader and its HTML writer.
//
// One pass over the bytes: groups push and pop a copy of the reading state, control
// words change it, text goes out at once. Block structure (paragraphs, lists, tables)
// and formatting runs are opened lazily when content arrives, so nothing empty is
// written and neighbouring runs of equal format merge.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "code_page.h"
#include "html_output.h"
#include "irun_core.h"
#include "irun_marker.h"
#include "output_memory.h"
#include "rtf_keywords.h"

namespace irun {
namespace {

constexpr int kMaxGroupDepth = 1000;     // deeper groups are read but their content dropped
constexpr int kMaxTableDepth = 8;        // \itap beyond this is taken as this
constexpr int kMaxListLevel = 8;         // \ilvl 0..8 as Word writes them
constexpr size_t kMaxFieldInstruction = 2048;
constexpr size_t kMaxFontName = 256;
constexpr int kMaxTwips = 31680;         // 22 inches: larger indents are nonsense

enum class Dest : uint8_t {
  kText,            // visible text
  kSkip,            // read and dropped
  kFontTable,       // font names and charsets
  kColorTable,      // colour entries
  kFieldInst,       // a field's instruction, kept for HYPERLINK
  kPicture,         // picture properties; the data is skipped
  kListMarker,      // \pntext / \listtext: the number or bullet of a list paragraph
  kListDefinition,  // \*\pn: the list kind of the following paragraphs
  kTableProps,      // \*\nesttableprops: control words only
};

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
  int leftIndent = 0;
  int rightIndent = 0;
  int firstIndent = 0;
  int spaceBefore = 0;
  int spaceAfter = 0;
  int tableDepth = 0;
  ListKind list = ListKind::kNone;
  int listLevel = 0;
  int listStart = 1;
};

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
  int unicodeSkip = 1;  // \uc
  int field = -1;       // index into the field stack of the innermost field
  Dest uprDest = Dest::kSkip;  // where the Unicode half of \upr goes
  CharFormat chr;
  ParaFormat para;
};

struct FontInfo {
  unsigned codePage = 0;  // 0: the document's
  std::string css;        // font-family value, ready to write
};

struct Field {
  std::u16string instruction;
  std::string href;  // set when the instruction is a usable HYPERLINK
  int serial = 0;
};

struct Picture {
  const char* extension = "png";
  int width = 0;  // in twips; 0 unknown
  int height = 0;
  int pixelWidth = 0;
  int pixelHeight = 0;
  int scaleX = 100;
  int scaleY = 100;
};

// The effective format of a run, compared level by level to keep runs merged.
struct RunFormat {
  int link = 0;
  int font = -1;
  int halfPoints = 0;  // 0: the reader's normal size
  int color = -1;
  int background = -1;
  bool bold = false, italic = false, underline = false, strike = false;
  int8_t vertical = 0;
};

constexpr int kRunLevels = 8;  // link, font span, colour span, b, i, u, s, sup/sub

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

int ClampTwips(int value) { return std::clamp(value, -kMaxTwips, kMaxTwips); }

bool StartsWithRtf(const char* data, size_t size) {
  size_t i = 0;
  while (i < size && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
    ++i;
  return size - i >= 5 && std::memcmp(data + i, "{\\rtf", 5) == 0;
}

unsigned CodePageOfCharset(int charset) {
  switch (charset) {
    case 0: return 1252;
    case 2: return 1252;  // Symbol: no code page; its bullets read best as Latin-1
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0;  // DEFAULT_CHARSET and unknown: the document's code page
  }
}

bool IsDoubleByteCodePage(unsigned codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
         codePage == 1361;
}

// Byte classes of the reading loops: RTF syntax and line ends stop a text run;
// printable ASCII other than markup and spaces goes out as it is.
enum ByteClass : uint8_t { kOther, kRun, kSpecial };
constexpr std::array<uint8_t, 256> MakeByteClasses() {
  std::array<uint8_t, 256> classes{};
  for (int c = 0x21; c < 0x7F; ++c) classes[static_cast<size_t>(c)] = kRun;
  for (int c : {int('<'), int('>'), int('&'), int('"')}) classes[static_cast<size_t>(c)] = kOther;
  for (int c : {int('{'), int('}'), int('\\'), int('\r'), int('\n'), 0})
    classes[static_cast<size_t>(c)] = kSpecial;
  return classes;
}
constexpr std::array<uint8_t, 256> kByteClass = MakeByteClasses();

class Converter {
 public:
  Converter(const char* data, size_t size, HtmlOutput& out, const ConvertOptions& options)
      : p_(data), end_(data + size), out_(out), options_(options) {
    stack_.reserve(64);
    stack_.emplace_back();
    containers_.emplace_back();
  }

  int Run(bool isRtf) {
    WriteDocumentStart();
    if (isRtf) {
      ReadRtf();
    } else {
      ReadPlainText();
    }
    FinishDocument();
    return pictureCount_;
  }

 private:
  // ---- reading -------------------------------------------------------------------

  void ReadRtf() {
    while (*p_ != '{') ++p_;  // white space before "{\rtf", which is known to follow
    while (p_ < end_ && !stopped_) {
      const unsigned char c = static_cast<unsigned char>(*p_);
      switch (c) {
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
      if (out_.OverBudget()) stopped_ = true;
    }
  }

  void ReadPlainText() {
    while (p_ < end_) {
      const unsigned char c = static_cast<unsigned char>(*p_++);
      if (c == '\n') {
        FlushBytes();
        EndParagraph();
      } else if (c != '\r') {
        TextByte(c);
      }
      if (out_.OverBudget()) break;
    }
    FlushBytes();
  }

  static bool IsSpecial(unsigned char c) { return kByteClass[c] == kSpecial; }

  // Plain bytes up to the next brace, backslash or line end.
  void ReadTextRun() {
    GroupState& state = stack_.back();
    if (overflow_ > 0 || (state.dest != Dest::kText && state.dest != Dest::kFontTable &&
                          state.dest != Dest::kColorTable && state.dest != Dest::kFieldInst &&
                          state.dest != Dest::kListMarker)) {
      // Skipped text (mostly picture data): line ends mean nothing here either.
      const char* p = p_;
      const char* const end = end_;
      while (p < end && (kByteClass[static_cast<unsigned char>(*p)] != kSpecial || *p == '\r' ||
                         *p == '\n' || *p == 0)) {
        ++p;
      }
      p_ = p;
      return;
    }
    if (state.dest == Dest::kText && !state.chr.hidden) {
      WriteTextRun();
      return;
    }
    while (p_ < end_ && !IsSpecial(static_cast<unsigned char>(*p_))) {
      TextByte(static_cast<unsigned char>(*p_++));
    }
  }

  // The hot path: printable ASCII and single spaces are copied in bulk; bytes that
  // need decoding, and the fallback characters after \u, go one by one.
  void WriteTextRun() {
    if (p_ < end_ && static_cast<unsigned char>(*p_) < 0x80 &&
        !IsSpecial(static_cast<unsigned char>(*p_)) && NothingHeldBack()) {
      // Even a control character that is then dropped opens the paragraph here.
      BeginContent();
    }
    while (p_ < end_) {
      const unsigned char c = static_cast<unsigned char>(*p_);
      if (IsSpecial(c)) return;
      if (c >= 0x80 || !NothingHeldBack()) {
        TextByte(c);
        ++p_;
        continue;
      }
      if (c < 0x20 && c != '\t') {
        ++p_;  // control characters that HTML cannot show
        continue;
      }
      BeginContent();
      // A local pointer: the member could alias the bytes and be reloaded each time.
      const char* const start = p_;
      const char* p = p_;
      const char* const end = end_;
      bool space = lastSpace_;
      for (; p < end; ++p) {
        const unsigned char b = static_cast<unsigned char>(*p);
        if (kByteClass[b] == kRun) {
          space = false;
        } else if (b == ' ' && !space) {
          space = true;  // a single space stays a plain one
        } else {
          break;
        }
      }
      p_ = p;
      if (p > start) {
        out_.PlainAscii(start, static_cast<size_t>(p - start));
        lastSpace_ = space;
        continue;
      }
      ++p_;
      if (c == ' ') {
        WriteSpace();
      } else if (c == '\t') {
        WriteTab();
      } else {
        out_.Escaped(c);
        lastSpace_ = false;
      }
    }
  }

  // True when a byte of text can go out as it is: no fallback characters to skip, no
  // bytes or surrogate half waiting for the rest of their character.
  bool NothingHeldBack() const {
    return skip_ == 0 && !expectTrail_ && pending_.empty() && !highSurrogate_;
  }

  void ReadControl() {
    ++p_;  // the backslash
    if (p_ >= end_) return;
    const unsigned char c = static_cast<unsigned char>(*p_);
    if (!IsAsciiLetter(c)) {
      ++p_;
      ControlSymbol(c);
      return;
    }
    char name[kMaxKeywordLength + 1];
    size_t length = 0;
    while (p_ < end_ && IsAsciiLetter(static_cast<unsigned char>(*p_))) {
      if (length < kMaxKeywordLength) name[length++] = *p_;
      ++p_;
    }
    bool hasParam = false;
    long long param = 0;
    bool negative = false;
    if (p_ + 1 < end_ && *p_ == '-' && IsDigit(static_cast<unsigned char>(p_[1]))) {
      negative = true;
      ++p_;
    }
    while (p_ < end_ && IsDigit(static_cast<unsigned char>(*p_))) {
      hasParam = true;
      // Numbers beyond 32 bits stick at the limit instead of wrapping.
      if (param <= 0x7FFFFFFFLL) param = param * 10 + (*p_ - '0');
      ++p_;
    }
    if (p_ < end_ && *p_ == ' ') ++p_;
    if (negative) param = -param;
    param = std::clamp<long long>(param, INT32_MIN, INT32_MAX);
    const KeywordEntry keyword = FindKeyword(std::string_view(name, length));
    if (overflow_ > 0) {
      if (keyword.id == Keyword::kBin && hasParam) SkipBinary(param);
      return;
    }
    ControlWord(keyword, hasParam, static_cast<int>(param));
  }

  static bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
  static bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
  static int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
    return -1;
  }

  void SkipBinary(long long count) {
    const size_t left = static_cast<size_t>(end_ - p_);
    p_ += count < 0 ? 0 : std::min(left, static_cast<size_t>(count));
  }

  void ControlSymbol(unsigned char c) {
    if (overflow_ > 0) return;
    if (c != '\'' && c != '\\' && c != '{' && c != '}') FlushBytes();
    switch (c) {
      case '\'': {
        int high = p_ < end_ ? HexValue(static_cast<unsigned char>(*p_)) : -1;
        int low = p_ + 1 < end_ ? HexValue(static_cast<unsigned char>(p_[1])) : -1;
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

  // ---- groups --------------------------------------------------------------------

  void PushGroup() {
    FlushBytes();
    skip_ = 0;
    ignorableNext_ = false;
    if (overflow_ > 0 || depth_ >= kMaxGroupDepth) {
      ++overflow_;
      return;
    }
    ++depth_;
    GroupState copy = stack_.back();
    copy.roles = kRoleNone;
    stack_.push_back(std::move(copy));
  }

  void PopGroup() {
    FlushBytes();
    skip_ = 0;
    ignorableNext_ = false;
    if (overflow_ > 0) {
      --overflow_;
      return;
    }
    if (depth_ == 0) return;
    --depth_;
    const GroupState closed = std::move(stack_.back());
    stack_.pop_back();
    if (closed.roles & kRolePicture) WritePicture();
    if (closed.roles & kRoleListMarker) listMarkerKind_ = MarkerKind();
    if (closed.roles & kRoleListDefinition) ApplyListDefinition();
    if (closed.roles & kRoleFontEntry) FinishFont();
    if ((closed.roles & kRoleField) && !fields_.empty()) fields_.pop_back();
    formatDirty_ = true;
  }

  GroupState& State() { return stack_.back(); }

  // A destination keyword: `dest` for the group, unless this group is skipped already.
  void EnterDestination(Dest dest) {
    GroupState& state = State();
    if (state.dest == Dest::kSkip) return;
    state.dest = dest;
  }

  // ---- control words -------------------------------------------------------------

  void ControlWord(const KeywordEntry& keyword, bool hasParam, int param) {
    if (keyword.id != Keyword::kU && keyword.id != Keyword::kBin) FlushBytes();
    const bool ignorable = ignorableNext_;
    ignorableNext_ = false;
    GroupState& state = State();
    if (ignorable && !keyword.destination) {
      // A destination we do not read, behind \*: skipped with everything in it.
      state.dest = Dest::kSkip;
      return;
    }
    CharFormat& chr = state.chr;
    ParaFormat& para = state.para;
    const bool on = !hasParam || param != 0;
    switch (keyword.id) {
      case Keyword::kUnknown:
      case Keyword::kRtf:
        return;

      // document
      case Keyword::kAnsi: codePage_ = 1252; return;
      case Keyword::kMac: codePage_ = 10000; return;
      case Keyword::kPc: codePage_ = 437; return;
      case Keyword::kPca: codePage_ = 850; return;
      case Keyword::kAnsicpg:
        if (param > 0 && param < 65536) codePage_ = static_cast<unsigned>(param);
        return;
      case Keyword::kDeff: defaultFont_ = param; return;
      case Keyword::kUc: state.unicodeSkip = std::clamp(param, 0, 255); return;
      case Keyword::kU:
        if (hasParam) UnicodeChar(param);
        return;
      case Keyword::kBin:
        if (hasParam) SkipBinary(param);
        return;

      // destinations
      case Keyword::kFonttbl: EnterDestination(Dest::kFontTable); return;
      case Keyword::kColortbl: EnterDestination(Dest::kColorTable); return;
      case Keyword::kSkipDestination: state.dest = Dest::kSkip; return;
      case Keyword::kPict:
        if (state.dest != Dest::kText) {
          state.dest = Dest::kSkip;
          return;
        }
        state.dest = Dest::kPicture;
        state.roles |= kRolePicture;
        picture_ = Picture();
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
        fields_.push_back(Field());
        fields_.back().serial = ++fieldSerial_;
        state.field = static_cast<int>(fields_.size()) - 1;
        state.roles |= kRoleField;
        return;
      case Keyword::kFldinst:
        state.dest = state.field >= 0 && state.dest == Dest::kText ? Dest::kFieldInst : Dest::kSkip;
        return;
      case Keyword::kFldrslt:
        if (state.field >= 0 && state.dest == Dest::kText) {
          Field& field = fields_[static_cast<size_t>(state.field)];
          if (field.href.empty()) field.href = HyperlinkTarget(field.instruction);
          if (!field.href.empty()) {
            chr.link = field.serial;
            formatDirty_ = true;
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

      // character formatting
      case Keyword::kPlain: {
        const int link = chr.link;  // a field's result stays a link
        chr = CharFormat{};
        chr.font = defaultFont_;
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

      // paragraph formatting
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

      // \*\pn list definitions (as rich edit writes them)
      case Keyword::kPnlvlblt: listDefinition_.list = ListKind::kBullet; return;
      case Keyword::kPnNumbered: listDefinition_.list = ListKind::kOrdered; return;
      case Keyword::kPnlvl: listDefinition_.listLevel = std::clamp(param - 1, 0, kMaxListLevel); return;
      case Keyword::kPnstart: listDefinition_.listStart = std::clamp(param, 0, 1000000); return;

      // tables
      case Keyword::kTrowd:
        rowDefinition_.clear();
        // Wine's rich edit writes its rows without \intbl: a row definition in the text
        // puts the paragraphs up to \row into the table.
        if (state.dest == Dest::kText && para.tableDepth == 0) {
          para.tableDepth = 1;
          rowImpliesTable_ = true;
        }
        return;
      case Keyword::kCellx:
        if (rowDefinition_.size() < 64) rowDefinition_.push_back(ClampTwips(param));
        return;
      case Keyword::kCell:
        if (state.dest == Dest::kText) EndCell(std::max(para.tableDepth, 1));
        return;
      case Keyword::kNestcell:
        if (state.dest == Dest::kText) EndCell(std::max(para.tableDepth, 2));
        return;
      case Keyword::kRow:
        if (state.dest == Dest::kText || state.dest == Dest::kTableProps) EndRow(1);
        if (std::exchange(rowImpliesTable_, false)) para.tableDepth = 0;
        return;
      case Keyword::kNestrow:
        if (state.dest == Dest::kText || state.dest == Dest::kTableProps)
          EndRow(std::max(para.tableDepth, 2));
        return;

      // pictures
      case Keyword::kPngblip: picture_.extension = "png"; return;
      case Keyword::kJpegblip: picture_.extension = "jpg"; return;
      case Keyword::kEmfblip: picture_.extension = "emf"; return;
      case Keyword::kWmetafile: picture_.extension = "wmf"; return;
      case Keyword::kBitmap: picture_.extension = "bmp"; return;
      case Keyword::kPicw: picture_.pixelWidth = std::clamp(param, 0, 100000); return;
      case Keyword::kPich: picture_.pixelHeight = std::clamp(param, 0, 100000); return;
      case Keyword::kPicwgoal: picture_.width = std::clamp(param, 0, 1000000); return;
      case Keyword::kPichgoal: picture_.height = std::clamp(param, 0, 1000000); return;
      case Keyword::kPicscalex: picture_.scaleX = std::clamp(param, 1, 10000); return;
      case Keyword::kPicscaley: picture_.scaleY = std::clamp(param, 1, 10000); return;

      // special characters
      case Keyword::kPar: Paragraph(); return;
      case Keyword::kPage:
      case Keyword::kSect:
        // Breaks, not paragraphs: they end an open paragraph and add none.
        if (paraOpen_) Paragraph();
        return;
      case Keyword::kLine: LineBreak(); return;
      case Keyword::kTab: TextByte('\t'); return;
      case Keyword::kCharacter: TextUnit(static_cast<char16_t>(keyword.value)); return;
    }
    formatDirty_ = true;
  }

  // ---- text ----------------------------------------------------------------------

  unsigned TextCodePage() {
    const int font = State().chr.font;
    if (font != cachedFont_) {
      cachedFont_ = font;
      const FontInfo* info = FindFont(font);
      cachedFontCodePage_ = info ? info->codePage : 0;
    }
    return cachedFontCodePage_ != 0 ? cachedFontCodePage_ : codePage_;
  }

  // A byte of text in the current font's code page, from the input or from \'hh.
  void HexByte(unsigned char byte) {
    if (skip_ > 0) {
      --skip_;
      return;
    }
    const Dest dest = State().dest;
    if (dest == Dest::kFontTable) {
      FontNameByte(byte);
      return;
    }
    if (dest == Dest::kListMarker) {
      if (listMarker_.size() < 16) listMarker_.push_back(static_cast<char>(byte));
      return;
    }
    if (dest != Dest::kText && dest != Dest::kFieldInst) return;
    const unsigned codePage = TextCodePage();
    if (!pending_.empty() && codePage != pendingCodePage_) FlushBytes();
    pendingCodePage_ = codePage;
    pending_.push_back(static_cast<char>(byte));
    if (expectTrail_) {
      expectTrail_ = false;
    } else if (IsDoubleByteCodePage(codePage) && IsLeadByte(codePage, byte)) {
      expectTrail_ = true;
    }
  }

  void TextByte(unsigned char byte) {
    if (byte < 0x80 && !expectTrail_ && State().dest != Dest::kFontTable &&
        State().dest != Dest::kListMarker) {
      if (skip_ > 0) {
        --skip_;
        return;
      }
      FlushBytes();
      if (byte == '\t') {
        TextUnit('\t');
      } else if (byte == ';' && State().dest == Dest::kColorTable) {
        FinishColor();
      } else if (byte >= 0x20) {
        TextUnit(byte);
      }
      return;
    }
    HexByte(byte);
  }

  void FlushBytes() {
    expectTrail_ = false;
    if (pending_.empty()) return;
    decoded_.clear();
    DecodeBytes(pendingCodePage_, pending_, decoded_);
    pending_.clear();
    for (char16_t unit : decoded_) TextUnit(unit);
  }

  // Single-byte code pages go through a table made once; double-byte ones through the
  // platform for each run.
  void DecodeBytes(unsigned codePage, const std::string& bytes, std::u16string& out) {
    if (!IsDoubleByteCodePage(codePage)) {
      const std::array<char16_t, 256>& table = SingleByteTable(codePage);
      for (char b : bytes) out.push_back(table[static_cast<unsigned char>(b)]);
      return;
    }
    if (!DecodeCodePage(codePage, bytes, out)) {
      for (size_t i = 0; i < bytes.size(); ++i) out.push_back(u'\uFFFD');
    }
  }

  const std::array<char16_t, 256>& SingleByteTable(unsigned codePage) {
    auto found = byteTables_.find(codePage);
    if (found != byteTables_.end()) return found->second;
    std::array<char16_t, 256> table;
    std::u16string one;
    for (int b = 0; b < 256; ++b) {
      one.clear();
      const char byte = static_cast<char>(b);
      if (b < 0x80) {
        table[static_cast<size_t>(b)] = static_cast<char16_t>(b);
      } else if ((DecodeCodePage(codePage, std::string_view(&byte, 1), one) ||
                  DecodeCodePage(1252, std::string_view(&byte, 1), one)) &&
                 one.size() == 1) {
        table[static_cast<size_t>(b)] = one[0];
      } else {
        table[static_cast<size_t>(b)] = u'\uFFFD';
      }
    }
    // A table per code page named in the document; a hostile one could name many.
    if (byteTables_.size() > 64) byteTables_.clear();
    return byteTables_.emplace(codePage, table).first->second;
  }

  void UnicodeChar(int value) {
    // Writers give units above 32767 as negative numbers.
    if (value < 0 && value >= -32768) value += 65536;
    const char16_t unit = value >= 0 && value <= 0xFFFF ? static_cast<char16_t>(value) : u'\uFFFD';
    FlushBytes();
    if (State().dest == Dest::kFontTable || State().dest == Dest::kListMarker) {
      if (State().dest == Dest::kListMarker && listMarker_.size() < 16)
        listMarker_.push_back(unit < 0x80 ? static_cast<char>(unit) : '*');
    } else {
      TextUnit(unit);
    }
    skip_ = State().unicodeSkip;
  }

  // One UTF-16 unit of text; surrogate halves are paired here.
  void TextUnit(char16_t unit) {
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

  void TextCodePoint(uint32_t codePoint) {
    GroupState& state = State();
    switch (state.dest) {
      case Dest::kText:
        break;
      case Dest::kFieldInst:
        if (state.field >= 0 && fields_[static_cast<size_t>(state.field)].instruction.size() <
                                    kMaxFieldInstruction) {
          fields_[static_cast<size_t>(state.field)].instruction.push_back(
              codePoint > 0xFFFF ? u'\uFFFD' : static_cast<char16_t>(codePoint));
        }
        return;
      default:
        return;
    }
    // Hidden text, and control characters that HTML cannot show.
    if (state.chr.hidden || (codePoint < 0x20 && codePoint != '\t')) return;
    BeginContent();
    if (codePoint == ' ') {
      WriteSpace();
    } else if (codePoint == '\t') {
      WriteTab();
    } else {
      out_.Escaped(codePoint);
      lastSpace_ = false;
    }
  }

  void WriteSpace() {
    // HTML folds runs of spaces; the second and later ones stay as no-break spaces.
    if (lastSpace_) {
      out_.Raw("&#160;");
    } else {
      out_.Raw(" ");
      lastSpace_ = true;
    }
  }

  void WriteTab() {
    out_.Raw("<span style=\"white-space:pre\">&#9;</span>");
    lastSpace_ = false;
  }

  // ---- font and colour tables ----------------------------------------------------

  void BeginFont(int number) {
    FinishFont();
    fontEntry_ = &fonts_[number];
    if (number >= 0 && number < kFontSlots) fontSlots_[static_cast<size_t>(number)] = fontEntry_;
    fontEntry_->codePage = 0;
    fontEntry_->css.clear();
    fontName_.clear();
    fontFamily_ = 0;
  }

  void FontNameByte(unsigned char byte) {
    if (!fontEntry_) return;
    if (byte == ';') {
      FinishFont();
      return;
    }
    if (fontName_.size() < kMaxFontName) fontName_.push_back(static_cast<char>(byte));
  }

  void FinishFont() {
    if (!fontEntry_) return;
    std::u16string name;
    const unsigned codePage = fontEntry_->codePage != 0 ? fontEntry_->codePage : codePage_;
    DecodeBytes(codePage, fontName_, name);
    std::string css;
    bool needsQuotes = false;
    for (char16_t c : name) {
      // Quotes, markup and separators would break the style attribute.
      if (c == '"' || c == '\'' || c == '<' || c == '>' || c == '&' || c == ';' || c == ',' ||
          c == '\\' || c < 0x20 || c == 0x7F) {
        continue;
      }
      if (c == ' ') needsQuotes = true;
      if (c < 0x80) {
        css.push_back(static_cast<char>(c));
      } else {
        needsQuotes = true;
        css += "&#" + std::to_string(static_cast<unsigned>(c)) + ";";
      }
    }
    while (!css.empty() && css.back() == ' ') css.pop_back();
    while (!css.empty() && css.front() == ' ') css.erase(0, 1);
    if (!css.empty() && needsQuotes) css = "'" + css + "'";
    static constexpr const char* kGeneric[] = {"",       "serif",   "sans-serif", "monospace",
                                               "cursive", "fantasy", ""};
    const char* generic = kGeneric[std::clamp(fontFamily_, 0, 6)];
    if (*generic) css += css.empty() ? std::string(generic) : std::string(",") + generic;
    fontEntry_->css = css;
    fontEntry_ = nullptr;
    fontName_.clear();
    cachedFont_ = INT32_MIN;
  }

  void FinishColor() {
    colors_.push_back(colorSet_ ? colorEntry_ : -1);
    colorEntry_ = 0;
    colorSet_ = false;
  }

  // ---- fields and lists ----------------------------------------------------------

  // The target of a HYPERLINK instruction, or empty for any other field.
  static std::string HyperlinkTarget(const std::u16string& instruction) {
    size_t i = 0;
    auto skipSpaces = [&] {
      while (i < instruction.size() && (instruction[i] == ' ' || instruction[i] == '\t')) ++i;
    };
    auto token = [&] {
      skipSpaces();
      std::u16string word;
      if (i < instruction.size() && instruction[i] == '"') {
        ++i;
        while (i < instruction.size() && instruction[i] != '"') word.push_back(instruction[i++]);
        if (i < instruction.size()) ++i;
      } else {
        while (i < instruction.size() && instruction[i] != ' ' && instruction[i] != '\t')
          word.push_back(instruction[i++]);
      }
      return word;
    };
    std::u16string keyword = token();
    for (char16_t& c : keyword) {
      if (c >= 'a' && c <= 'z') c = static_cast<char16_t>(c - 32);
    }
    if (keyword != u"HYPERLINK") return {};
    std::u16string url, anchor;
    while (true) {
      skipSpaces();
      if (i >= instruction.size()) break;
      const bool isSwitch = instruction[i] == '\\';
      std::u16string word = token();
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
    if (!anchor.empty()) url += u"#" + anchor;
    std::u16string lower;
    for (char16_t c : url.substr(0, 12)) lower.push_back(c >= 'A' && c <= 'Z' ? c + 32 : c);
    // Script addresses would run code when the note is opened.
    if (lower.rfind(u"javascript:", 0) == 0 || lower.rfind(u"vbscript:", 0) == 0 ||
        lower.rfind(u"data:", 0) == 0) {
      return {};
    }
    std::string href;
    for (char16_t c : url) {
      if (c >= 0x20 && c < 0x7F && HtmlOutput::IsPlain(static_cast<unsigned char>(c))) {
        href.push_back(static_cast<char>(c));
      } else if (c == '&') {
        href += "&amp;";
      } else if (c == '"') {
        href += "&quot;";
      } else if (c == '<') {
        href += "&lt;";
      } else if (c == '>') {
        href += "&gt;";
      } else if (c >= 0x20) {
        href += "&#" + std::to_string(static_cast<unsigned>(c)) + ";";
      }
    }
    return href;
  }

  // Numbers and letters with a full stop or bracket make a numbered list; anything
  // else (a bullet glyph, "o", "-") a bulleted one.
  ListKind MarkerKind() const {
    for (char c : listMarker_) {
      if ((c >= '0' && c <= '9') || c == '.' || c == ')') return ListKind::kOrdered;
    }
    return ListKind::kBullet;
  }

  void ApplyListDefinition() {
    ParaFormat& para = State().para;
    para.list = listDefinition_.list;
    para.listLevel = listDefinition_.listLevel;
    para.listStart = listDefinition_.listStart;
  }

  // ---- blocks --------------------------------------------------------------------

  void WriteDocumentStart() {
    out_.Raw("<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
             "charset=us-ascii\">\r\n" IRUN_CONVERTER_MARKER_COMMENT "\r\n</head>\r\n<body");
    const std::string& color = options_.backgroundColor;
    const bool validColor =
        color.size() == 6 && std::all_of(color.begin(), color.end(), [](char c) {
          return HexValue(static_cast<unsigned char>(c)) >= 0;
        });
    if (validColor) {
      out_.Raw(" bgcolor=\"#");
      out_.Raw(color);
      out_.Raw("\"");
    }
    out_.Raw(">\r\n");
  }

  void FinishDocument() {
    FlushBytes();
    if (highSurrogate_) {
      highSurrogate_ = 0;
      if (State().dest == Dest::kText) TextCodePoint(0xFFFD);
    }
    if (paraOpen_) CloseParagraph();
    CloseTablesDeeperThan(0);
    CloseLists(containers_.front());
    out_.Raw("</body>\r\n</html>\r\n");
  }

  int Pixels(int twips) const {
    return static_cast<int>((static_cast<long long>(twips) * options_.dotsPerInch +
                             (twips >= 0 ? 720 : -720)) / 1440);
  }

  std::string ParagraphStyle(const ParaFormat& para, bool forItem) const {
    std::string style;
    auto add = [&](const char* name, int pixels) {
      if (pixels == 0) return;
      style += name;
      style += std::to_string(pixels);
      style += "px;";
    };
    switch (para.align) {
      case Align::kCenter: style += "text-align:center;"; break;
      case Align::kRight: style += "text-align:right;"; break;
      case Align::kJustify: style += "text-align:justify;"; break;
      case Align::kLeft: break;
    }
    if (!forItem) {
      // In a list the indent is what the list itself shows.
      add("margin-left:", Pixels(para.leftIndent));
      add("text-indent:", Pixels(para.firstIndent));
    }
    add("margin-right:", Pixels(para.rightIndent));
    add("margin-top:", Pixels(para.spaceBefore));
    add("margin-bottom:", Pixels(para.spaceAfter));
    if (!style.empty()) style.pop_back();
    return style;
  }

  void WriteStyleAttribute(const std::string& style) {
    if (style.empty()) return;
    out_.Raw(" style=\"");
    out_.Raw(style);
    out_.Raw("\"");
  }

  // Before any visible content: the paragraph (and its table cell and list) and the
  // formatting of the run.
  void BeginContent() {
    if (!paraOpen_) OpenParagraph();
    if (formatDirty_) ApplyRunFormat();
    paraHasContent_ = true;
  }

  void OpenParagraph() {
    const ParaFormat& para = State().para;
    const int depth = std::clamp(para.tableDepth, 0, kMaxTableDepth);
    CloseTablesDeeperThan(depth);
    if (depth > 0) EnsureCell(depth);
    Container& container = containers_.back();
    if (para.list != ListKind::kNone) {
      StartListItem(container, para);
      paraKind_ = ParaKind::kItem;
    } else {
      CloseLists(container);
      const std::string style = ParagraphStyle(para, false);
      if (depth > 0 && style.empty()) {
        // Paragraphs in a cell are lines, not boxes.
        if (container.hasContent && container.lastBare) out_.Raw("<br>");
        paraKind_ = ParaKind::kBare;
      } else {
        out_.Raw("<div");
        WriteStyleAttribute(style);
        out_.Raw(">");
        paraKind_ = ParaKind::kDiv;
      }
    }
    paraOpen_ = true;
    paraHasContent_ = false;
    lastSpace_ = true;
    formatDirty_ = true;
  }

  void CloseParagraph() {
    CloseRuns();
    Container& container = containers_.back();
    switch (paraKind_) {
      case ParaKind::kDiv:
        if (!paraHasContent_) out_.Raw("<br>");
        out_.Raw("</div>\r\n");
        container.lastBare = false;
        break;
      case ParaKind::kItem:
        if (!paraHasContent_) out_.Raw("<br>");
        container.lastBare = false;
        break;  // the item stays open for a sub-list
      case ParaKind::kBare:
        container.lastBare = true;
        break;
    }
    container.hasContent = true;
    paraOpen_ = false;
  }

  void Paragraph() {
    if (State().dest != Dest::kText) return;
    EndParagraph();
  }

  void EndParagraph() {
    if (!paraOpen_) OpenParagraph();
    CloseParagraph();
  }

  void LineBreak() {
    if (State().dest != Dest::kText || State().chr.hidden) return;
    BeginContent();
    out_.Raw("<br>");
    lastSpace_ = true;
  }

  void StartListItem(Container& container, const ParaFormat& para) {
    const bool ordered = para.list == ListKind::kOrdered;
    const size_t level = static_cast<size_t>(std::clamp(para.listLevel, 0, kMaxListLevel));
    while (container.lists.size() > level + 1) CloseListLevel(container);
    if (container.lists.size() == level + 1 && container.lists.back().ordered != ordered)
      CloseListLevel(container);
    while (container.lists.size() < level + 1) {
      out_.Raw(ordered ? "<ol" : "<ul");
      if (ordered && para.listStart != 1) {
        out_.Raw(" start=\"");
        out_.Number(para.listStart);
        out_.Raw("\"");
      }
      out_.Raw(">\r\n");
      container.lists.push_back(ListLevel{ordered, false});
    }
    ListLevel& current = container.lists.back();
    if (current.itemOpen) out_.Raw("</li>\r\n");
    out_.Raw("<li");
    WriteStyleAttribute(ParagraphStyle(para, true));
    out_.Raw(">");
    current.itemOpen = true;
  }

  void CloseListLevel(Container& container) {
    const ListLevel level = container.lists.back();
    container.lists.pop_back();
    if (level.itemOpen) out_.Raw("</li>\r\n");
    out_.Raw(level.ordered ? "</ol>\r\n" : "</ul>\r\n");
  }

  void CloseLists(Container& container) {
    while (!container.lists.empty()) CloseListLevel(container);
  }

  // Opens tables, rows and cells down to `depth` where they are not open yet.
  void EnsureCell(int depth) {
    for (int level = 1; level <= depth; ++level) {
      if (static_cast<int>(tables_.size()) < level) {
        Container& outer = containers_.back();
        CloseLists(outer);
        outer.hasContent = true;
        outer.lastBare = false;
        out_.Raw("<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\">\r\n");
        tables_.emplace_back();
      }
      TableLevel& table = tables_[static_cast<size_t>(level - 1)];
      if (!table.rowOpen) {
        out_.Raw("<tr>");
        table.rowOpen = true;
        table.cellIndex = 0;
        table.boundaries = level == 1 ? rowDefinition_ : std::vector<int>();
      }
      if (!table.cellOpen) {
        out_.Raw("<td");
        const size_t i = table.cellIndex;
        if (i < table.boundaries.size()) {
          const int width = table.boundaries[i] - (i > 0 ? table.boundaries[i - 1] : 0);
          if (width > 0) {
            out_.Raw(" style=\"width:");
            out_.Number(Pixels(width));
            out_.Raw("px\"");
          }
        }
        out_.Raw(">");
        table.cellOpen = true;
        containers_.emplace_back();
      }
    }
  }

  void CloseCell(TableLevel& table) {
    if (!table.cellOpen) return;
    CloseLists(containers_.back());
    containers_.pop_back();
    out_.Raw("</td>");
    table.cellOpen = false;
    ++table.cellIndex;
  }

  void CloseTablesDeeperThan(int depth) {
    if (paraOpen_ && static_cast<int>(tables_.size()) > depth) CloseParagraph();
    while (static_cast<int>(tables_.size()) > depth) {
      TableLevel& table = tables_.back();
      CloseCell(table);
      if (table.rowOpen) out_.Raw("</tr>\r\n");
      out_.Raw("</table>\r\n");
      tables_.pop_back();
    }
  }

  void EndCell(int depth) {
    depth = std::min(depth, kMaxTableDepth);
    if (paraOpen_) CloseParagraph();
    CloseTablesDeeperThan(depth);
    EnsureCell(depth);
    CloseCell(tables_[static_cast<size_t>(depth - 1)]);
  }

  void EndRow(int depth) {
    depth = std::min(depth, kMaxTableDepth);
    if (static_cast<int>(tables_.size()) < depth) return;  // a row end without a row
    if (paraOpen_) CloseParagraph();
    CloseTablesDeeperThan(depth);
    TableLevel& table = tables_[static_cast<size_t>(depth - 1)];
    CloseCell(table);
    if (table.rowOpen) out_.Raw("</tr>\r\n");
    table.rowOpen = false;
  }

  // ---- pictures ------------------------------------------------------------------

  void WritePicture() {
    const GroupState& state = State();
    if (state.dest != Dest::kText || state.chr.hidden) return;
    BeginContent();
    ++pictureCount_;
    out_.Raw("<img src=\"_img_");
    out_.Number(pictureCount_);
    out_.Raw(".");
    out_.Raw(picture_.extension);
    out_.Raw("\"");
    long long width = picture_.width > 0 ? Pixels(picture_.width) : picture_.pixelWidth;
    long long height = picture_.height > 0 ? Pixels(picture_.height) : picture_.pixelHeight;
    width = width * picture_.scaleX / 100;
    height = height * picture_.scaleY / 100;
    if (width > 0 && height > 0) {
      out_.Raw(" width=\"");
      out_.Number(width);
      out_.Raw("\" height=\"");
      out_.Number(height);
      out_.Raw("\"");
    }
    out_.Raw(">");
    lastSpace_ = false;
  }

  // ---- runs ----------------------------------------------------------------------

  RunFormat EffectiveFormat() {
    const CharFormat& chr = State().chr;
    RunFormat run;
    run.link = chr.link;
    if (!(options_.flags & kOmitFontFaces) && chr.font != defaultFont_) {
      const FontInfo* info = FindFont(chr.font);
      if (info && !info->css.empty()) run.font = chr.font;
    }
    const long long pixels = (static_cast<long long>(chr.halfPoints) * options_.dotsPerInch + 72) / 144;
    if (pixels != options_.baseFontPixels) run.halfPoints = chr.halfPoints;
    run.color = ColorAt(chr.color);
    run.background = ColorAt(chr.background);
    run.bold = chr.bold;
    run.italic = chr.italic;
    run.underline = chr.underline;
    run.strike = chr.strike;
    run.vertical = chr.vertical;
    return run;
  }

  const FontInfo* FindFont(int number) const {
    if (number >= 0 && number < kFontSlots) return fontSlots_[static_cast<size_t>(number)];
    auto found = fonts_.find(number);
    return found == fonts_.end() ? nullptr : &found->second;
  }

  int ColorAt(int index) const {
    if (index <= 0 || static_cast<size_t>(index) >= colors_.size()) return -1;
    return colors_[static_cast<size_t>(index)];
  }

  static bool LevelActive(const RunFormat& f, int level) {
    switch (level) {
      case 0: return f.link != 0;
      case 1: return f.font >= 0 || f.halfPoints != 0;
      case 2: return f.color >= 0 || f.background >= 0;
      case 3: return f.bold;
      case 4: return f.italic;
      case 5: return f.underline;
      case 6: return f.strike;
      default: return f.vertical != 0;
    }
  }

  static bool LevelEqual(const RunFormat& a, const RunFormat& b, int level) {
    switch (level) {
      case 0: return a.link == b.link;
      case 1: return a.font == b.font && a.halfPoints == b.halfPoints;
      case 2: return a.color == b.color && a.background == b.background;
      case 3: return a.bold == b.bold;
      case 4: return a.italic == b.italic;
      case 5: return a.underline == b.underline;
      case 6: return a.strike == b.strike;
      default: return a.vertical == b.vertical;
    }
  }

  void ApplyRunFormat() {
    formatDirty_ = false;
    const RunFormat next = EffectiveFormat();
    int first = 0;
    while (first < kRunLevels && LevelEqual(open_, next, first)) ++first;
    if (first == kRunLevels) return;
    CloseRunsFrom(first);
    for (int level = first; level < kRunLevels; ++level) {
      if (LevelActive(next, level)) OpenRunLevel(next, level);
    }
    open_ = next;
  }

  void OpenRunLevel(const RunFormat& f, int level) {
    switch (level) {
      case 0: {
        for (const Field& field : fields_) {
          if (field.serial == f.link) {
            out_.Raw("<a href=\"");
            out_.Raw(field.href);
            out_.Raw("\">");
            return;
          }
        }
        out_.Raw("<a>");
        return;
      }
      case 1:
        // The style is written in place: building it as a string for every run costs
        // more than the rest of the run.
        out_.Raw("<span style=\"");
        if (f.font >= 0) {
          out_.Raw("font-family:");
          out_.Raw(FindFont(f.font)->css);
          if (f.halfPoints) out_.Raw(";");
        }
        if (f.halfPoints) {
          out_.Raw("font-size:");
          out_.Number(f.halfPoints / 2);
          out_.Raw(f.halfPoints % 2 ? ".5pt" : "pt");
        }
        out_.Raw("\">");
        return;
      case 2:
        out_.Raw("<span style=\"");
        if (f.color >= 0) {
          out_.Raw("color:");
          WriteHexColor(f.color);
          if (f.background >= 0) out_.Raw(";");
        }
        if (f.background >= 0) {
          out_.Raw("background-color:");
          WriteHexColor(f.background);
        }
        out_.Raw("\">");
        return;
      case 3: out_.Raw("<b>"); return;
      case 4: out_.Raw("<i>"); return;
      case 5: out_.Raw("<u>"); return;
      case 6: out_.Raw("<s>"); return;
      default: out_.Raw(f.vertical > 0 ? "<sup>" : "<sub>"); return;
    }
  }

  void WriteHexColor(int rgb) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    char text[7] = {'#'};
    for (int i = 0; i < 6; ++i) text[1 + i] = kHex[(rgb >> (20 - 4 * i)) & 0xF];
    out_.Raw(std::string_view(text, sizeof text));
  }

  void CloseRunsFrom(int first) {
    for (int level = kRunLevels - 1; level >= first; --level) {
      if (!LevelActive(open_, level)) continue;
      static constexpr const char* kClose[] = {"</a>", "</span>", "</span>", "</b>",
                                               "</i>", "</u>", "</s>"};
      if (level < 7) {
        out_.Raw(kClose[level]);
      } else {
        out_.Raw(open_.vertical > 0 ? "</sup>" : "</sub>");
      }
    }
    RunFormat cleared;
    for (int level = first; level < kRunLevels; ++level) CopyLevel(cleared, open_, level);
  }

  static void CopyLevel(const RunFormat& from, RunFormat& to, int level) {
    switch (level) {
      case 0: to.link = from.link; return;
      case 1:
        to.font = from.font;
        to.halfPoints = from.halfPoints;
        return;
      case 2:
        to.color = from.color;
        to.background = from.background;
        return;
      case 3: to.bold = from.bold; return;
      case 4: to.italic = from.italic; return;
      case 5: to.underline = from.underline; return;
      case 6: to.strike = from.strike; return;
      default: to.vertical = from.vertical; return;
    }
  }

  void CloseRuns() {
    CloseRunsFrom(0);
    formatDirty_ = true;
  }

  // ---- state ---------------------------------------------------------------------

  const char* p_;
  const char* end_;
  HtmlOutput& out_;
  const ConvertOptions& options_;
  bool stopped_ = false;

  std::vector<GroupState> stack_;
  int depth_ = 0;
  int overflow_ = 0;
  bool ignorableNext_ = false;
  int skip_ = 0;  // fallback characters still to skip after \u

  unsigned codePage_ = 1252;
  int defaultFont_ = 0;
  std::unordered_map<int, FontInfo> fonts_;  // never erased: pointers into it stay valid
  static constexpr int kFontSlots = 256;
  std::array<const FontInfo*, kFontSlots> fontSlots_{};  // fonts_ by the usual small numbers
  FontInfo* fontEntry_ = nullptr;
  std::string fontName_;
  int fontFamily_ = 0;
  int cachedFont_ = INT32_MIN;
  unsigned cachedFontCodePage_ = 0;
  std::unordered_map<unsigned, std::array<char16_t, 256>> byteTables_;
  std::vector<int> colors_;
  int colorEntry_ = 0;
  bool colorSet_ = false;

  std::string pending_;  // bytes awaiting decoding, all in pendingCodePage_
  unsigned pendingCodePage_ = 0;
  bool expectTrail_ = false;
  std::u16string decoded_;
  char16_t highSurrogate_ = 0;

  std::vector<Field> fields_;
  int fieldSerial_ = 0;
  std::string listMarker_;
  ListKind listMarkerKind_ = ListKind::kNone;
  ParaFormat listDefinition_;
  Picture picture_;
  int pictureCount_ = 0;
  std::vector<int> rowDefinition_;
  bool rowImpliesTable_ = false;  // the open row began without \intbl

  std::vector<Container> containers_;
  std::vector<TableLevel> tables_;
  bool paraOpen_ = false;
  bool paraHasContent_ = false;
  ParaKind paraKind_ = ParaKind::kDiv;
  bool lastSpace_ = true;
  bool formatDirty_ = true;
  RunFormat open_;
};

}  // namespace

namespace {

// Output goes to the sink, or (with `chunks`) into blocks kept in memory.
bool Convert(const char* rtf, size_t size, OutputSink sink, void* userData,
             HtmlChunks* chunks, const ConvertOptions& options,
             ConvertStats* stats) {
  if (!rtf) size = 0;
  static const char kEmpty = 0;
  // No document needs more than this; the limit keeps hostile input from growing
  // the output without bound.
  const size_t budget = size * 64 + (1 << 20);
  try {  // nothing may escape to the DLL's callers
    HtmlOutput out(sink, userData, chunks, size, budget);
    Converter converter(rtf ? rtf : &kEmpty, size, out, options);
    const int pictures = converter.Run(StartsWithRtf(rtf ? rtf : &kEmpty, size));
    out.Flush();
    if (stats) stats->pictureCount = pictures;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

bool ConvertRtf(const char* rtf, size_t size, OutputSink sink, void* userData,
                const ConvertOptions& options, ConvertStats* stats) {
  return Convert(rtf, size, sink, userData, nullptr, options, stats);
}

bool ConvertRtfToString(const char* rtf, size_t size, const ConvertOptions& options,
                        std::string& html, ConvertStats* stats) {
  html.clear();
  auto append = [](const char* data, size_t length, void* userData) {
    static_cast<std::string*>(userData)->append(data, length);
  };
  return ConvertRtf(rtf, size, append, &html, options, stats);
}

HtmlChunks::HtmlChunks(HtmlChunks&& other) noexcept : blocks_(std::move(other.blocks_)) {
  other.blocks_.clear();
}

HtmlChunks& HtmlChunks::operator=(HtmlChunks&& other) noexcept {
  if (this != &other) {
    Release();
    blocks_ = std::move(other.blocks_);
    other.blocks_.clear();
  }
  return *this;
}

HtmlChunks::~HtmlChunks() { Release(); }

void HtmlChunks::Release() {
  for (const Block& block : blocks_) FreeOutputBlock(block.data, block.capacity);
  blocks_.clear();
}

size_t HtmlChunks::Size() const {
  size_t total = 0;
  for (const Block& block : blocks_) total += block.size;
  return total;
}

void HtmlChunks::CopyTo(char* out) const {
  for (const Block& block : blocks_) {
    std::memcpy(out, block.data, block.size);
    out += block.size;
  }
}

char* HtmlChunks::AddBlock(size_t capacity) {
  if (blocks_.size() == blocks_.capacity()) blocks_.reserve(blocks_.size() * 2 + 8);
  char* const data = AllocateOutputBlock(capacity);
  if (!data) throw std::bad_alloc();
  blocks_.push_back(Block{data, 0, capacity});
  return data;
}

bool ConvertRtfToChunks(const char* rtf, size_t size, const ConvertOptions& options,
                        HtmlChunks& html, ConvertStats* stats) {
  html = HtmlChunks();
  return Convert(rtf, size, nullptr, nullptr, &html, options, stats);
}

}  // namespace irun
