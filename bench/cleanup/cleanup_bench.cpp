// The clean-up from the converter's bytes to the note's ENML pieces, as the send does it
// (16 KB read at a time, the ENML gathered in 64 KB pieces), on two pages of about 10 MB:
// the converter's HTML for a page of formatted text with addresses and bookmarks, and
// host HTML code such as web pages hold. Each line ends in the time per MB. With
// --steps it also times the step-by-step clean-up the one pass replaced (widened to
// UTF-16, five passes over the whole text, narrowed to UTF-8) on the same pages.
//
//   bench_cleanup [--steps] [MB]      default: 10
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cleanup/enml_pass.h"
#include "irun/irun_core.h"
#include "tests/cleanup/reference/steps.h"
#include "text/byte_pieces.h"
#include "text/code_pages.h"

namespace {

// A page of formatted text as RTF: a formatting change every few words, addresses and
// bookmarks of every shape, accented and Cyrillic letters, and paragraphs.
std::string FormattedRtf(size_t bytes) {
  std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New "
      "Roman;}{\\f2\\fmodern Courier New;}}{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0"
      "\\blue255;}\\pard\\f0\\fs20 ";
  static const char* const kWords[] = {
      "lorem ", "{\\b ipsum} ", "dolor ", "{\\i sit amet} ", "{\\cf1 consectetur} ",
      "caf\\'e9 ", "{\\f1\\fs28 adipiscing} ", "\\u1055?\\u1088?\\u1080? ", "elit, ",
      "{\\ul sed} do ", "{\\f2 eiusmod} ", "a<b> & \"q\" ", "tempor "};
  for (size_t i = 0; rtf.size() < bytes; ++i) {
    rtf += kWords[i % 13];
    if (i % 97 == 0) rtf += "see https://example.org/page/" + std::to_string(i) + ". ";
    if (i % 131 == 0) rtf += "bookmark<Part" + std::to_string(i) + " of the text> ";
    if (i % 151 == 0) rtf += "bookmark<Mark" + std::to_string(i) + "> ";
    if (i % 40 == 39) rtf += "\\par\n";
  }
  return rtf + "}";
}

std::string ConverterHtml(size_t bytes) {
  // About two bytes of HTML for each of RTF.
  const std::string rtf = FormattedRtf(bytes / 2);
  irun::ConvertOptions options;
  options.backgroundColor.clear();
  std::string html;
  irun::ConvertRtfToString(rtf.data(), rtf.size(), options, html, nullptr);
  return html;
}

// Host code as web pages hold it: a head with style and script, paragraphs, links,
// lists, tables, entities, comments and Word's namespaced elements.
std::string HostHtml(size_t bytes) {
  std::string html =
      "<!DOCTYPE html><html><head><title>Page</title><style>p { margin: 0 }</style>"
      "<script>var a = 1 < 2 && 3;</script></head><body class=\"page\">\n";
  static const char* const kBlocks[] = {
      "<p class=MsoNormal style=\"margin:0cm\">Plain words &amp; more words, caf&eacute; "
      "&nbsp;na&#239;ve <b>bold</b> <i>italic</i><o:p></o:p></p>\n",
      "<div id=\"x\" onclick=\"go()\"><a href=\"https://example.org/a?b=1&amp;c=2\" "
      "title='A link'>a link</a> and <span style=\"color:#FF0000\">red text</span></div>\n",
      "<ul><li>first item<li>second item with <code>code</code></ul>\n",
      "<table border=1><tr><td>cell one<td>cell two<tr><td>three<td>four</table>\n",
      "<!-- a comment --><p>\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xE4\xB8\x96"
      "\xE7\x95\x8C <img src=\"https://example.org/logo.png\" alt=\"Logo\"><br></p>\n"};
  for (size_t i = 0; html.size() < bytes; ++i) html += kBlocks[i % 5];
  return html + "</body></html>\n";
}

double Milliseconds(std::chrono::steady_clock::duration span) {
  return std::chrono::duration<double, std::milli>(span).count();
}

// The one pass, fed as the send feeds it (feed: the input into the pass); the best of
// three runs.
template <typename Feed>
double OnePassMs(const EnmlOptions& options, Feed feed) {
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    BytePieces content;
    EnmlPass pass(options, [&content](std::string_view bytes) {
      AppendToPieces(content, bytes.data(), bytes.size());
      return true;
    });
    feed(pass);
    pass.Finish();
    best = std::min(best, Milliseconds(std::chrono::steady_clock::now() - start));
  }
  return best;
}

template <typename Steps>
double StepsMs(Steps steps) {
  const auto start = std::chrono::steady_clock::now();
  steps();
  return Milliseconds(std::chrono::steady_clock::now() - start);
}

}  // namespace

int main(int argc, char** argv) {
  bool steps = false;
  double mb = 10;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--steps") == 0) steps = true;
    else mb = std::atof(argv[i]);
  }
  const size_t bytes = static_cast<size_t>(mb * 1e6);

  const std::string page = ConverterHtml(bytes);
  EnmlOptions pageOptions;
  pageOptions.wholeDocument = pageOptions.bookmarks = pageOptions.addresses = true;
  pageOptions.outerDepth = 1;
  const double pageMb = page.size() / 1e6;
  const double pageMs = OnePassMs(pageOptions, [&page](EnmlPass& pass) {
    constexpr size_t kPiece = 16 * 1024;  // as the converter hands it over
    for (size_t at = 0; at < page.size(); at += kPiece) pass.Feed(std::string_view(page).substr(at, kPiece));
  });
  std::printf("converter's HTML, %.1f MB: one pass %.1f ms/MB\n", pageMb, pageMs / pageMb);
  // The host hands its code over in UTF-16.
  const std::string host = HostHtml(bytes);
  const WideString wideHost = BytesToWide(host, kCodePageUtf8);
  EnmlOptions hostOptions;
  hostOptions.outerDepth = 1;
  const double hostMb = host.size() / 1e6;
  const double hostMs =
      OnePassMs(hostOptions, [&wideHost](EnmlPass& pass) { FeedWideHtml(pass, wideHost); });
  std::printf("host HTML code, %.1f MB: one pass %.1f ms/MB\n", hostMb, hostMs / hostMb);
  std::fflush(stdout);
  if (!steps) return 0;

  const double pageSteps = StepsMs([&] { ReferencePageContent(page, NewAnchorName); });
  std::printf("converter's HTML, %.1f MB: step by step %.1f ms/MB\n", pageMb, pageSteps / pageMb);
  const double hostSteps = StepsMs([&] { ReferenceHostCodeContent(wideHost); });
  std::printf("host HTML code, %.1f MB: step by step %.1f ms/MB\n", hostMb, hostSteps / hostMb);
  return 0;
}
