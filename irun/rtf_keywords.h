// The RTF control words the reader acts on. Everything else is read and ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace irun {

enum class Keyword : uint8_t {
  kUnknown,
  // document
  kRtf, kAnsi, kMac, kPc, kPca, kAnsicpg, kDeff, kUc, kU, kBin,
  // destinations
  kFonttbl, kColortbl, kSkipDestination, kTextDestination, kPict, kField, kFldinst, kFldrslt,
  kListText, kPn, kNesttableprops, kUpr, kUd,
  // character formatting
  kPlain, kB, kI, kUl, kUlnone, kStrike, kSuper, kSub, kNosupersub, kUp, kDn, kV, kF, kFs,
  kCf, kCb, kHighlight,
  // font and colour tables
  kFcharset, kCpg, kFontFamily, kRed, kGreen, kBlue,
  // paragraph formatting
  kPard, kQl, kQc, kQr, kQj, kLi, kRi, kFi, kSb, kSa, kIntbl, kItap, kLs, kIlvl,
  kPnlvlblt, kPnNumbered, kPnlvl, kPnstart,
  // tables
  kTrowd, kCellx, kCell, kNestcell, kRow, kNestrow,
  // pictures
  kPngblip, kJpegblip, kEmfblip, kWmetafile, kBitmap, kPicw, kPich, kPicwgoal, kPichgoal,
  kPicscalex, kPicscaley,
  // breaks and characters
  kPar, kPage, kSect, kLine, kTab, kCharacter,
};

struct KeywordEntry {
  Keyword id = Keyword::kUnknown;
  int value = 0;             // the character of kCharacter, the family of kFontFamily
  bool destination = false;  // may follow \* and open a destination we read
};

// RTF caps control words at 32 letters; longer ones are cut and so never match.
constexpr size_t kMaxKeywordLength = 32;

KeywordEntry FindKeyword(std::string_view name);

}  // namespace irun
