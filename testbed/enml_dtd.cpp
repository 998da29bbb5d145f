#include "testbed/enml_dtd.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr int kMaxEntityDepth = 16;  // parameter entities that name each other stop here

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' ||
         c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

std::string Trimmed(const std::string& text) {
  size_t first = 0, last = text.size();
  while (first < last && IsSpace(text[first])) ++first;
  while (last > first && IsSpace(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// Text without any whitespace, as content models and enumerations are compared.
std::string Squeezed(const std::string& text) {
  std::string out;
  for (char c : text)
    if (!IsSpace(c)) out += c;
  return out;
}

// Tokens of a declaration: words, quoted literals (quotes kept) and parenthesised groups.
std::vector<std::string> Tokens(const std::string& text) {
  std::vector<std::string> tokens;
  size_t at = 0;
  while (at < text.size()) {
    if (IsSpace(text[at])) {
      ++at;
      continue;
    }
    size_t end = at + 1;
    if (text[at] == '"' || text[at] == '\'') {
      end = text.find(text[at], at + 1);
      end = end == std::string::npos ? text.size() : end + 1;
    } else if (text[at] == '(') {
      end = text.find(')', at);
      end = end == std::string::npos ? text.size() : end + 1;
      while (end < text.size() && (text[end] == '*' || text[end] == '+' || text[end] == '?')) ++end;
    } else {
      while (end < text.size() && !IsSpace(text[end]) && text[end] != '(' && text[end] != '"' &&
             text[end] != '\'')
        ++end;
    }
    tokens.push_back(text.substr(at, end - at));
    at = end;
  }
  return tokens;
}

bool IsQuoted(const std::string& token) {
  return token.size() >= 2 && (token[0] == '"' || token[0] == '\'') && token.back() == token[0];
}

std::string Unquoted(const std::string& token) { return token.substr(1, token.size() - 2); }

// Alternatives of a group such as "( true | false )".
std::vector<std::string> GroupItems(const std::string& group) {
  std::string inner = Squeezed(group);
  while (!inner.empty() && (inner.back() == '*' || inner.back() == ')')) inner.pop_back();
  if (!inner.empty() && inner[0] == '(') inner.erase(0, 1);
  std::vector<std::string> items;
  size_t start = 0;
  for (size_t bar; (bar = inner.find('|', start)) != std::string::npos; start = bar + 1)
    items.push_back(inner.substr(start, bar - start));
  items.push_back(inner.substr(start));
  return items;
}

class DtdReader {
 public:
  std::optional<EnmlDtd> Read(const std::string& text, std::string& problem) {
    if (!Declarations(WithoutComments(text), 0)) {
      problem = problem_;
      return std::nullopt;
    }
    return std::move(dtd_);
  }

 private:
  static std::string WithoutComments(const std::string& text) {
    std::string out;
    size_t at = 0;
    for (size_t open; (open = text.find("<!--", at)) != std::string::npos;) {
      out.append(text, at, open - at);
      size_t close = text.find("-->", open + 4);
      if (close == std::string::npos) return out;
      at = close + 3;
      out += ' ';
    }
    return out.append(text, at, std::string::npos);
  }

  // The text with every parameter entity reference replaced by its value; references to
  // external or undeclared entities vanish.
  std::string Expanded(const std::string& text, int depth) const {
    std::string out;
    size_t at = 0;
    for (size_t percent; (percent = text.find('%', at)) != std::string::npos;) {
      size_t semicolon = text.find(';', percent);
      if (semicolon == std::string::npos || semicolon == percent + 1) break;
      std::string name = text.substr(percent + 1, semicolon - percent - 1);
      if (!std::all_of(name.begin(), name.end(), IsNameChar)) {  // a lone "%", as in "100%"
        out.append(text, at, percent + 1 - at);
        at = percent + 1;
        continue;
      }
      out.append(text, at, percent - at);
      auto entity = entities_.find(name);
      if (entity != entities_.end() && depth < kMaxEntityDepth)
        out += Expanded(entity->second, depth + 1);
      at = semicolon + 1;
    }
    return out.append(text, at, std::string::npos);
  }

  // Reads the declarations of text; references between them are expanded in place.
  bool Declarations(const std::string& text, int depth) {
    size_t at = 0;
    while (at < text.size()) {
      if (text[at] == '%') {
        size_t semicolon = text.find(';', at);
        if (semicolon == std::string::npos) break;
        auto entity = entities_.find(text.substr(at + 1, semicolon - at - 1));
        if (entity != entities_.end() && depth < kMaxEntityDepth &&
            !Declarations(entity->second, depth + 1))
          return false;
        at = semicolon + 1;
        continue;
      }
      if (text.compare(at, 2, "<!") != 0) {
        ++at;
        continue;
      }
      size_t end = DeclarationEnd(text, at + 2);
      if (!Declaration(text.substr(at + 2, end - at - 2))) return false;
      at = end + 1;
    }
    return true;
  }

  // The position of the ">" that closes a declaration, quoted ones skipped.
  static size_t DeclarationEnd(const std::string& text, size_t at) {
    char quote = 0;
    for (; at < text.size(); ++at) {
      if (quote) {
        if (text[at] == quote) quote = 0;
      } else if (text[at] == '"' || text[at] == '\'') {
        quote = text[at];
      } else if (text[at] == '>') {
        break;
      }
    }
    return at;
  }

  bool Declaration(const std::string& body) {
    if (body.rfind("ENTITY", 0) == 0) return Entity(body.substr(6));
    if (body.rfind("ELEMENT", 0) == 0) return Element(Expanded(body.substr(7), 0));
    if (body.rfind("ATTLIST", 0) == 0) return AttributeList(Expanded(body.substr(7), 0));
    return true;  // NOTATION and the like say nothing about content
  }

  // Parameter entities with a literal value are kept; the first declaration of a name
  // holds. General entities and external ones (PUBLIC, SYSTEM) are not needed here.
  bool Entity(const std::string& body) {
    std::vector<std::string> tokens = Tokens(body);
    if (tokens.size() < 3 || tokens[0] != "%") return true;
    if (IsQuoted(tokens[2])) entities_.emplace(tokens[1], Expanded(Unquoted(tokens[2]), 0));
    return true;
  }

  bool Element(const std::string& body) {
    std::string text = Trimmed(body);
    size_t nameEnd = 0;
    while (nameEnd < text.size() && !IsSpace(text[nameEnd]) && text[nameEnd] != '(') ++nameEnd;
    std::string name = text.substr(0, nameEnd);
    std::string model = Squeezed(text.substr(nameEnd));
    EnmlElementRule& rule = dtd_.elements[name];
    if (model == "EMPTY") {
      rule.content = EnmlElementRule::Content::kEmpty;
    } else if (model == "ANY") {
      rule.content = EnmlElementRule::Content::kAny;
    } else if (model == "(#PCDATA)" || model == "(#PCDATA)*" ||
               (model.rfind("(#PCDATA|", 0) == 0 && model.size() > 2 &&
                model.compare(model.size() - 2, 2, ")*") == 0)) {
      rule.content = EnmlElementRule::Content::kMixed;
      std::vector<std::string> items = GroupItems(model);
      rule.children.insert(items.begin() + 1, items.end());
    } else {
      problem_ = "the content model of element " + name + " is not one this reader knows";
      return false;
    }
    return true;
  }

  bool AttributeList(const std::string& body) {
    std::vector<std::string> tokens = Tokens(body);
    if (tokens.empty()) return true;
    EnmlElementRule& rule = dtd_.elements[tokens[0]];
    for (size_t i = 1; i + 1 < tokens.size();) {
      std::string name = tokens[i];
      EnmlAttributeRule attribute;
      if (tokens[i + 1][0] == '(') attribute.enumeration = GroupItems(tokens[i + 1]);
      i += 2;
      if (i >= tokens.size()) {
        problem_ = "attribute " + name + " of element " + tokens[0] + " has no default";
        return false;
      }
      const std::string& kind = tokens[i++];
      if (kind == "#IMPLIED") {
        attribute.defaultKind = EnmlAttributeRule::Default::kImplied;
      } else if (kind == "#REQUIRED") {
        attribute.defaultKind = EnmlAttributeRule::Default::kRequired;
      } else if (kind == "#FIXED" && i < tokens.size() && IsQuoted(tokens[i])) {
        attribute.defaultKind = EnmlAttributeRule::Default::kFixed;
        attribute.defaultValue = Unquoted(tokens[i++]);
      } else if (IsQuoted(kind)) {
        attribute.defaultKind = EnmlAttributeRule::Default::kValue;
        attribute.defaultValue = Unquoted(kind);
      } else {
        problem_ = "attribute " + name + " of element " + tokens[0] + " has no default";
        return false;
      }
      rule.attributes.emplace(name, std::move(attribute));  // the first declaration holds
    }
    return true;
  }

  EnmlDtd dtd_;
  std::map<std::string, std::string> entities_;
  std::string problem_;
};

// Where node stands: its elements' names from the root, each with its place among its
// siblings of that name when it is not the first ("en-note/div[2]/p"). Deep paths keep
// their last steps only.
std::string PathOf(const EnmlTree& document, int node) {
  constexpr size_t kMaxSteps = 12;
  std::vector<std::string> steps;
  for (int at = node; at >= 0 && steps.size() <= kMaxSteps; at = document.nodes[at].parent) {
    const EnmlNode& current = document.nodes[at];
    int place = 1;  // earlier siblings lie between the parent and the node
    for (int before = current.parent + 1; before < at && current.parent >= 0; ++before)
      place += document.nodes[before].parent == current.parent &&
               document.nodes[before].name == current.name;
    steps.push_back(current.name.empty() ? "text()" : current.name);
    if (place > 1) steps.back() += "[" + std::to_string(place) + "]";
  }
  if (steps.size() > kMaxSteps) steps.back() = "...";
  std::string path;
  for (auto step = steps.rbegin(); step != steps.rend(); ++step)
    path += (path.empty() ? "" : "/") + *step;
  return path;
}

// An enumerated or fixed value as the DTD compares it: an enumeration's value with its
// whitespace normalised, any other as written.
std::string Normalised(const EnmlAttributeRule& rule, const std::string& value) {
  return rule.enumeration.empty() ? value : Trimmed(value);
}

std::optional<std::string> AttributeError(const EnmlNode& element, const EnmlElementRule& rule) {
  for (const auto& [name, value] : element.attributes) {
    auto declared = rule.attributes.find(name);
    if (declared == rule.attributes.end())
      return "Attribute " + name + " is not declared for element " + element.name;
    const EnmlAttributeRule& attribute = declared->second;
    std::string compared = Normalised(attribute, value);
    const auto& allowed = attribute.enumeration;
    if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), compared) == allowed.end()) {
      std::string list;
      for (const std::string& item : allowed) list += (list.empty() ? "" : "|") + item;
      return "Attribute " + name + " of element " + element.name + " is \"" + value +
             "\", not one of (" + list + ")";
    }
    if (attribute.defaultKind == EnmlAttributeRule::Default::kFixed &&
        compared != attribute.defaultValue)
      return "Attribute " + name + " of element " + element.name + " must be \"" +
             attribute.defaultValue + "\", not \"" + value + "\"";
  }
  for (const auto& [name, attribute] : rule.attributes) {
    if (attribute.defaultKind != EnmlAttributeRule::Default::kRequired) continue;
    bool present = std::any_of(element.attributes.begin(), element.attributes.end(),
                               [&](const auto& given) { return given.first == name; });
    if (!present) return "Attribute " + name + " is required for element " + element.name;
  }
  return std::nullopt;
}

