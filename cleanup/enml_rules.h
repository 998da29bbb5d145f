// What a note may hold: ENML's elements with the attributes each may carry, the HTML
// elements that need a rule of their own on the way there, and the checks that keep
// addresses and styles from running code. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// How the clean-up treats an element.
enum ElementFlag : uint16_t {
  kEnml = 1 << 0,            // declared by ENML: written, with its declared attributes
  kVoid = 1 << 1,            // HTML gives it no content and no end tag
  kDropsContent = 1 << 2,    // goes with everything inside it: code, never text
  kRawText = 1 << 3,         // its content is text up to its end tag
  kDecodesRawText = 1 << 4,  // that text holds character references (textarea)
  kEmptyInEnml = 1 << 5,     // ENML's EMPTY elements: what they held follows them
  kInline = 1 << 6,          // formats text inside a line: a bookmark may span it
  kSeparates = 1 << 7,       // a control: unwrapped, its text kept apart from its neighbours
  kTextOnly = 1 << 8,        // ENML allows text alone inside it (en-crypt)
};

// Items whose end tag HTML lets a new item of their kind imply.
enum class ItemKind : uint8_t { kNone, kListItem, kParagraph, kDefinition, kOption, kCell, kRow };

struct ElementRule {
  std::string_view name;
  const char* attributes;  // those ENML declares for it, blank-separated, each followed by a blank
  uint16_t flags;
  ItemKind item = ItemKind::kNone;
};

// The rule of an element by its lower-case name; null for one that needs none (it is
// unwrapped: its content stays).
const ElementRule* FindElementRule(std::string_view name);

// The rule's place in the table of rules, below ElementRuleCount().
size_t ElementRuleIndex(const ElementRule& rule);
size_t ElementRuleCount();

// Whether ENML declares attribute (lower case) for the element, less those the service
// refuses although its DTD declares them.
bool IsDeclaredAttribute(const ElementRule& element, std::string_view attribute);

// Attributes whose value is an address a reader may follow or fetch.
bool IsAddressAttribute(std::string_view attribute);

// An address with a javascript:, vbscript: or data: scheme, as a browser may read it:
// blanks, control characters and non-characters anywhere are ignored, and case does not
// matter. value is the attribute's value as written into the note, references decoded.
bool IsUnsafeAddress(std::string_view value);

// A style that could run code or fetch a document: once its CSS escapes and comments are
// read as a browser reads them and what a reader may skip is gone, it holds an
// expression() or a javascript:, vbscript: or data: scheme anywhere (a url() naming one
// among them). Stricter than a browser: a style that goes loses formatting, never text.
bool IsUnsafeStyle(std::string_view value);
