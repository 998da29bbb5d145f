#include "tests/cleanup/reference/steps.h"

#include "tests/cleanup/reference/enml.h"
#include "tests/cleanup/reference/html_cleanup.h"
#include "tests/cleanup/reference/well_formed.h"
#include "text/code_pages.h"

ByteString ReferencePageContent(std::string_view document,
                                const std::function<std::string()>& newName) {
  // The converter writes ASCII.
  WideString html(document.begin(), document.end());
  ConvertBookmarks(html, [&] { return WideFromAscii(newName()); });
  LinkifyUrls(html);
  ExtractBodyContent(html);
  MakeWellFormed(html);
  html = u"<p>" + html + u"</p>";
  MakeEnml(html);
  return WideToUtf8(html);
}

ByteString ReferenceHostCodeContent(WideView code) {
  WideString html = u"<p>" + WideString(code) + u"</p>";
  MakeWellFormed(html);
  MakeEnml(html);
  return WideToUtf8(html);
}
