// Runs xmllint (Debian's libxml2-utils) on documents written by the tests, natively.
// Under Windows builds there is no xmllint: the checks report that they skipped.
#pragma once

#include <optional>
#include <string>

struct XmlCheck {
  bool ran = false;      // false: no xmllint here
  bool ok = false;       // parsed (and validated, when a DTD was given)
  std::string output;    // what xmllint printed (errors, or the XPath result)
};

// Parses document; with dtdPath set, also validates it against that DTD.
XmlCheck CheckXml(const std::string& document, const std::string& dtdPath = "");

// Evaluates an XPath string expression on document, e.g. "string(/a/b)".
XmlCheck XmlString(const std::string& document, const std::string& xpath);

// The folder of the published ENEX and ENML DTDs, if this checkout has it.
std::optional<std::string> EnexDtdFolder();
