// Writes the ENEX file that ENScript imports: one en-export document with one note.
//
// Pure text work: no file access and no clock. The result is UTF-8 without a byte-order
// mark, with single line feeds, and ends directly after "</en-export>". Title and tags
// are escaped as XML text, with the characters XML 1.0 forbids left out; the content is
// the clean-up's valid ENML, written as it is.
//
// The document is written as a stream: a page's content may run to a hundred megabytes
// in a 32-bit host, so neither the document nor a copy of the content or of a picture's
// base64 is ever held whole.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "text/byte_pieces.h"
#include "text/text_ops.h"

// A UTC time with the fields of Win32's SYSTEMTIME that the file uses.
struct NoteTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};

#ifdef _WIN32
struct _SYSTEMTIME;
NoteTime NoteTimeFromSystemTime(const _SYSTEMTIME& time);
#endif

// A file the note carries, such as a picture its content shows through en-media.
struct NoteResource {
  ByteString data;
  std::string mime;     // "image/png"
  int width = 0;        // the image's own size in pixels; 0: not written
  int height = 0;
  WideString fileName;  // the name it had; empty: not written
};

// Writes the whole file to sink. title is used as given (settle it with NoteTitle first);
// an empty tags text means no tags. content is the note's ENML in UTF-8 pieces, in order
// (joined they are one fragment; a character's bytes may be split over two pieces), as
// the clean-up makes it: valid ENML, which is written as it is, except that a "]]>"
// (which valid ENML only holds as text, escaped) would be split over two CDATA
// sections. Resources follow the tags, their data in base64. The sink gets pieces of at
// most 64 KB; nothing proportional to the content or a resource is held besides them.
// False as soon as the sink refuses bytes; nothing more is written then.
bool WriteEnexDocument(const ByteSink& sink, WideView title, const BytePieces& content,
                       const NoteTime& created, const NoteTime& updated, WideView tags,
                       const std::vector<NoteResource>& resources = {});

// WriteEnexDocument's output as one text, for small notes and tests.
ByteString BuildEnexDocument(WideView title, const BytePieces& content, const NoteTime& created,
                             const NoteTime& updated, WideView tags,
                             const std::vector<NoteResource>& resources = {});

// data in base64 appended to out, 76 characters a line, lines ended by line feeds.
void AppendBase64(ByteString& out, const ByteString& data);

// The title, or "The Default Title " when it is empty.
WideString NoteTitle(WideView title);

// The content element: the content as an ENML document inside CDATA.
WideString NoteContentElement(WideView content);

// "yyyymmddThhmmssZ"; milliseconds are ignored and no time zone is applied.
WideString EnexTimestamp(const NoteTime& time);

// One "<tag>…</tag>\n" per comma-separated piece, each trimmed of blanks and escaped;
// empty when the tag text is empty.
WideString TagElements(WideView tags);
