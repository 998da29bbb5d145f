// Well-formed markup in one spelling, so that two notes that mean the same compare
// equal: references decoded and "&", "<", ">" (and in values the double quote) escaped
// again, every value in double quotes, comments gone.
#pragma once

#include <string>
#include <string_view>

// The canonical spelling of an XML fragment; a text beginning "(not well-formed" for
// one that is not.
std::string CanonicalXml(std::string_view xml);
