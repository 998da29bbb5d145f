// The control words: each group of them changes its part of the reading state.
#include <algorithm>
#include <utility>

#include "rtf_reader.h"

namespace irun {

namespace {

int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
  return -1;
}

}  // namespace

void RtfReader::ControlSymbol(unsigned char c) {
  if (overflow_ > 0) return;
  if (c != '\'' && c != '\\' && c != '{' && c != '}') FlushBytes();
  switch (c) {
    case '\'': {
      const bool two = in_.Ensure(2);
      const int high = in_.p < in_.end ? HexValue(static_cast<unsigned char>(*in_.p)) : -1;
      const int low = two ? HexValue(static_cast<unsigned char>(in_.p[1])) : -1;
      if (high < 0 || low < 0) {
        // A cut-off \'h: its one digit is no text either.
        if (high >= 0) ++in_.p;
        return;
      }
      in_.p += 2;
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
    TableEntryWord(keyword, param);
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
        while (skip_ > 0 && in_.More() && static_cast<unsigned char>(*in_.p) < 0x80 &&
               !IsSpecial(static_cast<unsigned char>(*in_.p))) {
          ++in_.p;
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

// The font table's charsets and families, the colour table's components and the list
// table's levels.
void RtfReader::TableEntryWord(const KeywordEntry& keyword, int param) {
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
      break;
  }
  if (State().dest != Dest::kListTable) return;
  switch (keyword.id) {
    case Keyword::kList:
      listLevels_.clear();
      inListOverride_ = false;
      return;
    case Keyword::kListLevel:
      if (!inListOverride_ && listLevels_.size() <= kMaxListLevel)
        listLevels_.push_back(ListKind::kOrdered);
      return;
    case Keyword::kLevelNfc:
      // 255: no number or bullet at all; 23: a bullet; the rest count.
      if (!inListOverride_ && !listLevels_.empty())
        listLevels_.back() = param == 255 ? ListKind::kNone
                             : param == 23 ? ListKind::kBullet
                                           : ListKind::kOrdered;
      return;
    case Keyword::kListId:
      if (inListOverride_) {
        overrideListId_ = param;
      } else if (listKinds_.size() < 1000) {
        listKinds_[param] = listLevels_;
      }
      return;
    case Keyword::kListOverride:
      inListOverride_ = true;
      overrideListId_ = 0;
      return;
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
      if (state.dest == Dest::kListTable) {
        if (inListOverride_ && listOfStyle_.size() < 1000) listOfStyle_[param] = overrideListId_;
      } else if (param > 0) {
        para.listStyle = param;
        para.list = ListKindAt(param, para.listLevel);
      }
      return;
    case Keyword::kIlvl:
      para.listLevel = std::clamp(param, 0, kMaxListLevel);
      if (para.listStyle > 0) para.list = ListKindAt(para.listStyle, para.listLevel);
      return;
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
    case Keyword::kCbpat: para.shading = std::max(param, 0); return;

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
    case Keyword::kNestcell:
      if (state.dest != Dest::kText) return;
      if (para.tableDepth == 0) {
        // What is left of a table whose rows were lost: the cell still ends its text.
        if (writer_.ParagraphOpen()) Paragraph();
        return;
      }
      writer_.EndCell(std::max(para.tableDepth, id == Keyword::kCell ? 1 : 2), para);
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
}  // namespace irun
