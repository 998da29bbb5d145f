#include "cleanup/enml_rules.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

#define Y2E_ATTRS "style title lang xml:lang dir "
#define Y2E_CELL "align char charoff valign "

constexpr uint16_t kInlineEnml = kEnml | kInline;

// ENML 2 (enml2.dtd) and the HTML elements with a rule of their own, sorted by name.
// Left out although declared: accesskey and tabindex (%focus;), which the service
// refuses, and pre's xml:space, whose only allowed value is its default. en-note is the
// document's root and is not written inside content.
constexpr ElementRule kElements[] = {
    {"a", Y2E_ATTRS "charset type name href hreflang rel rev shape coords target ", kEnml},
    {"abbr", Y2E_ATTRS, kInlineEnml},
    {"acronym", Y2E_ATTRS, kInlineEnml},
    {"address", Y2E_ATTRS, kEnml},
    {"area", Y2E_ATTRS "shape coords href nohref alt target ", kEnml | kVoid},
    {"b", Y2E_ATTRS, kInlineEnml},
    {"base", "", kVoid},
    {"bdo", Y2E_ATTRS, kInlineEnml},
    {"big", Y2E_ATTRS, kInlineEnml},
    {"blockquote", Y2E_ATTRS "cite ", kEnml},
    {"br", "style title clear ", kEnml | kVoid},
    {"button", "", kSeparates},
    {"caption", Y2E_ATTRS "align ", kEnml},
    {"center", Y2E_ATTRS, kEnml},
    {"cite", Y2E_ATTRS, kInlineEnml},
    {"code", Y2E_ATTRS, kInlineEnml},
    {"col", Y2E_ATTRS Y2E_CELL "span width ", kEnml | kVoid},
    {"colgroup", Y2E_ATTRS Y2E_CELL "span width ", kEnml},
    {"dd", Y2E_ATTRS, kEnml, ItemKind::kDefinition},
    {"del", Y2E_ATTRS "cite datetime ", kInlineEnml},
    {"dfn", Y2E_ATTRS, kInlineEnml},
    {"div", Y2E_ATTRS "align ", kEnml},
    {"dl", Y2E_ATTRS "compact ", kEnml},
    {"dt", Y2E_ATTRS, kEnml, ItemKind::kDefinition},
    {"em", Y2E_ATTRS, kInlineEnml},
    {"embed", "", kVoid},
    {"en-crypt", "hint cipher length ", kEnml | kTextOnly},
    {"en-media", Y2E_ATTRS "type hash height width usemap align border hspace vspace longdesc alt ",
     kEnml | kEmptyInEnml},
    {"en-todo", "checked ", kEnml | kEmptyInEnml},
    {"font", Y2E_ATTRS "size color face ", kInlineEnml},
    {"h1", Y2E_ATTRS "align ", kEnml},
    {"h2", Y2E_ATTRS "align ", kEnml},
    {"h3", Y2E_ATTRS "align ", kEnml},
    {"h4", Y2E_ATTRS "align ", kEnml},
    {"h5", Y2E_ATTRS "align ", kEnml},
    {"h6", Y2E_ATTRS "align ", kEnml},
    {"hr", Y2E_ATTRS "align noshade size width ", kEnml | kVoid},
    {"i", Y2E_ATTRS, kInlineEnml},
    {"img", Y2E_ATTRS "src alt name longdesc height width usemap ismap align border hspace vspace ",
     kEnml | kVoid},
    {"input", "", kVoid},
    {"ins", Y2E_ATTRS "cite datetime ", kInlineEnml},
    {"kbd", Y2E_ATTRS, kInlineEnml},
    {"li", Y2E_ATTRS "type value ", kEnml, ItemKind::kListItem},
    {"link", "", kVoid},
    {"map", "lang xml:lang dir title name ", kEnml},
    {"meta", "", kVoid},
    {"noscript", "", kDropsContent},
    {"ol", Y2E_ATTRS "type compact start ", kEnml},
    {"option", "", 0, ItemKind::kOption},
    {"p", Y2E_ATTRS "align ", kEnml, ItemKind::kParagraph},
    {"param", "", kVoid},
    {"pre", Y2E_ATTRS "width ", kEnml},
    {"q", Y2E_ATTRS "cite ", kInlineEnml},
    {"s", Y2E_ATTRS, kInlineEnml},
    {"samp", Y2E_ATTRS, kInlineEnml},
    {"script", "", kDropsContent | kRawText},
    {"small", Y2E_ATTRS, kInlineEnml},
    {"source", "", kVoid},
    {"span", Y2E_ATTRS, kInlineEnml},
    {"strike", Y2E_ATTRS, kInlineEnml},
    {"strong", Y2E_ATTRS, kInlineEnml},
    {"style", "", kDropsContent | kRawText},
    {"sub", Y2E_ATTRS, kInlineEnml},
    {"sup", Y2E_ATTRS, kInlineEnml},
    {"table", Y2E_ATTRS "summary width border cellspacing cellpadding align bgcolor ", kEnml},
    {"tbody", Y2E_ATTRS Y2E_CELL, kEnml},
    {"td", Y2E_ATTRS Y2E_CELL "abbr rowspan colspan nowrap bgcolor width height ", kEnml, ItemKind::kCell},
    {"template", "", kDropsContent},
    // A browser shows a text area's text as it stands, markup and all.
    {"textarea", "", kRawText | kDecodesRawText},
    {"tfoot", Y2E_ATTRS Y2E_CELL, kEnml},
    {"th", Y2E_ATTRS Y2E_CELL "abbr rowspan colspan nowrap bgcolor width height ", kEnml, ItemKind::kCell},
    {"thead", Y2E_ATTRS Y2E_CELL, kEnml},
    {"title", "", kDropsContent},
    {"tr", Y2E_ATTRS Y2E_CELL "bgcolor ", kEnml, ItemKind::kRow},
    {"track", "", kVoid},
    {"tt", Y2E_ATTRS, kInlineEnml},
    {"u", Y2E_ATTRS, kInlineEnml},
    {"ul", Y2E_ATTRS "type compact ", kEnml},
    {"var", Y2E_ATTRS, kInlineEnml},
    {"wbr", "", kVoid},
    {"xmp", "", kRawText},
};

