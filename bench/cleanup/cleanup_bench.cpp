// Clean-up and ENEX build on generated converter documents of 0.1 to 50 MB (million
// code units) holding up to 100,000 addresses and 100,000 bookmarks. Prints the time per
// MB of the linear operations beside that of the plain step-by-step versions, which run
// only on the sizes where they finish in reasonable time; where both run, their note
// bodies are compared.
//
//   bench_cleanup [sizes in MB...]      default: 0.1 1 10 50
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cleanup_reference.h"
#include "convert/html_cleanup.h"
#include "irun/irun_marker.h"
#include "evernote/enex_writer.h"

namespace {

constexpr int kMaxLinks = 100000;
constexpr double kPlainLimitMb = 1.0;  // beyond this the plain version takes minutes

struct Document {
  WideString html;
  int addresses = 0;
  int bookmarks = 0;
};

// A document shaped like the converter's: head with the marker comment, a body start
// tag with margins, paragraphs with addresses (ending at blanks, line breaks and tags)
// and bookmarks (with and without a blank), and some long untagged runs.
Document MakeDocument(size_t units) {
  Document doc;
  doc.html = u"<html>\r\n<head>\r\n" + WideString(u"" IRUN_CONVERTER_MARKER_COMMENT) +
             u"\r\n</head>\r\n<body bgcolor=\"#FFFFFF\" topmargin=5 bottommargin=5 "
             u"leftmargin=5 rightmargin=5 marginwidth=5 marginheight=5>\r\n";
  doc.html.reserve(units + 4096);
  const int links = static_cast<int>(std::min<size_t>(kMaxLinks, units / 400));
  const size_t spacing = links > 0 ? units / links : units;
  const WideString filler =
      u"Plain words of a note with &amp; and &lt;angles&gt; and caf&#233; text. ";
  for (int i = 0; doc.html.size() < units; ++i) {
    doc.html += u"<div>";
    const size_t paragraphEnd = doc.html.size() + spacing;
    if (i < links) {
      const WideString n = WideNumber(i);
      switch (i % 4) {
        case 0: doc.html += u"see http://example.com/page/" + n + u" now "; break;
        case 1: doc.html += u"https://example.org/a?b=" + n + u"&amp;c\r\n"; break;
        case 2: doc.html += u"(http://x.y/" + n + u")."; break;
        default: doc.html += u"<font color=red>http://z/" + n + u"</font> "; break;
      }
      ++doc.addresses;
      doc.html += i % 2 ? u"bookmark&lt;Part" + n + u" of the text&gt; "
                        : u"bookmark&lt;Mark" + n + u"&gt; ";
      ++doc.bookmarks;
    }
    while (doc.html.size() < paragraphEnd) doc.html += filler;
    doc.html += u"</div>\r\n";
  }
  doc.html += u"</body>\r\n</html>\r\n";
  return doc;
}

struct CountingNames {
  int next = 0;
  WideString operator()() { return u"n" + WideNumber(next++); }
};

// Cleans html in place and builds the ENEX file from it, as the send does.
template <typename Steps>
ByteString CleanAndBuild(WideString& html, Steps steps) {
  const NoteTime time{2026, 12, 8, 5, 42, 9, 0};
  steps(html);
  html.insert(0, u"<P>");
  html += u"</P>";
  return BuildEnexDocument(NoteTitle(u"Benchmark"), html, time, time, u"bench, cleanup");
}

double Milliseconds(std::chrono::steady_clock::duration span) {
  return std::chrono::duration<double, std::milli>(span).count();
}

template <typename Work>
double Timed(Work work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return Milliseconds(std::chrono::steady_clock::now() - start);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<double> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atof(argv[i]));
  if (sizes.empty()) sizes = {0.1, 1, 10, 50};

  std::printf("%8s %10s %10s %12s %10s %12s %12s\n", "MB", "addresses", "bookmarks",
              "linear ms", "ms/MB", "plain ms", "plain ms/MB");
  for (double mb : sizes) {
    const Document doc = MakeDocument(static_cast<size_t>(mb * 1e6));
    const double realMb = doc.html.size() / 1e6;

    ByteString fastEnex;
    WideString work = doc.html;  // the document as the converter handed it over
    const double fast = Timed([&] {
      fastEnex = CleanAndBuild(work, [](WideString& html) {
        ConvertBookmarks(html);
        LinkifyUrls(html);
        ExtractBodyContent(html);
      });
    });

    std::string plainText = "skipped";
    std::string plainPerMb = "-";
    if (mb <= kPlainLimitMb) {
      ByteString plainEnex;
      work = doc.html;
      const double plain = Timed([&] {
        plainEnex = CleanAndBuild(work, [](WideString& html) {
          CountingNames names;
            PlainConvertBookmarks(html, std::ref(names));
          PlainLinkifyUrls(html);
          ExtractBodyContent(html);
        });
      });
      work = doc.html;
      const ByteString sameNames = CleanAndBuild(work, [](WideString& html) {
        CountingNames names;
        ConvertBookmarks(html, std::ref(names));
        LinkifyUrls(html);
        ExtractBodyContent(html);
      });
      if (sameNames != plainEnex) {
        std::printf("MISMATCH between linear and plain results at %.1f MB\n", mb);
        return 1;
      }
      plainText = std::to_string(static_cast<long long>(plain + 0.5));
      plainPerMb = std::to_string(static_cast<long long>(plain / realMb + 0.5));
    }
    std::printf("%8.1f %10d %10d %12.1f %10.1f %12s %12s\n", realMb, doc.addresses,
                doc.bookmarks, fast, fast / realMb, plainText.c_str(), plainPerMb.c_str());
    std::fflush(stdout);
    if (fastEnex.size() < doc.html.size()) {
      std::printf("unexpectedly short ENEX\n");
      return 1;
    }
  }
  return 0;
}
