#include "cleanup/note_text.h"

#include <utility>

namespace {

constexpr size_t kHeldMarkup = 64;  // markup a bookmark may span
constexpr std::string_view kBookmarkOpen = "bookmark<";
// What must be kept back at the end of a run that may go on: enough for "bookmark" or
// "https:" to be whole when its end comes.
constexpr size_t kPatternTail = 8;

struct Escapes {
  bool text[256] = {};
  bool attribute[256] = {};
  constexpr Escapes() {
    for (unsigned char c : {'&', '<', '>'}) text[c] = attribute[c] = true;
    attribute[static_cast<unsigned char>('"')] = true;
  }
};
constexpr Escapes kEscapes;

template <size_t N>
void AppendEscaped(ByteString& out, std::string_view text, const bool (&special)[N]) {
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!special[data[i]]) continue;
    out.append(text.data() + start, i - start);
    switch (data[i]) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += "&quot;"; break;
    }
    start = i + 1;
  }
  out.append(text.data() + start, text.size() - start);
}

bool IsBlank(char c) { return c == ' ' || c == '\r' || c == '\n'; }

// The bytes a search for addresses and bookmarks stops at: ":" and "<".
struct PatternBytes {
  bool marked[256] = {};
  constexpr PatternBytes() {
    for (unsigned char c : {':', '<'}) marked[c] = true;
  }
};
constexpr PatternBytes kPatternBytes;

}  // namespace

void AppendEscapedText(ByteString& out, std::string_view text) {
  AppendEscaped(out, text, kEscapes.text);
}

void AppendEscapedAttribute(ByteString& out, std::string_view value) {
  AppendEscaped(out, value, kEscapes.attribute);
}

NoteText::NoteText(ByteString& out, NoteTextOptions options)
    : out_(out), options_(std::move(options)) {}

void NoteText::Text(std::string_view text, TextPlace place) { Consume(text, place, false); }

ByteString& NoteText::Markup(bool breaksLine) {
  EndRun();  // which may begin a bookmark
  if (candidate_.active) {
    if (!breaksLine && candidate_.heldMarkup < kHeldMarkup) {
      ++candidate_.heldMarkup;
      Hold(SegmentKind::kMarkup, {}, place_);
      return candidate_.held.back().bytes;
    }
    GiveUpBookmark(false);
    EndRun();
  }
  return out_;
}

void NoteText::Finish() {
  EndRun();
  if (candidate_.active) {
    GiveUpBookmark(false);
    EndRun();
  }
}

void NoteText::EndRun() { Consume({}, place_, true); }

// Takes text into the run (or the bookmark that has begun) and writes what is settled;
// runEnds: markup follows, so the run is settled whole.
void NoteText::Consume(std::string_view text, TextPlace place, bool runEnds) {
  std::string carried;  // what follows a bookmark's start in the run, read again
  for (;;) {
    if (candidate_.active) {
      if (text.empty() || !FeedBookmark(text, place)) return;
      continue;  // the bookmark ended; text is what follows it
    }
    place_ = place;
    if (written_ == run_.size() && !skipToBlank_ && !place.linkable &&
        !(options_.bookmarks && !replaying_)) {
      // Nothing to look for: the text goes as it is.
      AppendEscapedText(out_, text);
      break;
    }
    run_.append(text.data(), text.size());
    text = {};
    if (!Scan(runEnds, carried)) break;
    text = carried;
  }
  if (runEnds) {
    run_.clear();
    written_ = scan_ = bookmarksFrom_ = 0;
    skipToBlank_ = false;
  } else {
    DropWritten();
  }
}