#undef Y2E_ATTRS
#undef Y2E_CELL

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// Characters a reader may skip where a scheme is read: blanks, control characters
// (C0, DEL and C1) and non-characters. Checking without them is safe whichever a
// browser skips.
bool IsIgnorable(uint32_t c) {
  return c <= 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xFDD0 && c <= 0xFDEF) ||
         (c & 0xFFFE) == 0xFFFE;
}

// The characters of valid UTF-8, each passed to take until it returns false.
template <typename Take>
void ForEachCharacter(std::string_view text, Take take) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t size = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t c = size == 1 ? lead : lead & (0x3F >> (size - 1));
    for (size_t k = 1; k < size && i + k < text.size(); ++k)
      c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += size;
    if (!take(c)) return;
  }
}

// The scheme-relevant characters of an address: what a browser may keep of it before its
// first ":", lower-cased, at most a few more than the longest unsafe scheme.
std::string SchemeHead(std::string_view value) {
  std::string head;
  ForEachCharacter(value, [&head](uint32_t c) {
    if (IsIgnorable(c)) return true;
    head.push_back(c < 0x80 ? Lower(static_cast<char>(c)) : '\x7F');
    return c != ':' && head.size() <= 12;
  });
  return head;
}

bool HasUnsafeScheme(std::string_view text) {
  for (std::string_view scheme : {"javascript:", "vbscript:", "data:"})
    if (text.find(scheme) != std::string_view::npos) return true;
  return false;
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned long HexValue(char c) {
  return static_cast<unsigned long>(c <= '9' ? c - '0' : Lower(c) - 'a' + 10);
}

// A style as CSS reads it, for the check: comments gone, escapes decoded to the ASCII
// they stand for (anything beyond ASCII cannot spell a scheme), what a reader may skip
// gone, lower case.
std::string CssLetters(std::string_view value) {
  std::string letters;
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (static_cast<unsigned char>(c) >= 0x80) {
      // A character beyond ASCII: skipped where a reader may skip it, else no letter.
      size_t size = 1;
      while (i + size < value.size() && (static_cast<unsigned char>(value[i + size]) & 0xC0) == 0x80)
        ++size;
      bool ignorable = false;
      ForEachCharacter(value.substr(i, size), [&ignorable](uint32_t point) {
        ignorable = IsIgnorable(point);
        return false;
      });
      if (!ignorable) letters.push_back('\x7F');
      i += size - 1;
      continue;
    }
    if (c == '/' && i + 1 < value.size() && value[i + 1] == '*') {
      const size_t end = value.find("*/", i + 2);
      if (end == std::string_view::npos) break;
      i = end + 1;
      continue;
    }
    if (c == '\\' && i + 1 < value.size()) {
      size_t j = i + 1;
      unsigned long code = 0;
      while (j < value.size() && j < i + 7 && IsHex(value[j])) {
        code = code * 16 + HexValue(value[j]);
        ++j;
      }
      if (j > i + 1) {
        if (j < value.size() && (value[j] == ' ' || value[j] == '\t' || value[j] == '\n')) ++j;
        i = j - 1;
        if (IsIgnorable(static_cast<uint32_t>(code))) continue;
        c = code < 0x80 ? static_cast<char>(code) : '\x7F';
      } else {
        c = value[++i];
      }
    }
    if (IsIgnorable(static_cast<unsigned char>(c))) continue;
    letters.push_back(Lower(c));
  }
  return letters;
}

