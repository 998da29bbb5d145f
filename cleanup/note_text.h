// The note's text on its way out: bookmarks typed into the page become named anchors
// with an orange bullet, web addresses become links, and everything is written as
// ENML in UTF-8.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "text/byte_pieces.h"

// "&", "<" and ">" as references; in attribute values the double quote too.
void AppendEscapedText(ByteString& out, std::string_view text);
void AppendEscapedAttribute(ByteString& out, std::string_view value);

// Where a piece of text stands.
struct TextPlace {
  bool linkable = false;  // not inside a link, and addresses are to be linked
  int room = 0;           // elements that may still be opened around it
};

struct NoteTextOptions {
  bool bookmarks = false;
  // The name of a bookmark that has none of its own (no blank in it).
  std::function<std::string()> newAnchorName;
};

// Markup that writes nothing (a comment, an element unwrapped or dropped) leaves no
// trace: the text on both sides of it is one, as a second pass over the note sees it.
// Bookmarks: "bookmark<", its name up to the first blank and maybe more words, and ">",
// all within the line it starts in: formatting may change inside it (its markup is kept,
// its text goes), but a block, a line break or a picture ends it, and so do more than
// kBookmarkBytes of text. A bookmark that does not end so stays text, and none begins
// inside it.
// Addresses: "http://" or "https://" where text is linkable, up to a blank, a line
// break or markup written into the note, less what follows it in its sentence: ".,;:!?" at its end, a ")"
// without its "(", and anything from a no-break space, "<", ">" or a double quote on.
// An address of more than kAddressBytes stays text.
class NoteText {
 public:
  static constexpr size_t kBookmarkBytes = 1024;
  static constexpr size_t kAddressBytes = 64 * 1024;

  NoteText(ByteString& out, NoteTextOptions options);
  NoteText(const NoteText&) = delete;
  NoteText& operator=(const NoteText&) = delete;

  // Characters of the page (valid UTF-8), in order.
  void Text(std::string_view text, TextPlace place);
  // Markup follows: returns where to write it. breaksLine: a block, a line break or a
  // picture, which ends a bookmark that has begun.
  ByteString& Markup(bool breaksLine);
  // The text has ended.
  void Finish();

 private:
  enum class SegmentKind { kText, kMarkup };
  struct Segment {
    SegmentKind kind;
    ByteString bytes;
    TextPlace place;
  };
  // A bookmark that has begun: what it holds so far, to be written as it came if it
  // turns out to be none.
  struct Candidate {
    bool active = false;
    TextPlace place;   // where it began
    std::string text;  // after "bookmark<"
    std::vector<Segment> held;
    size_t heldMarkup = 0;
  };

  void EndRun();
  void Consume(std::string_view text, TextPlace place, bool runEnds);
  bool Scan(bool runEnded, std::string& carried);
  bool Address(size_t start, bool runEnded);
  void WritePlain(size_t to);
  void WriteLink(std::string_view address);
  bool FeedBookmark(std::string_view& text, TextPlace place);
  void WriteBookmark(std::string_view wordsBeforeEnd);
  void GiveUpBookmark(bool tooLong);
  void Hold(SegmentKind kind, std::string_view bytes, TextPlace place);
  void DropWritten();

  ByteString& out_;
  NoteTextOptions options_;
  std::string run_;    // text since the last markup, from written_ on not yet written
  size_t written_ = 0;
  size_t scan_ = 0;    // where the search for addresses and bookmarks goes on
  size_t bookmarksFrom_ = 0;  // no bookmark begins before this
  bool skipToBlank_ = false;  // inside an address too long to link
  TextPlace place_;
  Candidate candidate_;
  bool replaying_ = false;
};
