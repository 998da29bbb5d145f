// Helpers shared by the converter's tests.
#pragma once

#include <string>
#include <vector>

#include "irun_core.h"

// The folder of the test data (tests/irun) joined with `name`.
std::string TestDataPath(const std::string& name);

// Converts with the options the plug-in passes; fails the test on a false result.
std::string ConvertForTest(const std::string& rtf,
                           const irun::ConvertOptions& options = irun::ConvertOptions(),
                           irun::ConvertStats* stats = nullptr);

// The part between the body start tag and "</body>", without the line ends that
// frame it and with "\r\n" as "\n". Empty if either tag is missing.
std::string BodyOf(const std::string& html);

// What a reader sees of the body: tags dropped, character references decoded to
// UTF-8, each line break and each block (paragraph, list item, table row) ending one
// line, a "|" after each table cell.
std::string VisibleText(const std::string& html);

std::string ReadFileBytes(const std::string& path);

// One example of the golden files under golden/: RTF in, the expected body out.
struct GoldenCase {
  std::string file;
  int line = 0;
  std::string name;
  std::string rtf;
  std::string expected;
};

// Every example of every golden file, in file order.
std::vector<GoldenCase> AllGoldenCases();
