// The RTF control words the reader acts on. Everything else is read and ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace irun {

// In groups, each group's words together: the reader hands a word to its group's step
// by comparing with the group's first word.
enum class Keyword : uint8_t {
  kUnknown,
  // document
  kRtf, kAnsi, kMac, kPc, kPca, kAnsicpg, kDeff, kUc, kU, kBin,
  // destinations
  kFonttbl, kColortbl, kSkipDestination, kTextDestination, kPict, kField, kFldinst, kFldrslt,
  kListText, kPn, kNesttableprops, kUpr, kUd, kStylesheet, kListTable, kCharacterStyle,
  kShape, kShapeInstructions, kShapeText, kShapeProperty, kShapeName, kShapeValue, kShapeResult,
  // character formatting
  kPlain, kB, kI, kUl, kUlnone, kStrike, kSuper, kSub, kNosupersub, kUp, kDn, kV, kF, kFs,
  kCf, kCb, kHighlight,
  // font, colour and list tables
  kFcharset, kCpg, kFontFamily, kRed, kGreen, kBlue, kList, kListLevel, kLevelNfc, kListId,
  kListOverride,
  // paragraph formatting
  kPard, kQl, kQc, kQr, kQj, kLi, kRi, kFi, kSb, kSa, kIntbl, kItap, kLs, kIlvl, kS, kOutlinelevel,
  kCbpat,
  kPnlvlblt, kPnNumbered, kPnlvl, kPnstart,
  // tables
  kTrowd, kCellx, kCell, kNestcell, kRow, kNestrow,
  // pictures
  kPngblip, kJpegblip, kEmfblip, kWmetafile, kDibitmap, kBitmap, kPicw, kPich, kPicwgoal, kPichgoal,
  kPicscalex, kPicscaley, kWbmbitspixel, kWbmplanes, kWbmwidthbytes,
  // breaks and characters
  kPar, kPage, kSect, kLine, kTab, kCharacter,
};

struct KeywordEntry {
  Keyword id = Keyword::kUnknown;
  bool destination = false;  // may follow \* and open a destination we read
  uint16_t value = 0;        // the character of kCharacter, the family of kFontFamily
};

// RTF caps control words at 32 letters; longer ones are cut and so never match.
constexpr size_t kMaxKeywordLength = 32;

// A control word's name as the reader collects it: its letters, zero-padded to
// kMaxKeywordLength bytes, so that names compare and hash as machine words.
struct KeywordName {
  uint64_t words[kMaxKeywordLength / 8] = {};
  size_t length = 0;

  void Add(char letter) {
    if (length < kMaxKeywordLength) reinterpret_cast<char*>(words)[length++] = letter;
  }
  // Reads the letters at `p` (which must be one) and moves `p` behind them.
  void Read(const char*& p, const char* end) {
#if defined(__SSE2__)
    // Most names are short: one look at 16 bytes finds the end and copies them.
    if (end - p >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i lower = _mm_or_si128(v, _mm_set1_epi8(0x20));
      const __m128i letters = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                            _mm_cmplt_epi8(lower, _mm_set1_epi8('z' + 1)));
      const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(letters));
      if (mask != 0xFFFF) {
        const int count = __builtin_ctz(~mask);
        const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        const __m128i kept =
            _mm_and_si128(v, _mm_cmplt_epi8(index, _mm_set1_epi8(static_cast<char>(count))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(words), kept);
        length = static_cast<size_t>(count);
        p += count;
        return;
      }
    }
#endif
    while (p < end && ((*p | 0x20) >= 'a' && (*p | 0x20) <= 'z')) Add(*p++);
  }
};

// Open addressing over a power-of-two table, built once: control words are looked up
// once per few bytes of formatted RTF, so the lookup must be quick. A slot holds a
// name's first eight letters; longer names keep the rest aside.
class KeywordTable {
 public:
  KeywordTable();
  KeywordEntry Find(const KeywordName& name) const {
    for (size_t i = Hash(name);; i = (i + 1) & kMask) {
      const Slot& slot = slots_[i];
      if (slot.length == 0) return KeywordEntry{};
      if (slot.first == name.words[0] && slot.length == name.length) {
        if (slot.rest == 0) return slot.entry;
        const Rest& rest = rest_[slot.rest];
        if (rest.words[0] == name.words[1] && rest.words[1] == name.words[2] &&
            rest.words[2] == name.words[3]) {
          return slot.entry;
        }
      }
    }
  }

 private:
  static constexpr unsigned kBits = 10;  // well over twice the keywords: short probes
  static constexpr size_t kMask = (size_t{1} << kBits) - 1;
  struct Slot {
    uint64_t first = 0;
    KeywordEntry entry;
    uint8_t length = 0;  // 0: empty
    uint16_t rest = 0;   // index into rest_ for names over eight letters
  };
  struct Rest {
    uint64_t words[3];
  };
  // Multiplicative hashing of the name's words; most names fit in the first.
  static size_t Hash(const KeywordName& name) {
    uint64_t hash = name.words[0] * 0x9E3779B97F4A7C15u;
    if (name.length > 8) {
      hash ^= name.words[1] * 0xC2B2AE3D27D4EB4Fu ^ name.words[2] * 0x165667B19E3779F9u ^
              name.words[3] * 0x27D4EB2F165667C5u;
    }
    return static_cast<size_t>(hash >> (64 - kBits));
  }
  void Add(std::string_view text, KeywordEntry entry);

  Slot slots_[size_t{1} << kBits] = {};
  Rest rest_[64] = {};  // room for all the long names
  size_t restCount_ = 1;  // index 0: no rest
};

extern const KeywordTable kKeywords;

inline KeywordEntry FindKeyword(const KeywordName& name) { return kKeywords.Find(name); }
KeywordEntry FindKeyword(std::string_view name);

}  // namespace irun
