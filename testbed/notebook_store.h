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
//   resource: 0cc175b9c0f1b6a831c399e269772661
//   resource-mime: image/png
//   resource-size: 1234
//   resource-width: 96
//   resource-height: 48
//   resource-file-name: _img_1.png
//   resource-data: note-0001-0cc175b9c0f1b6a831c399e269772661.png
//                                  <- an empty line ends the header
//   <en-note>...</en-note>         <- the rest of the file: the content, byte for byte
//
// Header lines are "key: value", in this order; "tag" repeats once per tag, in order,
// and is absent for a note without tags. Times are ENEX timestamps (yyyymmddThhmmssZ,
// UTC). Each resource of the note, in order, is a "resource" line with the MD5 of its
// bytes (lower-case hex) and the "resource-..." lines that belong to it: mime type, size
// in bytes, width and height (0 when the note gives none), file name (empty when none)
// and the file beside the note that holds its bytes, note-<number>-<hash>.<type> (png,
// jpg, gif, else bin). Values are single lines: a line break inside one is written as a
// blank. Lines end in "\n"; a reader also takes "\r\n" and skips keys it does not know,
// so files written before resources were kept read as notes without resources.
#pragma once

#include <optional>
#include <vector>

#include "text/wide_string.h"

struct StoredResource {
  WideString mime;
  WideString hash;      // MD5 of bytes, lower-case hex
  WideString fileName;  // from resource-attributes; empty when none
  int width = 0;        // 0 when the note gives none
  int height = 0;
  WideString dataFile;  // name of the file beside the note that holds the bytes
  ByteString bytes;     // the decoded data
  unsigned long long size = 0;  // as the header gives it; bytes.size() is what is written
};

struct StoredNote {
  WideString title;
  std::vector<WideString> tags;
  WideString created;  // ENEX timestamp
  WideString updated;
  WideString content;  // the en-note document as imported
  std::vector<StoredResource> resources;
};

// <folder of the running program>\notebook
WideString NotebookFolder();

// Every note of the store, in arrival order, with the bytes of its resources read from
// their files (a missing file leaves them empty). Empty when the folder is missing or
// empty; a file that cannot be read is left out.
std::vector<StoredNote> ReadNotebook(const WideString& folder);

// Writes the note as the next file of the store, and its resources' bytes beside it
// (their dataFile names are chosen here), creating the folder when needed. Returns the
// new file's path, or nothing when it could not be written.
std::optional<WideString> AppendNote(const WideString& folder, const StoredNote& note);

// The file's bytes for a note, and the note read back from them (nothing when the
// header has no empty line ending it). Of resources only the header lines: bytes stay
// empty when parsing.
ByteString FormatNoteFile(const StoredNote& note);
std::optional<StoredNote> ParseNoteFile(const ByteString& bytes);
