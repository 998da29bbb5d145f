#include "tests/enscript_fixture.h"

#include "win/guards.h"

#include <cstdio>
#include <fstream>
#include <sstream>


void RemoveFolderTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = folder + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveFolderTree(path);
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

namespace {
std::wstring FreshFolder(const std::wstring& name) {
  std::wstring folder = ProgramFolder() + L"enscript-" + name;
  RemoveFolderTree(folder);
  CreateDirectoryW(folder.c_str(), nullptr);
  CopyFileW((ProgramFolder() + L"ENScript.exe").c_str(), (folder + L"\\ENScript.exe").c_str(),
            FALSE);
  // The DTD it checks contents against, where the build put one beside it.
  CopyFileW((ProgramFolder() + L"enml2.dtd").c_str(), (folder + L"\\enml2.dtd").c_str(), FALSE);
  return folder + L"\\";
}
}  // namespace

ScopedEnscript::ScopedEnscript(const std::wstring& name)
    : folder_(FreshFolder(name)), appPath_(L"ENScript.exe", folder_ + L"ENScript.exe") {}

ScopedEnscript::~ScopedEnscript() { RemoveFolderTree(folder_.substr(0, folder_.size() - 1)); }

std::vector<StoredNote> ScopedEnscript::Notes() const {
  std::wstring notebook = folder_ + L"notebook";
  return ReadNotebook(WideString(notebook.begin(), notebook.end()));
}

std::vector<std::string> ScopedEnscript::ImportLog() const {
  std::istringstream log(ReadFileBytes(folder_ + L"notebook\\import-log.txt"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  return lines;
}

void ScopedEnscript::SetFault(const std::string& fault) const {
  WriteFileBytes(folder_ + L"enscript-fault.txt", fault);
}

std::vector<std::wstring> ScopedEnscript::NoteFilesLeft() const { return EnexFilesIn(folder_); }

namespace {
std::wstring Variable(const wchar_t* name) {
  wchar_t value[MAX_PATH * 2] = {};
  DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH * 2);
  return length ? std::wstring(value, length) : std::wstring();
}
}  // namespace

ScopedTempFolder::ScopedTempFolder(const std::wstring& relativePath)
    : root_(ProgramFolder() + relativePath.substr(0, relativePath.find(L'\\'))),
      folder_(ProgramFolder() + relativePath + L"\\"),
      oldTmp_(Variable(L"TMP")),
      oldTemp_(Variable(L"TEMP")) {
  RemoveFolderTree(root_);
  for (size_t at = folder_.find(L'\\', ProgramFolder().size()); at != std::wstring::npos;
       at = folder_.find(L'\\', at + 1))
    CreateDirectoryW(folder_.substr(0, at).c_str(), nullptr);
  SetEnvironmentVariableW(L"TMP", folder_.c_str());
  SetEnvironmentVariableW(L"TEMP", folder_.c_str());
}

ScopedTempFolder::~ScopedTempFolder() {
  SetEnvironmentVariableW(L"TMP", oldTmp_.empty() ? nullptr : oldTmp_.c_str());
  SetEnvironmentVariableW(L"TEMP", oldTemp_.empty() ? nullptr : oldTemp_.c_str());
  RemoveFolderTree(root_);
}

std::vector<std::wstring> EnexFilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*.enex").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

DWORD ScopedEnscript::Run(const std::wstring& arguments, std::string* output) const {
  // Under load, Wine now and then fails to start a program, or ends it before its first
  // word with -1: such a run is tried again, once, and said so.
  const DWORD code = RunOnce(arguments, output);
  if (code != 0xFFFFFFFF || (output && !output->empty())) return code;
  std::fprintf(stderr, "ENScript stand-in gave -1 without a word (error %lu); running it again\n",
               GetLastError());
  if (output) output->clear();
  return RunOnce(arguments, output);
}

DWORD ScopedEnscript::RunOnce(const std::wstring& arguments, std::string* output) const {
  std::wstring commandLine = L"\"" + exePath() + L"\" " + arguments;
  // Its output, when asked for, through a pipe whose writing end only the child holds.
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  UniqueFile reading, writing;
  if (output && !CreatePipe(reading.put(), writing.put(), &inherit, 0)) return 0xFFFFFFFF;
  if (reading) SetHandleInformation(reading.get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (writing) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writing.get();
  }
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, writing ? TRUE : FALSE,
                      CREATE_NO_WINDOW, nullptr, folder_.c_str(), &startup, &process))
    return 0xFFFFFFFF;
  UniqueProcess processHandle(process.hProcess);
  UniqueThread threadHandle(process.hThread);
  writing.reset();
  char chunk[4096];
  DWORD got = 0;
  while (reading && ReadFile(reading.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0)
    output->append(chunk, got);
  WaitForSingleObject(processHandle.get(), 60000);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(processHandle.get(), &code);
  return code;
}
