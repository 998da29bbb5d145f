#include "evernote/enex_file.h"

#include <shlobj.h>

#include "evernote/paths.h"
#include "win/guards.h"
#include "win/system_text.h"

namespace {

constexpr wchar_t kSubFolder[] = L"Yarrin2Evernote";
constexpr size_t kLongestTitleName = 120;
constexpr int kMostNumbers = 9999;
// What a numbered name adds at most: " (9999).enex".
constexpr size_t kNumberAndExtension = 12;

FileRevealer revealer = ShowFileInExplorer;

BOOL WriteToFile(HANDLE file, const void* data, DWORD size, DWORD* written) {
  return WriteFile(file, data, size, written, nullptr);
}
FileWriter fileWriter = WriteToFile;

// Closes and deletes a file that was created but not written whole, on every way out (an
// exception from the writer included): a part of a note would only mislead.
class UnfinishedFile {
 public:
  UnfinishedFile(UniqueFile& file, const WideString& path) : file_(file), path_(path) {}
  UnfinishedFile(const UnfinishedFile&) = delete;
  UnfinishedFile& operator=(const UnfinishedFile&) = delete;
  ~UnfinishedFile() {
    if (finished_) return;
    file_.reset();  // opened without sharing: it must be closed to go
    DeleteFileW(WidePtr(path_));
  }
  void Finished() { finished_ = true; }

 private:
  UniqueFile& file_;
  const WideString& path_;
  bool finished_ = false;
};

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

bool SaveEnexFile(const WideString& folder, WideView title, const EnexDocumentWriter& writeDocument,
                  WideString& path, WideString& failure) {
  // Short enough for the whole path to stay within MAX_PATH, numbered or not.
  if (folder.size() + 1 + kNumberAndExtension >= MAX_PATH - 1) {
    failure = u"The folder " + folder + u" leaves no room for a file name";
    return false;
  }
  const size_t room = MAX_PATH - 1 - folder.size() - 1 - kNumberAndExtension;
  const WideString name = FileNameFromTitle(title, room < kLongestTitleName ? room : kLongestTitleName);
  for (int number = 1; number <= kMostNumbers; ++number) {
    path = folder + u"\\" + NumberedName(name, number);
    UniqueFile file(CreateFileW(WidePtr(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      failure = u"Cannot create the file " + path + u": " + SystemErrorText(GetLastError());
      return false;
    }
    UnfinishedFile unfinished(file, path);
    EnexFileSink sink(file.get());
    WideString reason;
    bool whole = writeDocument(sink.sink());
    if (!whole)
      reason = SystemErrorText(sink.error());
    else if (!ConfirmFileOnDisk(file.get(), sink.written(), reason))
      whole = false;
    if (!whole) {
      failure = u"Cannot write the file " + path + u": " + reason;
      return false;
    }
    unfinished.Finished();
    return true;
  }
  failure = u"Every name for \"" + name + u".enex\" is taken in " + folder;
  return false;
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
  if (!FlushFileBuffers(file)) {
    failure = SystemErrorText(GetLastError());
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
