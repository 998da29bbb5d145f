// The About box: name and version, build, host interface and where Evernote is installed.
#pragma once

#include <vector>

#include "text/wide_string.h"

// Shows the About text, owned by the host's main window, for 15 seconds at most.
void ShowAbout();

// The six lines of the About text, in order.
std::vector<WideString> AboutLines();
