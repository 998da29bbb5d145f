#include "cleanup/html_tokenizer.h"

#include <algorithm>
#include <cstring>

#include "cleanup/char_references.h"
#include "text/xml_chars.h"

namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Names are kept to what HTML writes and every XML parser reads: ASCII letters, digits
// and "-._:".
bool IsNameChar(char c) {
  return IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == ':' || c == '-' || c == '.';
}
// Form feed is HTML's blank too, but XML forbids it, so it is gone before anything is
// read.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(text[i]) != prefix[i]) return false;
  return true;
}

// Bytes that pass into the input as they are: printable ASCII, tab, line feed and
// carriage return.
struct PlainBytes {
  bool plain[256] = {};
  constexpr PlainBytes() {
    for (int c = 0x20; c < 0x80; ++c) plain[c] = true;
    for (unsigned char c : {'\t', '\n', '\r'}) plain[c] = true;
  }
};
constexpr PlainBytes kPlain;

constexpr size_t kCompactBytes = 64 * 1024;
// Attributes of one tag beyond these go: ENML declares at most some twenty for an
// element, and a tag of millions would otherwise cost many times its bytes.
constexpr size_t kMaxAttributes = 1024;

}  // namespace

uint64_t PatternPlaces::From(uint64_t start, std::string_view bytes, uint64_t base) {
  for (;;) {
    if (!found_.empty() && found_.back() >= start) {
      if (found_.front() >= start) return found_.front();
      return *std::lower_bound(found_.begin(), found_.end(), start);
    }
    const uint64_t end = base + bytes.size();
    const uint64_t from = std::max(scanned_, base);
    if (from + pattern_.size() > end) return kNone;
    const size_t next = bytes.find(pattern_, static_cast<size_t>(from - base));
    if (next == std::string_view::npos) {
      // A pattern that the next bytes complete begins at most its length less one back.
      scanned_ = end - (pattern_.size() - 1);
      return kNone;
    }
    found_.push_back(base + next);
    scanned_ = base + next + 1;
  }
}

void PatternPlaces::Forget(uint64_t done) {
  while (!found_.empty() && found_.front() < done) found_.pop_front();
}

HtmlTokenizer::HtmlTokenizer(HtmlTokenHandler& handler) : handler_(handler) {}

void HtmlTokenizer::Feed(std::string_view bytes) {
  Append(bytes);
  Run(false);
}

void HtmlTokenizer::Finish() {
  decoder_.Finish([this](uint32_t point) { AppendPoint(point); });
  Run(true);
  buf_.clear();
}

void HtmlTokenizer::AppendPoint(uint32_t point) {
  if (!IsXmlChar(point)) return;
  char bytes[4];
  buf_.append(bytes, EncodeUtf8(point, bytes));
}

void HtmlTokenizer::Append(std::string_view bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t size = bytes.size();
  size_t at = 0;
  while (at < size) {
    if (!decoder_.InSequence()) {
      size_t run = at;
      while (run < size && kPlain.plain[data[run]]) ++run;
      buf_.append(bytes.data() + at, run - at);
      at = run;
      if (at == size) break;
    }
    decoder_.Take(data[at++], [this](uint32_t point) { AppendPoint(point); });
  }
}

void HtmlTokenizer::Run(bool atEnd) {
  if (waiting_ && !WaitIsOver(atEnd)) return;
  waiting_ = false;
  while (pos_ < buf_.size()) {
    if (!rawName_.empty()) {
      if (!RawText(atEnd)) break;
      continue;
    }
    const size_t end = FindTextEnd(pos_);
    if (end > pos_) handler_.OnText(std::string_view(buf_).substr(pos_, end - pos_));
    pos_ = end;
    if (pos_ == buf_.size()) break;
    if (buf_[pos_] == '&') {
      if (!Reference(atEnd)) break;
      continue;
    }
    tagEnd_.Forget(base_ + pos_);
    doubleQuote_.Forget(base_ + pos_);
    singleQuote_.Forget(base_ + pos_);
    commentEnd_.Forget(base_ + pos_);
    sectionEnd_.Forget(base_ + pos_);
    const Step step = Markup(atEnd);
    if (step == Step::kNeedMore) break;
    if (step == Step::kText) {
      handler_.OnText("<");
      ++pos_;
    }
  }
  Compact();
}

bool HtmlTokenizer::WaitIsOver(bool atEnd) {
  if (atEnd) return true;
  if (!waitFor_) return base_ + buf_.size() > waitFrom_;
  return Find(*waitFor_, static_cast<size_t>(waitFrom_ - base_)) != PatternPlaces::kNone;
}

