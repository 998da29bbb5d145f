#include "html_writer.h"

#include <algorithm>

#include "byte_scan.h"
#include "irun_marker.h"
#include "picture_data.h"
#include "picture_rules.h"

namespace irun {

namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

// The tag of a paragraph's box by its heading level: a plain <div>, or <h1> to <h6>.
constexpr std::string_view kBlockTags[] = {"div", "h1", "h2", "h3", "h4", "h5", "h6"};

}  // namespace

std::string CssFontFamily(std::u16string_view name, int family) {
  std::string css;
  bool needsQuotes = false;
  for (char16_t c : name) {
    // Quotes, markup and separators would break the style attribute.
    if (c == '"' || c == '\'' || c == '<' || c == '>' || c == '&' || c == ';' || c == ',' ||
        c == '\\' || c < 0x20 || c == 0x7F) {
      continue;
    }
    if (c == ' ' || c >= 0x80) needsQuotes = true;
    AppendEscaped(css, c);
  }
  const size_t first = css.find_first_not_of(' ');
  css.erase(0, std::min(first, css.size()));
  while (!css.empty() && css.back() == ' ') css.pop_back();
  if (!css.empty() && needsQuotes) css = "'" + css + "'";
  static constexpr const char* kGeneric[] = {"",       "serif",   "sans-serif", "monospace",
                                             "cursive", "fantasy", ""};
  const char* generic = kGeneric[std::clamp(family, 0, 6)];
  if (*generic) {
    if (!css.empty()) css += ',';
    css += generic;
  }
  return css;
}

// One rule per run level, outermost first. Superscript and subscript are levels of
// their own, so that a change from one to the other closes the first.
const HtmlWriter::RunRule HtmlWriter::kRunRules[kRunLevels] = {
    /* kLink        */ {nullptr, &HtmlWriter::OpenLink, "</a>"},
    /* kFont        */ {nullptr, &HtmlWriter::OpenFont, "</span>"},
    /* kColor       */ {nullptr, &HtmlWriter::OpenColor, "</span>"},
    /* kBold        */ {"<b>", nullptr, "</b>"},
    /* kItalic      */ {"<i>", nullptr, "</i>"},
    /* kUnderline   */ {"<u>", nullptr, "</u>"},
    /* kStrike      */ {"<s>", nullptr, "</s>"},
    /* kSuperscript */ {"<sup>", nullptr, "</sup>"},
    /* kSubscript   */ {"<sub>", nullptr, "</sub>"},
};

HtmlWriter::HtmlWriter(HtmlOutput& out, const ConvertOptions& options,
                       const DocumentTables& document)
    : out_(out), options_(options), document_(document) {
  containers_.emplace_back();
}

// ---- the document ----------------------------------------------------------------

void HtmlWriter::StartDocument() {
  out_.Raw("<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
           "charset=us-ascii\">\r\n" IRUN_CONVERTER_MARKER_COMMENT "\r\n</head>\r\n<body");
  const std::string& color = options_.backgroundColor;
  if (color.size() == 6 && std::all_of(color.begin(), color.end(), IsHexDigit)) {
    out_.Raw(" bgcolor=\"#");
    out_.Raw(color);
    out_.Raw("\"");
  }
  out_.Raw(">\r\n");
}

void HtmlWriter::FinishDocument() {
  if (paraOpen_) CloseParagraph();
  CloseTablesDeeperThan(0);
  CloseLists(containers_.front());
  out_.Raw("</body>\r\n</html>\r\n");
}

// ---- text ------------------------------------------------------------------------

void HtmlWriter::Text(const char* text, size_t size) {
  const char* p = text;
  const char* const end = text + size;
  while (p < end) {
    const char* const start = p;
    bool space = lastSpace_;
    p = ScanPlainHtml(p, end, space);
    if (p > start) {
      out_.PlainAscii(start, static_cast<size_t>(p - start));
      lastSpace_ = space;
      continue;
    }
    Character(static_cast<unsigned char>(*p++));
  }
}

