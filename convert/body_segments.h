// The body of a converted document, cut into segments as the document arrives in pieces,
// so that a page of many megabytes is cleaned up a little at a time.
//
// Portable; the document is the converter's HTML (8-bit, ASCII in practice).
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "text/wide_string.h"

// Segments of about this many bytes: large enough that the passes over each one cost
// nothing extra, small enough that their copies are nothing beside the page.
constexpr size_t kBodySegmentBytes = 8 * 1024;

// Keeps what lies between the body start tag ("<body>", or "<body" and a blank before
// its attributes, up to the next ">") and the first "</body" after it, as the clean-up
// does on a whole document, and hands it on in segments cut only at a line end outside
// every element, once a segment holds at least segmentBytes. Each segment therefore
// holds whole elements and means the same on its own. A document without a body start
// tag is handed on whole; one whose body is never closed, up to its end.
class BodySegmenter {
 public:
  using Emit = std::function<void(std::string_view segment)>;

  BodySegmenter(size_t segmentBytes, Emit emit);

  // The next bytes of the document.
  void Feed(const char* data, size_t size);
  // The document has ended: what is left goes out.
  void Finish();

 private:
  enum class Place { kHead, kBody, kDone };
  void FindBodyStart();
  void ScanBody();
  bool SkipTag(size_t& at, bool& closes, bool& opens) const;
  void EmitUpTo(size_t end);
  void Compact();

  size_t segmentBytes_;
  Emit emit_;
  Place place_ = Place::kHead;
  ByteString pending_;  // bytes not yet handed on, from start_
  size_t start_ = 0;    // the first byte of the segment being gathered
  size_t scanned_ = 0;  // bytes of the body read for elements and line ends
  size_t depth_ = 0;    // elements open at scanned_
};
