#include "testbed/xml_faults.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsXmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

class Reader {
 public:
  explicit Reader(std::string_view xml) : xml_(xml) {}

  std::optional<std::string> Run() {
    if (xml_.compare(0, 5, "<?xml") == 0) {
      const size_t end = xml_.find("?>");
      if (end == std::string_view::npos) return Fault(0, "the XML declaration never ends");
      at_ = end + 2;
    }
    bool rootSeen = false;
    while (at_ < xml_.size()) {
      if (auto fault = Characters()) return fault;
      if (at_ >= xml_.size()) break;
      const size_t start = at_;
      if (xml_[at_] == '<') {
        if (auto fault = Markup()) return fault;
        if (open_.empty() && at_ > start && xml_[start + 1] != '!' && xml_[start + 1] != '?') {
          if (rootSeen && !closedRoot_) return Fault(start, "a second root element");
          rootSeen = true;
        }
      } else if (auto fault = Reference()) {
        return fault;
      }
    }
    if (!open_.empty()) return Fault(open_.back().start, "element <" + open_.back().name + "> is not closed");
    if (!rootSeen) return Fault(xml_.size(), "there is no element");
    return std::nullopt;
  }

 private:
  struct Open {
    std::string name;
    size_t start;
  };

  std::optional<std::string> Fault(size_t at, const std::string& reason) const {
    size_t line = 1, column = 1;
    for (size_t i = 0; i < at && i < xml_.size(); ++i) {
      if (xml_[i] == '\n') {
        ++line;
        column = 1;
      } else if ((static_cast<unsigned char>(xml_[i]) & 0xC0) != 0x80) {
        ++column;
      }
    }
    return reason + " at line " + std::to_string(line) + ", column " + std::to_string(column);
  }

  // Text up to the next "<" or "&": XML's characters, no "]]>", and outside the root only
  // blanks.
  std::optional<std::string> Characters() {
    while (at_ < xml_.size() && xml_[at_] != '<' && xml_[at_] != '&') {
      if (xml_.compare(at_, 3, "]]>") == 0) return Fault(at_, "\"]]>\" in text");
      if (open_.empty() && !IsSpace(xml_[at_])) return Fault(at_, "text outside the root element");
      const size_t start = at_;
      const uint32_t c = Next();
      if (!IsXmlChar(c)) return Fault(start, "a character XML does not allow (U+" + Hex(c) + ")");
    }
    return std::nullopt;
  }

  // One character of UTF-8 at at_; U+FFFF for bytes that form none.
  uint32_t Next() {
    const auto lead = static_cast<unsigned char>(xml_[at_++]);
    if (lead < 0x80) return lead;
    const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (more < 0) return 0xFFFF;
    uint32_t c = lead & (0x3F >> more);
    for (int i = 0; i < more; ++i) {
      if (at_ >= xml_.size() || (static_cast<unsigned char>(xml_[at_]) & 0xC0) != 0x80) return 0xFFFF;
      c = c << 6 | (static_cast<unsigned char>(xml_[at_++]) & 0x3F);
    }
    return c;
  }