void HtmlWriter::Character(uint32_t codePoint) {
  if (codePoint == ' ') {
    WriteSpace();
  } else if (codePoint == '\t') {
    WriteTab();
  } else {
    out_.Escaped(codePoint);
    lastSpace_ = false;
  }
}

void HtmlWriter::WriteSpace() {
  // HTML folds runs of spaces; the second and later ones stay as no-break spaces.
  if (lastSpace_) {
    out_.Raw("&#160;");
  } else {
    out_.Raw(" ");
    lastSpace_ = true;
  }
}

void HtmlWriter::WriteTab() {
  out_.Raw("<span style=\"white-space:pre\">&#9;</span>");
  lastSpace_ = false;
}

void HtmlWriter::LineBreak() {
  out_.Raw("<br>");
  lastSpace_ = true;
}

std::string HtmlWriter::PictureReference(const Picture& picture) {
  ++pictureCount_;
  std::string name =
      "_img_" + std::to_string(pictureCount_) + "." + PictureExtension(picture.type);
  out_.Raw("<img src=\"");
  out_.Raw(name);
  out_.Raw("\"");
  const PictureUnits units = picture.type == PictureType::kEmf || picture.type == PictureType::kWmf
                                ? PictureUnits::kHimetric
                                : PictureUnits::kPixels;
  const int dpi = options_.dotsPerInch;
  const int width =
      PictureDisplaySide(picture.goalWidth, picture.pixelWidth, units, picture.scaleX, dpi);
  const int height =
      PictureDisplaySide(picture.goalHeight, picture.pixelHeight, units, picture.scaleY, dpi);
  if (width > 0 && height > 0) {
    out_.Raw(" width=\"");
    out_.Number(width);
    out_.Raw("\" height=\"");
    out_.Number(height);
    out_.Raw("\"");
  }
  out_.Raw(">");
  lastSpace_ = false;
  return name;
}

// ---- blocks ----------------------------------------------------------------------

int HtmlWriter::Pixels(int twips) const {
  return static_cast<int>((static_cast<long long>(twips) * options_.dotsPerInch +
                           (twips >= 0 ? 720 : -720)) / 1440);
}

