// Writes the ENEX file that ENScript imports: one en-export document with one note.
//
// Pure text work: no file access and no clock. The result is UTF-8 without a byte-order
// mark, with single line feeds, and ends directly after "</en-export>". Title and tags
// are escaped as XML text, a "]]>" inside the content is split over two CDATA sections,
// and characters that XML 1.0 forbids are left out, so every document parses.
//
// The document is written as a stream: a page's content may run to a hundred megabytes
// in a 32-bit host, so neither the document nor a copy of the content or of a picture's
// base64 is ever held whole.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

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

// The note's content as UTF-8 pieces, in order; joined they are one ENML fragment.
// A character's bytes may be split over two pieces.
using ContentPieces = std::vector<ByteString>;

// Takes the document in pieces, in order; false when the bytes could not be written,
// which ends the writing.
using EnexSink = std::function<bool(const char* data, size_t size)>;

// Writes the whole file to sink. title is used as given (settle it with NoteTitle first);
// an empty tags text means no tags. Resources follow the tags, their data in base64;
// without resources the document is as it always was. The content's bytes pass through
// a check as they are copied: characters XML 1.0 forbids are left out (C0 controls other
// than tab, line feed and carriage return, U+FFFE, U+FFFF, and surrogate code points,
// encoded or not), and every maximal run of bytes that cannot begin or continue a UTF-8
// character (a stray continuation byte, an overlong form, a value beyond U+10FFFF, a
// sequence that the content ends inside) becomes one U+FFFD. The sink gets pieces of at
// most 64 KB; nothing proportional to the content or a resource is held besides them.
// False as soon as the sink refuses bytes; nothing more is written then.
bool WriteEnexDocument(const EnexSink& sink, WideView title, const ContentPieces& content,
                       const NoteTime& created, const NoteTime& updated, WideView tags,
                       const std::vector<NoteResource>& resources = {});

// WriteEnexDocument's output as one text, for small notes and tests.
ByteString BuildEnexDocument(WideView title, const ContentPieces& content, const NoteTime& created,
                             const NoteTime& updated, WideView tags,
                             const std::vector<NoteResource>& resources = {});
// The same with the content as one wide text (see ContentFromWide).
ByteString BuildEnexDocument(WideView title, const WideString& content, const NoteTime& created,
                             const NoteTime& updated, WideView tags,
                             const std::vector<NoteResource>& resources = {});

// content as one UTF-8 piece, without the code units XML forbids (a lone surrogate is
// left out, not made U+FFFD, and a NUL does not end the text), so that the document is
// the one the wide content has always given.
ContentPieces ContentFromWide(const WideString& content);

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
