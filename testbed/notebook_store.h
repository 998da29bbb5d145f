// The notebook of the Evernote stand-ins: what the ENScript stand-in imports and the
// Evernote client stand-in lists.
//
// The store is the folder "notebook" beside the stand-in executables (both live in the
// same folder), one UTF-8 file per note without a byte-order mark, named note-0001.txt,
// note-0002.txt, ... in the order the notes arrived (more digits past 9999). A file:
//
//   title: Shopping list
//   tag: home
//   tag: errands
//   created: 20160207T181556Z
//   updated: 20160207T181556Z
//                                  <- an empty line ends the header
//   <en-note>...</en-note>         <- the rest of the file: the content, byte for byte
//
// Header lines are "key: value", in this order; "tag" repeats once per tag, in order,
// and is absent for a note without tags. Times are ENEX timestamps (yyyymmddThhmmssZ,
// UTC). Values are single lines: a line break inside one is written as a blank. Lines
// end in "\n"; a reader also takes "\r\n" and skips keys it does not know.
#pragma once

#include <optional>
#include <vector>

#include "text/wide_string.h"

struct StoredNote {
  WideString title;
  std::vector<WideString> tags;
  WideString created;  // ENEX timestamp
  WideString updated;
  WideString content;  // the en-note document as imported
};

// <folder of the running program>\notebook
WideString NotebookFolder();

// Every note of the store, in arrival order. Empty when the folder is missing or empty;
// a file that cannot be read is left out.
std::vector<StoredNote> ReadNotebook(const WideString& folder);

// Writes the note as the next file of the store, creating the folder when needed.
// Returns the new file's path, or nothing when it could not be written.
std::optional<WideString> AppendNote(const WideString& folder, const StoredNote& note);

// The file's bytes for a note, and the note read back from them (nothing when the
// header has no empty line ending it).
ByteString FormatNoteFile(const StoredNote& note);
std::optional<StoredNote> ParseNoteFile(const ByteString& bytes);
