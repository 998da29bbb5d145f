// ENScript.exe stand-in: imports the notes of an ENEX file into the testbed's notebook,
// the way Evernote's command-line tool would, so that tests read back what arrived.
//
//   ENScript.exe importNotes /s<file>      (also "/s <file>" and quoted paths)
//
// The file is parsed with MSXML, the XML parser that Windows itself provides, and so is
// each note's content (its en-note element on its own, so that an entity no XML reader
// knows, such as "&bull;", fails as it would in a reader without the ENML DTD). A
// malformed file, a document that is not an en-export, a note without title, content,
// created and updated, or a note whose content is not well-formed is refused with a
// message and a non-zero exit code (for content, the reason and its line and column). So is a note with a resource whose data is missing or
// not valid base64 or that lacks its mime type, and a note whose content has an en-media
// element whose hash is not the MD5 (lower-case hex) of one of its resources' data.
// Each note's content is also checked against the ENML 2 DTD, as Evernote's service
// checks it: every element and attribute against the DTD's declarations (testbed/
// enml_dtd.h), read from enml2.dtd beside the program and never from the network; a
// note that does not validate is refused, its message naming the first fault. Without
// enml2.dtd beside it the stand-in says so once on stderr and imports unchecked.
// Title and times are stored exactly as written; each resource with its data, mime type,
// width, height and file name. Each run appends a line to notebook\import-log.txt
// (arguments and show mode) and keeps a copy of the file exactly as received
// (notebook\received-NNNN.enex); what it said of the last import (imported, or why
// not) is in notebook\last-result.txt.
//
// Fault injection for tests, from enscript-fault.txt beside the program or the variable
// ENSCRIPT_FAULT: "exit N" ends with code N after the import, "sleep MS" waits first.
#include <windows.h>
#include <msxml2.h>
#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "evernote/md5.h"
#include "testbed/enml_dtd.h"
#include "testbed/notebook_store.h"
#include "testbed/xml_faults.h"
#include "testbed/support/files.h"
#include "text/code_pages.h"

namespace {

enum ExitCode : int {
  kImported = 0,
  kUsage = 2,
  kUnreadable = 3,
  kMalformed = 4,
  kNotAnExport = 5,
  kIncompleteNote = 6,
  kStoreFailed = 7,
  kMalformedContent = 8,
  kBadResource = 9,
  kUnknownMedia = 10,
  kInvalidEnml = 11,
};

const IID kIidXmlDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  // Takes the other's reference (the walk over a content tree moves along siblings).
  void Take(ComPtr& other) {
    if (p_) p_->Release();
    p_ = other.p_;
    other.p_ = nullptr;
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** put() {
    if (p_) p_->Release();
    p_ = nullptr;
    return &p_;
  }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  explicit Bstr(const wchar_t* text = nullptr) : s_(text ? SysAllocString(text) : nullptr) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(s_); }
  BSTR get() const { return s_; }
  BSTR* put() {
    SysFreeString(s_);
    s_ = nullptr;
    return &s_;
  }
  std::wstring text() const { return s_ ? std::wstring(s_, SysStringLen(s_)) : std::wstring(); }

 private:
  BSTR s_;
};

// What the stand-in said last, kept for notebook\last-result.txt: a console that nobody
// sees (the plug-in starts ENScript hidden) must not be the only place it is said.
std::string lastSaid;

void Say(const std::wstring& text) {
  lastSaid = WideToUtf8(reinterpret_cast<const char16_t*>(text.c_str()));
  std::printf("%s\n", lastSaid.c_str());
  std::fflush(stdout);
}

std::wstring FaultSetting() {
  wchar_t value[256] = {};
  if (GetEnvironmentVariableW(L"ENSCRIPT_FAULT", value, 256) > 0) return value;
  auto bytes = TryReadFileBytes(ProgramFolder() + L"enscript-fault.txt");
  if (!bytes) return {};
  return std::wstring(bytes->begin(), bytes->end());
}

// The file name of "importNotes /s<file>", "/s <file>" or a quoted path; empty if the
// command line is not an import.
std::wstring ImportFileArgument(int count, wchar_t** arguments) {
  if (count < 3 || lstrcmpiW(arguments[1], L"importNotes") != 0) return {};
  std::wstring option = arguments[2];
  if (option.rfind(L"/s", 0) != 0) return {};
  if (option.size() > 2) return option.substr(2);
  return count > 3 ? arguments[3] : std::wstring();
}

std::wstring ShowMode() {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);
  if (!(startup.dwFlags & STARTF_USESHOWWINDOW)) return L"default";
  return startup.wShowWindow == SW_HIDE ? L"hidden" : L"shown " + std::to_wstring(startup.wShowWindow);
}

