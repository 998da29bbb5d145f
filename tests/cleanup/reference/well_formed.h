// Makes the note's HTML well-formed XML, so that every ENEX reader takes it: Evernote
// parses a note's content as an XML document (ENML).
#pragma once

#include "text/wide_string.h"

// Mends an HTML fragment into well-formed XML and leaves what already is well-formed as
// it is. Start tags get their attributes quoted (a bare attribute gets its own name as
// value) and lose attributes whose names XML cannot hold, or repeated ones; empty HTML
// elements (br, img, hr, ...) close themselves; an end tag closes the elements opened
// after its own and takes its start tag's spelling, and one without a start tag goes;
// elements still open at the end are closed. A "<" or "&" that starts no markup becomes
// "&lt;" or "&amp;", HTML's named character references become numeric ones, a comment
// holds no "--", and declarations and processing instructions go. The visible text is
// never lost. Linear in the length of html.
void MakeWellFormed(WideString& html);
