// RTF to HTML through the converter library irun.dll, loaded for each conversion.
// Windows only; the header itself needs no <windows.h>.
#pragma once

#include <vector>

#include "convert/pictures.h"
#include "text/wide_string.h"

// Converts rtf (taken up to its first zero byte) and puts the converter's whole HTML
// document in place of html. Returns true once the body was fetched; on failure html
// keeps its old content. A failure is described in
// failure (when given) for the user: which file could not be loaded from where, which
// function the library lacks, or the converter's result code. Every session opened is
// closed and the library is freed again before returning. With pictures given, the
// pictures the converter offers (a library without the picture calls offers none) are
// put there, each under the name its image reference uses.
bool ConvertRtfToHtml(const ByteString& rtf, WideString& html, WideString* failure = nullptr,
                      std::vector<PictureData>* pictures = nullptr);

// The page's RTF as the body of a note, in one call: converted, bookmarks turned into
// anchors, web addresses into links, only what lies inside the body kept, and mended
// into well-formed markup. Failures and pictures as with ConvertRtfToHtml. The RTF is
// taken by value and let go once converted, so that a caller who moves it in does not
// hold a large page through the clean-up.
bool ConvertPageToNoteBody(ByteString rtf, WideString& body, WideString* failure = nullptr,
                           std::vector<PictureData>* pictures = nullptr);
