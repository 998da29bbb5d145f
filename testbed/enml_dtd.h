// The ENML 2 DTD as a checker of note content, the way Evernote's service checks each
// note: every element declared, every child and every piece of text allowed by its
// parent's content model, every attribute declared for its element, required ones
// present, enumerated and fixed values kept. Portable (no <windows.h>): the ENScript
// stand-in builds the document's tree from MSXML, native tests build it by hand.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// A document to check, as its elements and pieces of text in document order (root
// first), each naming its parent by index. Flat, so that deep nesting costs no stack.
// Names and values are UTF-8, names exactly as written.
struct EnmlNode {
  std::string name;  // empty for a piece of text
  std::vector<std::pair<std::string, std::string>> attributes;
  int parent = -1;  // the root's is -1
};

struct EnmlTree {
  std::vector<EnmlNode> nodes;
  // Appends an element (or, with an empty name, a piece of text); returns its index.
  int Add(int parent, std::string name,
          std::vector<std::pair<std::string, std::string>> attributes = {}) {
    nodes.push_back({std::move(name), std::move(attributes), parent});
    return static_cast<int>(nodes.size()) - 1;
  }
};

struct EnmlAttributeRule {
  enum class Default { kImplied, kRequired, kFixed, kValue };
  std::vector<std::string> enumeration;  // empty for CDATA and other plain types
  Default defaultKind = Default::kImplied;
  std::string defaultValue;  // the value of #FIXED or of a plain default
};

struct EnmlElementRule {
  enum class Content { kEmpty, kAny, kMixed };  // kMixed: (#PCDATA | names…)* or (#PCDATA)
  Content content = Content::kMixed;
  std::set<std::string> children;  // elements allowed inside a kMixed element
  std::map<std::string, EnmlAttributeRule> attributes;
};

// The declarations of a DTD: elements with their content models and attribute lists.
struct EnmlDtd {
  std::map<std::string, EnmlElementRule> elements;
};

// Reads a DTD's text: parameter entities declared inline are expanded (external ones,
// PUBLIC or SYSTEM, are skipped along with their references), then every ELEMENT and
// ATTLIST declaration is recorded. Content models other than EMPTY, ANY and mixed
// content are not read: the DTD is refused with a problem naming the element. Returns
// the declarations, or nullopt with problem set.
std::optional<EnmlDtd> ReadEnmlDtd(const std::string& text, std::string& problem);

// The first fault of the document against dtd, in document order, as a message naming
// the element or attribute and where it is ("at en-note/div[2]/p"); nullopt when the
// document is valid. The root must be en-note.
std::optional<std::string> FirstEnmlError(const EnmlDtd& dtd, const EnmlTree& document);
