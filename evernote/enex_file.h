// A note saved as an ENEX file for the user to import: where ENScript is missing (current
// Evernote clients have none) or the user asks for files. The file goes into the user's
// Documents folder, sub-folder "Yarrin2Evernote", named after the note's title; an
// existing file is never overwritten.
#pragma once

#include <windows.h>

#include "text/wide_string.h"

// <Documents>\Yarrin2Evernote, without a trailing backslash, created when missing; empty
// when the Documents folder is unknown or the sub-folder cannot be made (failure says why).
WideString EnexFileFolder(WideString& failure);

// Writes document into folder as "<name>.enex", or "<name> (2).enex" and so on when that
// name is taken. True with the file's path; false with failure saying why.
bool SaveEnexFile(const WideString& folder, WideView title, const ByteString& document,
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