  static std::string Hex(uint32_t c) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = c > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) text += kDigits[(c >> shift) & 15];
    return text;
  }

  std::optional<std::string> Reference() {
    const size_t start = at_;
    const size_t end = xml_.find(';', at_);
    const std::string_view name =
        end == std::string_view::npos ? std::string_view() : xml_.substr(at_ + 1, end - at_ - 1);
    if (name.empty() || name.size() > 32) return Fault(start, "\"&\" does not begin a reference");
    if (name[0] == '#') {
      const bool hex = name.size() > 1 && name[1] == 'x';
      const std::string digits(name.substr(hex ? 2 : 1));
      const bool valid = !digits.empty() && digits.find_first_not_of(hex ? "0123456789abcdefABCDEF"
                                                                        : "0123456789") ==
                                                std::string::npos;
      if (!valid) return Fault(start, "\"&" + std::string(name) + ";\" is no character reference");
      const unsigned long c = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
      if (!IsXmlChar(static_cast<uint32_t>(c)) || digits.size() > 8)
        return Fault(start, "\"&" + std::string(name) + ";\" names a character XML does not allow");
    } else if (name != "amp" && name != "lt" && name != "gt" && name != "quot" && name != "apos") {
      return Fault(start, "entity \"&" + std::string(name) + ";\" is not defined");
    }
    if (open_.empty()) return Fault(start, "text outside the root element");
    at_ = end + 1;
    return std::nullopt;
  }

  std::optional<std::string> Markup() {
    const size_t start = at_;
    if (xml_.compare(at_, 4, "<!--") == 0) {
      const size_t end = xml_.find("--", at_ + 4);
      if (end == std::string_view::npos) return Fault(start, "a comment never ends");
      if (xml_.compare(end, 3, "-->") != 0) return Fault(end, "\"--\" inside a comment");
      at_ = end + 3;
      return std::nullopt;
    }
    if (xml_.compare(at_, 9, "<![CDATA[") == 0) {
      const size_t end = xml_.find("]]>", at_ + 9);
      if (end == std::string_view::npos) return Fault(start, "a CDATA section never ends");
      if (open_.empty()) return Fault(start, "text outside the root element");
      at_ = end + 3;
      return std::nullopt;
    }
    if (xml_.compare(at_, 2, "<!") == 0) return Fault(start, "a declaration inside the document");
    if (xml_.compare(at_, 2, "<?") == 0) {
      const size_t end = xml_.find("?>", at_ + 2);
      if (end == std::string_view::npos) return Fault(start, "a processing instruction never ends");
      at_ = end + 2;
      return std::nullopt;
    }
    const bool closing = xml_.compare(at_, 2, "</") == 0;
    at_ += closing ? 2 : 1;
    const std::string name = Name();
    if (name.empty()) return Fault(start, "\"<\" does not begin a tag");
    if (closing) {
      while (at_ < xml_.size() && IsSpace(xml_[at_])) ++at_;
      if (at_ >= xml_.size() || xml_[at_] != '>') return Fault(start, "end tag </" + name + "> never ends");
      ++at_;
      if (open_.empty()) return Fault(start, "end tag </" + name + "> without a start tag");
      if (open_.back().name != name)
        return Fault(start, "end tag </" + name + "> does not match <" + open_.back().name + ">");
      open_.pop_back();
      if (open_.empty()) closedRoot_ = true;
      return std::nullopt;
    }
    if (open_.empty() && closedRoot_) return Fault(start, "a second root element");
    std::vector<std::string> seen;
    for (;;) {
      const size_t before = at_;
      while (at_ < xml_.size() && IsSpace(xml_[at_])) ++at_;
      if (at_ >= xml_.size()) return Fault(start, "start tag <" + name + "> never ends");
      if (xml_[at_] == '>' || xml_.compare(at_, 2, "/>") == 0) {
        const bool empty = xml_[at_] == '/';
        at_ += empty ? 2 : 1;
        if (!empty) open_.push_back({name, start});
        else if (open_.empty()) closedRoot_ = true;
        return std::nullopt;
      }
      const size_t attributeStart = at_;
      if (at_ == before) return Fault(at_, "no blank before an attribute of <" + name + ">");
      const std::string attribute = Name();
      if (attribute.empty()) return Fault(attributeStart, "a stray character in start tag <" + name + ">");
      if (std::find(seen.begin(), seen.end(), attribute) != seen.end())
        return Fault(attributeStart, "attribute " + attribute + " is repeated");
      seen.push_back(attribute);
      while (at_ < xml_.size() && IsSpace(xml_[at_])) ++at_;
      if (at_ >= xml_.size() || xml_[at_] != '=') return Fault(attributeStart, "attribute " + attribute + " has no value");
      ++at_;
      while (at_ < xml_.size() && IsSpace(xml_[at_])) ++at_;
      if (at_ >= xml_.size() || (xml_[at_] != '"' && xml_[at_] != '\''))
        return Fault(attributeStart, "the value of attribute " + attribute + " is not in quotes");
      const char quote = xml_[at_];
      const size_t end = xml_.find(quote, at_ + 1);
      if (end == std::string_view::npos) return Fault(attributeStart, "the value of attribute " + attribute + " never ends");
      const std::string_view value = xml_.substr(at_ + 1, end - at_ - 1);
      const size_t lt = value.find('<');
      if (lt != std::string_view::npos) return Fault(at_ + 1 + lt, "\"<\" in the value of attribute " + attribute);
      for (size_t amp = value.find('&'); amp != std::string_view::npos; amp = value.find('&', amp + 1)) {
        Reader inner(xml_);
        inner.at_ = at_ + 1 + amp;
        inner.open_.push_back({name, start});  // a reference inside a value
        if (auto fault = inner.Reference()) return fault;
      }
      at_ = end + 1;
    }
  }

  std::string Name() {
    const size_t start = at_;
    if (at_ >= xml_.size() || !IsNameStart(xml_[at_])) return std::string();
    while (at_ < xml_.size() && IsNameChar(xml_[at_])) ++at_;
    return std::string(xml_.substr(start, at_ - start));
  }

  std::string_view xml_;
  size_t at_ = 0;
  std::vector<Open> open_;
  bool closedRoot_ = false;
};

}  // namespace

std::optional<std::string> FirstXmlFault(std::string_view xml) { return Reader(xml).Run(); }
