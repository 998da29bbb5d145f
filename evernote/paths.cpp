#include "evernote/paths.h"

#include "text/ascii_case.h"

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Length of the drive and folder part: everything up to the last separator, or the
// drive letter and colon when there is no separator after it.
size_t FolderLength(const WideString& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsSeparator(path[i - 1])) return i;
  return path.size() >= 2 && path[1] == u':' ? 2 : 0;
}

}  // namespace

WideString PathFileName(const WideString& path) { return path.substr(FolderLength(path)); }

WideString PathFolder(const WideString& path, bool noTrailingBackslash) {
  WideString folder = path.substr(0, FolderLength(path));
  if (folder.empty()) return folder;
  // A folder taken from a path with slashes already ends in a separator of its own.
  if (!noTrailingBackslash) {
    if (!IsSeparator(folder.back())) folder += u'\\';
    return folder;
  }
  if (IsSeparator(folder.back())) folder.pop_back();
  // A drive root keeps its backslash: "C:" alone would mean the drive's current folder.
  if (!folder.empty() && folder.back() == u':') folder += u'\\';
  return folder;
}

namespace {

bool IsForbiddenInFileName(char16_t c) {
  return c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'/' ||
         c == u'\\' || c == u'|' || c == u'?' || c == u'*';
}


bool IsPortDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || c == u'\u00B9' || c == u'\u00B2' || c == u'\u00B3';
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 (the superscript digits 1-3 too), CONIN$ and CONOUT$
// name devices in any case. Windows before 11 (and Wine) judge a name by the part before
// its first dot, blanks at its end ignored, so "NUL .txt.enex" opens the NUL device.
bool IsDeviceName(const WideString& name) {
  WideString stem = name.substr(0, name.find(u'.'));
  while (!stem.empty() && stem.back() == u' ') stem.pop_back();
  for (char16_t& c : stem) c = AsciiUpper(c);
  for (const char16_t* device : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"})
    if (stem == device) return true;
  return stem.size() == 4 && (stem.compare(0, 3, u"COM") == 0 || stem.compare(0, 3, u"LPT") == 0) &&
         IsPortDigit(stem[3]);
}

void TrimForFileName(WideString& name) {
  size_t first = name.find_first_not_of(u' ');
  if (first == WideString::npos) {
    name.clear();
    return;
  }
  name.erase(0, first);
  while (!name.empty() && (name.back() == u' ' || name.back() == u'.')) name.pop_back();
}

// At most maxUnits units, without splitting a character or ending in a blank or dot.
void CutForFileName(WideString& name, size_t maxUnits) {
  if (name.size() <= maxUnits) return;
  size_t cut = maxUnits;
  // A high surrogate at the cut would lose its partner.
  if (cut > 0 && name[cut - 1] >= 0xD800 && name[cut - 1] <= 0xDBFF) --cut;
  name.resize(cut);
  TrimForFileName(name);
}

}  // namespace

WideString FileNameFromTitle(WideView title, size_t maxUnits) {
  WideString name(title);
  for (char16_t& c : name)
    if (IsForbiddenInFileName(c)) c = u'_';
  TrimForFileName(name);
  CutForFileName(name, maxUnits);
  if (name.empty()) name = u"Note";
  // The mark goes in front: only there does it change the part that names the device.
  if (IsDeviceName(name)) name.insert(name.begin(), u'_');
  CutForFileName(name, maxUnits);
  return name;
}
