// A note saved as an ENEX file for the user to import: where ENScript is missing (current
// Evernote clients have none) or the user asks for files. The file goes into the user's
// Documents folder, sub-folder "Yarrin2Evernote", named after the note's title; an
// existing file is never overwritten.
#pragma once

#include <windows.h>

#include <functional>

#include "evernote/enex_writer.h"
#include "text/wide_string.h"

// <Documents>\Yarrin2Evernote, without a trailing backslash, created when missing; empty
// when the Documents folder is unknown or the sub-folder cannot be made (failure says why).
WideString EnexFileFolder(WideString& failure);

// Writes a document into an open file through a ByteSink, counting the bytes written.
// The first failed write ends it and keeps the system's error code. The writer already
// hands over pieces of 64 KB, so each piece is one WriteFile. The file is not owned.
class EnexFileSink {
 public:
  explicit EnexFileSink(HANDLE file) : file_(file) {}
  EnexFileSink(const EnexFileSink&) = delete;
  EnexFileSink& operator=(const EnexFileSink&) = delete;

  // The sink to hand to the writer; valid while this object lives.
  ByteSink sink() {
    return [this](std::string_view bytes) { return Write(bytes.data(), bytes.size()); };
  }
  unsigned long long written() const { return written_; }
  DWORD error() const { return error_; }

 private:
  bool Write(const char* data, size_t size);

  HANDLE file_;
  unsigned long long written_ = 0;
  DWORD error_ = ERROR_SUCCESS;
};

// Writes a document (the whole of it, in order) to the sink it is given; false when the
// sink refused bytes.
using EnexDocumentWriter = std::function<bool(const ByteSink& sink)>;

// Writes the document writeDocument gives into folder as "<name>.enex", or
// "<name> (2).enex" and so on when that name is taken. True with the file's path; false
// with failure saying why, and no file left behind.
bool SaveEnexFile(const WideString& folder, WideView title, const EnexDocumentWriter& writeDocument,
                  WideString& path, WideString& failure);

// Checks a file just written through handle before it is called saved: the handle is a
// file on disk (not a device such as NUL, which swallows every byte), it holds exactly
// expectedSize bytes, and they are flushed to the disk. False with failure saying why.
bool ConfirmFileOnDisk(HANDLE file, unsigned long long expectedSize, WideString& failure);

// Shows a saved file to the user: Explorer opens its folder with the file selected.
void ShowFileInExplorer(const WideString& path);

// What shows a saved file; tests put an observer in Explorer's place. Returns the one
// it replaces.
using FileRevealer = void (*)(const WideString& path);
FileRevealer SetFileRevealer(FileRevealer revealer);
void RevealSavedFile(const WideString& path);

// What EnexFileSink writes with: WriteFile's arguments and result. Tests put in one that
// fails part of the way, as a full disk does. Returns the one it replaces.
using FileWriter = BOOL (*)(HANDLE file, const void* data, DWORD size, DWORD* written);
FileWriter SetFileWriter(FileWriter writer);
