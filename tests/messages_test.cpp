#include "messages.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

const std::string source = SNP_WEIGHT_SOURCE_DIR;

// The messages of the rows "| `message` | cause |" in the README's section
// that begins with `heading`.
std::vector<std::string> readme_rows(const std::string& heading) {
  std::ifstream in(source + "/README.md");
  const std::regex row(R"(\| `([^`]+: [^`]+)` \|.*)");
  std::vector<std::string> found;
  bool inside = false;
  std::smatch match;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("## ") || line.starts_with("### ")) inside = line == heading;
    if (inside && std::regex_match(line, match, row)) found.push_back(match[1]);
  }
  return found;
}

// The ".B message" right after each ".TP" of a manual page's DIAGNOSTICS,
// with its "\-" read as "-".
std::vector<std::string> manual_diagnostics(const std::string& page) {
  std::ifstream in(source + "/doc/" + page);
  std::vector<std::string> found;
  bool inside = false, after_tp = false;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(".SH ")) inside = line == ".SH DIAGNOSTICS";
    if (inside && after_tp && line.starts_with(".B ")) {
      std::string message = line.substr(3);
      for (std::size_t at; (at = message.find("\\-")) != std::string::npos;) message.erase(at, 1);
      found.push_back(message);
    }
    after_tp = line == ".TP";
  }
  return found;
}

// Both commands' README sections and manual pages list exactly the messages
// the code words, in one order.
TEST(MessagesTest, ReadmeAndManualPagesListEveryMessage) {
  if (!std::ifstream(source + "/README.md")) GTEST_SKIP() << "the sources are not at " << source;
  EXPECT_EQ(readme_rows("## Exit status and messages"), messages::snp_weight_examples());
  EXPECT_EQ(manual_diagnostics("snp_weight.1.in"), messages::snp_weight_examples());
  EXPECT_EQ(readme_rows("### Messages"), messages::snp_weight_genome_examples());
  EXPECT_EQ(manual_diagnostics("snp_weight_genome.1.in"), messages::snp_weight_genome_examples());
}

}  // namespace