// Writes the run as far as it is settled. True when a bookmark began: the run is then
// empty and carried holds what followed "bookmark<" in it.
bool NoteText::Scan(bool runEnded, std::string& carried) {
  const bool bookmarks = options_.bookmarks && !replaying_;
  for (;;) {
    const size_t size = run_.size();
    if (skipToBlank_) {
      size_t blank = scan_;
      while (blank < size && !IsBlank(run_[blank])) ++blank;
      if (blank == size && !runEnded) {
        WritePlain(size);
        scan_ = size;
        return false;
      }
      skipToBlank_ = false;
      scan_ = blank;
    }
    // The next ":" of an address or "<" of a bookmark.
    size_t at = scan_;
    size_t start = std::string::npos;
    bool isAddress = false;
    bool needMore = false;
    for (; at < size; ++at) {
      while (at < size && !kPatternBytes.marked[static_cast<unsigned char>(run_[at])]) ++at;
      if (at == size) break;
      const char c = run_[at];
      if (c == ':' && place_.linkable) {
        size_t head = std::string::npos;
        if (at >= 5 && run_.compare(at - 5, 5, "https") == 0) head = at - 5;
        else if (at >= 4 && run_.compare(at - 4, 4, "http") == 0) head = at - 4;
        if (head == std::string::npos || head < scan_) continue;
        if (at + 2 >= size) {
          if (runEnded) continue;
          needMore = true;
          start = head;
          break;
        }
        if (run_[at + 1] == '/' && run_[at + 2] == '/') {
          start = head;
          isAddress = true;
          break;
        }
      } else if (c == '<' && bookmarks && at >= 8 && at - 8 >= scan_ && at - 8 >= bookmarksFrom_ &&
                 run_.compare(at - 8, 8, "bookmark") == 0) {
        start = at - 8;
        break;
      }
    }
    if (needMore) {
      WritePlain(start);
      scan_ = start;
      return false;
    }
    if (start == std::string::npos) {
      // Nothing here; the end of a run that goes on may yet begin something.
      const size_t settled = runEnded ? size : (size > kPatternTail ? size - kPatternTail : 0);
      if (settled > written_) WritePlain(settled);
      scan_ = std::max(scan_, settled);
      return false;
    }
    if (!isAddress) {
      WritePlain(start);
      carried.assign(run_, start + kBookmarkOpen.size(), std::string::npos);
      run_.clear();
      written_ = scan_ = bookmarksFrom_ = 0;
      candidate_ = Candidate();
      candidate_.active = true;
      candidate_.place = place_;
      Hold(SegmentKind::kText, kBookmarkOpen, place_);
      return true;
    }
    if (!Address(start, runEnded)) return false;
  }
}

// The address that begins at start: written as a link once its end is known. False when
// the run must go on first.
bool NoteText::Address(size_t start, bool runEnded) {
  const size_t size = run_.size();
  size_t blank = start + 7;
  while (blank < size && !IsBlank(run_[blank])) ++blank;
  if (blank - start > kAddressBytes) {
    // Too long to be an address: text, and the rest up to its blank with it.
    WritePlain(std::min(blank, size));
    scan_ = written_;
    skipToBlank_ = blank == size;
    return true;
  }
  if (blank == size && !runEnded) {
    WritePlain(start);
    scan_ = start;
    return false;
  }
  // What follows the address in its sentence is no part of it.
  size_t end = start + 7;
  while (end < blank && run_[end] != '<' && run_[end] != '>' && run_[end] != '"' &&
         !(run_[end] == '\xC2' && end + 1 < blank && run_[end + 1] == '\xA0'))
    ++end;
  int open = 0, close = 0;
  for (size_t i = start; i < end; ++i) {
    open += run_[i] == '(';
    close += run_[i] == ')';
  }
  while (end > start + 7) {  // "http://" stays whole
    const char last = run_[end - 1];
    if (std::string_view(".,;:!?").find(last) != std::string_view::npos) {
      --end;
    } else if (last == ')' && close > open) {
      --close;
      --end;
    } else {
      break;
    }
  }
  WritePlain(start);
  WriteLink(std::string_view(run_).substr(start, end - start));
  written_ = scan_ = end;
  return true;
}

void NoteText::WritePlain(size_t to) {
  if (to <= written_) return;
  AppendEscapedText(out_, std::string_view(run_).substr(written_, to - written_));
  written_ = to;
}

