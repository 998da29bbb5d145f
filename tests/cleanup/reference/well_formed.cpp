#include "tests/cleanup/reference/well_formed.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "text/ascii_case.h"
#include "text/xml_chars.h"

namespace {

constexpr size_t kNone = WideView::npos;
constexpr size_t kLongestReference = 40;  // "&" name or number ";", a generous bound

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsHexDigit(char16_t c) {
  return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}
// Names are kept to what HTML writes and every XML parser reads: ASCII letters, digits
// and "-._:", beginning with a letter, "_" or ":".
bool IsNameStart(char16_t c) { return IsAsciiLetter(c) || c == u'_' || c == u':'; }
bool IsNameChar(char16_t c) { return IsNameStart(c) || IsDigit(c) || c == u'-' || c == u'.'; }


bool IsOneOf(WideView name, std::initializer_list<WideView> names) {
  for (WideView candidate : names)
    if (SameIgnoringAsciiCase(name, candidate)) return true;
  return false;
}

// HTML elements that never have content or an end tag.
bool IsVoidElement(WideView name) {
  return IsOneOf(name, {u"area", u"base", u"br", u"col", u"embed", u"hr", u"img", u"input",
                        u"link", u"meta", u"param", u"source", u"track", u"wbr"});
}

// HTML elements whose content is plain text up to their end tag.
bool IsRawTextElement(WideView name) { return IsOneOf(name, {u"script", u"style"}); }


struct NamedCharacter {
  const char16_t* name;
  uint16_t code;
};

// HTML's named references beyond XML's five: Latin-1 and the common punctuation and
// symbols. Others are left as text ("&amp;name;"), which loses nothing.
constexpr NamedCharacter kNamedCharacters[] = {
    {u"nbsp", 160},    {u"iexcl", 161},   {u"cent", 162},    {u"pound", 163},
    {u"curren", 164},  {u"yen", 165},     {u"brvbar", 166},  {u"sect", 167},
    {u"uml", 168},     {u"copy", 169},    {u"ordf", 170},    {u"laquo", 171},
    {u"not", 172},     {u"shy", 173},     {u"reg", 174},     {u"macr", 175},
    {u"deg", 176},     {u"plusmn", 177},  {u"sup2", 178},    {u"sup3", 179},
    {u"acute", 180},   {u"micro", 181},   {u"para", 182},    {u"middot", 183},
    {u"cedil", 184},   {u"sup1", 185},    {u"ordm", 186},    {u"raquo", 187},
    {u"frac14", 188},  {u"frac12", 189},  {u"frac34", 190},  {u"iquest", 191},
    {u"Agrave", 192},  {u"Aacute", 193},  {u"Acirc", 194},   {u"Atilde", 195},
    {u"Auml", 196},    {u"Aring", 197},   {u"AElig", 198},   {u"Ccedil", 199},
    {u"Egrave", 200},  {u"Eacute", 201},  {u"Ecirc", 202},   {u"Euml", 203},
    {u"Igrave", 204},  {u"Iacute", 205},  {u"Icirc", 206},   {u"Iuml", 207},
    {u"ETH", 208},     {u"Ntilde", 209},  {u"Ograve", 210},  {u"Oacute", 211},
    {u"Ocirc", 212},   {u"Otilde", 213},  {u"Ouml", 214},    {u"times", 215},
    {u"Oslash", 216},  {u"Ugrave", 217},  {u"Uacute", 218},  {u"Ucirc", 219},
    {u"Uuml", 220},    {u"Yacute", 221},  {u"THORN", 222},   {u"szlig", 223},
    {u"agrave", 224},  {u"aacute", 225},  {u"acirc", 226},   {u"atilde", 227},
    {u"auml", 228},    {u"aring", 229},   {u"aelig", 230},   {u"ccedil", 231},
    {u"egrave", 232},  {u"eacute", 233},  {u"ecirc", 234},   {u"euml", 235},
    {u"igrave", 236},  {u"iacute", 237},  {u"icirc", 238},   {u"iuml", 239},
    {u"eth", 240},     {u"ntilde", 241},  {u"ograve", 242},  {u"oacute", 243},
    {u"ocirc", 244},   {u"otilde", 245},  {u"ouml", 246},    {u"divide", 247},
    {u"oslash", 248},  {u"ugrave", 249},  {u"uacute", 250},  {u"ucirc", 251},
    {u"uuml", 252},    {u"yacute", 253},  {u"thorn", 254},   {u"yuml", 255},
    {u"OElig", 338},   {u"oelig", 339},   {u"Scaron", 352},  {u"scaron", 353},
    {u"Yuml", 376},    {u"fnof", 402},    {u"circ", 710},    {u"tilde", 732},
    {u"ensp", 8194},   {u"emsp", 8195},   {u"thinsp", 8201}, {u"zwnj", 8204},
    {u"zwj", 8205},    {u"lrm", 8206},    {u"rlm", 8207},    {u"ndash", 8211},
    {u"mdash", 8212},  {u"lsquo", 8216},  {u"rsquo", 8217},  {u"sbquo", 8218},
    {u"ldquo", 8220},  {u"rdquo", 8221},  {u"bdquo", 8222},  {u"dagger", 8224},
    {u"Dagger", 8225}, {u"bull", 8226},   {u"hellip", 8230}, {u"permil", 8240},
    {u"prime", 8242},  {u"Prime", 8243},  {u"lsaquo", 8249}, {u"rsaquo", 8250},
    {u"oline", 8254},  {u"euro", 8364},   {u"trade", 8482},  {u"larr", 8592},
    {u"uarr", 8593},   {u"rarr", 8594},   {u"darr", 8595},   {u"harr", 8596},
    {u"minus", 8722},  {u"le", 8804},     {u"ge", 8805},     {u"ne", 8800},
    {u"infin", 8734},  {u"loz", 9674},    {u"spades", 9824}, {u"clubs", 9827},
    {u"hearts", 9829}, {u"diams", 9830},
};

int NamedCharacterCode(WideView name) {
  for (const NamedCharacter& entry : kNamedCharacters)
    if (name == entry.name) return entry.code;
  return 0;
}

// Every place of one pattern, found by one scan that never goes back: the mender asks
// from many places and not always in order (a tag that turns out to be text is read again
// from its next "<"), and each answer costs a binary search instead of a new scan.
class Occurrences {
 public:
  Occurrences(WideView text, WideView pattern) : text_(text), pattern_(pattern) {}
  // The first place at or after start, or kNone.
  size_t From(size_t start) {
    for (;;) {
      const auto first = found_.begin() + static_cast<std::ptrdiff_t>(head_);
      const auto it = std::lower_bound(first, found_.end(), start);
      if (it != found_.end()) return *it;
      if (scanned_ >= text_.size()) return kNone;
      const size_t next = text_.find(pattern_, scanned_);
      if (next == kNone) {
        scanned_ = text_.size();
        return kNone;
      }
      found_.push_back(next);
      scanned_ = next + 1;
    }
  }
  // Places before done are never asked for again.
  void Forget(size_t done) {
    while (head_ < found_.size() && found_[head_] < done) ++head_;
    if (head_ > 1024 && head_ * 2 > found_.size()) {
      found_.erase(found_.begin(), found_.begin() + static_cast<std::ptrdiff_t>(head_));
      head_ = 0;
    }
  }

