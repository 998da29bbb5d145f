#include "rtf_keywords.h"

#include <array>
#include <unordered_map>

namespace irun {
namespace {

using Map = std::unordered_map<std::string_view, KeywordEntry>;

// FNV-1a: cheap for the short names of control words.
uint32_t HashName(std::string_view name) {
  uint32_t hash = 2166136261u;
  for (char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash;
}

// Open addressing over a power-of-two table, built once from the map: control words
// are looked up once per few bytes of formatted RTF, so the lookup must be quick.
class KeywordTable {
 public:
  explicit KeywordTable(const Map& map) {
    for (const auto& [name, entry] : map) {
      size_t i = HashName(name) & kMask;
      while (!slots_[i].name.empty()) i = (i + 1) & kMask;
      slots_[i] = Slot{name, entry};
    }
  }
  KeywordEntry Find(std::string_view name) const {
    for (size_t i = HashName(name) & kMask;; i = (i + 1) & kMask) {
      const Slot& slot = slots_[i];
      if (slot.name.empty()) return KeywordEntry{};
      if (slot.name == name) return slot.entry;
    }
  }

 private:
  static constexpr size_t kSize = 1024;  // well over twice the keywords: short probes
  static constexpr size_t kMask = kSize - 1;
  struct Slot {
    std::string_view name;
    KeywordEntry entry;
  };
  std::array<Slot, kSize> slots_{};
};

Map MakeKeywordMap() {
  Map map;
  auto word = [&](std::string_view name, Keyword id, int value = 0) {
    map[name] = KeywordEntry{id, value, false};
  };
  auto dest = [&](std::string_view name, Keyword id) { map[name] = KeywordEntry{id, 0, true}; };

  word("rtf", Keyword::kRtf);
  word("ansi", Keyword::kAnsi);
  word("mac", Keyword::kMac);
  word("pc", Keyword::kPc);
  word("pca", Keyword::kPca);
  word("ansicpg", Keyword::kAnsicpg);
  word("deff", Keyword::kDeff);
  word("uc", Keyword::kUc);
  word("u", Keyword::kU);
  word("bin", Keyword::kBin);

  dest("fonttbl", Keyword::kFonttbl);
  dest("colortbl", Keyword::kColortbl);
  // Destinations whose text is never shown. Word and WordPad write some of them
  // without \*, so they must be known by name.
  for (std::string_view name :
       {"stylesheet", "info", "header", "headerl", "headerr", "headerf", "footer", "footerl",
        "footerr", "footerf", "footnote", "annotation", "xe", "tc", "txe", "rxe", "nonshppict",
        "nonesttables", "objdata", "objclass", "listtable", "listoverridetable",
        "revtbl", "rsidtbl", "generator", "themedata", "colorschememapping", "latentstyles",
        "datastore", "xmlnstbl", "pntxta", "pntxtb", "bkmkstart", "bkmkend", "shpinst",
        "template", "filetbl", "pgdsctbl", "private", "comment", "atnid", "atnauthor",
        "mmathPr", "fldtype", "docvar", "userprops", "wgrffmtfilter", "ftnsep",
        "ftnsepc", "aftnsep", "aftnsepc", "ftncn", "aftncn"}) {
    dest(name, Keyword::kSkipDestination);
  }
  // Groups whose text is shown like the text around them.
  for (std::string_view name : {"shppict", "result", "shprslt", "object", "shp"}) {
    dest(name, Keyword::kTextDestination);
  }
  dest("upr", Keyword::kUpr);
  dest("ud", Keyword::kUd);
  dest("pict", Keyword::kPict);
  dest("field", Keyword::kField);
  dest("fldinst", Keyword::kFldinst);
  dest("fldrslt", Keyword::kFldrslt);
  dest("listtext", Keyword::kListText);
  dest("pntext", Keyword::kListText);
  dest("pn", Keyword::kPn);
  dest("nesttableprops", Keyword::kNesttableprops);

  word("plain", Keyword::kPlain);
  word("b", Keyword::kB);
  word("i", Keyword::kI);
  for (std::string_view name :
       {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash", "ulth",
        "ulthd", "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw",
        "ulwave"}) {
    word(name, Keyword::kUl);
  }
  word("ulnone", Keyword::kUlnone);
  word("strike", Keyword::kStrike);
  word("striked", Keyword::kStrike);
  word("super", Keyword::kSuper);
  word("sub", Keyword::kSub);
  word("nosupersub", Keyword::kNosupersub);
  word("up", Keyword::kUp);
  word("dn", Keyword::kDn);
  word("v", Keyword::kV);
  word("f", Keyword::kF);
  word("fs", Keyword::kFs);
  word("cf", Keyword::kCf);
  word("cb", Keyword::kCb);
  word("highlight", Keyword::kHighlight);

  word("fcharset", Keyword::kFcharset);
  word("cpg", Keyword::kCpg);
  word("fnil", Keyword::kFontFamily, 0);
  word("froman", Keyword::kFontFamily, 1);
  word("fswiss", Keyword::kFontFamily, 2);
  word("fmodern", Keyword::kFontFamily, 3);
  word("fscript", Keyword::kFontFamily, 4);
  word("fdecor", Keyword::kFontFamily, 5);
  word("ftech", Keyword::kFontFamily, 6);
  word("fbidi", Keyword::kFontFamily, 6);
  word("red", Keyword::kRed);
  word("green", Keyword::kGreen);
  word("blue", Keyword::kBlue);

  word("pard", Keyword::kPard);
  word("ql", Keyword::kQl);
  word("qc", Keyword::kQc);
  word("qr", Keyword::kQr);
  word("qj", Keyword::kQj);
  word("qd", Keyword::kQj);
  word("li", Keyword::kLi);
  word("lin", Keyword::kLi);
  word("ri", Keyword::kRi);
  word("rin", Keyword::kRi);
  word("fi", Keyword::kFi);
  word("sb", Keyword::kSb);
  word("sa", Keyword::kSa);
  word("intbl", Keyword::kIntbl);
  word("itap", Keyword::kItap);
  word("ls", Keyword::kLs);
  word("ilvl", Keyword::kIlvl);
  word("pnlvlblt", Keyword::kPnlvlblt);
  for (std::string_view name : {"pnlvlbody", "pndec", "pnucltr", "pnlcltr", "pnucrm", "pnlcrm"}) {
    word(name, Keyword::kPnNumbered);
  }
  word("pnlvl", Keyword::kPnlvl);
  word("pnstart", Keyword::kPnstart);

  word("trowd", Keyword::kTrowd);
  word("cellx", Keyword::kCellx);
  word("cell", Keyword::kCell);
  word("nestcell", Keyword::kNestcell);
  word("row", Keyword::kRow);
  word("nestrow", Keyword::kNestrow);

  word("pngblip", Keyword::kPngblip);
  word("jpegblip", Keyword::kJpegblip);
  word("emfblip", Keyword::kEmfblip);
  word("wmetafile", Keyword::kWmetafile);
  word("dibitmap", Keyword::kBitmap);
  word("wbitmap", Keyword::kBitmap);
  word("picw", Keyword::kPicw);
  word("pich", Keyword::kPich);
  word("picwgoal", Keyword::kPicwgoal);
  word("pichgoal", Keyword::kPichgoal);
  word("picscalex", Keyword::kPicscalex);
  word("picscaley", Keyword::kPicscaley);

  word("par", Keyword::kPar);
  word("page", Keyword::kPage);
  word("sect", Keyword::kSect);
  word("line", Keyword::kLine);
  word("tab", Keyword::kTab);
  word("emdash", Keyword::kCharacter, 0x2014);
  word("endash", Keyword::kCharacter, 0x2013);
  word("bullet", Keyword::kCharacter, 0x2022);
  word("lquote", Keyword::kCharacter, 0x2018);
  word("rquote", Keyword::kCharacter, 0x2019);
  word("ldblquote", Keyword::kCharacter, 0x201C);
  word("rdblquote", Keyword::kCharacter, 0x201D);
  word("emspace", Keyword::kCharacter, 0x2003);
  word("enspace", Keyword::kCharacter, 0x2002);
  word("qmspace", Keyword::kCharacter, 0x2005);
  word("zwj", Keyword::kCharacter, 0x200D);
  word("zwnj", Keyword::kCharacter, 0x200C);
  word("ltrmark", Keyword::kCharacter, 0x200E);
  word("rtlmark", Keyword::kCharacter, 0x200F);
  return map;
}

}  // namespace

KeywordEntry FindKeyword(std::string_view name) {
  static const KeywordTable table(MakeKeywordMap());
  if (name.empty()) return KeywordEntry{};
  return table.Find(name);
}

}  // namespace irun
