// HTML's character references, as they stand in text and attribute values.
#pragma once

#include <cstdint>
#include <string_view>

enum class ReferenceRead {
  kCharacter,     // a reference: point and length are set
  kNotReference,  // the "&" is a character of its own
  kNeedMore,      // the text ends before it can be told; more is to come
};

// Reads the reference that text begins with (text[0] is "&"): "&#N;" and "&#xN;" (x in
// either case), XML's five named ones and HTML's named ones for Latin-1 and the common
// punctuation and symbols. A reference is at most 40 bytes long and ends in ";". A
// number that names a character XML cannot carry stands for U+FFFD. atEnd says that
// text holds all there is.
ReferenceRead ReadReference(std::string_view text, bool atEnd, uint32_t& point, size_t& length);