// Text of an element exactly as in the file: its text and CDATA children joined.
std::wstring ElementText(IXMLDOMNode* element) {
  std::wstring text;
  ComPtr<IXMLDOMNodeList> children;
  if (FAILED(element->get_childNodes(children.put())) || !children) return text;
  long count = 0;
  children->get_length(&count);
  for (long i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> child;
    if (FAILED(children->get_item(i, child.put())) || !child) continue;
    DOMNodeType type;
    child->get_nodeType(&type);
    if (type != NODE_TEXT && type != NODE_CDATA_SECTION) continue;
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(child->get_nodeValue(&value)) && value.vt == VT_BSTR && value.bstrVal)
      text.append(value.bstrVal, SysStringLen(value.bstrVal));
    VariantClear(&value);
  }
  return text;
}

std::optional<std::wstring> ChildText(IXMLDOMNode* note, const wchar_t* name) {
  ComPtr<IXMLDOMNode> child;
  Bstr query(name);
  if (note->selectSingleNode(query.get(), child.put()) != S_OK || !child) return std::nullopt;
  return ElementText(child.get());
}

std::wstring EnNoteElement(const std::wstring& content) {
  size_t start = content.find(L"<en-note");
  size_t end = content.rfind(L"</en-note>");
  if (start == std::wstring::npos || end == std::wstring::npos || end < start) return content;
  return content.substr(start, end + 10 - start);
}

WideString Wide(const std::wstring& text) {
  return WideString(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

// A fresh MSXML document that parses strictly and fetches nothing from outside.
bool NewParser(ComPtr<IXMLDOMDocument2>& document) {
  CLSID documentClass;
  if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &documentClass)) &&
      FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &documentClass)))
    return false;
  if (FAILED(CoCreateInstance(documentClass, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDocument2,
                              reinterpret_cast<void**>(document.put()))))
    return false;
  document->put_async(VARIANT_FALSE);
  document->put_validateOnParse(VARIANT_FALSE);
  document->put_resolveExternals(VARIANT_FALSE);
  document->put_preserveWhiteSpace(VARIANT_TRUE);
  VARIANT allowDtd;
  VariantInit(&allowDtd);
  allowDtd.vt = VT_BOOL;
  allowDtd.boolVal = VARIANT_FALSE;
  Bstr prohibitDtd(L"ProhibitDTD");
  document->setProperty(prohibitDtd.get(), allowDtd);  // the file names the ENEX DTD
  return true;
}

std::wstring ParseError(IXMLDOMDocument2* document) {
  ComPtr<IXMLDOMParseError> error;
  Bstr reason;
  if (FAILED(document->get_parseError(error.put())) || !error ||
      FAILED(error->get_reason(reason.put())))
    return L"(no reason given)";
  std::wstring text = reason.text();
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
  return text;
}

bool ParseXml(const std::wstring& xml, ComPtr<IXMLDOMDocument2>& document, std::wstring& problem) {
  if (!NewParser(document)) {
    problem = L"no XML parser";
    return false;
  }
  Bstr text(xml.c_str());
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (FAILED(document->loadXML(text.get(), &loaded)) || loaded != VARIANT_TRUE) {
    problem = ParseError(document.get());
    return false;
  }
  return true;
}

// Strict base64: the alphabet of RFC 4648, whitespace anywhere, groups of four with at
// most two "=" at the very end.
bool DecodeBase64(const std::wstring& text, std::string& bytes) {
  bytes.clear();
  unsigned bits = 0, pending = 0;
  size_t symbols = 0, padding = 0;
  for (wchar_t c : text) {
    if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') continue;
    ++symbols;
    if (c == L'=') {
      ++padding;
      continue;
    }
    unsigned value;
    if (c >= L'A' && c <= L'Z') value = c - L'A';
    else if (c >= L'a' && c <= L'z') value = c - L'a' + 26;
    else if (c >= L'0' && c <= L'9') value = c - L'0' + 52;
    else if (c == L'+') value = 62;
    else if (c == L'/') value = 63;
    else return false;
    if (padding > 0) return false;  // data after "="
    bits = bits << 6 | value;
    pending += 6;
    if (pending >= 8) {
      pending -= 8;
      bytes += static_cast<char>(bits >> pending & 0xFF);
    }
  }
  return symbols % 4 == 0 && padding <= 2;
}

// Number in an element's text; 0 when absent or not a number.
int NumberText(const std::optional<std::wstring>& text) {
  return text ? _wtoi(text->c_str()) : 0;
}