 private:
  WideView text_;
  WideView pattern_;
  std::vector<size_t> found_;  // every place before scanned_, ascending
  size_t head_ = 0;
  size_t scanned_ = 0;
};

// One attribute of a start tag as written: where its name and value stand.
struct AttributeSpan {
  WideView name;
  size_t valueStart;
  size_t valueLength;
  char16_t quote;  // the quote it is written with: the one it had, else '"'
  bool rewritten;  // unquoted, or bare (its name as value)
};

class Mender {
 public:
  explicit Mender(WideView in)
      : in_(in), commentEnd_(in, u"-->"), cdataEnd_(in, u"]]>"), tagEnd_(in, u">"),
        doubleQuote_(in, u"\""), singleQuote_(in, u"'") {
    out_.reserve(in.size() + in.size() / 16 + 16);
  }

  WideString Run() {
    while (at_ < in_.size()) {
      const char16_t c = in_[at_];
      if (c == u'<') {
        Forget();
        if (!Markup()) Text(u"&lt;", 1);
      } else if (c == u'&') {
        at_ += AppendReference(at_, out_);
      } else if (c == u'>' && EndsWithTwoBrackets()) {
        Text(u"&gt;", 1);  // "]]>" may not stand in text
      } else {
        out_ += c;
        ++at_;
      }
    }
    while (!open_.empty()) CloseTop();
    return std::move(out_);
  }

 private:
  void Forget() {
    for (Occurrences* found : {&commentEnd_, &cdataEnd_, &tagEnd_, &doubleQuote_, &singleQuote_})
      found->Forget(at_);
  }
  bool StartsWith(WideView pattern) const { return in_.substr(at_, pattern.size()) == pattern; }
  bool EndsWithTwoBrackets() const {
    return out_.size() >= 2 && out_[out_.size() - 1] == u']' && out_[out_.size() - 2] == u']';
  }
  void Text(WideView replacement, size_t consumed) {
    out_ += replacement;
    at_ += consumed;
  }

