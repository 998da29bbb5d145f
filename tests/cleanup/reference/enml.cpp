#include "tests/cleanup/reference/enml.h"

#include <algorithm>
#include <cstdlib>

#include "text/markup_escape.h"
#include "text/ascii_case.h"
#include "text/xml_chars.h"

namespace {

constexpr size_t kNone = WideView::npos;

#define Y2E_ATTRS u"style title lang xml:lang dir "
#define Y2E_CELL u"align char charoff valign "

struct ElementRule {
  const char16_t* name;
  const char16_t* attributes;  // blank-separated, each followed by a blank
};

// The elements and attributes of the ENML 2 DTD (enml2.dtd), sorted by name. Left out
// although declared: accesskey and tabindex (%focus;), which the service refuses, and
// pre's xml:space, whose only allowed value is its default. en-note is the document's
// root and is not written inside content.
constexpr ElementRule kElements[] = {
    {u"a", Y2E_ATTRS u"charset type name href hreflang rel rev shape coords target "},
    {u"abbr", Y2E_ATTRS},
    {u"acronym", Y2E_ATTRS},
    {u"address", Y2E_ATTRS},
    {u"area", Y2E_ATTRS u"shape coords href nohref alt target "},
    {u"b", Y2E_ATTRS},
    {u"bdo", Y2E_ATTRS},
    {u"big", Y2E_ATTRS},
    {u"blockquote", Y2E_ATTRS u"cite "},
    {u"br", u"style title clear "},
    {u"caption", Y2E_ATTRS u"align "},
    {u"center", Y2E_ATTRS},
    {u"cite", Y2E_ATTRS},
    {u"code", Y2E_ATTRS},
    {u"col", Y2E_ATTRS Y2E_CELL u"span width "},
    {u"colgroup", Y2E_ATTRS Y2E_CELL u"span width "},
    {u"dd", Y2E_ATTRS},
    {u"del", Y2E_ATTRS u"cite datetime "},
    {u"dfn", Y2E_ATTRS},
    {u"div", Y2E_ATTRS u"align "},
    {u"dl", Y2E_ATTRS u"compact "},
    {u"dt", Y2E_ATTRS},
    {u"em", Y2E_ATTRS},
    {u"en-crypt", u"hint cipher length "},
    {u"en-media", Y2E_ATTRS u"type hash height width usemap align border hspace vspace "
                  u"longdesc alt "},
    {u"en-todo", u"checked "},
    {u"font", Y2E_ATTRS u"size color face "},
    {u"h1", Y2E_ATTRS u"align "},
    {u"h2", Y2E_ATTRS u"align "},
    {u"h3", Y2E_ATTRS u"align "},
    {u"h4", Y2E_ATTRS u"align "},
    {u"h5", Y2E_ATTRS u"align "},
    {u"h6", Y2E_ATTRS u"align "},
    {u"hr", Y2E_ATTRS u"align noshade size width "},
    {u"i", Y2E_ATTRS},
    {u"img", Y2E_ATTRS u"src alt name longdesc height width usemap ismap align border hspace "
             u"vspace "},
    {u"ins", Y2E_ATTRS u"cite datetime "},
    {u"kbd", Y2E_ATTRS},
    {u"li", Y2E_ATTRS u"type value "},
    {u"map", u"lang xml:lang dir title name "},
    {u"ol", Y2E_ATTRS u"type compact start "},
    {u"p", Y2E_ATTRS u"align "},
    {u"pre", Y2E_ATTRS u"width "},
    {u"q", Y2E_ATTRS u"cite "},
    {u"s", Y2E_ATTRS},
    {u"samp", Y2E_ATTRS},
    {u"small", Y2E_ATTRS},
    {u"span", Y2E_ATTRS},
    {u"strike", Y2E_ATTRS},
    {u"strong", Y2E_ATTRS},
    {u"sub", Y2E_ATTRS},
    {u"sup", Y2E_ATTRS},
    {u"table", Y2E_ATTRS u"summary width border cellspacing cellpadding align bgcolor "},
    {u"tbody", Y2E_ATTRS Y2E_CELL},
    {u"td", Y2E_ATTRS Y2E_CELL u"abbr rowspan colspan nowrap bgcolor width height "},
    {u"tfoot", Y2E_ATTRS Y2E_CELL},
    {u"th", Y2E_ATTRS Y2E_CELL u"abbr rowspan colspan nowrap bgcolor width height "},
    {u"thead", Y2E_ATTRS Y2E_CELL},
    {u"tr", Y2E_ATTRS Y2E_CELL u"bgcolor "},
    {u"tt", Y2E_ATTRS},
    {u"u", Y2E_ATTRS},
    {u"ul", Y2E_ATTRS u"type compact "},
    {u"var", Y2E_ATTRS},
};

#undef Y2E_ATTRS
#undef Y2E_CELL

bool IsDeclaredAttribute(const char16_t* attributes, WideView name) {
  const WideView list = attributes;
  for (size_t at = list.find(name); at != kNone; at = list.find(name, at + 1)) {
    const bool starts = at == 0 || list[at - 1] == u' ';
    if (starts && at + name.size() < list.size() && list[at + name.size()] == u' ') return true;
  }
  return false;
}

// Elements that go with everything inside them: code and presentation, never text.
bool IsDroppedWithContent(WideView name) {
  for (WideView dropped : {u"script", u"style", u"noscript", u"title", u"template"})
    if (name == dropped) return true;
  return false;
}

bool IsAddressAttribute(WideView name) {
  return name == u"href" || name == u"src" || name == u"cite" || name == u"longdesc";
}

// Schemes that run code or carry whole documents: never followed from a note.
bool IsUnsafeAddress(WideView value) {
  // Browsers ignore blanks and control characters anywhere in a scheme, and the scheme
  // may be written with character references.
  WideString scheme;
  for (size_t i = 0; i < value.size() && scheme.size() < 12; ++i) {
    char16_t c = value[i];
    if (c == u'&' && i + 2 < value.size() && value[i + 1] == u'#') {
      const bool hex = value[i + 2] == u'x' || value[i + 2] == u'X';
      const size_t end = value.find(u';', i);
      if (end == kNone) break;
      const std::string digits(value.begin() + static_cast<std::ptrdiff_t>(i + (hex ? 3 : 2)),
                               value.begin() + static_cast<std::ptrdiff_t>(end));
      c = static_cast<char16_t>(std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10));
      i = end;
    }
    if (c <= u' ') continue;
    if (c == u':') break;
    scheme.push_back(AsciiLower(c));
  }
  return scheme == u"javascript" || scheme == u"vbscript" || scheme == u"data";
}