size_t HtmlTokenizer::FindTextEnd(size_t from) const {
  const char* data = buf_.data();
  const size_t size = buf_.size();
  while (from < size && data[from] != '<' && data[from] != '&') ++from;
  return from;
}

// The reference at pos_, or its "&" as text; false when more input is needed to tell.
bool HtmlTokenizer::Reference(bool atEnd) {
  uint32_t point = 0;
  size_t length = 0;
  switch (ReadReference(std::string_view(buf_).substr(pos_), atEnd, point, length)) {
    case ReferenceRead::kNeedMore:
      NeedBytes();
      return false;
    case ReferenceRead::kNotReference:
      handler_.OnText("&");
      ++pos_;
      return true;
    case ReferenceRead::kCharacter: {
      char bytes[4];
      handler_.OnText(std::string_view(bytes, EncodeUtf8(point, bytes)));
      pos_ += length;
      return true;
    }
  }
  return true;
}

uint64_t HtmlTokenizer::Find(PatternPlaces& places, size_t from) {
  return places.From(base_ + from, buf_, base_);
}

HtmlTokenizer::Step HtmlTokenizer::NeedPattern(PatternPlaces& places, size_t from) {
  waiting_ = true;
  waitFor_ = &places;
  waitFrom_ = base_ + from;
  return Step::kNeedMore;
}

HtmlTokenizer::Step HtmlTokenizer::NeedBytes() {
  waiting_ = true;
  waitFor_ = nullptr;
  waitFrom_ = base_ + buf_.size();
  return Step::kNeedMore;
}

// The markup at pos_ ("<"): read whole, text after all, or not yet to be told.
HtmlTokenizer::Step HtmlTokenizer::Markup(bool atEnd) {
  const size_t at = pos_;
  const std::string_view rest = std::string_view(buf_).substr(at);
  if (rest.size() < 2) return atEnd ? Step::kText : NeedBytes();
  const char next = rest[1];
  if (next == '!') {
    for (std::string_view opening : {std::string_view("<!--"), std::string_view("<![CDATA[")}) {
      if (rest.size() < opening.size() && opening.substr(0, rest.size()) == rest)
        return atEnd ? Declaration(at, atEnd) : NeedBytes();
    }
    if (rest.compare(0, 4, "<!--") == 0) return Comment(at, atEnd);
    if (rest.compare(0, 9, "<![CDATA[") == 0) return Section(at, atEnd);
    return Declaration(at, atEnd);
  }
  if (next == '?') return Declaration(at, atEnd);
  if (next == '/') return EndTag(at, atEnd);
  if (!IsAsciiLetter(next)) return Step::kText;
  return StartTag(at, atEnd);
}

HtmlTokenizer::Step HtmlTokenizer::Comment(size_t at, bool atEnd) {
  const uint64_t end = Find(commentEnd_, at + 4);
  if (end == PatternPlaces::kNone) return atEnd ? Step::kText : NeedPattern(commentEnd_, at + 4);
  handler_.OnMarkup();
  pos_ = static_cast<size_t>(end - base_) + 3;
  return Step::kDone;
}

// A CDATA section is text as it stands.
HtmlTokenizer::Step HtmlTokenizer::Section(size_t at, bool atEnd) {
  const uint64_t end = Find(sectionEnd_, at + 9);
  if (end == PatternPlaces::kNone) return atEnd ? Step::kText : NeedPattern(sectionEnd_, at + 9);
  const size_t close = static_cast<size_t>(end - base_);
  handler_.OnMarkup();
  if (close > at + 9) handler_.OnText(std::string_view(buf_).substr(at + 9, close - at - 9));
  pos_ = close + 3;
  return Step::kDone;
}

// A document type or processing instruction has no place inside a note: it goes.
HtmlTokenizer::Step HtmlTokenizer::Declaration(size_t at, bool atEnd) {
  const uint64_t end = Find(tagEnd_, at + 2);
  if (end == PatternPlaces::kNone) return atEnd ? Step::kText : NeedPattern(tagEnd_, at + 2);
  handler_.OnMarkup();
  pos_ = static_cast<size_t>(end - base_) + 1;
  return Step::kDone;
}

