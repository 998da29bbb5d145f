#include "testbed/support/files.h"

#include <windows.h>

#include "win/guards.h"

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);  // a long path: try again with more room
  }
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::optional<std::string> TryReadFileBytes(const std::wstring& path) {
  // Shared for writing too: a test reads what a stand-in may still hold open.
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0)
    bytes.append(chunk, got);
  return bytes;
}

std::string ReadFileBytes(const std::wstring& path) {
  return TryReadFileBytes(path).value_or(std::string());
}

namespace {

bool PutBytes(const std::wstring& path, const std::string& bytes, DWORD access, DWORD creation) {
  UniqueFile file(
      CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, creation, 0, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr) &&
         written == bytes.size();
}

}  // namespace

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  return PutBytes(path, bytes, GENERIC_WRITE, CREATE_ALWAYS);
}

bool AppendFileBytes(const std::wstring& path, const std::string& bytes) {
  return PutBytes(path, bytes, FILE_APPEND_DATA, OPEN_ALWAYS);
}