struct Attribute {
  WideString name;  // lower case
  WideView value;   // as written, escaped for its quote
  char16_t quote;
};

// What became of an open element: its end tag is written, dropped, or it drops
// everything up to its end.
enum class Fate { kKept, kUnwrapped, kDropped };

struct OpenElement {
  Fate fate;
  WideString name;  // as written in the output, for kKept
};

class EnmlWriter {
 public:
  EnmlWriter(WideView in, const std::vector<std::string>& mediaHashes)
      : in_(in), mediaHashes_(mediaHashes) {
    out_.reserve(in.size());
  }

  WideString Run() {
    while (at_ < in_.size()) {
      const size_t lt = in_.find(u'<', at_);
      Text(in_.substr(at_, (lt == kNone ? in_.size() : lt) - at_));
      if (lt == kNone) break;
      at_ = lt;
      Markup();
    }
    while (!open_.empty()) End();
    return std::move(out_);
  }

 private:
  bool Dropping() const { return dropping_ > 0; }

  void Text(WideView text) {
    if (Dropping()) return;
    ForEachXmlUnit(text, [&](char16_t unit) { out_.push_back(unit); });
  }

  void Markup() {
    if (in_.compare(at_, 4, u"<!--") == 0) {
      const size_t end = in_.find(u"-->", at_ + 4);
      at_ = end == kNone ? in_.size() : end + 3;
    } else if (in_.compare(at_, 9, u"<![CDATA[") == 0) {
      const size_t end = in_.find(u"]]>", at_ + 9);
      const size_t stop = end == kNone ? in_.size() : end;
      if (!Dropping())
        out_ += EscapeMarkup(XmlCharsOnly(in_.substr(at_ + 9, stop - at_ - 9)), MarkupPlace::kText);
      at_ = end == kNone ? in_.size() : end + 3;
    } else if (in_.compare(at_, 2, u"</") == 0) {
      const size_t end = in_.find(u'>', at_);
      at_ = end == kNone ? in_.size() : end + 1;
      if (!open_.empty()) End();
    } else if (in_.compare(at_, 2, u"<!") == 0 || in_.compare(at_, 2, u"<?") == 0) {
      const size_t end = in_.find(u'>', at_);
      at_ = end == kNone ? in_.size() : end + 1;
    } else {
      StartTag();
    }
  }

