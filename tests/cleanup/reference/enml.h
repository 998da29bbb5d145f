// Makes note markup ENML: the XHTML subset that Evernote's service accepts. A note whose
// content does not validate against the ENML 2 DTD is refused when it syncs, or shows
// blank, so everything the note pipeline writes and everything the host hands over in
// HTML code goes through here.
#pragma once

#include <string>
#include <vector>

#include "text/wide_string.h"

// Turns well-formed markup (MakeWellFormed's result) into valid ENML, keeping its text:
// - element and attribute names in lower case;
// - script, style, noscript and title go with their content; elements ENML does not
//   declare (html, body, form, Word's o:p, ...) are unwrapped, their content kept;
// - attributes ENML does not declare for the element go, and so do id, class, on...,
//   data-..., accesskey, tabindex and namespaced ones; an address with a javascript:,
//   vbscript: or data: scheme goes (the link's text stays);
// - an img becomes a link to its source showing its alt text or file name (plain text
//   inside a link), since the note carries only its own pictures, as en-media;
// - an en-media stays only when its hash is one of mediaHashes (lower-case hex MD5);
// - comments go, CDATA sections become text, and characters XML forbids are left out.
// Linear in the length of html.
void MakeEnml(WideString& html, const std::vector<std::string>& mediaHashes = {});

// The attributes ENML declares for element (lower case, blank-separated), less those
// the service refuses although its DTD declares them; null for an element ENML does not
// declare or that a note may not hold inside its content (en-note).
const char16_t* EnmlAttributes(WideView element);
