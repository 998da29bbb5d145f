#include "convert/well_formed.h"

#include <algorithm>
#include <cstdint>
#include <vector>

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

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool SameIgnoringAsciiCase(WideView a, WideView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

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

bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

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

// Searches for one pattern again and again from later and later places: an earlier
// answer that still lies ahead is reused, so that many searches cost one pass.
class Finder {
 public:
  Finder(WideView text, WideView pattern) : text_(text), pattern_(pattern) {}
  size_t From(size_t start) {
    if (!(searched_ && start >= searchedFrom_ && (found_ == kNone || found_ >= start))) {
      found_ = text_.find(pattern_, start);
      searchedFrom_ = start;
      searched_ = true;
    }
    return found_;
  }

 private:
  WideView text_;
  WideView pattern_;
  bool searched_ = false;
  size_t searchedFrom_ = 0;
  size_t found_ = kNone;
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
    size_t depth = open_.size();
    while (depth > 0 && open_[depth - 1] != name) --depth;
    if (depth == 0) {
      depth = open_.size();
      while (depth > 0 && !SameIgnoringAsciiCase(open_[depth - 1], name)) --depth;
    }
    if (depth == 0) return true;  // nothing to close: the stray end tag goes
    const WideView rest = in_.substr(nameEnd, close - nameEnd);
    const bool exact = depth == open_.size() && open_.back() == name &&
                       std::all_of(rest.begin(), rest.end(), IsSpace);
    while (open_.size() > depth) CloseTop();
    if (exact) {
      out_.append(in_.substr(at_ - whole, whole));
      open_.pop_back();
    } else {
      CloseTop();
    }
    return true;
  }

  void CloseTop() {
    out_ += u"</";
    out_ += open_.back();
    out_ += u'>';
    open_.pop_back();
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

  bool StartTag() {
    const size_t nameStart = at_ + 1;
    if (nameStart >= in_.size() || !IsAsciiLetter(in_[nameStart])) return false;
    const size_t nameEnd = NameEnd(nameStart);
    // A tag that no ">" follows cannot end.
    if (tagEnd_.From(nameEnd) == kNone) return false;
    const WideView name = in_.substr(nameStart, nameEnd - nameStart);
    WideString tag = u"<" + WideString(name);
    std::vector<WideView> seen;
    bool changed = false;
    bool selfClosed = false;
    size_t i = nameEnd;
    if (i < in_.size() && !IsSpace(in_[i]) && in_[i] != u'>' && in_[i] != u'/') {
      changed = true;  // "<a"b>": HTML reads the rest as the name's; XML cannot
    }
    for (;;) {
      i = SkipSpaces(i);
      if (i >= in_.size()) return false;
      if (in_[i] == u'>') {
        ++i;
        break;
      }
      if (in_[i] == u'/') {
        if (i + 1 < in_.size() && in_[i + 1] == u'>') {
          selfClosed = true;
          i += 2;
          break;
        }
        ++i;
        changed = true;
        continue;
      }
      const size_t attrStart = i;
      while (i < in_.size() && !IsSpace(in_[i]) && in_[i] != u'/' && in_[i] != u'>' &&
             (in_[i] != u'=' || i == attrStart))
        ++i;
      const WideView attrName = in_.substr(attrStart, i - attrStart);
      size_t afterName = SkipSpaces(i);
      size_t valueStart = attrStart;
      size_t valueLength = attrName.size();
      char16_t quote = u'"';
      if (afterName < in_.size() && in_[afterName] == u'=') {
        size_t v = SkipSpaces(afterName + 1);
        if (v >= in_.size()) return false;
        if (in_[v] == u'"' || in_[v] == u'\'') {
          quote = in_[v];
          const size_t close = (quote == u'"' ? doubleQuote_ : singleQuote_).From(v + 1);
          if (close == kNone) return false;
          valueStart = v + 1;
          valueLength = close - v - 1;
          i = close + 1;
        } else {
          valueStart = v;
          while (v < in_.size() && !IsSpace(in_[v]) && in_[v] != u'>') ++v;
          valueLength = v - valueStart;
          i = v;
          changed = true;  // unquoted
        }
      } else {
        changed = true;  // a bare attribute gets its name as value
      }
      if (!IsXmlName(attrName) || std::find(seen.begin(), seen.end(), attrName) != seen.end()) {
        changed = true;  // XML cannot hold it, or has it already
        continue;
      }
      seen.push_back(attrName);
      tag += u' ';
      tag += attrName;
      tag += u'=';
      tag += quote;
      changed |= AppendAttributeValue(valueStart, valueLength, quote, tag);
      tag += quote;
    }
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
      open_.emplace_back(name);
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
    open_.emplace_back(name);
    if (at_ < in_.size()) EndTag();
  }

  WideView in_;
  size_t at_ = 0;
  WideString out_;
  std::vector<WideString> open_;
  Finder commentEnd_;
  Finder cdataEnd_;
  Finder tagEnd_;
  Finder doubleQuote_;
  Finder singleQuote_;
};

}  // namespace

void MakeWellFormed(WideString& html) {
  WideString mended = Mender(html).Run();
  html.swap(mended);
}
