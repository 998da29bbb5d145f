#include "tests/cleanup/reference/html_cleanup.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#include <rpc.h>
#else
#include <cstdint>
#include <random>
#endif

namespace {

constexpr WideView kBookmarkOpen = u"bookmark&lt;";
constexpr WideView kBookmarkClose = u"&gt;";
constexpr WideView kAnchorOpen = u"<a name=\"";
constexpr WideView kAnchorClose = u"\"><font color=\"orange\">&#8226;</font></a>";
// kAnchorClose up to its first blank: what a bookmark that starts inside an anchor name
// takes as the rest of its own name.
constexpr WideView kAnchorCloseHead = u"\"><font";
constexpr int kOpenLength = static_cast<int>(kBookmarkOpen.size());
constexpr int kCloseLength = static_cast<int>(kBookmarkClose.size());
constexpr WideView kAnchorHead = u"<a href=\"";
constexpr WideView kAnchorMiddle = u"\" target=\"_blank\">";
constexpr WideView kAnchorTail = u"</a>";

// Index of the next "http://" or "https://" at or after start, or -1.
int FindAddressStart(WideView text, int start) {
  for (int at = FindText(text, u"http", start); at >= 0; at = FindText(text, u"http", at + 1)) {
    const WideView rest = text.substr(static_cast<size_t>(at) + 4);
    if (rest.substr(0, 3) == u"://" || rest.substr(0, 4) == u"s://") return at;
  }
  return -1;
}

struct AddressRange {
  size_t start;
  size_t end;
};

// Where an address found at [start, end) really ends: before a character reference that
// no address holds (a no-break space, angle brackets, a quote), and before punctuation
// that ends the sentence around it: ".,;:!?" and a ")" without its "(".
size_t AddressEnd(WideView text, size_t start, size_t end) {
  for (WideView stop : {u"&nbsp;", u"&#160;", u"&lt;", u"&gt;", u"&quot;"}) {
    const size_t at = text.substr(0, end).find(stop, start + 7);
    if (at != WideView::npos) end = at;
  }
  int open = 0;
  int close = 0;
  for (size_t i = start; i < end; ++i) {
    open += text[i] == u'(';
    close += text[i] == u')';
  }
  const size_t shortest = start + 7;  // "http://" stays whole
  while (end > shortest) {
    const char16_t last = text[end - 1];
    if (WideView(u".,;:!?").find(last) != WideView::npos) {
      --end;
    } else if (last == u')' && close > open) {
      --close;
      --end;
    } else {
      break;
    }
  }
  return end;
}

// The addresses in text[from, to), as ranges of text.
void CollectAddresses(WideView text, size_t from, size_t to, std::vector<AddressRange>& found) {
  const WideView piece = text.substr(from, to - from);
  int pos = 0;
  for (;;) {
    const int start = FindAddressStart(piece, pos);
    if (start < 0) return;
    size_t end = piece.find_first_of(u" \r\n", static_cast<size_t>(start) + 7);
    if (end == WideView::npos) end = piece.size();
    found.push_back({from + start, from + AddressEnd(piece, static_cast<size_t>(start), end)});
    if (end == piece.size()) return;
    pos = static_cast<int>(end) + 1;
  }
}

// How a tag changes the number of open anchors: +1 for "<a ...>", -1 for "</a>".
int AnchorChange(WideView tag) {
  const bool end = tag.size() > 2 && tag[1] == u'/';
  const size_t name = end ? 2 : 1;
  if (tag.size() <= name + 1 || (tag[name] != u'a' && tag[name] != u'A')) return 0;
  const char16_t after = tag[name + 1];
  if (after != u' ' && after != u'>' && after != u'\t' && after != u'\r' && after != u'\n' &&
      after != u'/')
    return 0;
  if (end) return -1;
  return tag[tag.size() - 2] == u'/' ? 0 : 1;  // "<a/>" holds nothing
}

}  // namespace

void ConvertBookmarks(WideString& html) {
  ConvertBookmarks(html, [] { return NewUuidText(true); });
}

// Done step by step, each bookmark would rebuild the text and the search start again
// from its beginning. Everything before a converted bookmark holds no further bookmark,
// so one left-to-right pass gives the same text, with one exception that needs care: a
// name may itself hold "bookmark&lt;". That inner bookmark starts inside the anchor just
// written, so its name is the rest of the outer name plus kAnchorCloseHead (the text up
// to the first blank that follows), its "&gt;" is the next one in the text after the
// outer bookmark, and the anchor markup between them is dropped and written once more.
void ConvertBookmarks(WideString& html, const AnchorNameSource& newName) {
  const WideView text = html;
  WideString out;
  int read = 0;  // the original text before this index is done
  bool changed = false;
  for (;;) {
    const int open = FindText(text, kBookmarkOpen, read);
    if (open < 0) break;
    const int close = FindText(text, kBookmarkClose, open + kOpenLength);
    if (close < 0) break;
    // Reserved memory counts as used on Windows: room for an anchor (some 50 units) every
    // few hundred units of text; a page with more bookmarks grows the text as it goes.
    if (!changed) out.reserve(text.size() + text.size() / 8 + 64);
    changed = true;

    WideString generated;
    WideView name;
    // Only a blank before the "&gt;" belongs to this bookmark.
    const int blank = FindText(text.substr(0, close), u" ", open + kOpenLength);
    if (blank >= 0) {
      name = text.substr(open + kOpenLength, blank - open - kOpenLength);
    } else {
      generated = newName();
      name = generated;
    }
    out += text.substr(read, open - read);
    out += kAnchorOpen;
    read = close + kCloseLength;

    int namePos = 0;
    int nested = 0;
    bool unclosed = false;
    for (;;) {
      const int inner = FindText(name, kBookmarkOpen, namePos);
      if (inner < 0) break;
      const int innerClose = FindText(text, kBookmarkClose, read);
      if (innerClose < 0) {
        unclosed = true;
        break;
      }
      out += name.substr(namePos, inner - namePos);
      out += kAnchorOpen;
      namePos = inner + kOpenLength;
      read = innerClose + kCloseLength;
      ++nested;
    }
    out += name.substr(namePos);
    for (int i = 0; i < nested; ++i) out += kAnchorCloseHead;
    out += kAnchorClose;
    // An inner bookmark without its "&gt;" ends the work, as at the top level.
    if (unclosed) break;
  }
  if (!changed) return;
  out += text.substr(read);
  html.swap(out);
}