  // The reference at pos appended to out in a form XML reads; a lone "&" becomes
  // "&amp;". Returns the number of units it took.
  size_t AppendReference(size_t pos, WideString& out) const {
    const size_t end = std::min(in_.size(), pos + kLongestReference);
    size_t i = pos + 1;
    if (i < end && in_[i] == u'#') {
      const bool hex = i + 1 < end && (in_[i + 1] == u'x' || in_[i + 1] == u'X');
      size_t j = i + (hex ? 2 : 1);
      uint32_t value = 0;
      const size_t digitsStart = j;
      while (j < end && (hex ? IsHexDigit(in_[j]) : IsDigit(in_[j]))) {
        const char16_t d = in_[j];
        const uint32_t digit = IsDigit(d) ? d - u'0' : AsciiLower(d) - u'a' + 10;
        value = std::min<uint32_t>(value * (hex ? 16 : 10) + digit, 0x110000);
        ++j;
      }
      if (j > digitsStart && j < end && in_[j] == u';') {
        if (IsXmlChar(value))
          out.append(in_.substr(pos, j + 1 - pos));
        else
          out += u"&#65533;";  // a character XML cannot carry
        return j + 1 - pos;
      }
    } else {
      size_t j = i;
      while (j < end && (IsAsciiLetter(in_[j]) || IsDigit(in_[j]))) ++j;
      if (j > i && j < end && in_[j] == u';') {
        const WideView name = in_.substr(i, j - i);
        if (name == u"amp" || name == u"lt" || name == u"gt" || name == u"quot" ||
            name == u"apos") {
          out.append(in_.substr(pos, j + 1 - pos));
          return j + 1 - pos;
        }
        if (int code = NamedCharacterCode(name)) {
          out += u"&#" + WideFromAscii(std::to_string(code)) + u";";
          return j + 1 - pos;
        }
      }
    }
    out += u"&amp;";
    return 1;
  }

  // Markup at "<"; false when it is none, and the "<" is text.
  bool Markup() {
    if (StartsWith(u"<!--")) return Comment();
    if (StartsWith(u"<![CDATA[")) return CdataSection();
    if (StartsWith(u"<!") || StartsWith(u"<?")) return Declaration();
    if (StartsWith(u"</")) return EndTag();
    return StartTag();
  }

  bool Comment() {
    const size_t end = commentEnd_.From(at_ + 4);
    if (end == kNone) return false;
    out_ += u"<!--";
    // XML allows no "--" inside a comment and no "-" right before its end.
    for (size_t i = at_ + 4; i < end; ++i) {
      if (in_[i] == u'-' && !out_.empty() && out_.back() == u'-') out_ += u' ';
      out_ += in_[i];
    }
    if (out_.back() == u'-') out_ += u' ';
    out_ += u"-->";
    at_ = end + 3;
    return true;
  }

  bool CdataSection() {
    const size_t end = cdataEnd_.From(at_ + 9);
    if (end == kNone) return false;
    out_.append(in_.substr(at_, end + 3 - at_));
    at_ = end + 3;
    return true;
  }

  // A document type or processing instruction has no place inside a note: it goes.
  bool Declaration() {
    const size_t end = tagEnd_.From(at_ + 2);
    if (end == kNone) return false;
    at_ = end + 1;
    return true;
  }

  size_t SkipSpaces(size_t i) const {
    while (i < in_.size() && IsSpace(in_[i])) ++i;
    return i;
  }

  size_t NameEnd(size_t i) const {
    while (i < in_.size() && IsNameChar(in_[i])) ++i;
    return i;
  }

  bool EndTag() {
    const size_t nameStart = at_ + 2;
    if (nameStart >= in_.size() || !IsAsciiLetter(in_[nameStart])) return false;
    const size_t nameEnd = NameEnd(nameStart);
    const size_t close = tagEnd_.From(nameEnd);
    if (close == kNone) return false;
    const WideView name = in_.substr(nameStart, nameEnd - nameStart);
    const size_t whole = close + 1 - at_;
    at_ = close + 1;
    // The walk down the stack ends at the element it closes, so it costs no more than
    // the elements it closes.
    size_t depth = open_.size();
    if (OpenCount(openExact_, WideString(name)) > 0) {
      while (open_[depth - 1] != name) --depth;
    } else if (OpenCount(openLower_, AsciiLowered(name)) > 0) {
      while (!SameIgnoringAsciiCase(open_[depth - 1], name)) --depth;
    } else {
      return true;  // nothing to close: the stray end tag goes
    }
    const WideView rest = in_.substr(nameEnd, close - nameEnd);
    const bool exact = depth == open_.size() && open_.back() == name &&
                       std::all_of(rest.begin(), rest.end(), IsSpace);
    while (open_.size() > depth) CloseTop();
    if (exact) {
      out_.append(in_.substr(at_ - whole, whole));
      Pop();
    } else {
      CloseTop();
    }
    return true;
  }

