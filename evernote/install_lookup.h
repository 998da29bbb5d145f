// Where Evernote's programs are installed, read from the Windows "App Paths" keys every
// time it is asked: the plug-in keeps no setting of its own.
#pragma once

#include <vector>

#include "text/wide_string.h"

// The default value of an App Paths sub-key under HKEY_LOCAL_MACHINE, exactly as stored
// (quotes, blanks and environment references kept). Empty when the key or value is
// missing, the query fails, or the value is longer than 1299 characters.
WideString ReadAppPath(const wchar_t* subKey);

// Full path of Evernote.exe / ENScript.exe, or empty when not installed.
WideString FindEvernotePath();
WideString FindEnscriptPath();

// "Evernote Path: " and "ENScript Path: ", each followed by the registered path (if any):
// the About box and the send dialog's log show them.
std::vector<WideString> InstallInfoLines();

extern const wchar_t kEvernoteAppPathKey[];
extern const wchar_t kEnscriptAppPathKey[];