// The note's resources, each with its data decoded and hashed. False with problem when
// one lacks data or mime type, or its data is not base64.
bool ReadResources(IXMLDOMNode* note, std::vector<StoredResource>& resources,
                   std::wstring& problem) {
  ComPtr<IXMLDOMNodeList> list;
  Bstr query(L"resource");
  long count = 0;
  if (SUCCEEDED(note->selectNodes(query.get(), list.put())) && list) list->get_length(&count);
  for (long i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> resource;
    if (FAILED(list->get_item(i, resource.put())) || !resource) continue;
    auto data = ChildText(resource.get(), L"data");
    auto mime = ChildText(resource.get(), L"mime");
    StoredResource stored;
    const std::wstring which = L"resource " + std::to_wstring(i + 1);
    if (!data || !DecodeBase64(*data, stored.bytes)) {
      problem = which + L" has no data or data that is not base64";
      return false;
    }
    if (!mime || mime->empty()) {
      problem = which + L" has no mime type";
      return false;
    }
    stored.mime = Wide(*mime);
    stored.hash = WideFromAscii(Md5Hex(stored.bytes));
    stored.size = stored.bytes.size();
    stored.width = NumberText(ChildText(resource.get(), L"width"));
    stored.height = NumberText(ChildText(resource.get(), L"height"));
    auto fileName = ChildText(resource.get(), L"resource-attributes/file-name");
    stored.fileName = Wide(fileName.value_or(L""));
    resources.push_back(std::move(stored));
  }
  return true;
}

// Every en-media of the content names one of the resources by its hash.
bool MediaMatchesResources(IXMLDOMDocument2* content, const std::vector<StoredResource>& resources,
                           std::wstring& problem) {
  ComPtr<IXMLDOMNodeList> media;
  Bstr query(L"//en-media");
  long count = 0;
  if (SUCCEEDED(content->selectNodes(query.get(), media.put())) && media) media->get_length(&count);
  for (long i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> element;
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    ComPtr<IXMLDOMNode> hashAttribute;
    Bstr hashName(L"hash");
    std::wstring hash;
    if (SUCCEEDED(media->get_item(i, element.put())) && element &&
        SUCCEEDED(element->get_attributes(attributes.put())) && attributes &&
        attributes->getNamedItem(hashName.get(), hashAttribute.put()) == S_OK && hashAttribute) {
      VARIANT value;
      VariantInit(&value);
      if (SUCCEEDED(hashAttribute->get_nodeValue(&value)) && value.vt == VT_BSTR && value.bstrVal)
        hash.assign(value.bstrVal, SysStringLen(value.bstrVal));
      VariantClear(&value);
    }
    bool found = false;
    for (const StoredResource& resource : resources) found = found || resource.hash == Wide(hash);
    if (!found) {
      problem = L"en-media " + std::to_wstring(i + 1) + L" has the hash \"" + hash +
                L"\", which is no resource's";
      return false;
    }
  }
  return true;
}

std::string Utf8(const std::wstring& text) {
  return WideToUtf8(reinterpret_cast<const char16_t*>(text.c_str()));
}

std::wstring FromUtf8(const std::string& text) {
  WideString wide = BytesToWide(text, CP_UTF8);
  return std::wstring(wide.begin(), wide.end());
}

std::string NodeName(IXMLDOMNode* node) {
  Bstr name;
  return SUCCEEDED(node->get_nodeName(name.put())) ? Utf8(name.text()) : std::string();
}

// The element's attributes as written, xmlns declarations among them as a DTD sees them.
std::vector<std::pair<std::string, std::string>> Attributes(IXMLDOMNode* element) {
  std::vector<std::pair<std::string, std::string>> list;
  ComPtr<IXMLDOMNamedNodeMap> attributes;
  long count = 0;
  if (FAILED(element->get_attributes(attributes.put())) || !attributes) return list;
  attributes->get_length(&count);
  for (long i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> attribute;
    if (FAILED(attributes->get_item(i, attribute.put())) || !attribute) continue;
    std::wstring value;
    VARIANT text;
    VariantInit(&text);
    if (SUCCEEDED(attribute->get_nodeValue(&text)) && text.vt == VT_BSTR && text.bstrVal)
      value.assign(text.bstrVal, SysStringLen(text.bstrVal));
    VariantClear(&text);
    list.emplace_back(NodeName(attribute.get()), Utf8(value));
  }
  return list;
}

