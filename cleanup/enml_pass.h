// The clean-up: HTML in, the note's ENML out, in one pass over UTF-8 that takes its
// input in pieces cut anywhere and gives the same bytes however it is cut.
//
// Evernote parses a note's content as XML and refuses a note that does not validate
// against the ENML 2 DTD, so everything a note holds comes through here: the page the
// converter made, the host's HTML code and the link back to the host page. On the way:
// - what is not well-formed is mended: quotes, end tags, stray "<" and "&", references
//   (decoded, and written as characters);
// - names go to lower case; script, style, noscript, title and template go with their
//   content; elements ENML does not declare are unwrapped, their content kept (a
//   button's text set apart with blanks; a text area's text as it stands);
// - attributes ENML does not declare go, and so do id, class, on..., accesskey,
//   tabindex; an address with a javascript:, vbscript: or data: scheme goes (the link's
//   text stays), and so does a style that names one; every value is checked as it is
//   written;
// - an img becomes the page's picture (en-media) or a link to its source, named by its
//   alt text or file name (plain text inside a link);
// - no element is nested more than kMaxNesting levels below en-note: deeper start tags
//   are left out and their text kept;
// - comments go, characters XML forbids go, and bytes that are no UTF-8 become U+FFFD;
// - optionally bookmarks and web addresses in the text become anchors and links.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "text/byte_pieces.h"

// The most levels an element may be nested below en-note: readers built on libxml2
// stop at 256.
constexpr int kMaxNesting = 100;

// The page's pictures, as the clean-up meets their references.
class PictureLookup {
 public:
  struct Media {
    std::string mime;  // "image/png"
    std::string hash;  // lower-case hexadecimal MD5 of the resource
    int width = 0;     // display size; 0: not written
    int height = 0;
  };
  enum class Found {
    kNone,     // no picture of that name: the reference stays a reference
    kLeftOut,  // the picture cannot go into the note: the reference goes
    kMedia,    // media is set
  };
  virtual ~PictureLookup() = default;
  virtual Found Find(std::string_view name, Media& media) = 0;
  // Whether hash is one of the resources the note carries.
  virtual bool IsNoteMedia(std::string_view hash) const = 0;
};

struct EnmlOptions {
  // The input is a whole HTML document: outside its body element only whitespace, which
  // goes.
  bool wholeDocument = false;
  bool bookmarks = false;  // "bookmark<name words>" becomes a named anchor
  bool addresses = false;  // http:// and https:// addresses become links
  int outerDepth = 0;      // elements the note opens around this content
  PictureLookup* pictures = nullptr;  // null: no pictures of its own; we don't own it
  // Names a bookmark without a name of its own; a fresh UUID's 32 digits by default.
  std::function<std::string()> newAnchorName;
};

class EnmlPass {
 public:
  // The ENML goes to sink in pieces of up to about 64 KB.
  EnmlPass(const EnmlOptions& options, ByteSink sink);
  ~EnmlPass();
  EnmlPass(const EnmlPass&) = delete;
  EnmlPass& operator=(const EnmlPass&) = delete;

  // The next bytes of the HTML, UTF-8. False once the sink has refused bytes.
  bool Feed(std::string_view html);
  // The HTML has ended: what is open is closed and the rest goes to the sink.
  bool Finish();

 private:
  class Tree;
  std::unique_ptr<Tree> tree_;
};

// HTML as the host hands it over, in UTF-16, fed to pass a slice at a time as UTF-8. A
// lone surrogate goes as the three bytes that would encode it, which the pass leaves out
// as XML forbids it. False once the pass's sink has refused bytes.
bool FeedWideHtml(EnmlPass& pass, std::u16string_view html);

// The whole of html at once.
ByteString CleanUpHtml(std::string_view html, const EnmlOptions& options = {});

// 32 lower-case hexadecimal digits of a new random UUID.
std::string NewAnchorName();
