// RTF to HTML through the converter library irun.dll, loaded for each conversion.
// Windows only; the header itself needs no <windows.h>.
#pragma once

#include <cstdint>
#include <vector>

#include "convert/pictures.h"
#include "text/wide_string.h"

// Converts rtf (taken up to its first zero byte) and puts the document, with margins
// added to its body start tag, in place of html. Returns true once the body was
// fetched. When the library cannot be loaded, html becomes "Cannot load irun dll";
// on every other failure html keeps its old content. A failure is described in
// failure (when given) for the user: which file could not be loaded from where, which
// function the library lacks, or the converter's result code. Every session opened is
// closed and the library is freed again before returning. With pictures given, the
// pictures the converter offers (a library without the picture calls offers none) are
// put there, each under the name its image reference uses.
bool ConvertRtfToHtml(const ByteString& rtf, WideString& html, WideString* failure = nullptr,
                      std::vector<PictureData>* pictures = nullptr);

// Appends topmargin, bottommargin, leftmargin, rightmargin, marginwidth and marginheight
// (each =5) to the first "<body" start tag; without "<body" and a later ">" nothing
// changes.
void AddBodyMargins(WideString& html);

// A Windows colour value 0x00BBGGRR as six upper-case hexadecimal digits RRGGBB.
WideString ColorToHexText(uint32_t color);
