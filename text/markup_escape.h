// Escaping texts for HTML and XML markup: the one place that knows which characters
// must become character references.
#pragma once

#include "text/wide_string.h"

enum class MarkupPlace {
  kText,       // element content: "&", "<" and ">"
  kAttribute,  // attribute values, quoted either way: also the double quote and apostrophe
};

// text with the characters that would break markup at that place written as character
// references ("&amp;", "&lt;", "&gt;", "&quot;", "&#39;").
WideString EscapeMarkup(WideView text, MarkupPlace place);
