#include "messages.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

// The messages a document lists: each match of `pattern`'s first group, in
// order, with the manual page's "\-" read as "-".
std::vector<std::string> listed(const std::string& path, const std::regex& pattern) {
  std::ifstream in(path);
  std::vector<std::string> found;
  std::smatch match;
  for (std::string line; std::getline(in, line);) {
    if (!std::regex_match(line, match, pattern)) continue;
    std::string message = match[1];
    for (std::size_t at; (at = message.find("\\-")) != std::string::npos;) message.erase(at, 1);
    found.push_back(message);
  }
  return found;
}

// Both documents list exactly the messages the code words, in one order.
TEST(MessagesTest, ReadmeAndManualPageListEveryMessage) {
  const std::string source = SNP_WEIGHT_SOURCE_DIR;
  if (!std::ifstream(source + "/README.md")) GTEST_SKIP() << "the sources are not at " << source;
  const std::vector<std::string> examples = messages::snp_weight_examples();
  EXPECT_EQ(listed(source + "/README.md", std::regex(R"(\| `([^`]+: [^`]+)` \|.*)")), examples);
  EXPECT_EQ(listed(source + "/doc/snp_weight.1.in",
                   std::regex(R"(\.B ((SNP_positions|gene_regions|weight)\.txt[:].*|snp_weight: .*))")),
            examples);
}

}  // namespace
