#include "text/markup_escape.h"

WideString EscapeMarkup(WideView text, MarkupPlace place) {
  const bool quotes = place == MarkupPlace::kAttribute;
  WideString escaped;
  escaped.reserve(text.size());
  for (char16_t c : text) {
    switch (c) {
      case u'&':  escaped += u"&amp;"; break;
      case u'<':  escaped += u"&lt;"; break;
      case u'>':  escaped += u"&gt;"; break;
      case u'"':  quotes ? escaped += u"&quot;" : escaped += c; break;
      case u'\'': quotes ? escaped += u"&#39;" : escaped += c; break;
      default:    escaped += c;
    }
  }
  return escaped;
}
