// RTF to HTML through the converter library irun.dll, loaded for each conversion.
// Windows only; the header itself needs no <windows.h>.
#pragma once

#include <functional>
#include <vector>

#include "convert/body_segments.h"
#include "picture/pictures.h"
#include "text/wide_string.h"
#include "win/system_pieces.h"

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

// Receives the note body a segment at a time, in order. Each segment holds whole
// elements; the receiver may change it or take it.
using BodySegmentSink = std::function<void(WideString& segment)>;

// The page's RTF as the body of a note: converted, bookmarks turned into anchors, web
// addresses into links, only what lies inside the body kept, and mended into
// well-formed markup. Failures and pictures as with ConvertRtfToHtml; the pictures are
// there before the first segment comes. The RTF's pieces are let go as the converter
// reads them, and the converted document is read back and cleaned up a segment of
// about segmentBytes at a time, so that neither the page nor its HTML is ever held
// twice. A library without the calls for pieces gets the RTF joined and gives its
// document whole: the same body, at the old cost in memory.
bool ConvertPageToNoteBody(SystemPieces rtf, const BodySegmentSink& sink,
                           WideString* failure = nullptr,
                           std::vector<PictureData>* pictures = nullptr,
                           size_t segmentBytes = kBodySegmentBytes);

// The same for RTF in one text (taken up to its first zero byte), the body whole.
bool ConvertPageToNoteBody(ByteString rtf, WideString& body, WideString* failure = nullptr,
                           std::vector<PictureData>* pictures = nullptr);
