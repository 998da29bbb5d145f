#include "cleanup/char_references.h"

#include <algorithm>
#include <iterator>

#include "text/xml_chars.h"

namespace {

constexpr size_t kLongestReference = 40;  // "&", name or number, ";": a generous bound

struct NamedCharacter {
  std::string_view name;
  uint16_t code;
};

// Sorted by name, for a binary search. Others stay text ("&amp;name;"), which loses
// nothing.
constexpr NamedCharacter kNamedCharacters[] = {
    {"AElig", 198},   {"Aacute", 193},  {"Acirc", 194},   {"Agrave", 192},  {"Aring", 197},
    {"Atilde", 195},  {"Auml", 196},    {"Ccedil", 199},  {"Dagger", 8225}, {"ETH", 208},
    {"Eacute", 201},  {"Ecirc", 202},   {"Egrave", 200},  {"Euml", 203},    {"Iacute", 205},
    {"Icirc", 206},   {"Igrave", 204},  {"Iuml", 207},    {"Ntilde", 209},  {"OElig", 338},
    {"Oacute", 211},  {"Ocirc", 212},   {"Ograve", 210},  {"Oslash", 216},  {"Otilde", 213},
    {"Ouml", 214},    {"Prime", 8243},  {"Scaron", 352},  {"THORN", 222},   {"Uacute", 218},
    {"Ucirc", 219},   {"Ugrave", 217},  {"Uuml", 220},    {"Yacute", 221},  {"Yuml", 376},
    {"aacute", 225},  {"acirc", 226},   {"acute", 180},   {"aelig", 230},   {"agrave", 224},
    {"amp", 38},      {"apos", 39},     {"aring", 229},   {"atilde", 227},  {"auml", 228},
    {"bdquo", 8222},  {"brvbar", 166},  {"bull", 8226},   {"ccedil", 231},  {"cedil", 184},
    {"cent", 162},    {"circ", 710},    {"clubs", 9827},  {"copy", 169},    {"curren", 164},
    {"dagger", 8224}, {"darr", 8595},   {"deg", 176},     {"diams", 9830},  {"divide", 247},
    {"eacute", 233},  {"ecirc", 234},   {"egrave", 232},  {"emsp", 8195},   {"ensp", 8194},
    {"eth", 240},     {"euml", 235},    {"euro", 8364},   {"fnof", 402},    {"frac12", 189},
    {"frac14", 188},  {"frac34", 190},  {"ge", 8805},     {"gt", 62},       {"harr", 8596},
    {"hearts", 9829}, {"hellip", 8230}, {"iacute", 237},  {"icirc", 238},   {"iexcl", 161},
    {"igrave", 236},  {"infin", 8734},  {"iquest", 191},  {"iuml", 239},    {"laquo", 171},
    {"larr", 8592},   {"ldquo", 8220},  {"le", 8804},     {"loz", 9674},    {"lrm", 8206},
    {"lsaquo", 8249}, {"lsquo", 8216},  {"lt", 60},       {"macr", 175},    {"mdash", 8212},
    {"micro", 181},   {"middot", 183},  {"minus", 8722},  {"nbsp", 160},    {"ndash", 8211},
    {"ne", 8800},     {"not", 172},     {"ntilde", 241},  {"oacute", 243},  {"ocirc", 244},
    {"oelig", 339},   {"ograve", 242},  {"oline", 8254},  {"ordf", 170},    {"ordm", 186},
    {"oslash", 248},  {"otilde", 245},  {"ouml", 246},    {"para", 182},    {"permil", 8240},
    {"plusmn", 177},  {"pound", 163},   {"prime", 8242},  {"quot", 34},     {"raquo", 187},
    {"rarr", 8594},   {"rdquo", 8221},  {"reg", 174},     {"rlm", 8207},    {"rsaquo", 8250},
    {"rsquo", 8217},  {"sbquo", 8218},  {"scaron", 353},  {"sect", 167},    {"shy", 173},
    {"spades", 9824}, {"sup1", 185},    {"sup2", 178},    {"sup3", 179},    {"szlig", 223},
    {"thinsp", 8201}, {"thorn", 254},   {"tilde", 732},   {"times", 215},   {"trade", 8482},
    {"uacute", 250},  {"uarr", 8593},   {"ucirc", 251},   {"ugrave", 249},  {"uml", 168},
    {"uuml", 252},    {"yacute", 253},  {"yen", 165},     {"yuml", 255},    {"zwj", 8205},
    {"zwnj", 8204},
};

uint32_t NamedCharacterCode(std::string_view name) {
  const auto it = std::lower_bound(
      std::begin(kNamedCharacters), std::end(kNamedCharacters), name,
      [](const NamedCharacter& entry, std::string_view key) { return entry.name < key; });
  return it != std::end(kNamedCharacters) && it->name == name ? it->code : 0;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
uint32_t DigitValue(char c) {
  return IsDigit(c) ? uint32_t(c - '0') : uint32_t((c | 0x20) - 'a' + 10);
}

}  // namespace

ReferenceRead ReadReference(std::string_view text, bool atEnd, uint32_t& point, size_t& length) {
  const size_t end = std::min(text.size(), kLongestReference);
  // Whatever ends the scan at the end of text, not at a character, may yet continue.
  const auto cutShort = [&](size_t at) {
    return at >= end && !atEnd && text.size() < kLongestReference;
  };
  size_t i = 1;
  if (i < end && text[i] == '#') {
    const bool hex = i + 1 < end && (text[i + 1] == 'x' || text[i + 1] == 'X');
    if (i + 1 >= end && cutShort(i + 1)) return ReferenceRead::kNeedMore;
    size_t j = i + (hex ? 2 : 1);
    const size_t digitsStart = j;
    uint32_t value = 0;
    while (j < end && (hex ? IsHexDigit(text[j]) : IsDigit(text[j]))) {
      value = std::min<uint32_t>(value * (hex ? 16 : 10) + DigitValue(text[j]), 0x110000);
      ++j;
    }
    if (cutShort(j)) return ReferenceRead::kNeedMore;
    if (j == digitsStart || j >= end || text[j] != ';') return ReferenceRead::kNotReference;
    point = IsXmlChar(value) ? value : 0xFFFD;
    length = j + 1;
    return ReferenceRead::kCharacter;
  }
  if (cutShort(i)) return ReferenceRead::kNeedMore;
  size_t j = i;
  while (j < end && (IsLetter(text[j]) || IsDigit(text[j]))) ++j;
  if (cutShort(j)) return ReferenceRead::kNeedMore;
  if (j == i || j >= end || text[j] != ';') return ReferenceRead::kNotReference;
  const uint32_t code = NamedCharacterCode(text.substr(i, j - i));
  if (code == 0) return ReferenceRead::kNotReference;
  point = code;
  length = j + 1;
  return ReferenceRead::kCharacter;
}
