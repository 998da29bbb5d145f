// Path texts of the import runner and of starting Evernote: plain text work, no file
// system access. Both backslash and slash separate folders, as in Win32 paths.
#pragma once

#include "text/wide_string.h"

// The file name with its extension, without drive and folders: C:\Tools\ENScript.exe
// gives ENScript.exe. Empty for an empty path or one that ends in a separator.
WideString PathFileName(const WideString& path);

// Drive and folders of the path. Without noTrailingBackslash a backslash is added unless
// the result is empty or already ends in a separator. With it one trailing separator is
// removed, but a drive root keeps its backslash: C:\ENScript.exe gives C:\ either way.
WideString PathFolder(const WideString& path, bool noTrailingBackslash);

// A file name made from a note title, without its extension: the characters Windows
// forbids in file names (control characters and < > : " / \ | ? *) become "_", blanks
// around it and dots at its end go (Windows would drop them), an empty result becomes
// "Note", a name that Windows would take for a device (NUL.txt, com1 .log, CONIN$, ...)
// gets a "_" in front (_NUL.txt), and the name is cut to at most maxUnits UTF-16 units
// without splitting a character, the mark included.
WideString FileNameFromTitle(WideView title, size_t maxUnits);
