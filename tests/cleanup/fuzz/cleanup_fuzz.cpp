// libFuzzer target over the clean-up. The input's first byte chooses the options (host
// code or a page of the converter's, pictures or none) and how the rest is cut; the
// rest is the HTML. CLEANUP_FUZZ_KIND=host or page holds the kind, for a run that
// fuzzes one. Every output must:
// - validate against Evernote's ENML 2 DTD (libxml2, in-process), nested within what
//   libxml2 reads;
// - hold no attribute that a browser would follow to a javascript:, vbscript: or data:
//   address (references decoded, blanks, control characters and non-characters dropped,
//   any case), nor a url() naming one in a style;
// - be the same bytes however the input is cut into pieces;
// - come out of a second pass unchanged.
//   CLEANUP_FUZZ_DTD: the folder of enml2.dtd and its entity files (../shared/enex-dtd).
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/valid.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cleanup/enml_pass.h"
#include "text/utf8.h"

namespace {

class FuzzPictures : public PictureLookup {
 public:
  Found Find(std::string_view name, Media& media) override {
    if (name == "_img_2.png") return Found::kLeftOut;
    if (name != "_img_1.png") return Found::kNone;
    media = {"image/png", "0123456789abcdef0123456789abcdef", 10, 20};
    return Found::kMedia;
  }
  bool IsNoteMedia(std::string_view hash) const override {
    return hash == "0123456789abcdef0123456789abcdef";
  }
};

std::string g_dtdFolder;
xmlDtdPtr g_dtd = nullptr;
int g_kind = -1;  // 0 host code, 1 a page; -1 either, by the input's first byte

void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "cleanup_fuzz: %s\n%s\n", what, detail.c_str());
  std::abort();
}

// The DTD's entity files come from the local folder, never the network.
xmlParserInputPtr LocalEntities(const char* url, const char*, xmlParserCtxtPtr context) {
  std::string name = url ? url : "";
  name = name.substr(name.find_last_of('/') + 1);
  const std::string local = g_dtdFolder + "/" + name;
  return xmlNewInputFromFile(context, local.c_str());
}

void Setup() {
  if (g_dtd) return;
  const char* folder = std::getenv("CLEANUP_FUZZ_DTD");
  g_dtdFolder = folder ? folder : "../shared/enex-dtd";
  if (const char* kind = std::getenv("CLEANUP_FUZZ_KIND"))
    g_kind = std::strcmp(kind, "page") == 0 ? 1 : std::strcmp(kind, "host") == 0 ? 0 : -1;
  xmlSetExternalEntityLoader(LocalEntities);
  g_dtd = xmlParseDTD(nullptr, reinterpret_cast<const xmlChar*>((g_dtdFolder + "/enml2.dtd").c_str()));
  if (!g_dtd) Fail("cannot read enml2.dtd in", g_dtdFolder);
}

std::string Clean(std::string_view html, const EnmlOptions& options, size_t step) {
  std::string enml;
  EnmlPass pass(options, [&](std::string_view bytes) {
    enml.append(bytes.data(), bytes.size());
    return true;
  });
  for (size_t at = 0; at < html.size(); at += step) pass.Feed(html.substr(at, step));
  pass.Finish();
  return enml;
}

// The value as a browser reads an address: blanks, control characters and
// non-characters gone, ASCII in lower case.
std::string AsBrowserReads(std::string_view value) {
  std::string read;
  Utf8Decoder decoder;
  for (unsigned char byte : value) {
    decoder.Take(byte, [&](uint32_t point) {
      if (point <= 0x20 || (point >= 0x7F && point <= 0x9F)) return;
      if ((point >= 0xFDD0 && point <= 0xFDEF) || (point & 0xFFFE) == 0xFFFE) return;
      if (point >= 'A' && point <= 'Z') point += 'a' - 'A';
      char bytes[4];
      read.append(bytes, EncodeUtf8(point, bytes));
    });
  }
  return read;
}

bool HasUnsafeScheme(const std::string& read) {
  for (const char* scheme : {"javascript:", "vbscript:", "data:"})
    if (read.compare(0, std::strlen(scheme), scheme) == 0) return true;
  return false;
}

