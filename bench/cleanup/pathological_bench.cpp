// The mending pass and the ENML pass on hostile HTML code, as a host might hand over:
// shapes that make a careless tag reader go back over the text again and again. Prints
// the seconds each shape takes at each size; linear passes take about ten times as long
// for ten times the text.
//
//   bench_pathological [sizes in MB...]      default: 0.1 1
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/enml.h"
#include "convert/well_formed.h"

namespace {

struct Shape {
  const char* name;
  WideString (*make)(size_t units);
};

WideString Repeat(WideView piece, size_t units, WideView tail = u"") {
  WideString html;
  html.reserve(units + tail.size());
  while (html.size() + piece.size() <= units) html += piece;
  return html + WideString(tail);
}

const Shape kShapes[] = {
    {"unclosed <b> and stray </x>", [](size_t n) { return Repeat(u"<b>x</x>", n); }},
    {"<a<a<a... with an open quote", [](size_t n) { return Repeat(u"<a", n, u" x=\">"); }},
    {"<a x=\"<a x=\"... never closed", [](size_t n) { return Repeat(u"<a x=\"", n, u">"); }},
    {"<a x=<a x=... with an open quote",
     [](size_t n) { return Repeat(u"<a x=", n, u" y=\">"); }},
    {"one tag, many attributes", [](size_t n) { return u"<p " + Repeat(u"a b ", n, u">"); }},
    {"nested <div> never closed", [](size_t n) { return Repeat(u"<div>", n); }},
    {"nested <div> closed", [](size_t n) { return Repeat(u"<div>", n / 2) + Repeat(u"</div>", n / 2); }},
    {"comments never closed", [](size_t n) { return Repeat(u"<!--<![CDATA[<!", n); }},
    {"<script> never closed", [](size_t n) { return Repeat(u"<script></scrip", n); }},
    {"references and stray &", [](size_t n) { return Repeat(u"&#12345678901&nbsp&bogus;&", n); }},
};

double SecondsFor(const WideString& html) {
  const auto start = std::chrono::steady_clock::now();
  WideString text = html;
  MakeWellFormed(text);
  MakeEnml(text);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<double> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atof(argv[i]));
  if (sizes.empty()) sizes = {0.1, 1};
  std::printf("%-36s", "shape");
  for (double mb : sizes) std::printf("  %6.1f MB", mb);
  std::printf("\n");
  for (const Shape& shape : kShapes) {
    std::printf("%-36s", shape.name);
    for (double mb : sizes) {
      const WideString html = shape.make(static_cast<size_t>(mb * 1000 * 1000));
      std::printf("  %8.3f s", SecondsFor(html));
      std::fflush(stdout);
    }
    std::printf("\n");
  }
  return 0;
}
