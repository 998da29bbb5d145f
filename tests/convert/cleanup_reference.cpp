#include "cleanup_reference.h"

#include <algorithm>
#include <list>

namespace {

struct HtmlSegment {
  WideString text;
  bool isTag;
};

int Length(const WideString& text) { return static_cast<int>(text.size()); }

int PlainFindFirstOf(const WideString& text, int start, const TextList& patterns) {
  int first = -1;
  for (const WideString& pattern : patterns) {
    const int at = FindText(text, pattern, start);
    if (at >= 0 && (first == -1 || at < first)) first = at;
  }
  return first;
}

WideString PlainLinkifyText(WideString t) {
  if (t.empty()) return t;
  const TextList starts = {u"http://", u"https://"};
  const TextList ends = {u" ", u"\r\n", u"\r", u"\n"};
  int pos = 0;
  for (;;) {
    const int d = PlainFindFirstOf(t, pos, starts);
    if (d == -1) break;
    int e = PlainFindFirstOf(t, d + 7, ends);
    if (e == -1) {
      e = Length(t);
    }
    // The address without what follows it in the sentence.
    int end = e;
    for (const WideString stop : {u"&nbsp;", u"&#160;", u"&lt;", u"&gt;", u"&quot;"}) {
      const int at = FindText(MidText(t, 0, end), stop, d + 7);
      if (at >= 0) end = at;
    }
    for (;;) {
      const WideString address = MidText(t, d, end - d);
      const int open = static_cast<int>(std::count(address.begin(), address.end(), u'('));
      const int close = static_cast<int>(std::count(address.begin(), address.end(), u')'));
      const char16_t last = address.back();
      if (end - d <= 7) break;
      if (WideString(u".,;:!?").find(last) == WideString::npos && !(last == u')' && close > open))
        break;
      --end;
    }
    const WideString address = MidText(t, d, end - d);
    const WideString a = u"<a href=\"" + address + u"\" target=\"_blank\">" + address + u"</a>";
    t = LeftText(t, d) + a + RightText(t, Length(t) - end);
    if (e == Length(t) - Length(a) + Length(address)) break;
    pos = e + (Length(a) - Length(address)) + 1;
  }
  return t;
}

}  // namespace

void PlainConvertBookmarks(WideString& html, const AnchorNameSource& newName) {
  for (;;) {
    const int d = FindText(html, u"bookmark&lt;", 0);
    if (d == -1) return;
    const int e = FindText(html, u"&gt;", d + 12);
    if (e == -1) return;
    const WideString bookmark = MidText(html, d, e + 3 - d + 1);
    WideString name;
    const int s = FindText(bookmark, u" ", 12);
    if (s >= 0) {
      name = MidText(bookmark, 12, s - 12);
    } else {
      name = newName();
    }
    html = LeftText(html, d) + u"<a name=\"" + name +
           u"\"><font color=\"orange\">&#8226;</font></a>" +
           RightText(html, Length(html) - (e + 4));
  }
}


void PlainLinkifyUrls(WideString& html) {
  if (html.empty()) return;
  std::list<HtmlSegment> segments;
  int p = 0;
  for (;;) {
    const int lt = FindText(html, u"<", p);
    if (lt == -1) {
      segments.push_back({RightText(html, Length(html) - p), false});
      break;
    }
    segments.push_back({MidText(html, p, lt - p), false});
    const int gt = FindText(html, u">", lt + 1);
    if (gt == -1) {
      // Mended: the text from a stray "<" on stays, as text.
      segments.push_back({RightText(html, Length(html) - lt), false});
      break;
    }
    segments.push_back({MidText(html, lt, gt - lt + 1), true});
    p = gt + 1;
  }
  // Text inside a link stays as it is.
  WideString joined;
  int anchors = 0;
  for (const HtmlSegment& segment : segments) {
    joined += segment.isTag || anchors > 0 ? segment.text : PlainLinkifyText(segment.text);
    if (!segment.isTag) continue;
    WideString tag = segment.text;
    for (char16_t& c : tag) c = c == u'A' ? u'a' : c;
    for (const WideView opening : {u"<a ", u"<a>", u"<a\t", u"<a\r", u"<a\n"})
      if (tag.rfind(opening, 0) == 0 && tag.substr(tag.size() - 2) != u"/>") ++anchors;
    for (const WideView closing : {u"</a>", u"</a "})
      if (tag.rfind(closing, 0) == 0 && anchors > 0) --anchors;
  }
  html = joined;
}
