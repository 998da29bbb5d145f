// The clean-up on hostile HTML code, as a host might hand over: shapes that make a
// careless tag reader go back over the text again and again, fed in 16 KB pieces as the
// send feeds it. Prints the seconds each shape takes at each size; a linear pass takes
// about ten times as long for ten times the text.
//
//   bench_pathological [sizes in MB...]      default: 0.1 1
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cleanup/enml_pass.h"

namespace {

struct Shape {
  const char* name;
  std::string (*make)(size_t bytes);
};

std::string Repeat(std::string_view piece, size_t bytes, std::string_view tail = "") {
  std::string html;
  html.reserve(bytes + tail.size());
  while (html.size() + piece.size() <= bytes) html += piece;
  return html + std::string(tail);
}

const Shape kShapes[] = {
    {"unclosed <b> and stray </x>", [](size_t n) { return Repeat("<b>x</x>", n); }},
    {"<a<a<a... with an open quote", [](size_t n) { return Repeat("<a", n, " x=\">"); }},
    {"<a x=\"<a x=\"... never closed", [](size_t n) { return Repeat("<a x=\"", n, ">"); }},
    {"<a x=<a x=... with an open quote", [](size_t n) { return Repeat("<a x=", n, " y=\">"); }},
    {"one tag, many attributes", [](size_t n) { return "<p " + Repeat("a b ", n, ">"); }},
    {"one tag, many names", [](size_t n) {
       std::string html = "<p";
       for (int i = 0; html.size() < n; ++i) html += " a" + std::to_string(i) + " TITLE=x";
       return html + ">";
     }},
    {"a tag that never ends", [](size_t n) { return "<a title=\"" + Repeat("words ", n); }},
    {"a comment that never ends", [](size_t n) { return "<!--" + Repeat("words ", n); }},
    {"nested <div> never closed", [](size_t n) { return Repeat("<div>", n); }},
    {"nested <div> closed", [](size_t n) { return Repeat("<div>", n / 2) + Repeat("</div>", n / 2); }},
    {"comments never closed", [](size_t n) { return Repeat("<!--<![CDATA[<!", n); }},
    {"<script> never closed", [](size_t n) { return Repeat("<script></scrip", n); }},
    {"references and stray &", [](size_t n) { return Repeat("&#12345678901&nbsp&bogus;&", n); }},
    {"bookmark< never ended", [](size_t n) { return Repeat("bookmark&lt;a <b>", n); }},
    {"http:// never ended", [](size_t n) { return Repeat("http://", n); }},
};

double SecondsFor(const std::string& html) {
  const auto start = std::chrono::steady_clock::now();
  EnmlOptions options;
  options.bookmarks = options.addresses = true;
  size_t total = 0;
  EnmlPass pass(options, [&total](std::string_view bytes) {
    total += bytes.size();
    return true;
  });
  constexpr size_t kPiece = 16 * 1024;
  for (size_t at = 0; at < html.size(); at += kPiece) pass.Feed(std::string_view(html).substr(at, kPiece));
  pass.Finish();
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
      const std::string html = shape.make(static_cast<size_t>(mb * 1000 * 1000));
      std::printf("  %8.3f s", SecondsFor(html));
      std::fflush(stdout);
    }
    std::printf("\n");
  }
  return 0;
}