HtmlTokenizer::Step HtmlTokenizer::EndTag(size_t at, bool atEnd) {
  const size_t nameStart = at + 2;
  if (nameStart >= buf_.size()) return atEnd ? Step::kText : NeedBytes();
  if (!IsAsciiLetter(buf_[nameStart])) return Step::kText;
  size_t nameEnd = nameStart;
  while (nameEnd < buf_.size() && IsNameChar(buf_[nameEnd])) ++nameEnd;
  if (nameEnd == buf_.size() && !atEnd) return NeedBytes();
  // Whatever stands between the name and the ">" goes with the tag.
  const uint64_t close = Find(tagEnd_, nameEnd);
  if (close == PatternPlaces::kNone) return atEnd ? Step::kText : NeedPattern(tagEnd_, nameEnd);
  scratch_.assign(buf_, nameStart, nameEnd - nameStart);
  for (char& c : scratch_) c = Lower(c);
  handler_.OnEndTag(scratch_, FindElementRule(scratch_));
  pos_ = static_cast<size_t>(close - base_) + 1;
  return Step::kDone;
}

HtmlTokenizer::Step HtmlTokenizer::StartTag(size_t at, bool atEnd) {
  const size_t nameStart = at + 1;
  size_t nameEnd = nameStart;
  while (nameEnd < buf_.size() && IsNameChar(buf_[nameEnd])) ++nameEnd;
  if (nameEnd == buf_.size() && !atEnd) return NeedBytes();
  // A tag that no ">" follows cannot end.
  if (Find(tagEnd_, nameEnd) == PatternPlaces::kNone)
    return atEnd ? Step::kText : NeedPattern(tagEnd_, nameEnd);
  scratch_.assign(buf_, nameStart, nameEnd - nameStart);
  for (char& c : scratch_) c = Lower(c);
  attributeSpans_.clear();
  size_t end = 0;
  bool selfClosed = false;
  const Step read = ReadAttributes(nameEnd, atEnd, end, selfClosed);
  if (read != Step::kDone) return read;
  const size_t nameSize = nameEnd - nameStart;
  attributes_.clear();
  const std::string_view text = scratch_;
  for (const Attribute& span : attributeSpans_) {
    attributes_.push_back({std::string_view(buf_).substr(span.writtenStart, span.writtenSize),
                           text.substr(span.nameStart, span.writtenSize),
                           text.substr(span.valueStart, span.valueSize)});
  }
  const std::string_view name = text.substr(0, nameSize);
  const ElementRule* rule = FindElementRule(name);
  handler_.OnStartTag(name, rule, attributes_, selfClosed);
  if (rule && (rule->flags & kRawText) && !selfClosed) {
    rawName_.assign(name);
    rawDecodes_ = (rule->flags & kDecodesRawText) != 0;
  }
  pos_ = end;
  return Step::kDone;
}

// Reads the attributes of a start tag from i (just after its name) through its ">" or
// "/>"; end is then the place after the tag. kText where no tag ends: at the end of the
// input, at a quote that is never closed, or at a "<" outside a quoted value. HTML would
// read on past such a "<", but there a tag is far likelier to be text, and reading on
// from every "<" of a long run would cost the square of its length.
HtmlTokenizer::Step HtmlTokenizer::ReadAttributes(size_t i, bool atEnd, size_t& end,
                                                  bool& selfClosed) {
  const size_t size = buf_.size();
  const auto cutShort = [&]() { return atEnd ? Step::kText : NeedPattern(tagEnd_, size); };
  for (;;) {
    while (i < size && IsSpace(buf_[i])) ++i;
    if (i >= size) return cutShort();
    if (buf_[i] == '<') return Step::kText;
    if (buf_[i] == '>') {
      end = i + 1;
      return Step::kDone;
    }
    if (buf_[i] == '/') {
      if (i + 1 >= size) return cutShort();
      if (buf_[i + 1] == '>') {
        selfClosed = true;
        end = i + 2;
        return Step::kDone;
      }
      ++i;
      continue;
    }
    const size_t nameStart = i;
    while (i < size && !IsSpace(buf_[i]) && buf_[i] != '/' && buf_[i] != '>' &&
           (buf_[i] != '=' || i == nameStart)) {
      if (buf_[i] == '<') return Step::kText;
      ++i;
    }
    if (i >= size) return cutShort();
    Attribute span{nameStart, i - nameStart, scratch_.size(), 0, 0};
    for (size_t k = nameStart; k < i; ++k) scratch_.push_back(Lower(buf_[k]));
    size_t afterName = i;
    while (afterName < size && IsSpace(buf_[afterName])) ++afterName;
    if (afterName >= size) return cutShort();
    span.valueStart = scratch_.size();
    if (buf_[afterName] == '=') {
      size_t v = afterName + 1;
      while (v < size && IsSpace(buf_[v])) ++v;
      if (v >= size) return cutShort();
      size_t valueEnd;
      if (buf_[v] == '"' || buf_[v] == '\'') {
        PatternPlaces& quote = buf_[v] == '"' ? doubleQuote_ : singleQuote_;
        const uint64_t close = Find(quote, v + 1);
        if (close == PatternPlaces::kNone) return atEnd ? Step::kText : NeedPattern(quote, v + 1);
        valueEnd = static_cast<size_t>(close - base_);
        i = valueEnd + 1;
        ++v;
      } else {
        valueEnd = v;
        while (valueEnd < size && !IsSpace(buf_[valueEnd]) && buf_[valueEnd] != '>') {
          if (buf_[valueEnd] == '<') return Step::kText;
          ++valueEnd;
        }
        if (valueEnd >= size) return cutShort();
        i = valueEnd;
      }
      // References in the value, decoded: the whole value is at hand.
      for (size_t k = v; k < valueEnd;) {
        uint32_t point = 0;
        size_t length = 0;
        if (buf_[k] == '&' &&
            ReadReference(std::string_view(buf_).substr(k, valueEnd - k), true, point, length) ==
                ReferenceRead::kCharacter) {
          char bytes[4];
          scratch_.append(bytes, EncodeUtf8(point, bytes));
          k += length;
        } else {
          scratch_.push_back(buf_[k++]);
        }
      }
    } else {
      // A bare attribute has its own name as value.
      scratch_.append(buf_, nameStart, i - nameStart);
    }
    span.valueSize = scratch_.size() - span.valueStart;
    if (attributeSpans_.size() < kMaxAttributes) {
      attributeSpans_.push_back(span);
    } else {
      scratch_.resize(span.nameStart);  // read to find the tag's end, but not kept
    }
  }
}

