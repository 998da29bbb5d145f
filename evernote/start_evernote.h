// Starting the Evernote desktop client and bringing its window to the front.
#pragma once

// Starts Evernote through the shell and activates its window. True when the shell
// accepted the start.
bool StartEvernote();

// Brings the first visible top-level window of the running Evernote process to the front.
bool ActivateEvernote();
