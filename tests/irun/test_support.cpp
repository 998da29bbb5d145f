#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

std::string TestDataPath(const std::string& name) {
  std::string base = IRUN_TEST_DATA_DIR;
#ifdef _WIN32
  // Under Wine the build's Unix path lies on drive Z:.
  if (!base.empty() && base[0] == '/') base = "Z:" + base;
#endif
  return base + "/" + name;
}

std::string ConvertForTest(const std::string& rtf, const irun::ConvertOptions& options,
                           irun::ConvertStats* stats) {
  std::string html;
  EXPECT_TRUE(irun::ConvertRtfToString(rtf.data(), rtf.size(), options, html, stats));
  return html;
}

std::string BodyOf(const std::string& html) {
  const size_t start = html.find("<body");
  if (start == std::string::npos) return {};
  const size_t open = html.find('>', start);
  const size_t close = html.find("</body", start);
  if (open == std::string::npos || close == std::string::npos || close < open) return {};
  std::string body;
  for (size_t i = open + 1; i < close; ++i) {
    if (html[i] != '\r') body.push_back(html[i]);
  }
  while (!body.empty() && body.front() == '\n') body.erase(0, 1);
  while (!body.empty() && body.back() == '\n') body.pop_back();
  return body;
}

namespace {

void AppendUtf8(std::string& out, unsigned long codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

}  // namespace

std::string VisibleText(const std::string& html) {
  const std::string body = BodyOf(html);
  std::string text;
  size_t i = 0;
  while (i < body.size()) {
    const char c = body[i];
    if (c == '<') {
      const size_t end = body.find('>', i);
      if (end == std::string::npos) break;
      std::string tag = body.substr(i + 1, end - i - 1);
      const size_t space = tag.find(' ');
      const std::string name = tag.substr(0, space);
      if (name == "br") {
        text.push_back('\n');
      } else if (name == "/div" || name == "/li" || name == "/tr" || name == "ul" ||
                 name == "ol" || name == "table" ||
                 (name.size() == 3 && name.compare(0, 2, "/h") == 0 && name[2] >= '1' &&
                  name[2] <= '6')) {
        // A block ends the line unless an empty paragraph's <br> ended it already.
        if (!text.empty() && text.back() != '\n') text.push_back('\n');
      } else if (name == "/td") {
        text.push_back('|');
      }
      i = end + 1;
    } else if (c == '&') {
      const size_t end = body.find(';', i);
      if (end == std::string::npos) break;
      const std::string entity = body.substr(i + 1, end - i - 1);
      if (entity == "lt") {
        text.push_back('<');
      } else if (entity == "gt") {
        text.push_back('>');
      } else if (entity == "amp") {
        text.push_back('&');
      } else if (entity == "quot") {
        text.push_back('"');
      } else if (!entity.empty() && entity[0] == '#') {
        AppendUtf8(text, std::stoul(entity.substr(1)));
      } else {
        ADD_FAILURE() << "unexpected entity &" << entity << ";";
      }
      i = end + 1;
    } else if (c == '\r' || c == '\n') {
      ++i;  // line ends in the markup are not text
    } else {
      text.push_back(c);
      ++i;
    }
  }
  return text;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream data;
  data << in.rdbuf();
  return data.str();
}

static constexpr std::string_view kFence = "````````````````````````````````";

// Reads the examples of one file: a fence line "```` example <name>", the RTF, a line
// holding only ".", the expected body, and a closing fence.
static std::vector<GoldenCase> ReadCases(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<GoldenCase> cases;
  std::string line;
  int number = 0;
  GoldenCase current;
  enum { kOutside, kInput, kExpected } part = kOutside;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (part == kOutside) {
      if (line.rfind(kFence, 0) == 0) {
        current = GoldenCase();
        current.file = path.filename().string();
        current.line = number;
        current.name = line.substr(kFence.size());
        part = kInput;
      }
    } else if (part == kInput) {
      if (line == ".") {
        part = kExpected;
      } else {
        current.rtf += line + "\n";
      }
    } else if (line == kFence) {
      if (!current.expected.empty()) current.expected.pop_back();
      cases.push_back(current);
      part = kOutside;
    } else {
      current.expected += line + "\n";
    }
  }
  EXPECT_EQ(part, kOutside) << path << ": example not closed";
  return cases;
}

std::vector<GoldenCase> AllGoldenCases() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("golden"))) {
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<GoldenCase> cases;
  for (const auto& file : files) {
    std::vector<GoldenCase> some = ReadCases(file);
    cases.insert(cases.end(), some.begin(), some.end());
  }
  return cases;
}