// The content's elements and texts in document order. Walked along first children,
// next siblings and parents, so that deep nesting costs no stack. Comments and
// processing instructions say nothing to the DTD and are left out.
EnmlTree ContentTree(IXMLDOMDocument2* content) {
  EnmlTree tree;
  ComPtr<IXMLDOMElement> root;
  if (content->get_documentElement(root.put()) != S_OK || !root) return tree;
  ComPtr<IXMLDOMNode> node;
  *node.put() = root.get();  // an element is a node: the same object, one more reference
  root->AddRef();
  int parent = -1;  // the tree index of node's parent
  while (node) {
    DOMNodeType type = NODE_INVALID;
    node->get_nodeType(&type);
    int added = -1;
    if (type == NODE_ELEMENT)
      added = tree.Add(parent, NodeName(node.get()), Attributes(node.get()));
    else if (type == NODE_TEXT || type == NODE_CDATA_SECTION || type == NODE_ENTITY_REFERENCE)
      tree.Add(parent, "");
    ComPtr<IXMLDOMNode> next;
    if (added >= 0 && node->get_firstChild(next.put()) == S_OK && next) {
      parent = added;
      node.Take(next);
      continue;
    }
    // The next sibling of the node or of its nearest ancestor that has one; the root's
    // siblings are not the content's.
    while (node) {
      if (parent < 0) {
        node.put();
      } else if (node->get_nextSibling(next.put()) == S_OK && next) {
        node.Take(next);
        break;
      } else {
        ComPtr<IXMLDOMNode> up;
        node->get_parentNode(up.put());
        node.Take(up);
        parent = tree.nodes[parent].parent;
      }
    }
  }
  return tree;
}

// The ENML 2 DTD beside the program, read once; none when the file is not there.
struct EnmlCheck {
  std::optional<EnmlDtd> dtd;
  std::wstring problem;  // the file is there but cannot be read as a DTD
};

EnmlCheck LoadEnmlDtd() {
  EnmlCheck check;
  auto bytes = TryReadFileBytes(ProgramFolder() + L"enml2.dtd");
  if (!bytes) {
    std::fprintf(stderr, "ENScript stand-in: no enml2.dtd beside the program; note contents "
                         "are not checked against ENML 2.\n");
    return check;
  }
  std::string problem;
  check.dtd = ReadEnmlDtd(*bytes, problem);
  if (!check.dtd) check.problem = std::wstring(problem.begin(), problem.end());
  return check;
}

int ImportNotes(IXMLDOMDocument* document, const std::wstring& notebook, const EnmlCheck& enml) {
  ComPtr<IXMLDOMElement> root;
  Bstr rootName;
  if (document->get_documentElement(root.put()) != S_OK || !root ||
      FAILED(root->get_nodeName(rootName.put())) || rootName.text() != L"en-export") {
    Say(L"Import failed: the file is not an Evernote export (en-export) document.");
    return kNotAnExport;
  }
  ComPtr<IXMLDOMNodeList> notes;
  Bstr noteQuery(L"note");
  long count = 0;
  if (FAILED(root->selectNodes(noteQuery.get(), notes.put())) || !notes ||
      FAILED(notes->get_length(&count))) {
    Say(L"Import failed: cannot read the notes.");
    return kNotAnExport;
  }
  std::vector<StoredNote> imported;
  for (long i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> note;
    notes->get_item(i, note.put());
    auto title = ChildText(note.get(), L"title");
    auto content = ChildText(note.get(), L"content");
    auto created = ChildText(note.get(), L"created");
    auto updated = ChildText(note.get(), L"updated");
    if (!note || !title || !content || !created || !updated) {
      Say(L"Import failed: note " + std::to_wstring(i + 1) +
          L" lacks title, content, created or updated.");
      return kIncompleteNote;
    }
    std::wstring problem;
    ComPtr<IXMLDOMDocument2> contentDocument;
    if (!ParseXml(EnNoteElement(*content), contentDocument, problem)) {
      // MSXML under Wine names no reason and no place: find them ourselves.
      if (auto fault = FirstXmlFault(WideToUtf8(Wide(EnNoteElement(*content)))))
        problem = FromUtf8(*fault);
      Say(L"Import failed: the content of note " + std::to_wstring(i + 1) +
          L" is not well-formed XML: " + problem + L".");
      return kMalformedContent;
    }
    if (enml.dtd) {
      if (auto error = FirstEnmlError(*enml.dtd, ContentTree(contentDocument.get()))) {
        Say(L"Import failed: the content of note " + std::to_wstring(i + 1) +
            L" is not valid ENML: " + FromUtf8(*error) + L".");
        return kInvalidEnml;
      }
    }
    StoredNote stored;
    if (!ReadResources(note.get(), stored.resources, problem)) {
      Say(L"Import failed: in note " + std::to_wstring(i + 1) + L", " + problem + L".");
      return kBadResource;
    }
    if (!MediaMatchesResources(contentDocument.get(), stored.resources, problem)) {
      Say(L"Import failed: in note " + std::to_wstring(i + 1) + L", " + problem + L".");
      return kUnknownMedia;
    }
    stored.title = Wide(*title);
    stored.content = Wide(EnNoteElement(*content));
    stored.created = Wide(*created);
    stored.updated = Wide(*updated);
    ComPtr<IXMLDOMNodeList> tags;
    Bstr tagQuery(L"tag");
    long tagCount = 0;
    if (SUCCEEDED(note->selectNodes(tagQuery.get(), tags.put())) && tags) tags->get_length(&tagCount);
    for (long t = 0; t < tagCount; ++t) {
      ComPtr<IXMLDOMNode> tag;
      if (SUCCEEDED(tags->get_item(t, tag.put())) && tag) stored.tags.push_back(Wide(ElementText(tag.get())));
    }
    imported.push_back(std::move(stored));
  }
  for (const StoredNote& note : imported) {
    if (!AppendNote(Wide(notebook), note)) {
      Say(L"Import failed: cannot write the notebook.");
      return kStoreFailed;
    }
  }
  size_t resources = 0;
  for (const StoredNote& note : imported) resources += note.resources.size();
  Say(L"Imported " + std::to_wstring(imported.size()) + L" note(s) with " +
      std::to_wstring(resources) + L" resource(s).");
  return kImported;
}

