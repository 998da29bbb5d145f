#include "testbed/notebook_store.h"

#include "testbed/support/files.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "win/guards.h"
#include "text/code_pages.h"

namespace {

constexpr char16_t kNotePrefix[] = u"note-";
constexpr char16_t kNoteSuffix[] = u".txt";

ByteString HeaderValue(const WideString& value) {
  ByteString line = WideToUtf8(value);
  std::replace(line.begin(), line.end(), '\r', ' ');
  std::replace(line.begin(), line.end(), '\n', ' ');
  return line;
}

void AppendHeaderLine(ByteString& file, const char* key, const WideString& value) {
  file += key;
  file += ": ";
  file += HeaderValue(value);
  file += '\n';
}

// The number of a store file name such as note-0012.txt; nothing for other names.
std::optional<unsigned long> NoteNumber(const WideString& fileName) {
  WideView name(fileName);
  WideView prefix(kNotePrefix), suffix(kNoteSuffix);
  if (name.size() <= prefix.size() + suffix.size() || name.substr(0, prefix.size()) != prefix ||
      name.substr(name.size() - suffix.size()) != suffix)
    return std::nullopt;
  WideView digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  unsigned long number = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9' || number > 99999999) return std::nullopt;
    number = number * 10 + (c - u'0');
  }
  return number;
}

// One "resource..." header line: "resource" starts a resource, the lines after it
// belong to it.
void ReadResourceLine(std::vector<StoredResource>& resources, const ByteString& key,
                      const WideString& value) {
  if (key == "resource") {
    resources.emplace_back();
    resources.back().hash = value;
    return;
  }
  if (resources.empty()) return;
  StoredResource& resource = resources.back();
  const ByteString number(value.begin(), value.end());  // digits only where it matters
  if (key == "resource-mime") resource.mime = value;
  else if (key == "resource-size") resource.size = std::strtoull(number.c_str(), nullptr, 10);
  else if (key == "resource-width") resource.width = std::atoi(number.c_str());
  else if (key == "resource-height") resource.height = std::atoi(number.c_str());
  else if (key == "resource-file-name") resource.fileName = value;
  else if (key == "resource-data") resource.dataFile = value;
}

// note-0001-<hash>.png: the file of a resource's bytes beside its note.
WideString ResourceFileName(const WideString& noteFile, const StoredResource& resource) {
  WideString type = u"bin";
  if (resource.mime == u"image/png") type = u"png";
  else if (resource.mime == u"image/jpeg") type = u"jpg";
  else if (resource.mime == u"image/gif") type = u"gif";
  WideString hash;  // a hash as a hostile note writes it must not leave the folder
  for (char16_t c : resource.hash)
    if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) hash += c;
  return noteFile.substr(0, noteFile.size() - 4) + u"-" + hash + u"." + type;
}

WideString NoteFileName(unsigned long number) {
  WideString digits = WideNumber(static_cast<long long>(number));
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), u'0');
  return kNotePrefix + digits + kNoteSuffix;
}

WideString Joined(const WideString& folder, const WideString& name) {
  if (folder.empty() || folder.back() == u'\\') return folder + name;
  return folder + u"\\" + name;
}