  static size_t OpenCount(const std::unordered_map<WideString, size_t>& counts,
                          const WideString& name) {
    const auto it = counts.find(name);
    return it == counts.end() ? 0 : it->second;
  }

  void Push(WideView name) {
    open_.emplace_back(name);
    ++openExact_[open_.back()];
    ++openLower_[AsciiLowered(name)];
  }

  void Pop() {
    --openExact_[open_.back()];
    --openLower_[AsciiLowered(open_.back())];
    open_.pop_back();
  }

  void CloseTop() {
    out_ += u"</";
    out_ += open_.back();
    out_ += u'>';
    Pop();
  }

  // HTML's end tags that may be left out: a new item closes the one before it.
  void CloseImpliedBy(WideView name) {
    auto topIs = [&](std::initializer_list<WideView> names) {
      return !open_.empty() && IsOneOf(open_.back(), names);
    };
    if (IsOneOf(name, {u"li"}) && topIs({u"li"})) CloseTop();
    if (IsOneOf(name, {u"p"}) && topIs({u"p"})) CloseTop();
    if (IsOneOf(name, {u"dt", u"dd"}) && topIs({u"dt", u"dd"})) CloseTop();
    if (IsOneOf(name, {u"option"}) && topIs({u"option"})) CloseTop();
    if (IsOneOf(name, {u"td", u"th", u"tr"}) && topIs({u"td", u"th"})) CloseTop();
    if (IsOneOf(name, {u"tr"}) && topIs({u"tr"})) CloseTop();
  }

  // The value at [start, start + length) between its quotes, written for the quote it
  // gets; true when that changed anything.
  bool AppendAttributeValue(size_t start, size_t length, char16_t quote, WideString& tag) const {
    const size_t before = tag.size();
    for (size_t i = start; i < start + length;) {
      const char16_t c = in_[i];
      if (c == u'&') {
        i += AppendReference(i, tag);
        continue;
      }
      if (c == u'<') {
        tag += u"&lt;";
      } else if (c == quote) {
        tag += quote == u'"' ? u"&quot;" : u"&#39;";
      } else {
        tag += c;
      }
      ++i;
    }
    return tag.compare(before, WideString::npos, in_.substr(start, length)) != 0;
  }

  bool IsXmlName(WideView name) const {
    if (name.empty() || !IsNameStart(name[0])) return false;
    return std::all_of(name.begin(), name.end(), IsNameChar);
  }

  // Reads the attributes of a start tag from i (just after its name) through its ">" or
  // "/>". Returns the place after the tag, or kNone where no tag ends: at the end of the
  // text, at a quote that is never closed, or at a "<" outside a quoted value. HTML would
  // read on past such a "<", but there a tag is far likelier to be text, and reading on
  // from every "<" of a long run would cost the square of its length.
  size_t ReadAttributes(size_t i, std::vector<AttributeSpan>& attrs, bool& changed,
                        bool& selfClosed) {
    for (;;) {
      i = SkipSpaces(i);
      if (i >= in_.size() || in_[i] == u'<') return kNone;
      if (in_[i] == u'>') return i + 1;
      if (in_[i] == u'/') {
        if (i + 1 < in_.size() && in_[i + 1] == u'>') {
          selfClosed = true;
          return i + 2;
        }
        ++i;
        changed = true;
        continue;
      }
      const size_t attrStart = i;
      while (i < in_.size() && !IsSpace(in_[i]) && in_[i] != u'/' && in_[i] != u'>' &&
             (in_[i] != u'=' || i == attrStart)) {
        if (in_[i] == u'<') return kNone;
        ++i;
      }
      AttributeSpan attr{in_.substr(attrStart, i - attrStart), attrStart, i - attrStart, u'"',
                         true};
      const size_t afterName = SkipSpaces(i);
      if (afterName < in_.size() && in_[afterName] == u'=') {
        size_t v = SkipSpaces(afterName + 1);
        if (v >= in_.size()) return kNone;
        if (in_[v] == u'"' || in_[v] == u'\'') {
          attr.quote = in_[v];
          const size_t close = (attr.quote == u'"' ? doubleQuote_ : singleQuote_).From(v + 1);
          if (close == kNone) return kNone;
          attr.valueStart = v + 1;
          attr.valueLength = close - v - 1;
          attr.rewritten = false;
          i = close + 1;
        } else {
          attr.valueStart = v;
          while (v < in_.size() && !IsSpace(in_[v]) && in_[v] != u'>') {
            if (in_[v] == u'<') return kNone;
            ++v;
          }
          attr.valueLength = v - attr.valueStart;
          i = v;
        }
      }
      changed |= attr.rewritten;
      attrs.push_back(attr);
    }
  }

