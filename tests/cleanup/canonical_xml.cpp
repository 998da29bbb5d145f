#include "tests/cleanup/canonical_xml.h"

#include <cstdlib>
#include <vector>

#include "text/utf8.h"

namespace {

std::string Fault(size_t at) { return "(not well-formed at " + std::to_string(at) + ")"; }

// Decodes XML's references in text; false at one XML does not know.
bool Decode(std::string_view text, std::string& out) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    const size_t end = text.find(';', i);
    if (end == std::string_view::npos) return false;
    const std::string_view name = text.substr(i + 1, end - i - 1);
    if (name == "amp") out += '&';
    else if (name == "lt") out += '<';
    else if (name == "gt") out += '>';
    else if (name == "quot") out += '"';
    else if (name == "apos") out += '\'';
    else if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x';
      const std::string digits(name.substr(hex ? 2 : 1));
      if (digits.empty()) return false;
      char bytes[4];
      out.append(bytes, EncodeUtf8(static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr,
                                                                        hex ? 16 : 10)),
                                   bytes));
    } else {
      return false;
    }
    i = end;
  }
  return true;
}

void Escape(std::string_view text, bool attribute, std::string& out) {
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"' && attribute) out += "&quot;";
    else out += c;
  }
}

}  // namespace

std::string CanonicalXml(std::string_view xml) {
  std::string out;
  std::vector<std::string> open;
  size_t i = 0;
  while (i < xml.size()) {
    if (xml[i] != '<') {
      const size_t end = std::min(xml.find('<', i), xml.size());
      std::string text;
      if (!Decode(xml.substr(i, end - i), text)) return Fault(i);
      Escape(text, false, out);
      i = end;
      continue;
    }
    if (xml.compare(i, 4, "<!--") == 0) {
      const size_t end = xml.find("-->", i + 4);
      if (end == std::string_view::npos) return Fault(i);
      i = end + 3;
      continue;
    }
    if (xml.compare(i, 9, "<![CDATA[") == 0) {
      const size_t end = xml.find("]]>", i + 9);
      if (end == std::string_view::npos) return Fault(i);
      Escape(xml.substr(i + 9, end - i - 9), false, out);
      i = end + 3;
      continue;
    }
    const bool closing = i + 1 < xml.size() && xml[i + 1] == '/';
    size_t at = i + (closing ? 2 : 1);
    const size_t nameStart = at;
    while (at < xml.size() && xml[at] != ' ' && xml[at] != '>' && xml[at] != '/' &&
           xml[at] != '\t' && xml[at] != '\n' && xml[at] != '\r')
      ++at;
    const std::string name(xml.substr(nameStart, at - nameStart));
    if (name.empty()) return Fault(i);
    if (closing) {
      while (at < xml.size() && xml[at] != '>') ++at;
      if (at >= xml.size() || open.empty() || open.back() != name) return Fault(i);
      open.pop_back();
      out += "</" + name + ">";
      i = at + 1;
      continue;
    }
    out += "<" + name;
    for (;;) {
      while (at < xml.size() && (xml[at] == ' ' || xml[at] == '\t' || xml[at] == '\n' ||
                                 xml[at] == '\r'))
        ++at;
      if (at >= xml.size()) return Fault(i);
      if (xml[at] == '>' || xml.compare(at, 2, "/>") == 0) break;
      const size_t eq = xml.find('=', at);
      if (eq == std::string_view::npos || eq + 1 >= xml.size()) return Fault(at);
      const char quote = xml[eq + 1];
      const size_t close = xml.find(quote, eq + 2);
      if ((quote != '"' && quote != '\'') || close == std::string_view::npos) return Fault(at);
      std::string value;
      if (!Decode(xml.substr(eq + 2, close - eq - 2), value)) return Fault(at);
      out += " " + std::string(xml.substr(at, eq - at)) + "=\"";
      Escape(value, true, out);
      out += '"';
      at = close + 1;
    }
    if (xml[at] == '/') {
      out += "/>";
      i = at + 2;
    } else {
      out += ">";
      open.push_back(name);
      i = at + 1;
    }
  }
  if (!open.empty()) return Fault(xml.size());
  return out;
}
