#include "cleanup_reference.h"

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
    const int e = PlainFindFirstOf(t, d + 7, ends);
    if (e == -1) {
      const WideString address = MidText(t, d, Length(t) - d);
      t = LeftText(t, d) + u"<A HREF=\"" + address + u"\" TARGET=\"_blank\">" + address + u"</A>";
      break;
    }
    const WideString address = MidText(t, d, e - d);
    const WideString a = u"<A HREF=\"" + address + u"\" TARGET=\"_blank\">" + address + u"</A>";
    t = LeftText(t, d) + a + RightText(t, Length(t) - e);
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
    html = LeftText(html, d) + u"<A NAME=\"" + name +
           u"\"><FONT COLOR=\"orange\">&#8226;</FONT></A>" +
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
  WideString joined;
  for (const HtmlSegment& segment : segments) {
    joined += segment.isTag ? segment.text : PlainLinkifyText(segment.text);
  }
  html = joined;
}
