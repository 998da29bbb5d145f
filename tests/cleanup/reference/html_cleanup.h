// The clean-up that turns the converter's HTML document into a note body.
//
// Applied in this order, each to the whole text and in place: ConvertBookmarks,
// LinkifyUrls, ExtractBodyContent. All of it is plain text surgery with
// exact-case matching; where its patterns are missing an operation changes nothing.
// Every operation runs in time and memory linear in the text, also with many thousands
// of bookmarks and addresses.
#pragma once

#include <functional>

#include "text/text_ops.h"

// Gives the anchor name of a bookmark that has none of its own.
using AnchorNameSource = std::function<WideString()>;

// Turns each "bookmark&lt;name more words&gt;" into a named anchor with an orange bullet.
// The name ends at the first blank; a bookmark without a blank is named by a fresh UUID
// (from newName where given, for tests).
void ConvertBookmarks(WideString& html);
void ConvertBookmarks(WideString& html, const AnchorNameSource& newName);

// A new random UUID in lower-case hexadecimal: 36 characters with its dashes, or the 32
// digits alone when removePunctuation is set.
WideString NewUuidText(bool removePunctuation);

// Links every "http://" and "https://" address found in the text between tags, except
// inside a link that is already there. An address ends at a blank, a line break or a tag,
// and leaves out a following "&nbsp;" and the punctuation that ends its sentence
// (".,;:!?" and a ")" without its "("). Text after a "<" that no ">" follows is kept and
// treated as text.
void LinkifyUrls(WideString& html);

// Keeps only what lies between the body start tag ("<body>", or "<body" and a blank
// before its attributes) and the body end tag.
void ExtractBodyContent(WideString& html);