HtmlWriter::StyleText HtmlWriter::ParagraphStyle(const ParaFormat& para, bool forItem) const {
  StyleText style;
  auto add = [&](std::string_view name, int pixels) {
    if (pixels == 0) return;
    style.Add(name);
    style.AddNumber(pixels);
    style.Add("px;");
  };
  switch (para.align) {
    case Align::kCenter: style.Add("text-align:center;"); break;
    case Align::kRight: style.Add("text-align:right;"); break;
    case Align::kJustify: style.Add("text-align:justify;"); break;
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
  const int shading = document_.ColorAt(para.shading);
  if (shading >= 0) {
    style.Add("background-color:");
    style.AddHexColor(shading);
    style.Add(";");
  }
  return style;
}

// The page's default font is written on every box that holds text (paragraphs, list
// items, cells), so that the runs in it need no span of their own: the note's own
// font would show otherwise, and a listing whose default font is Courier New would
// lose its monospace. The last ";" goes.
void HtmlWriter::FinishStyle(StyleText& style) const {
  const FontInfo* info =
      options_.flags & kOmitFontFaces ? nullptr : document_.FindFont(document_.defaultFont);
  if (info && !info->css.empty()) {
    style.Add("font-family:");
    style.Add(info->css);
    style.Add(";");
  }
  style.DropLast();
}

void HtmlWriter::WriteStyleAttribute(std::string_view style) {
  if (style.empty()) return;
  out_.Raw(" style=\"");
  out_.Raw(style);
  out_.Raw("\"");
}

void HtmlWriter::WriteParagraphStyle(std::string_view style) {
  paraStyleAt_ = out_.Offset();
  out_.Keep(paraStyleAt_);
  WriteStyleAttribute(style);
  paraStyleSize_ = static_cast<size_t>(out_.Offset() - paraStyleAt_);
}

// The paragraph's look changed after its start tag was written: the tag's style is
// written anew while the output still holds it (a paragraph of up to 16 KB). A line
// in a cell, written without a box, gets one.
void HtmlWriter::Restyle(const ParaFormat& para) {
  paraLook_ = para;
  StyleText style = ParagraphStyle(para, paraKind_ == ParaKind::kItem);
  if (paraKind_ == ParaKind::kBare && style.View().empty()) return;
  FinishStyle(style);
  if (paraKind_ != ParaKind::kBare) {
    std::string attribute;
    if (!style.View().empty()) {
      attribute = " style=\"";
      attribute += style.View();
      attribute += '"';
    }
    if (out_.Rewrite(paraStyleAt_, paraStyleSize_, attribute)) paraStyleSize_ = attribute.size();
    return;
  }
  std::string tag = "<div style=\"";
  tag += style.View();
  tag += "\">";
  if (out_.Rewrite(paraStyleAt_, 0, tag)) paraKind_ = ParaKind::kDiv;
}

void HtmlWriter::OpenParagraph(const ParaFormat& para) {
  const int depth = std::clamp(para.tableDepth, 0, kMaxTableDepth);
  CloseTablesDeeperThan(depth);
  if (depth > 0) EnsureCell(depth);
  Container& container = containers_.back();
  heading_ = std::clamp(para.heading, 0, kHeadingLevels);
  paraLook_ = para;
  if (para.list != ListKind::kNone) {
    StartListItem(container, para);
    if (heading_ > 0) {
      // A heading inside the item: the item carries the paragraph's style.
      out_.Raw("<");
      out_.Raw(kBlockTags[heading_]);
      out_.Raw(">");
    }
    paraKind_ = ParaKind::kItem;
  } else {
    CloseLists(container);
    StyleText style = ParagraphStyle(para, false);
    if (depth > 0 && style.View().empty() && heading_ == 0) {
      // Paragraphs in a cell are lines, not boxes.
      if (container.hasContent && container.lastBare) out_.Raw("<br>");
      paraStyleAt_ = out_.Offset();
      paraStyleSize_ = 0;
      out_.Keep(paraStyleAt_);
      paraKind_ = ParaKind::kBare;
    } else {
      FinishStyle(style);
      OpenBlock(style.View());
      paraKind_ = ParaKind::kDiv;
    }
  }
  paraOpen_ = true;
  paraHasContent_ = false;
  lastSpace_ = true;
  formatDirty_ = true;
}

void HtmlWriter::OpenBlock(std::string_view style) {
  out_.Raw("<");
  out_.Raw(kBlockTags[heading_]);
  WriteParagraphStyle(style);
  out_.Raw(">");
}

void HtmlWriter::CloseBlock() {
  out_.Raw("</");
  out_.Raw(kBlockTags[heading_]);
  out_.Raw(">");
}

void HtmlWriter::CloseParagraph() {
  out_.LetGo();
  CloseRuns();
  Container& container = containers_.back();
  switch (paraKind_) {
    case ParaKind::kDiv:
      if (!paraHasContent_) out_.Raw("<br>");
      CloseBlock();
      out_.Raw("\r\n");
      container.lastBare = false;
      break;
    case ParaKind::kItem:
      if (!paraHasContent_) out_.Raw("<br>");
      if (heading_ > 0) CloseBlock();
      container.lastBare = false;
      break;  // the item stays open for a sub-list
    case ParaKind::kBare:
      container.lastBare = true;
      break;
  }
  container.hasContent = true;
  paraOpen_ = false;
}

void HtmlWriter::StartListItem(Container& container, const ParaFormat& para) {
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
  StyleText style = ParagraphStyle(para, true);
  FinishStyle(style);
  WriteParagraphStyle(style.View());
  out_.Raw(">");
  current.itemOpen = true;
}

void HtmlWriter::CloseListLevel(Container& container) {
  const ListLevel level = container.lists.back();
  container.lists.pop_back();
  if (level.itemOpen) out_.Raw("</li>\r\n");
  out_.Raw(level.ordered ? "</ol>\r\n" : "</ul>\r\n");
}

void HtmlWriter::CloseLists(Container& container) {
  while (!container.lists.empty()) CloseListLevel(container);
}

// Opens tables, rows and cells down to `depth` where they are not open yet.
void HtmlWriter::EnsureCell(int depth) {
  for (int level = 1; level <= depth; ++level) {
    if (static_cast<int>(tables_.size()) < level) {
      Container& outer = containers_.back();
      CloseLists(outer);
      outer.hasContent = true;
      outer.lastBare = false;
      out_.Raw("<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\"");
      StyleText style;  // the default font, for the cells' lines written without a box
      FinishStyle(style);
      WriteStyleAttribute(style.View());
      out_.Raw(">\r\n");
      tables_.emplace_back();
    }
    TableLevel& table = tables_[static_cast<size_t>(level - 1)];
    if (!table.rowOpen) {
      out_.Raw("<tr>");
      table.rowOpen = true;
      table.cellIndex = 0;
      table.boundaries = level == 1 ? document_.rowCells : std::vector<int>();
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

void HtmlWriter::CloseCell(TableLevel& table) {
  if (!table.cellOpen) return;
  CloseLists(containers_.back());
  containers_.pop_back();
  out_.Raw("</td>");
  table.cellOpen = false;
  ++table.cellIndex;
}

void HtmlWriter::CloseTablesDeeperThan(int depth) {
  if (paraOpen_ && static_cast<int>(tables_.size()) > depth) CloseParagraph();
  while (static_cast<int>(tables_.size()) > depth) {
    TableLevel& table = tables_.back();
    CloseCell(table);
    if (table.rowOpen) out_.Raw("</tr>\r\n");
    out_.Raw("</table>\r\n");
    tables_.pop_back();
  }
}

void HtmlWriter::EndCell(int depth, const ParaFormat& para) {
  depth = std::min(depth, kMaxTableDepth);
  if (paraOpen_) {
    if (!SameLook(para, paraLook_)) Restyle(para);
    CloseParagraph();
  }
  CloseTablesDeeperThan(depth);
  EnsureCell(depth);
  CloseCell(tables_[static_cast<size_t>(depth - 1)]);
}

void HtmlWriter::EndRow(int depth) {
  depth = std::min(depth, kMaxTableDepth);
  if (static_cast<int>(tables_.size()) < depth) return;  // a row end without a row
  if (paraOpen_) CloseParagraph();
  CloseTablesDeeperThan(depth);
  TableLevel& table = tables_[static_cast<size_t>(depth - 1)];
  CloseCell(table);
  if (table.rowOpen) out_.Raw("</tr>\r\n");
  table.rowOpen = false;
}

// ---- runs ------------------------------------------------------------------------

RunFormat HtmlWriter::EffectiveFormat(const CharFormat& chr) const {
  RunFormat run;
  run[RunLevel::kLink] = chr.link > 0 ? static_cast<uint64_t>(chr.link) : 0;
  // Text in the default font takes it from its paragraph's box (DefaultFontCss).
  uint64_t font = 0;
  if (!(options_.flags & kOmitFontFaces) && chr.font != document_.defaultFont && chr.font >= 0) {
    const FontInfo* info = document_.FindFont(chr.font);
    if (info && !info->css.empty()) font = static_cast<uint64_t>(chr.font) + 1;
  }
  // A heading shows at its element's size unless told otherwise, so it keeps its own
  // size even where that is the base size.
  const long long pixels =
      (static_cast<long long>(chr.halfPoints) * options_.dotsPerInch + 72) / 144;
  const uint32_t halfPoints = pixels != options_.baseFontPixels || heading_ > 0
                                  ? static_cast<uint32_t>(chr.halfPoints)
                                  : 0;
  run[RunLevel::kFont] = font << 32 | halfPoints;
  // Colours are 24-bit or -1: one more than each fits in 32 bits, and 0 is "none".
  run[RunLevel::kColor] = static_cast<uint64_t>(document_.ColorAt(chr.color) + 1) << 32 |
                          static_cast<uint32_t>(document_.ColorAt(chr.background) + 1);
  run[RunLevel::kBold] = chr.bold;
  run[RunLevel::kItalic] = chr.italic;
  run[RunLevel::kUnderline] = chr.underline;
  run[RunLevel::kStrike] = chr.strike;
  run[RunLevel::kSuperscript] = chr.vertical > 0;
  run[RunLevel::kSubscript] = chr.vertical < 0;
  return run;
}

void HtmlWriter::ApplyRunFormat(const CharFormat& chr) {
  formatDirty_ = false;
  const RunFormat next = EffectiveFormat(chr);
  size_t first = 0;
  while (first < kRunLevels && open_.value[first] == next.value[first]) ++first;
  if (first == kRunLevels) return;
  CloseRunsFrom(first);
  for (size_t level = first; level < kRunLevels; ++level) {
    const uint64_t value = next.value[level];
    if (value == 0) continue;
    const RunRule& rule = kRunRules[level];
    if (rule.start) {
      out_.Raw(rule.start);
    } else {
      (this->*rule.open)(value);
    }
    open_.value[level] = value;
  }
}

void HtmlWriter::CloseRunsFrom(size_t first) {
  for (size_t level = kRunLevels; level-- > first;) {
    if (open_.value[level] == 0) continue;
    out_.Raw(kRunRules[level].end);
    open_.value[level] = 0;
  }
}

void HtmlWriter::CloseRuns() {
  CloseRunsFrom(0);
  formatDirty_ = true;
}

void HtmlWriter::OpenLink(uint64_t serial) {
  const Field* field = document_.FindField(static_cast<int>(serial));
  if (!field) {
    out_.Raw("<a>");
    return;
  }
  out_.Raw("<a href=\"");
  for (char16_t c : field->target) out_.Escaped(c);
  out_.Raw("\">");
}

void HtmlWriter::OpenFont(uint64_t value) {
  // The style is written in place: building it as a string for every run costs more
  // than the rest of the run.
  const uint32_t fontPlusOne = static_cast<uint32_t>(value >> 32);
  const uint32_t halfPoints = static_cast<uint32_t>(value);
  out_.Raw("<span style=\"");
  if (fontPlusOne != 0) {
    out_.Raw("font-family:");
    out_.Raw(document_.FindFont(static_cast<int>(fontPlusOne - 1))->css);
    if (halfPoints) out_.Raw(";");
  }
  if (halfPoints) {
    out_.Raw("font-size:");
    out_.Number(halfPoints / 2);
    out_.Raw(halfPoints % 2 ? ".5pt" : "pt");
  }
  out_.Raw("\">");
}

void HtmlWriter::OpenColor(uint64_t value) {
  const int color = static_cast<int>(value >> 32) - 1;
  const int background = static_cast<int>(static_cast<uint32_t>(value)) - 1;
  out_.Raw("<span style=\"");
  if (color >= 0) {
    out_.Raw("color:");
    WriteHexColor(color);
    if (background >= 0) out_.Raw(";");
  }
  if (background >= 0) {
    out_.Raw("background-color:");
    WriteHexColor(background);
  }
  out_.Raw("\">");
}

void HtmlWriter::WriteHexColor(int rgb) {
  char text[7];
  HexColor(rgb, text);
  out_.Raw(std::string_view(text, sizeof text));
}

}  // namespace irun