// The store's files, as (number, name), in arrival order.
std::vector<std::pair<unsigned long, WideString>> NoteFiles(const WideString& folder) {
  std::vector<std::pair<unsigned long, WideString>> files;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(WidePtr(Joined(folder, u"note-*.txt")), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    WideString name = WideFromPtr(found.cFileName);
    if (auto number = NoteNumber(name)) files.emplace_back(*number, name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(files.begin(), files.end());
  return files;
}

bool WriteAll(HANDLE file, const ByteString& bytes) {
  DWORD written = 0;
  return bytes.empty() ||
         (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
          written == bytes.size());
}

}  // namespace

ByteString FormatNoteFile(const StoredNote& note) {
  ByteString file;
  AppendHeaderLine(file, "title", note.title);
  for (const WideString& tag : note.tags) AppendHeaderLine(file, "tag", tag);
  AppendHeaderLine(file, "created", note.created);
  AppendHeaderLine(file, "updated", note.updated);
  for (const StoredResource& resource : note.resources) {
    AppendHeaderLine(file, "resource", resource.hash);
    AppendHeaderLine(file, "resource-mime", resource.mime);
    AppendHeaderLine(file, "resource-size",
                     WideNumber(static_cast<long long>(resource.bytes.size())));
    AppendHeaderLine(file, "resource-width", WideNumber(resource.width));
    AppendHeaderLine(file, "resource-height", WideNumber(resource.height));
    AppendHeaderLine(file, "resource-file-name", resource.fileName);
    AppendHeaderLine(file, "resource-data", resource.dataFile);
  }
  file += '\n';
  file += WideToUtf8(note.content);
  return file;
}

std::optional<StoredNote> ParseNoteFile(const ByteString& bytes) {
  StoredNote note;
  size_t at = 0;
  while (true) {
    size_t end = bytes.find('\n', at);
    if (end == ByteString::npos) return std::nullopt;  // the header never ended
    ByteString line = bytes.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    size_t colon = line.find(": ");
    if (colon == ByteString::npos) continue;
    ByteString key = line.substr(0, colon);
    WideString value = BytesToWide(line.substr(colon + 2), kCodePageUtf8);
    if (key == "title") note.title = value;
    else if (key == "tag") note.tags.push_back(value);
    else if (key == "created") note.created = value;
    else if (key == "updated") note.updated = value;
    else if (key.rfind("resource", 0) == 0) ReadResourceLine(note.resources, key, value);
  }
  note.content = BytesToWide(bytes.substr(at), kCodePageUtf8);
  return note;
}

WideString NotebookFolder() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  WideString folder = WideFromPtr(path, length);
  folder.erase(folder.find_last_of(u'\\') + 1);
  return folder + u"notebook";
}

std::vector<StoredNote> ReadNotebook(const WideString& folder) {
  std::vector<StoredNote> notes;
  for (const auto& file : NoteFiles(folder)) {
    auto bytes = TryReadFileBytes(WidePtr(Joined(folder, file.second)));
    if (!bytes) continue;
    auto note = ParseNoteFile(*bytes);
    if (!note) continue;
    for (StoredResource& resource : note->resources) {
      if (resource.dataFile.empty()) continue;
      auto data = TryReadFileBytes(WidePtr(Joined(folder, resource.dataFile)));
      if (data) resource.bytes = std::move(*data);
    }
    notes.push_back(std::move(*note));
  }
  return notes;
}

std::optional<WideString> AppendNote(const WideString& folder, const StoredNote& note) {
  CreateDirectoryW(WidePtr(folder), nullptr);  // usually there already
  auto files = NoteFiles(folder);
  unsigned long next = files.empty() ? 1 : files.back().first + 1;
  // Another importer may take the same number at the same time: CREATE_NEW tells, and
  // the next number is tried.
  for (int attempt = 0; attempt < 100; ++attempt, ++next) {
    const WideString name = NoteFileName(next);
    const WideString path = Joined(folder, name);
    UniqueFile file(CreateFileW(WidePtr(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return std::nullopt;
    }
    // The number is ours: the resources' files first, then the note that names them.
    StoredNote stored = note;
    std::vector<WideString> written;
    bool complete = true;
    for (StoredResource& resource : stored.resources) {
      resource.dataFile = ResourceFileName(name, resource);
      UniqueFile data(CreateFileW(WidePtr(Joined(folder, resource.dataFile)), GENERIC_WRITE, 0,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      written.push_back(resource.dataFile);
      if (!data || !WriteAll(data.get(), resource.bytes)) {
        complete = false;
        break;
      }
    }
    complete = complete && WriteAll(file.get(), FormatNoteFile(stored));
    file.reset();
    if (!complete) {
      DeleteFileW(WidePtr(path));
      for (const WideString& dataFile : written) DeleteFileW(WidePtr(Joined(folder, dataFile)));
      return std::nullopt;
    }
    return path;
  }
  return std::nullopt;
}