WideString NewUuidText(bool removePunctuation) {
  WideString text;
#ifdef _WIN32
  UUID uuid;
  UuidCreate(&uuid);
  RPC_WSTR system = nullptr;
  if (UuidToStringW(&uuid, &system) == RPC_S_OK && system) {
    text = WideFromPtr(reinterpret_cast<const wchar_t*>(system));
    RpcStringFreeW(&system);
  }
#else
  // Version 4 (random) UUID in the same text form as UuidToStringW gives.
  static thread_local std::mt19937_64 generator{std::random_device{}() ^
                                                (uint64_t{std::random_device{}()} << 32)};
  unsigned char bytes[16];
  for (int i = 0; i < 16; i += 8) {
    uint64_t word = generator();
    for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<unsigned char>(word >> (8 * k));
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back(u'-');
    text.push_back(kHex[bytes[i] >> 4]);
    text.push_back(kHex[bytes[i] & 0x0F]);
  }
#endif
  if (removePunctuation) {
    ReplaceAll(text, u"-", u"");
    ReplaceAll(text, u"{", u"");
    ReplaceAll(text, u"}", u"");
  }
  return text;
}

void LinkifyUrls(WideString& html) {
  if (html.empty()) return;
  // First find every address of the text segments, then widen the text once and move
  // its pieces back to front into place: the text only grows, and a document of many
  // megabytes needs no second copy.
  // Text inside a link already made (by the converter, from the page's own links) is
  // not linked again: an anchor inside an anchor is no valid note.
  std::vector<AddressRange> found;
  const WideView text = html;
  size_t pos = 0;
  int anchors = 0;
  for (;;) {
    const size_t lt = text.find(u'<', pos);
    if (lt == WideView::npos) {
      if (anchors == 0) CollectAddresses(text, pos, text.size(), found);
      break;
    }
    if (anchors == 0) CollectAddresses(text, pos, lt, found);
    const size_t gt = text.find(u'>', lt + 1);
    if (gt == WideView::npos) {
      // A stray "<": what follows is text of the note and must not be lost.
      if (anchors == 0) CollectAddresses(text, lt, text.size(), found);
      break;
    }
    anchors = std::max(0, anchors + AnchorChange(text.substr(lt, gt + 1 - lt)));
    pos = gt + 1;
  }
  if (found.empty()) return;

  size_t growth = 0;
  for (const AddressRange& address : found) {
    growth += kAnchorHead.size() + kAnchorMiddle.size() + kAnchorTail.size() +
              (address.end - address.start);
  }
  size_t read = html.size();
  size_t write = read + growth;
  html.resize(write);
  char16_t* data = &html[0];
  using Units = std::char_traits<char16_t>;
  for (auto address = found.rbegin(); address != found.rend(); ++address) {
    const size_t length = address->end - address->start;
    write -= read - address->end;
    Units::move(data + write, data + address->end, read - address->end);
    // The anchor from its end, so that the address is read before anything covers it.
    write -= kAnchorTail.size();
    Units::copy(data + write, kAnchorTail.data(), kAnchorTail.size());
    write -= length;
    Units::move(data + write, data + address->start, length);
    write -= kAnchorMiddle.size();
    Units::copy(data + write, kAnchorMiddle.data(), kAnchorMiddle.size());
    write -= length;
    Units::move(data + write, data + address->start, length);
    write -= kAnchorHead.size();
    Units::copy(data + write, kAnchorHead.data(), kAnchorHead.size());
    read = address->start;
  }
}

void ExtractBodyContent(WideString& html) {
  int bodyTag = FindText(html, u"<body", 0);
  while (bodyTag >= 0 && html.size() > static_cast<size_t>(bodyTag) + 5 &&
         html[bodyTag + 5] != u' ' && html[bodyTag + 5] != u'>')
    bodyTag = FindText(html, u"<body", bodyTag + 5);  // "<bodyx" is another element
  if (bodyTag < 0 || html.size() <= static_cast<size_t>(bodyTag) + 5) return;
  const int tagEnd = FindText(html, u">", bodyTag + 5);
  if (tagEnd < 0) return;
  const int bodyEnd = FindText(html, u"</body", tagEnd + 1);
  if (bodyEnd < 0) return;
  // In place: the body is most of a large document.
  html.erase(static_cast<size_t>(bodyEnd));
  html.erase(0, static_cast<size_t>(tagEnd) + 1);
}
