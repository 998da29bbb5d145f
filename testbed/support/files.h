// What the tests, the 32-bit stage and the stand-ins all need of files: the folder of the
// running program and a file's bytes read or written whole.
#pragma once

#include <optional>
#include <string>

// The folder of the running program, with its trailing backslash.
std::wstring ProgramFolder();

// The file's bytes; nullopt when it cannot be opened.
std::optional<std::string> TryReadFileBytes(const std::wstring& path);
// The file's bytes; empty when it cannot be opened.
std::string ReadFileBytes(const std::wstring& path);

// Writes the file anew (or appends to it); false when that failed.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool AppendFileBytes(const std::wstring& path, const std::string& bytes);
