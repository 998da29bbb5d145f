#include "evernote/start_evernote.h"

// Starting Evernote arrives with its own change; until then nothing is started.
bool StartEvernote() { return false; }
bool ActivateEvernote() { return false; }