void NoteText::WriteLink(std::string_view address) {
  if (place_.room < 1) {
    AppendEscapedText(out_, address);
    return;
  }
  out_ += "<a href=\"";
  AppendEscapedAttribute(out_, address);
  out_ += "\" target=\"_blank\">";
  AppendEscapedText(out_, address);
  out_ += "</a>";
}

// Takes text into the bookmark that has begun. True when the bookmark ended inside it
// (written, or given up as too long), text then being what follows; false when it took
// all of text.
bool NoteText::FeedBookmark(std::string_view& text, TextPlace place) {
  const size_t room = kBookmarkBytes - candidate_.text.size();
  const size_t close = text.substr(0, room).find('>');
  if (close != std::string_view::npos) {
    WriteBookmark(text.substr(0, close));
    text.remove_prefix(close + 1);
    return true;
  }
  if (text.size() < room) {
    Hold(SegmentKind::kText, text, place);
    candidate_.text.append(text.data(), text.size());
    return false;
  }
  size_t cut = room;  // a character's first byte
  while (cut > 0 && cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
    --cut;
  Hold(SegmentKind::kText, text.substr(0, cut), place);
  text.remove_prefix(cut);
  GiveUpBookmark(true);
  return true;
}

void NoteText::WriteBookmark(std::string_view wordsBeforeEnd) {
  std::string words = std::move(candidate_.text);
  words.append(wordsBeforeEnd.data(), wordsBeforeEnd.size());
  const size_t blank = words.find(' ');
  const std::string name = blank != std::string::npos ? words.substr(0, blank)
                           : options_.newAnchorName   ? options_.newAnchorName()
                                                      : std::string();
  const int room = candidate_.place.room;
  constexpr std::string_view kBullet = "\xE2\x80\xA2";  // U+2022
  if (room >= 1) {
    out_ += "<a name=\"";
    AppendEscapedAttribute(out_, name);
    out_ += "\">";
  }
  if (room >= 2) out_ += "<font color=\"orange\">";
  out_ += kBullet;
  if (room >= 2) out_ += "</font>";
  if (room >= 1) out_ += "</a>";
  for (const Segment& segment : candidate_.held)
    if (segment.kind == SegmentKind::kMarkup) out_ += segment.bytes;
  candidate_ = Candidate();
}

// The bookmark was none: what it held is written as it came, and no bookmark begins
// inside it. One given up as too long holds no link either, and its text is a run of its
// own: so the text reads the same to a second pass, where a link would end the bookmark
// sooner.
void NoteText::GiveUpBookmark(bool tooLong) {
  Candidate given = std::move(candidate_);
  candidate_ = Candidate();
  replaying_ = true;
  for (const Segment& segment : given.held) {
    switch (segment.kind) {
      case SegmentKind::kText: {
        TextPlace place = segment.place;
        place.linkable = place.linkable && !tooLong;
        Consume(segment.bytes, place, false);
        break;
      }
      case SegmentKind::kMarkup:
        EndRun();
        out_ += segment.bytes;
        break;
    }
  }
  if (tooLong) EndRun();
  replaying_ = false;
  bookmarksFrom_ = run_.size();
}

void NoteText::Hold(SegmentKind kind, std::string_view bytes, TextPlace place) {
  std::vector<Segment>& held = candidate_.held;
  if (kind == SegmentKind::kText && !held.empty() && held.back().kind == kind) {
    held.back().bytes.append(bytes.data(), bytes.size());  // the same run goes on
    return;
  }
  held.push_back({kind, ByteString(bytes), place});
}

// The written start of the run goes once it is most of it.
void NoteText::DropWritten() {
  if (written_ < 4096 || written_ < run_.size() / 2) return;
  run_.erase(0, written_);
  scan_ -= std::min(scan_, written_);
  bookmarksFrom_ -= std::min(bookmarksFrom_, written_);
  written_ = 0;
}
