// Has Evernote import one note: the note is written as an ENEX file into ENScript's
// folder, ENScript is started with "importNotes /s<file>" and waited for, and the file
// is deleted. Every step is reported through the request's log callback.
#pragma once

#include <windows.h>

#include "text/wide_string.h"

// Receives one log line; the result is not read.
using LogCallback = int (*)(const wchar_t* text, void* context);

struct ImportRequest {
  ImportRequest();  // reads the UTC clock once into created and updated

  const WideString* content = nullptr;  // the note body (an HTML fragment); required
  const WideString* title = nullptr;
  int showConsole = 1;  // nonzero: ENScript's window is shown
  SYSTEMTIME created;
  SYSTEMTIME updated;
  LogCallback logCallback = nullptr;
  void* logContext = nullptr;  // handed back to logCallback unchanged
  const WideString* tags = nullptr;
};

// True when ENScript was started and waited for; its exit code is not judged.
bool RunImport(const ImportRequest& request);

void LogLine(const ImportRequest& request, const WideString& text);
void LogError(const ImportRequest& request, const WideString& text);  // "ERROR: " + text

// The user's temporary folder (GetTempPathW), usually ending in a backslash.
WideString TempFolderPath();

// folder\abcXXXX.TMP.<extension>, with XXXX the low 16 bits of number in hexadecimal
// (never 0), as GetTempFileNameW names its files. An empty folder means the temporary
// folder. Nothing is created or tested.
WideString NewTempFileName(const WideString& folder, const WideString& extension,
                           unsigned number);
