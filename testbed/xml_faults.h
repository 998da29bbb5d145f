// The first reason why a text is not a well-formed XML document, and where: what the
// ENScript stand-in says of a note's content when its XML parser refuses it (MSXML under
// Wine names no reason). Portable; the text is UTF-8, without a DTD, so only XML's own
// five entities are known.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// "end tag </p> does not match <b> at line 1, column 12"; nullopt when xml is a
// well-formed document (one root element, optionally an XML declaration before it).
std::optional<std::string> FirstXmlFault(std::string_view xml);