// The text of a raw-text element up to its end tag ("</" and its name, in any case),
// which is then read as markup. False when more input is needed.
bool HtmlTokenizer::RawText(bool atEnd) {
  const size_t size = buf_.size();
  const size_t tail = 2 + rawName_.size();
  size_t close = pos_;
  for (;;) {
    const void* lt = std::memchr(buf_.data() + close, '<', size - close);
    if (!lt) {
      close = size;
      break;
    }
    close = static_cast<size_t>(static_cast<const char*>(lt) - buf_.data());
    if (size - close < tail && !atEnd) break;  // perhaps the end tag, when more has come
    const std::string_view at = std::string_view(buf_).substr(close);
    if (at.size() >= tail && at[1] == '/' && StartsWithIgnoringCase(at.substr(2), rawName_)) {
      pos_ = EmitDecoded(pos_, close, true);
      rawName_.clear();
      return true;
    }
    ++close;
  }
  if (atEnd) {
    pos_ = EmitDecoded(pos_, size, true);
    rawName_.clear();
    return true;
  }
  pos_ = EmitDecoded(pos_, close, false);
  NeedBytes();
  return false;
}

// Hands on buf_[from, to) as text, its references decoded where the element's text
// holds them; returns where it stopped (before a reference still to be told).
size_t HtmlTokenizer::EmitDecoded(size_t from, size_t to, bool atEnd) {
  if (!rawDecodes_) {
    if (to > from) handler_.OnText(std::string_view(buf_).substr(from, to - from));
    return to;
  }
  while (from < to) {
    const void* amp = std::memchr(buf_.data() + from, '&', to - from);
    const size_t stop = amp ? static_cast<size_t>(static_cast<const char*>(amp) - buf_.data()) : to;
    if (stop > from) handler_.OnText(std::string_view(buf_).substr(from, stop - from));
    from = stop;
    if (from == to) break;
    uint32_t point = 0;
    size_t length = 0;
    const ReferenceRead read =
        ReadReference(std::string_view(buf_).substr(from, to - from), atEnd, point, length);
    if (read == ReferenceRead::kNeedMore) break;
    if (read == ReferenceRead::kNotReference) {
      handler_.OnText("&");
      ++from;
    } else {
      char bytes[4];
      handler_.OnText(std::string_view(bytes, EncodeUtf8(point, bytes)));
      from += length;
    }
  }
  return from;
}

// Gives back the bytes already read once they are most of the buffer.
void HtmlTokenizer::Compact() {
  if (pos_ < kCompactBytes || pos_ < buf_.size() / 2) return;
  buf_.erase(0, pos_);
  base_ += pos_;
  pos_ = 0;
}
