#include "evernote/enex_file.h"

#include <shlobj.h>

#include "evernote/paths.h"
#include "win/guards.h"
#include "win/system_text.h"

namespace {

constexpr wchar_t kSubFolder[] = L"Yarrin2Evernote";
constexpr size_t kLongestTitleName = 120;
constexpr unsigned kMostNumbers = 9999;
// What a numbered name adds at most: " (9999).enex".
constexpr size_t kNumberAndExtension = 12;

FileRevealer revealer = ShowFileInExplorer;

BOOL WriteToFile(HANDLE file, const void* data, DWORD size, DWORD* written) {
  return WriteFile(file, data, size, written, nullptr);
}
FileWriter fileWriter = WriteToFile;

WideString DocumentsFolder() {
  PWSTR path = nullptr;
  WideString folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_CREATE, nullptr, &path)) && path)
    folder = WideFromPtr(path);
  CoTaskMemFree(path);
  return folder;
}

WideString NumberedName(const WideString& name, int number) {
  return number == 1 ? name + u".enex" : name + u" (" + WideNumber(number) + u").enex";
}

}  // namespace

WideString EnexFileFolder(WideString& failure) {
  WideString documents = DocumentsFolder();
  if (documents.empty()) {
    failure = u"The Documents folder is unknown";
    return WideString();
  }
  if (documents.back() == u'\\') documents.pop_back();
  WideString folder = documents + u"\\" + WideFromPtr(kSubFolder);
  if (CreateDirectoryW(WidePtr(folder), nullptr)) return folder;
  const DWORD error = GetLastError();
  const DWORD attributes = GetFileAttributesW(WidePtr(folder));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return folder;
  failure = u"Cannot make the folder " + folder + u": " +
            (attributes != INVALID_FILE_ATTRIBUTES ? WideString(u"a file of that name is in the way")
                                                   : SystemErrorText(error));
  return WideString();
}

bool EnexFileSink::Write(const char* data, size_t size) {
  DWORD written = 0;
  if (!fileWriter(file_, data, static_cast<DWORD>(size), &written) || written != size) {
    // A short write without an error is a full disk as far as the note is concerned.
    error_ = GetLastError();
    if (error_ == ERROR_SUCCESS) error_ = ERROR_DISK_FULL;
    written_ += written;
    return false;
  }
  written_ += written;
  return true;
}

bool EnexFile::Create(const std::function<WideString(unsigned index)>& nameFor, unsigned count,
                      DWORD& error) {
  error = ERROR_FILE_EXISTS;
  for (unsigned index = 0; index < count; ++index) {
    path_ = nameFor(index);
    handle_.reset(CreateFileW(WidePtr(path_), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (handle_) {
      owned_ = true;
      return true;
    }
    error = GetLastError();
    if (error != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

bool EnexFile::Write(const EnexDocumentWriter& writeDocument, WideString& reason) {
  EnexFileSink sink(handle_.get());
  bool whole = writeDocument(sink.sink());
  if (!whole)
    reason = SystemErrorText(sink.error());
  else
    whole = ConfirmFileOnDisk(handle_.get(), sink.written(), reason);
  if (whole && lifetime_ == Lifetime::kKept && !FlushFileBuffers(handle_.get())) {
    reason = SystemErrorText(GetLastError());
    whole = false;
  }
  handle_.reset();
  return whole;
}

bool EnexFile::Delete() {
  handle_.reset();  // opened without sharing: it must be closed to go
  if (!owned_) return true;
  owned_ = false;
  return DeleteFileW(WidePtr(path_)) != FALSE;
}

bool SaveEnexFile(const WideString& folder, WideView title, const EnexDocumentWriter& writeDocument,
                  WideString& path, WideString& failure) {
  // Short enough for the whole path to stay within MAX_PATH, numbered or not.
  if (folder.size() + 1 + kNumberAndExtension >= MAX_PATH - 1) {
    failure = u"The folder " + folder + u" leaves no room for a file name";
    return false;
  }
  const size_t room = MAX_PATH - 1 - folder.size() - 1 - kNumberAndExtension;
  const WideString name = FileNameFromTitle(title, room < kLongestTitleName ? room : kLongestTitleName);
  EnexFile file(EnexFile::Lifetime::kKept);
  DWORD error = ERROR_SUCCESS;
  const bool created = file.Create(
      [&](unsigned index) { return folder + u"\\" + NumberedName(name, static_cast<int>(index) + 1); },
      kMostNumbers, error);
  path = file.path();
  if (!created) {
    failure = error == ERROR_FILE_EXISTS
                  ? u"Every name for \"" + name + u".enex\" is taken in " + folder
                  : u"Cannot create the file " + path + u": " + SystemErrorText(error);
    return false;
  }
  WideString reason;
  if (!file.Write(writeDocument, reason)) {
    failure = u"Cannot write the file " + path + u": " + reason;
    return false;
  }
  file.Keep();
  return true;
}

bool ConfirmFileOnDisk(HANDLE file, unsigned long long expectedSize, WideString& failure) {
  if (GetFileType(file) != FILE_TYPE_DISK) {
    failure = u"the name leads to a device, not to a file on disk";
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) {
    failure = SystemErrorText(GetLastError());
    return false;
  }
  if (static_cast<unsigned long long>(size.QuadPart) != expectedSize) {
    failure = u"the file holds " + WideNumber(size.QuadPart) + u" bytes instead of " +
              WideNumber(static_cast<long long>(expectedSize));
    return false;
  }
  return true;
}

void ShowFileInExplorer(const WideString& path) {
  UniqueComApartment com;  // the shell parses names through COM
  PIDLIST_ABSOLUTE item = nullptr;
  if (FAILED(SHParseDisplayName(WidePtr(path), nullptr, &item, 0, nullptr)) || !item) return;
  SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
  CoTaskMemFree(item);
}

FileWriter SetFileWriter(FileWriter replacement) {
  FileWriter previous = fileWriter;
  fileWriter = replacement ? replacement : WriteToFile;
  return previous;
}

FileRevealer SetFileRevealer(FileRevealer replacement) {
  FileRevealer previous = revealer;
  revealer = replacement;
  return previous;
}

void RevealSavedFile(const WideString& path) {
  if (revealer) revealer(path);
}