int LoadAndImport(const std::wstring& path, const std::wstring& notebook, const EnmlCheck& enml) {
  ComPtr<IXMLDOMDocument2> document;
  if (!NewParser(document)) {
    Say(L"Import failed: no XML parser.");
    return kMalformed;
  }
  Bstr pathText(path.c_str());
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_BSTR;
  source.bstrVal = pathText.get();
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (FAILED(document->load(source, &loaded)) || loaded != VARIANT_TRUE) {
    Say(L"Import failed: the file is not well-formed XML: " + ParseError(document.get()));
    return kMalformed;
  }
  return ImportNotes(document.get(), notebook, enml);
}

std::wstring AbsolutePath(const std::wstring& path) {
  wchar_t full[MAX_PATH * 4] = {};
  DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
  return length > 0 ? std::wstring(full, length) : path;
}

int Run() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring file = arguments ? ImportFileArgument(count, arguments) : std::wstring();
  std::wstring commandLine;
  for (int i = 1; arguments && i < count; ++i) commandLine += (i > 1 ? L" " : L"") + std::wstring(arguments[i]);
  if (arguments) LocalFree(arguments);

  std::wstring notebook = ProgramFolder() + L"notebook";
  CreateDirectoryW(notebook.c_str(), nullptr);
  wchar_t workingFolder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, workingFolder);
  std::wstring logLine = L"args=" + commandLine + L"\tshow=" + ShowMode() + L"\tcwd=" + workingFolder + L"\n";
  AppendFileBytes(notebook + L"\\import-log.txt", WideToUtf8(reinterpret_cast<const char16_t*>(logLine.c_str())));

  std::wstring fault = FaultSetting();
  if (fault.rfind(L"sleep ", 0) == 0) Sleep(static_cast<DWORD>(_wtoi(fault.c_str() + 6)));

  if (file.empty()) {
    Say(L"usage: ENScript importNotes /s<file>");
    return kUsage;
  }
  auto bytes = TryReadFileBytes(file);
  if (!bytes) {
    Say(L"Import failed: cannot read " + file);
    return kUnreadable;
  }
  // A copy exactly as received, numbered in arrival order.
  for (int n = 1; n < 100000; ++n) {
    wchar_t name[64];
    wsprintfW(name, L"\\received-%04d.enex", n);
    std::wstring copy = notebook + name;
    if (GetFileAttributesW(copy.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
    AppendFileBytes(copy, *bytes);
    break;
  }

  EnmlCheck enml = LoadEnmlDtd();
  if (!enml.problem.empty()) {
    Say(L"Import failed: enml2.dtd beside the program cannot be read: " + enml.problem);
    return kUnreadable;
  }
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int result = LoadAndImport(AbsolutePath(file), notebook, enml);
  CoUninitialize();
  std::wstring resultFile = notebook + L"\\last-result.txt";
  DeleteFileW(resultFile.c_str());
  AppendFileBytes(resultFile, lastSaid + "\n");
  if (fault.rfind(L"exit ", 0) == 0) return static_cast<int>(wcstoul(fault.c_str() + 5, nullptr, 10));
  return result;
}

}  // namespace

int main() { return Run(); }