  void End() {
    const OpenElement element = std::move(open_.back());
    open_.pop_back();
    if (element.fate == Fate::kDropped) {
      --dropping_;
    } else if (element.fate == Fate::kKept) {
      out_ += u"</" + element.name + u">";
      if (element.name == u"a") --anchors_;
      if (element.name == u"en-crypt") --textOnly_;
    }
  }

  // Reads "<name attr='v' ...>" or ".../>" at at_ (well-formed, so quoted values).
  WideString ReadStartTag(std::vector<Attribute>& attributes, bool& selfClosed) {
    size_t i = at_ + 1;
    size_t nameEnd = i;
    while (nameEnd < in_.size() && !IsSpace(in_[nameEnd]) && in_[nameEnd] != u'>' &&
           in_[nameEnd] != u'/')
      ++nameEnd;
    WideString name = AsciiLowered(in_.substr(i, nameEnd - i));
    i = nameEnd;
    for (;;) {
      while (i < in_.size() && IsSpace(in_[i])) ++i;
      if (i >= in_.size()) break;
      if (in_[i] == u'>') {
        ++i;
        break;
      }
      if (in_[i] == u'/') {
        selfClosed = true;
        ++i;
        continue;
      }
      const size_t attrStart = i;
      while (i < in_.size() && in_[i] != u'=' && !IsSpace(in_[i])) ++i;
      Attribute attribute{AsciiLowered(in_.substr(attrStart, i - attrStart)), {}, u'"'};
      while (i < in_.size() && in_[i] != u'"' && in_[i] != u'\'') ++i;
      if (i >= in_.size()) break;
      attribute.quote = in_[i];
      const size_t close = in_.find(attribute.quote, i + 1);
      if (close == kNone) break;
      attribute.value = in_.substr(i + 1, close - i - 1);
      attributes.push_back(std::move(attribute));
      i = close + 1;
    }
    at_ = i;
    return name;
  }

  static bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

  void StartTag() {
    std::vector<Attribute> attributes;
    bool selfClosed = false;
    const WideString name = ReadStartTag(attributes, selfClosed);
    const Fate fate = Decide(name, attributes, selfClosed);
    if (selfClosed) return;
    if (fate == Fate::kDropped) ++dropping_;
    open_.push_back({fate, fate == Fate::kKept ? name : WideString()});
  }

  // Writes what the element becomes and says what becomes of its end tag.
  Fate Decide(const WideString& name, const std::vector<Attribute>& attributes, bool selfClosed) {
    if (Dropping() || IsDroppedWithContent(name)) return Fate::kDropped;
    if (textOnly_ > 0) return Fate::kUnwrapped;
    if (name == u"img") {
      Image(attributes);
      return Fate::kUnwrapped;
    }
    const char16_t* declared = EnmlAttributes(name);
    if (!declared) return Fate::kUnwrapped;
    const bool empty = name == u"en-media" || name == u"en-todo";
    if (name == u"en-media" && !IsNoteMedia(attributes)) return Fate::kUnwrapped;
    out_ += u"<" + name;
    WriteAttributes(name, declared, attributes);
    if (empty || selfClosed) {
      out_ += u"/>";
      // What an empty element held stays, after it.
      return Fate::kUnwrapped;
    }
    out_ += u">";
    if (name == u"a") ++anchors_;
    if (name == u"en-crypt") ++textOnly_;
    return Fate::kKept;
  }

