// Destinations: the groups whose text is not (only) shown text, and the tables, fields,
// pictures and lists they describe.
#include <algorithm>
#include <string_view>
#include <utility>

#include "rtf_reader.h"

namespace irun {

namespace {

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
// The display text of a MACROBUTTON field ("MACROBUTTON macro text"), the text Word and
// LibreOffice show for it; empty for other fields.
std::u16string MacroButtonText(const std::u16string& instruction) {
  auto isSpace = [](char16_t c) { return c == ' ' || c == '\t'; };
  size_t i = 0;
  while (i < instruction.size() && isSpace(instruction[i])) ++i;
  static constexpr std::u16string_view kMacroButton = u"MACROBUTTON";
  for (char16_t expected : kMacroButton) {
    if (i >= instruction.size()) return {};
    const char16_t c = instruction[i++];
    if ((c >= 'a' && c <= 'z' ? c - 32 : c) != expected) return {};
  }
  if (i >= instruction.size() || !isSpace(instruction[i])) return {};
  while (i < instruction.size() && isSpace(instruction[i])) ++i;
  while (i < instruction.size() && !isSpace(instruction[i])) ++i;  // the macro's name
  while (i < instruction.size() && isSpace(instruction[i])) ++i;
  size_t end = instruction.size();
  while (end > i && isSpace(instruction[end - 1])) --end;
  return instruction.substr(i, end - i);
}

}  // namespace

// A destination keyword: `dest` for the group, unless this group is skipped already.
void RtfReader::EnterDestination(Dest dest) {
  GroupState& state = State();
  if (state.dest == Dest::kSkip || state.dest == Dest::kStyleSheet) return;
  state.dest = dest;
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
      if (state.dest == Dest::kShapePicture) {
        shapeShown_ = true;
      } else if (state.dest != Dest::kText) {
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
        field.hasResult = true;
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
    case Keyword::kListTable: EnterDestination(Dest::kListTable); return;
    case Keyword::kCharacterStyle:
      // A character style's entry in the style sheet is no paragraph style; in the text
      // \*\cs only names the style of the text that follows.
      if (state.dest == Dest::kStyleSheet) state.dest = Dest::kSkip;
      return;

    // Shapes: a text box's text and a picture shape's picture are shown where the shape
    // is anchored; the shape's result, an older program's stand-in for them, then not.
    case Keyword::kShape: shapeShown_ = false; return;
    case Keyword::kShapeInstructions:
      state.dest = state.dest == Dest::kText ? Dest::kShape : Dest::kSkip;
      return;
    case Keyword::kShapeText:
      if (state.dest == Dest::kShape || state.dest == Dest::kText) {
        state.dest = Dest::kText;
        shapeShown_ = true;
      } else {
        state.dest = Dest::kSkip;
      }
      return;
    case Keyword::kShapeProperty: return;
    case Keyword::kShapeName:
      state.dest = state.dest == Dest::kShape ? Dest::kShapeName : Dest::kSkip;
      shapeProperty_.clear();
      return;
    case Keyword::kShapeValue:
      state.dest = state.dest == Dest::kShape && shapeProperty_ == "pib" ? Dest::kShapePicture
                                                                          : Dest::kSkip;
      return;
    case Keyword::kShapeResult:
      if (shapeShown_) state.dest = Dest::kSkip;
      return;
    default:
      return;
  }
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
  if ((state.dest != Dest::kText && state.dest != Dest::kShapePicture) || state.chr.hidden)
    return;
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

// The kind of level `level` of list override `listStyle` as the list table gives it;
// without a list table (rich edit writes none), as its marker shows it.
ListKind RtfReader::ListKindAt(int listStyle, int level) const {
  const auto list = listOfStyle_.find(listStyle);
  if (list != listOfStyle_.end()) {
    const auto kinds = listKinds_.find(list->second);
    if (kinds != listKinds_.end() && static_cast<size_t>(level) < kinds->second.size())
      return kinds->second[static_cast<size_t>(level)];
  }
  return listMarkerKind_ == ListKind::kNone ? ListKind::kBullet : listMarkerKind_;
}

// A field without a result shows nothing, except a MACROBUTTON, whose display text is
// what Word and LibreOffice show (templates use them as placeholders).
void RtfReader::FinishField() {
  const GroupState& state = State();
  if (state.field < 0 || state.dest != Dest::kText) return;
  const Field& field = document_.fields[static_cast<size_t>(state.field)];
  if (field.hasResult) return;
  for (char16_t unit : MacroButtonText(field.instruction)) TextUnit(unit);
}

void RtfReader::ApplyListDefinition() {
  ParaFormat& para = State().para;
  para.list = listDefinition_.list;
  para.listLevel = listDefinition_.listLevel;
  para.listStart = listDefinition_.listStart;
}
}  // namespace irun
