// Reads HTML as it comes, in pieces cut anywhere, and hands on what it holds: text,
// start and end tags, and markup that writes nothing. What a construct is, is decided
// here once, for the whole of the clean-up; however the input is cut, the same tokens
// come out.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "cleanup/enml_rules.h"
#include "text/utf8.h"

struct HtmlAttribute {
  std::string_view written;  // the name as written
  std::string_view name;     // lower case
  std::string_view value;    // references decoded
};

class HtmlTokenHandler {
 public:
  virtual ~HtmlTokenHandler() = default;
  // Characters, references decoded: valid UTF-8 holding only characters XML allows.
  virtual void OnText(std::string_view text) = 0;
  // name in lower case, with its rule (null for an element without one); attributes in
  // their order, with XML names or not, the first 1024 of them.
  virtual void OnStartTag(std::string_view name, const ElementRule* rule,
                          const std::vector<HtmlAttribute>& attributes, bool selfClosed) = 0;
  virtual void OnEndTag(std::string_view name, const ElementRule* rule) = 0;
  // A comment, declaration or processing instruction, or the start of a CDATA section,
  // whose text follows through OnText.
  virtual void OnMarkup() = 0;
};

// Every place of one pattern in the input, found by one scan that never goes back: a
// construct that turns out to be text is read again from its next "<", and each
// question then costs a search among places already found instead of a new scan.
class PatternPlaces {
 public:
  static constexpr uint64_t kNone = UINT64_MAX;
  explicit PatternPlaces(std::string_view pattern) : pattern_(pattern) {}
  // The first place at or after start among the bytes so far (bytes holds the input
  // from offset base on), or kNone.
  uint64_t From(uint64_t start, std::string_view bytes, uint64_t base);
  // Places before done are never asked for again.
  void Forget(uint64_t done);

 private:
  std::string_view pattern_;
  std::deque<uint64_t> found_;  // every place from the last forgotten up to scanned_
  uint64_t scanned_ = 0;
};

class HtmlTokenizer {
 public:
  explicit HtmlTokenizer(HtmlTokenHandler& handler);
  HtmlTokenizer(const HtmlTokenizer&) = delete;
  HtmlTokenizer& operator=(const HtmlTokenizer&) = delete;

  // The next bytes of the input, UTF-8: bytes that form no character become U+FFFD and
  // characters XML forbids are left out before anything is read.
  void Feed(std::string_view bytes);
  // The input has ended: what could not yet be told is told now.
  void Finish();

 private:
  enum class Step { kDone, kText, kNeedMore };
  struct Attribute {
    size_t writtenStart, writtenSize, nameStart, valueStart, valueSize;
  };

  void Append(std::string_view bytes);
  void AppendPoint(uint32_t point);
  void Run(bool atEnd);
  bool WaitIsOver(bool atEnd);
  size_t FindTextEnd(size_t from) const;
  bool Reference(bool atEnd);
  Step Markup(bool atEnd);
  Step Comment(size_t at, bool atEnd);
  Step Section(size_t at, bool atEnd);
  Step Declaration(size_t at, bool atEnd);
  Step EndTag(size_t at, bool atEnd);
  Step StartTag(size_t at, bool atEnd);
  Step ReadAttributes(size_t i, bool atEnd, size_t& end, bool& selfClosed);
  bool RawText(bool atEnd);
  size_t EmitDecoded(size_t from, size_t to, bool atEnd);
  Step NeedPattern(PatternPlaces& places, size_t from);
  Step NeedBytes();
  uint64_t Find(PatternPlaces& places, size_t from);
  void Compact();

  HtmlTokenHandler& handler_;
  Utf8Decoder decoder_;
  std::string buf_;   // the input not yet read, from offset base_ on
  uint64_t base_ = 0;
  size_t pos_ = 0;    // the first byte not yet read
  PatternPlaces commentEnd_{"-->"};
  PatternPlaces sectionEnd_{"]]>"};
  PatternPlaces tagEnd_{">"};
  PatternPlaces doubleQuote_{"\""};
  PatternPlaces singleQuote_{"'"};
  // What the construct at pos_ waits for: a place of waitFor_ at or after waitFrom_, or
  // (waitFor_ null) any byte beyond waitFrom_.
  PatternPlaces* waitFor_ = nullptr;
  uint64_t waitFrom_ = 0;
  bool waiting_ = false;
  std::string rawName_;  // the element whose text runs up to its end tag; empty: none
  bool rawDecodes_ = false;
  std::string scratch_;  // decoded attribute names and values of one tag
  std::vector<Attribute> attributeSpans_;
  std::vector<HtmlAttribute> attributes_;
};