// Names to their places in a list, found by one hash and mostly one comparison: every
// tag and attribute of a page is looked up.
class NameIndex {
 public:
  static constexpr int kNone = -1;
  void Add(std::string_view name, int index) {
    size_t slot = Hash(name) & kMask;
    while (slots_[slot].index != kNone) slot = (slot + 1) & kMask;
    slots_[slot] = {name, index};
  }
  int Find(std::string_view name) const {
    for (size_t slot = Hash(name) & kMask;; slot = (slot + 1) & kMask) {
      if (slots_[slot].index == kNone) return kNone;
      if (slots_[slot].name == name) return slots_[slot].index;
    }
  }

 private:
  static constexpr size_t kSlots = 512;  // far more than the names, so probes stay short
  static constexpr size_t kMask = kSlots - 1;
  static size_t Hash(std::string_view name) {
    size_t hash = 2166136261u;
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash ^ (hash >> 9);
  }
  struct Slot {
    std::string_view name;
    int index = kNone;
  };
  Slot slots_[kSlots];
};

// The tables behind the lookups, made once: elements by name, attributes by name, and
// for each element the attributes it declares as bits.
struct Tables {
  NameIndex elements;
  NameIndex attributes;
  std::vector<uint64_t> declared;

  Tables() {
    int attributeCount = 0;
    for (size_t i = 0; i < std::size(kElements); ++i) {
      elements.Add(kElements[i].name, static_cast<int>(i));
      uint64_t bits = 0;
      const std::string_view list = kElements[i].attributes;
      for (size_t at = 0; at < list.size();) {
        const size_t blank = list.find(' ', at);
        const std::string_view attribute = list.substr(at, blank - at);
        int id = attributes.Find(attribute);
        if (id == NameIndex::kNone) attributes.Add(attribute, id = attributeCount++);
        bits |= uint64_t{1} << id;
        at = blank + 1;
      }
      declared.push_back(bits);
    }
  }
};

const Tables& TheTables() {
  static const Tables tables;
  return tables;
}

}  // namespace

const ElementRule* FindElementRule(std::string_view name) {
  const int index = TheTables().elements.Find(name);
  return index == NameIndex::kNone ? nullptr : &kElements[index];
}

size_t ElementRuleIndex(const ElementRule& rule) {
  return static_cast<size_t>(&rule - std::begin(kElements));
}

size_t ElementRuleCount() { return std::size(kElements); }

bool IsDeclaredAttribute(const ElementRule& element, std::string_view attribute) {
  const Tables& tables = TheTables();
  const int id = tables.attributes.Find(attribute);
  return id != NameIndex::kNone && (tables.declared[ElementRuleIndex(element)] >> id & 1);
}

bool IsAddressAttribute(std::string_view attribute) {
  return attribute == "href" || attribute == "src" || attribute == "cite" ||
         attribute == "longdesc";
}

bool IsUnsafeAddress(std::string_view value) {
  const std::string head = SchemeHead(value);
  for (std::string_view scheme : {"javascript:", "vbscript:", "data:"})
    if (head.compare(0, scheme.size(), scheme) == 0) return true;
  return false;
}

bool IsUnsafeStyle(std::string_view value) {
  // Nothing can be fetched or run without a parenthesis, and nothing hidden without an
  // escape: the styles of ordinary pages pass at once.
  if (value.find('(') == std::string_view::npos && value.find('\\') == std::string_view::npos)
    return false;
  const std::string letters = CssLetters(value);
  return HasUnsafeScheme(letters) || letters.find("expression(") != std::string::npos;
}
