#include "rtf_keywords.h"

namespace irun {
namespace {

KeywordName NameOf(std::string_view text) {
  KeywordName name;
  for (char c : text) name.Add(c);
  return name;
}

}  // namespace

KeywordTable::KeywordTable() {
  auto word = [&](std::string_view name, Keyword id, uint16_t value = 0) {
    Add(name, KeywordEntry{id, false, value});
  };
  auto dest = [&](std::string_view name, Keyword id) { Add(name, KeywordEntry{id, true, 0}); };

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
       {"info", "header", "headerl", "headerr", "headerf", "footer", "footerl",
        "footerr", "footerf", "footnote", "annotation", "xe", "tc", "txe", "rxe", "nonshppict",
        "nonesttables", "objdata", "objclass", "revtbl", "rsidtbl", "generator", "themedata", "colorschememapping", "latentstyles",
        "datastore", "xmlnstbl", "pntxta", "pntxtb", "bkmkstart", "bkmkend", "template", "filetbl", "pgdsctbl", "private", "comment", "atnid", "atnauthor",
        "mmathPr", "fldtype", "docvar", "userprops", "wgrffmtfilter", "ftnsep",
        "ftnsepc", "aftnsep", "aftnsepc", "ftncn", "aftncn"}) {
    dest(name, Keyword::kSkipDestination);
  }
  // Groups whose text is shown like the text around them.
  for (std::string_view name : {"shppict", "result", "object"}) {
    dest(name, Keyword::kTextDestination);
  }
  dest("listtable", Keyword::kListTable);
  dest("listoverridetable", Keyword::kListTable);
  dest("cs", Keyword::kCharacterStyle);
  dest("shp", Keyword::kShape);
  dest("shpinst", Keyword::kShapeInstructions);
  dest("shptxt", Keyword::kShapeText);
  dest("sp", Keyword::kShapeProperty);
  dest("sn", Keyword::kShapeName);
  dest("sv", Keyword::kShapeValue);
  dest("shprslt", Keyword::kShapeResult);
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
  dest("stylesheet", Keyword::kStylesheet);

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
  word("chcbpat", Keyword::kCb);

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
  word("list", Keyword::kList);
  word("listlevel", Keyword::kListLevel);
  word("levelnfc", Keyword::kLevelNfc);
  word("levelnfcn", Keyword::kLevelNfc);
  word("listid", Keyword::kListId);
  word("listoverride", Keyword::kListOverride);

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
  word("s", Keyword::kS);
  word("outlinelevel", Keyword::kOutlinelevel);
  word("cbpat", Keyword::kCbpat);
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
  word("dibitmap", Keyword::kDibitmap);
  word("wbitmap", Keyword::kBitmap);
  word("picw", Keyword::kPicw);
  word("pich", Keyword::kPich);
  word("picwgoal", Keyword::kPicwgoal);
  word("pichgoal", Keyword::kPichgoal);
  word("picscalex", Keyword::kPicscalex);
  word("picscaley", Keyword::kPicscaley);
  word("wbmbitspixel", Keyword::kWbmbitspixel);
  word("wbmplanes", Keyword::kWbmplanes);
  word("wbmwidthbytes", Keyword::kWbmwidthbytes);

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
}

void KeywordTable::Add(std::string_view text, KeywordEntry entry) {
  const KeywordName name = NameOf(text);
  size_t i = Hash(name);
  while (slots_[i].length != 0) i = (i + 1) & kMask;
  Slot& slot = slots_[i];
  slot.first = name.words[0];
  slot.length = static_cast<uint8_t>(name.length);
  slot.entry = entry;
  if (name.length > 8) {
    slot.rest = static_cast<uint16_t>(restCount_);
    rest_[restCount_++] = Rest{{name.words[1], name.words[2], name.words[3]}};
  }
}

const KeywordTable kKeywords;

KeywordEntry FindKeyword(std::string_view name) {
  if (name.size() > kMaxKeywordLength) name = name.substr(0, kMaxKeywordLength);
  return kKeywords.Find(NameOf(name));
}

}  // namespace irun
