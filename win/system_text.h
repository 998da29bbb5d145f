// What the system says about an error code, for log lines a user can act on.
#pragma once

#include <windows.h>

#include "text/wide_string.h"

// "The system cannot find the file specified. (error 2)"; the number alone when the
// system has no text for it.
WideString SystemErrorText(DWORD code);