  void WriteAttributes(const WideString& element, const char16_t* declared,
                       const std::vector<Attribute>& attributes) {
    std::vector<WideView> written;
    for (const Attribute& attribute : attributes) {
      if (!IsDeclaredAttribute(declared, attribute.name)) continue;
      if (std::find(written.begin(), written.end(), attribute.name) != written.end()) continue;
      if (IsAddressAttribute(attribute.name) && IsUnsafeAddress(attribute.value)) continue;
      if (element == u"en-todo" && attribute.value != u"true" && attribute.value != u"false")
        continue;
      written.push_back(attribute.name);
      out_ += u" " + attribute.name + u"=" + attribute.quote;
      ForEachXmlUnit(attribute.value, [&](char16_t unit) { out_.push_back(unit); });
      out_ += attribute.quote;
    }
  }

  static const Attribute* Find(const std::vector<Attribute>& attributes, WideView name) {
    for (const Attribute& attribute : attributes)
      if (attribute.name == name) return &attribute;
    return nullptr;
  }

  bool IsNoteMedia(const std::vector<Attribute>& attributes) const {
    const Attribute* hash = Find(attributes, u"hash");
    if (!hash || !Find(attributes, u"type")) return false;
    const std::string value(hash->value.begin(), hash->value.end());
    return std::find(mediaHashes_.begin(), mediaHashes_.end(), value) != mediaHashes_.end();
  }

  // A picture from elsewhere: the note cannot show it, so it becomes a link to it that
  // names it, or just its name inside another link.
  void Image(const std::vector<Attribute>& attributes) {
    const Attribute* source = Find(attributes, u"src");
    const Attribute* alt = Find(attributes, u"alt");
    WideView href = source && !IsUnsafeAddress(source->value) ? source->value : WideView();
    WideString label = alt ? TrimmedBlanks(alt->value) : WideString();
    if (label.empty()) label = FileName(href);
    if (label.empty()) return;
    // An attribute value may hold ">", which text may not hold after "]]".
    WideString text;
    ForEachXmlUnit(label, [&](char16_t unit) {
      if (unit == u'>') text += u"&gt;";
      else text.push_back(unit);
    });
    if (href.empty() || anchors_ > 0) {
      out_ += text;
      return;
    }
    out_ += u"<a href=" + WideString(1, source->quote);
    ForEachXmlUnit(href, [&](char16_t unit) { out_.push_back(unit); });
    out_ += WideString(1, source->quote) + u">" + text + u"</a>";
  }

  static WideString TrimmedBlanks(WideView text) {
    size_t start = 0;
    size_t end = text.size();
    while (start < end && IsSpace(text[start])) ++start;
    while (end > start && IsSpace(text[end - 1])) --end;
    return WideString(text.substr(start, end - start));
  }

  // The last part of an address's path: "logo.png" of "http://x/a/logo.png?s=2".
  static WideString FileName(WideView address) {
    size_t query = address.find_first_of(u"?#");
    while (query != kNone && address[query] == u'#' && query > 0 && address[query - 1] == u'&')
      query = address.find_first_of(u"?#", query + 1);  // "&#38;" is no fragment
    WideView path = address.substr(0, query);
    while (!path.empty() && (path.back() == u'/' || path.back() == u'\\')) path.remove_suffix(1);
    const size_t slash = path.find_last_of(u"/\\");
    const WideView name = slash == kNone ? path : path.substr(slash + 1);
    if (name.find(u':') != kNone) return WideString();  // "http:" alone, or a scheme
    return WideString(name);
  }

  WideView in_;
  const std::vector<std::string>& mediaHashes_;
  size_t at_ = 0;
  WideString out_;
  std::vector<OpenElement> open_;
  int dropping_ = 0;  // open elements that drop their content
  int anchors_ = 0;   // open a elements written
  int textOnly_ = 0;  // open en-crypt elements: text only
};

}  // namespace

const char16_t* EnmlAttributes(WideView element) {
  const auto it = std::lower_bound(
      std::begin(kElements), std::end(kElements), element,
      [](const ElementRule& rule, WideView name) { return WideView(rule.name) < name; });
  return it != std::end(kElements) && WideView(it->name) == element ? it->attributes : nullptr;
}

void MakeEnml(WideString& html, const std::vector<std::string>& mediaHashes) {
  WideString enml = EnmlWriter(html, mediaHashes).Run();
  html.swap(enml);
}