// What the parent's content model says of the node (an element known to be declared,
// or a piece of text).
std::optional<std::string> PlacementError(const EnmlNode& node, const EnmlNode& parent,
                                          const EnmlElementRule& parentRule) {
  switch (parentRule.content) {
    case EnmlElementRule::Content::kEmpty:
      return "Element " + parent.name + " is declared EMPTY but has content";
    case EnmlElementRule::Content::kAny:
      return std::nullopt;
    case EnmlElementRule::Content::kMixed:
      if (node.name.empty() || parentRule.children.count(node.name)) return std::nullopt;
      return "Element " + node.name + " is not allowed in element " + parent.name;
  }
  return std::nullopt;
}

std::optional<std::string> NodeError(const EnmlDtd& dtd, const EnmlTree& document, int index) {
  const EnmlNode& node = document.nodes[index];
  const EnmlElementRule* rule = nullptr;
  if (!node.name.empty()) {
    auto declared = dtd.elements.find(node.name);
    if (declared == dtd.elements.end()) return "Element " + node.name + " is not declared";
    rule = &declared->second;
  }
  if (node.parent >= 0) {
    const EnmlNode& parent = document.nodes[node.parent];
    // Only a declared parent gets this far: an undeclared one was the first error.
    if (auto error = PlacementError(node, parent, dtd.elements.at(parent.name))) return error;
  }
  return rule ? AttributeError(node, *rule) : std::nullopt;
}

}  // namespace

std::optional<EnmlDtd> ReadEnmlDtd(const std::string& text, std::string& problem) {
  return DtdReader().Read(text, problem);
}

std::optional<std::string> FirstEnmlError(const EnmlDtd& dtd, const EnmlTree& document) {
  if (document.nodes.empty() || document.nodes[0].name != "en-note")
    return "The root element is " +
           (document.nodes.empty() ? std::string("missing") : document.nodes[0].name) +
           ", not en-note";
  for (int index = 0; index < static_cast<int>(document.nodes.size()); ++index) {
    if (auto error = NodeError(dtd, document, index))
      return *error + " at " + PathOf(document, index);
  }
  return std::nullopt;
}