// A style's text as CSS reads it: comments gone, escapes decoded.
std::string CssText(std::string_view value) {
  std::string text;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value.compare(i, 2, "/*") == 0) {
      const size_t end = value.find("*/", i + 2);
      if (end == std::string_view::npos) break;
      i = end + 1;
      continue;
    }
    if (value[i] == '\\' && i + 1 < value.size()) {
      size_t j = i + 1;
      uint32_t code = 0;
      while (j < value.size() && j < i + 7 && std::isxdigit(static_cast<unsigned char>(value[j]))) {
        const char digit = static_cast<char>(value[j++] | 0x20);
        code = code * 16 + static_cast<uint32_t>(digit <= '9' ? digit - '0' : digit - 'a' + 10);
      }
      if (j > i + 1) {
        if (j < value.size() && std::isspace(static_cast<unsigned char>(value[j]))) ++j;
        char bytes[4];
        text.append(bytes, EncodeUtf8(code, bytes));
        i = j - 1;
        continue;
      }
      text += value[++i];
      continue;
    }
    text += value[i];
  }
  return text;
}

void CheckAttributes(xmlNodePtr node, const std::string& enml) {
  for (; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    for (xmlAttrPtr attribute = node->properties; attribute; attribute = attribute->next) {
      xmlChar* raw = xmlNodeListGetString(node->doc, attribute->children, 1);
      const std::string value = raw ? reinterpret_cast<const char*>(raw) : "";
      xmlFree(raw);
      const std::string name = reinterpret_cast<const char*>(attribute->name);
      if (name == "style") {
        const std::string css = AsBrowserReads(CssText(value));
        for (size_t at = css.find("url("); at != std::string::npos; at = css.find("url(", at + 1)) {
          std::string inner = css.substr(at + 4);
          if (!inner.empty() && (inner[0] == '"' || inner[0] == '\'')) inner.erase(0, 1);
          if (HasUnsafeScheme(inner)) Fail("an unsafe url() in a style", enml);
        }
      } else if (name == "href" || name == "src" || name == "cite" || name == "longdesc" ||
                 name == "usemap") {
        if (HasUnsafeScheme(AsBrowserReads(value))) Fail("an unsafe address", enml);
      }
    }
    CheckAttributes(node->children, enml);
  }
}

void CheckValid(const std::string& enml) {
  const std::string document = "<en-note><p>" + enml + "</p></en-note>";
  xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), "note.xml",
                                "UTF-8", XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (!doc) Fail("not well-formed", enml);
  xmlValidCtxtPtr context = xmlNewValidCtxt();
  context->error = nullptr;
  context->warning = nullptr;
  const int valid = xmlValidateDtd(context, doc, g_dtd);
  xmlFreeValidCtxt(context);
  if (!valid) Fail("not valid ENML", enml);
  CheckAttributes(xmlDocGetRootElement(doc), enml);
  xmlFreeDoc(doc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Setup();
  if (size == 0) return 0;
  const uint8_t choice = data[0];
  const std::string_view html(reinterpret_cast<const char*>(data + 1), size - 1);
  FuzzPictures pictures;
  int names = 0;
  EnmlOptions options;
  options.outerDepth = 1;
  options.newAnchorName = [&names] { return "n" + std::to_string(names++); };
  if (g_kind == 1 || (g_kind < 0 && (choice & 1)))
    options.wholeDocument = options.bookmarks = options.addresses = true;
  if (choice & 2) options.pictures = &pictures;
  const std::string whole = Clean(html, options, html.size() + 1);
  CheckValid(whole);
  for (size_t step : {size_t{1}, static_cast<size_t>(2 + (choice >> 2) % 7), static_cast<size_t>((choice >> 2) + 9)}) {
    names = 0;
    if (Clean(html, options, step) != whole) Fail("cut into pieces, another note", whole);
  }
  names = 0;
  EnmlOptions again = options;
  again.wholeDocument = false;
  if (Clean(whole, again, whole.size() + 1) != whole) Fail("a second pass changed it", whole);
  return 0;
}
