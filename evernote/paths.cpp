#include "evernote/paths.h"

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
