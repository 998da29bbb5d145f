// A note saved as an ENEX file for the user to import: where ENScript is missing (current
// Evernote clients have none) or the user asks for files. The file goes into the user's
// Documents folder, sub-folder "Yarrin2Evernote", named after the note's title; an
// existing file is never overwritten.
#pragma once

#include <windows.h>

#include <functional>

#include "evernote/enex_writer.h"
#include "text/wide_string.h"
#include "win/guards.h"

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

// An ENEX file as it is made, for ENScript or for the user: created under the first name
// of a series that no file has yet (an existing file, whoever it belongs to, is never
// overwritten), written as the document is made and confirmed on disk. Deleted on every
// way out (an exception from the writer included) unless kept: a part of a note would
// only mislead, and a note file must not outlive its import.
class EnexFile {
 public:
  // A file kept for the user is flushed to the disk once written. A note file is not:
  // ENScript reads it at once from the system's cache and it goes after the import, so a
  // flush would cost each send tens of milliseconds and protect nothing.
  enum class Lifetime { kUntilImported, kKept };

  explicit EnexFile(Lifetime lifetime) : lifetime_(lifetime) {}
  EnexFile(const EnexFile&) = delete;
  EnexFile& operator=(const EnexFile&) = delete;
  ~EnexFile() { Delete(); }

  // Creates the first of nameFor(0) .. nameFor(count - 1) that no file has. False with
  // the system's error code: ERROR_FILE_EXISTS when every name is taken.
  bool Create(const std::function<WideString(unsigned index)>& nameFor, unsigned count,
              DWORD& error);
  // Writes the whole document writeDocument gives, confirms it on disk
  // (ConfirmFileOnDisk), flushes a kept file and closes the file. False with reason
  // saying why: the system's error, or what the disk holds instead.
  bool Write(const EnexDocumentWriter& writeDocument, WideString& reason);
  // The file stays when this object goes.
  void Keep() { owned_ = false; }
  // Closes and deletes the file now. False when it could not go (GetLastError tells why).
  bool Delete();

  const WideString& path() const { return path_; }  // the file, or the name last tried

 private:
  Lifetime lifetime_;
  WideString path_;
  UniqueFile handle_;
  bool owned_ = false;  // created here, neither kept nor deleted yet
};

// Writes the document writeDocument gives into folder as "<name>.enex", or
// "<name> (2).enex" and so on when that name is taken. True with the file's path; false
// with failure saying why, and no file left behind.
bool SaveEnexFile(const WideString& folder, WideView title, const EnexDocumentWriter& writeDocument,
                  WideString& path, WideString& failure);

// Checks a file just written through handle before it is handed on: the handle is a file
// on disk (not a device such as NUL, which swallows every byte) and it holds exactly
// expectedSize bytes. False with failure saying why.
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
