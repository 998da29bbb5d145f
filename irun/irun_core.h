// The portable RTF-to-HTML converter behind irun.dll and rtf2html.
//
// RTF bytes go in, one complete HTML document comes out through a sink that the caller
// owns. The document is pure ASCII: every other character is a numeric character
// reference, so any 8-bit decoding of it loses nothing. It carries the marker comment of
// irun_marker.h, a lower-case "<body" start tag and "</body>" end tag. Pictures become
// image references named "_img_<n>.<ext>"; on request their data is handed to the
// caller beside the document (ConvertOptions::keepPictures), never written into it.
//
// The converter never throws for bad input: it limits nesting and work, converts what
// it could read, and stops at the end of the bytes.
#pragma once

#include <cstddef>
#include <string>

#include "html_chunks.h"
#include "irun_types.h"

namespace irun {

// Converts `size` bytes of RTF. Input that does not begin with "{\rtf" is treated as
// plain text in the default code page. Returns false only when the sink could not be
// fed (out of memory); the output written until then is then incomplete.
bool ConvertRtf(const char* rtf, size_t size, OutputSink sink, void* userData,
                const ConvertOptions& options, ConvertStats* stats);

// As ConvertRtf, but reads the input piece by piece through read(context, ...). The
// converter keeps only a small window of it; the output is the same however the input
// is split.
bool ConvertRtfPieces(InputReader read, void* context, OutputSink sink, void* userData,
                      const ConvertOptions& options, ConvertStats* stats);

// Convenience for callers that want the whole document in memory.
bool ConvertRtfToString(const char* rtf, size_t size, const ConvertOptions& options,
                        std::string& html, ConvertStats* stats);

bool ConvertRtfToChunks(const char* rtf, size_t size, const ConvertOptions& options,
                        HtmlChunks& html, ConvertStats* stats);
bool ConvertRtfPiecesToChunks(InputReader read, void* context, const ConvertOptions& options,
                              HtmlChunks& html, ConvertStats* stats);

}  // namespace irun