  // The start tag written with its attributes quoted, each XML name once; true when that
  // differs from what was read.
  bool WriteStartTag(WideView name, const std::vector<AttributeSpan>& attrs, WideString& tag) {
    bool changed = false;
    std::unordered_set<WideView> seen;
    tag = u"<" + WideString(name);
    for (const AttributeSpan& attr : attrs) {
      if (!IsXmlName(attr.name) || !seen.insert(attr.name).second) {
        changed = true;  // XML cannot hold it, or has it already
        continue;
      }
      tag += u' ';
      tag += attr.name;
      tag += u'=';
      tag += attr.quote;
      changed |= AppendAttributeValue(attr.valueStart, attr.valueLength, attr.quote, tag);
      tag += attr.quote;
    }
    return changed;
  }

  bool StartTag() {
    const size_t nameStart = at_ + 1;
    if (nameStart >= in_.size() || !IsAsciiLetter(in_[nameStart])) return false;
    const size_t nameEnd = NameEnd(nameStart);
    // A tag that no ">" follows cannot end.
    if (tagEnd_.From(nameEnd) == kNone) return false;
    const WideView name = in_.substr(nameStart, nameEnd - nameStart);
    bool changed = false;
    bool selfClosed = false;
    if (nameEnd < in_.size() && !IsSpace(in_[nameEnd]) && in_[nameEnd] != u'>' &&
        in_[nameEnd] != u'/') {
      changed = true;  // "<a"b>": HTML reads the rest as the name's; XML cannot
    }
    std::vector<AttributeSpan> attrs;
    const size_t i = ReadAttributes(nameEnd, attrs, changed, selfClosed);
    if (i == kNone) return false;
    WideString tag;
    changed |= WriteStartTag(name, attrs, tag);
    const bool isVoid = IsVoidElement(name);
    if (!isVoid && !selfClosed) CloseImpliedBy(name);
    if (changed) {
      out_ += tag;
      out_ += isVoid || selfClosed ? u"/>" : u">";
    } else {
      // Kept as written, spaces and all; an empty element only closes itself.
      const WideView written = in_.substr(at_, i - at_);
      if (isVoid && !selfClosed) {
        out_.append(written.substr(0, written.size() - 1));
        out_ += u"/>";
      } else {
        out_.append(written);
      }
    }
    at_ = i;
    if (isVoid || selfClosed) return true;
    if (IsRawTextElement(name)) {
      RawText(name);
    } else {
      Push(name);
    }
    return true;
  }

  // Script and style hold plain text up to their end tag: it is written as text (its
  // references kept, so that mending twice changes nothing more) and the element closed.
  void RawText(WideView name) {
    size_t end = at_;
    for (;;) {
      end = in_.find(u"</", end);
      if (end == kNone) {
        end = in_.size();
        break;
      }
      if (SameIgnoringAsciiCase(in_.substr(end + 2, name.size()), name)) break;
      end += 2;
    }
    for (size_t i = at_; i < end;) {
      const char16_t c = in_[i];
      if (c == u'&') {
        i += AppendReference(i, out_);
        continue;
      }
      if (c == u'<' || (c == u'>' && EndsWithTwoBrackets()))
        out_ += c == u'<' ? u"&lt;" : u"&gt;";
      else
        out_ += c;
      ++i;
    }
    at_ = end;
    Push(name);
    if (at_ < in_.size()) EndTag();
  }

  WideView in_;
  size_t at_ = 0;
  WideString out_;
  std::vector<WideString> open_;
  Occurrences commentEnd_;
  Occurrences cdataEnd_;
  Occurrences tagEnd_;
  Occurrences doubleQuote_;
  Occurrences singleQuote_;
  // Open elements by name, exactly and in lower case, so that an end tag without a start
  // tag is found stray at once instead of by a walk down the whole stack.
  std::unordered_map<WideString, size_t> openExact_;
  std::unordered_map<WideString, size_t> openLower_;
};

}  // namespace

void MakeWellFormed(WideString& html) {
  WideString mended = Mender(html).Run();
  html.swap(mended);
}
