#include "convert/body_segments.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::string_view kBodyStart = "<body";
constexpr std::string_view kBodyEnd = "</body";

// HTML's elements that never have an end tag.
bool IsVoidElement(std::string_view name) {
  static constexpr std::string_view kVoid[] = {"area", "base",  "basefont", "br",    "col",
                                               "embed", "frame", "hr",       "img",   "input",
                                               "link", "meta",  "param",    "source", "track",
                                               "wbr"};
  for (std::string_view known : kVoid) {
    if (known.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i)
      same = known[i] == (name[i] >= 'A' && name[i] <= 'Z' ? name[i] + ('a' - 'A') : name[i]);
    if (same) return true;
  }
  return false;
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
         c == '-' || c == '_';
}

}  // namespace

BodySegmenter::BodySegmenter(size_t segmentBytes, Emit emit)
    : segmentBytes_(std::max<size_t>(segmentBytes, 1)), emit_(std::move(emit)) {}

void BodySegmenter::Feed(const char* data, size_t size) {
  if (place_ == Place::kDone || size == 0) return;
  pending_.append(data, size);
  if (place_ == Place::kHead) FindBodyStart();
  if (place_ == Place::kBody) ScanBody();
  Compact();
}

void BodySegmenter::Finish() {
  if (place_ == Place::kHead) {
    // No body start tag: the document stays whole, as the clean-up leaves it.
    EmitUpTo(pending_.size());
  } else if (place_ == Place::kBody) {
    const size_t end = pending_.find(kBodyEnd, std::max(start_, scanned_ > 5 ? scanned_ - 5 : 0));
    EmitUpTo(end == ByteString::npos ? pending_.size() : end);
  }
  place_ = Place::kDone;
  ByteString().swap(pending_);
}

// The first "<body" followed by a blank or ">", and the ">" that ends it.
void BodySegmenter::FindBodyStart() {
  for (size_t at = pending_.find(kBodyStart); at != ByteString::npos;
       at = pending_.find(kBodyStart, at + kBodyStart.size())) {
    const size_t next = at + kBodyStart.size();
    if (next >= pending_.size()) return;  // its next byte is still to come
    if (pending_[next] != ' ' && pending_[next] != '>') continue;
    const size_t tagEnd = pending_.find('>', next);
    if (tagEnd == ByteString::npos) return;
    start_ = scanned_ = tagEnd + 1;
    place_ = Place::kBody;
    return;
  }
}

// Reads the body for its elements up to its end tag or as far as the bytes allow, and
// hands on each segment that has grown large enough at a line end outside every element.
void BodySegmenter::ScanBody() {
  // The end tag as plain text, as the clean-up finds it; the last few bytes may be its
  // beginning and are read once more bytes have come.
  const size_t searchFrom = std::max(start_, scanned_ > 5 ? scanned_ - 5 : size_t{0});
  const size_t bodyEnd = pending_.find(kBodyEnd, searchFrom);
  const size_t limit = bodyEnd == ByteString::npos
                           ? (pending_.size() > 5 ? pending_.size() - 5 : 0)
                           : bodyEnd;
  const char* const text = pending_.data();
  while (scanned_ < limit) {
    const char c = text[scanned_];
    if (c == '<') {
      size_t at = scanned_;
      bool closes = false, opens = false;
      if (!SkipTag(at, closes, opens)) break;  // the tag ends in bytes still to come
      if (closes && depth_ > 0) --depth_;
      if (opens) ++depth_;
      scanned_ = at;
    } else if (c == '\n') {
      ++scanned_;
      if (depth_ == 0 && scanned_ - start_ >= segmentBytes_) EmitUpTo(scanned_);
    } else {
      ++scanned_;
      while (scanned_ < limit && text[scanned_] != '<' && text[scanned_] != '\n') ++scanned_;
    }
  }
  if (bodyEnd != ByteString::npos) {
    EmitUpTo(bodyEnd);
    place_ = Place::kDone;
    ByteString().swap(pending_);
  }
}

// Moves at past the markup that starts there: a comment, a declaration, an end tag or a
// start tag (quoted values may hold ">"). False when its end has not come yet. A "<"
// that starts no markup is text.
bool BodySegmenter::SkipTag(size_t& at, bool& closes, bool& opens) const {
  const std::string_view text(pending_);
  if (at + 1 >= text.size()) return false;
  const char next = text[at + 1];
  if (text.size() - at < 4 && std::string_view("<!--").substr(0, text.size() - at) == text.substr(at))
    return false;  // perhaps a comment's start
  if (text.compare(at, 4, "<!--") == 0) {
    const size_t end = text.find("-->", at + 4);
    if (end == std::string_view::npos) return false;
    at = end + 3;
    return true;
  }
  if (next == '!' || next == '?' || next == '/') {
    const size_t end = text.find('>', at + 2);
    if (end == std::string_view::npos) return false;
    closes = next == '/';
    at = end + 1;
    return true;
  }
  if (!IsNameChar(next)) {
    ++at;
    return true;
  }
  size_t nameEnd = at + 1;
  while (nameEnd < text.size() && IsNameChar(text[nameEnd])) ++nameEnd;
  char quote = 0;
  for (size_t i = nameEnd; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      opens = text[i - 1] != '/' && !IsVoidElement(text.substr(at + 1, nameEnd - at - 1));
      at = i + 1;
      return true;
    }
  }
  return false;
}

void BodySegmenter::EmitUpTo(size_t end) {
  if (end > start_) emit_(std::string_view(pending_).substr(start_, end - start_));
  start_ = std::max(start_, end);
  scanned_ = std::max(scanned_, start_);
}

// What has been handed on goes once it is most of the buffer.
void BodySegmenter::Compact() {
  if (place_ == Place::kHead || start_ < 16 * 1024 || start_ < pending_.size() / 2) return;
  pending_.erase(0, start_);
  scanned_ -= start_;
  start_ = 0;
}
