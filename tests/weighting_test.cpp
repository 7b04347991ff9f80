#include "weighting.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "region_rule.hpp"

namespace {

snp_table snps;
region_table regions;

// Weighs the tables, by default with the variant the tool would choose.
void load(const std::vector<std::int32_t>& positions, const std::vector<gene_region>& rows,
          region_scan_function scan = chosen_region_rule_variant().scan) {
  snps.count = static_cast<int>(positions.size());
  std::copy(positions.begin(), positions.end(), snps.positions);
  regions.count = 0;
  for (const gene_region& row : rows) regions.row_for(regions.count++) = row;
  give_default_weights(snps);
  apply_region_rule(snps, regions, scan);
}

std::vector<double> weights() { return {snps.weights, snps.weights + snps.count}; }

constexpr double out = WEIGHT_OUTSIDE;
constexpr double in = WEIGHT_INSIDE;
constexpr std::int32_t int_min = -2147483647 - 1;
constexpr std::int32_t int_max = 2147483647;

struct rule_case {
  const char* what;
  std::vector<std::int32_t> positions;
  std::vector<gene_region> regions;
  std::vector<double> weights;
};

TEST(RegionRuleTest, BothEndsAreInside) {
  const std::vector<rule_case> cases = {
      {"ends and neighbours", {99, 100, 150, 200, 201}, {{100, 200}}, {out, in, in, in, out}},
      {"one position wide", {4, 5, 6}, {{5, 5}}, {out, in, out}},
      {"overlapping regions", {15}, {{10, 20}, {12, 18}, {15, 15}}, {in}},
      {"start above end", {150, 200, 100}, {{200, 100}}, {out, out, out}},
      {"negative bounds", {-150, -50, 0}, {{-200, -100}}, {in, out, out}},
      {"compared as signed", {-1, int_max}, {{int_min, -1}, {int_max, int_max}}, {in, in}},
      {"no regions", {1, 2}, {}, {out, out}},
      {"no SNPs", {}, {{1, 2}}, {}},
      {"found only in the last region", {7}, {{1, 2}, {3, 4}, {5, 6}, {7, 8}}, {in}},
  };
  for (const auto& c : cases) {
    load(c.positions, c.regions);
    EXPECT_EQ(weights(), c.weights) << c.what;
  }
}

// Every compiled variant the CPU runs against the rule as the literal nested
// loop, on random and shuffled tables. The sizes hit every remainder of the
// SNP groups (up to 128) and of the region blocks (4096), and the bounds
// include the ends of the signed 32-bit range.
TEST(RegionRuleTest, EveryVariantMatchesTheLiteralNestedLoopInAnyOrder) {
  static constexpr std::int32_t edges[] = {int_min, int_min + 1, -1, 0, 1, int_max - 1, int_max};
  std::mt19937 random(12345);
  const auto any_position = [&random] {
    return random() % 8 == 0 ? edges[random() % 7] : static_cast<std::int32_t>(random() % 2001) - 1000;
  };
  for (int round = 0; round < 24; ++round) {
    std::vector<std::int32_t> positions(round == 0 ? MAX_SNPS : random() % 260);
    for (auto& p : positions) p = any_position();
    std::vector<gene_region> rows(round < 4 ? 4096 * round + round - 1 + (round == 0) : random() % 9000);
    for (auto& r : rows) {
      r.start = any_position();
      const std::int64_t near_end = std::int64_t{r.start} + random() % 40 - 5;
      r.end = random() % 4 == 0
                  ? any_position()
                  : static_cast<std::int32_t>(std::clamp<std::int64_t>(near_end, int_min, int_max));
      if (r.end < r.start && random() % 2 == 0) r.end = r.start;  // equal bounds, often
    }
    std::vector<double> expected(positions.size(), out);
    for (std::size_t i = 0; i < positions.size(); ++i)
      for (const auto& r : rows)
        if (inside(positions[i], r)) expected[i] = in;

    for (const auto& variant : region_rule_variants()) {
      if (!variant.supported) continue;
      load(positions, rows, variant.scan);
      EXPECT_EQ(weights(), expected) << variant.name << ", round " << round;
      std::vector<gene_region> shuffled = rows;
      std::shuffle(shuffled.begin(), shuffled.end(), random);
      load(positions, shuffled, variant.scan);
      EXPECT_EQ(weights(), expected) << variant.name << ", round " << round << ", regions shuffled";
    }
  }
}

// Blocks compared while the next are read, on several threads at once,
// give the weights of the whole table compared at the end.
TEST(RegionRuleTest, BlocksComparedAlongsideGiveTheSameWeights) {
  std::mt19937 random(4242);
  std::vector<std::int32_t> positions(MAX_SNPS);
  for (auto& p : positions) p = static_cast<std::int32_t>(random() % 1000000);
  std::vector<std::vector<gene_region>> blocks(64);
  std::vector<gene_region> all;
  for (auto& block : blocks) {
    block.resize(1 + random() % 700);
    for (auto& r : block) {
      r.start = static_cast<std::int32_t>(random() % 1000000);
      r.end = r.start + static_cast<std::int32_t>(random() % 300);
    }
    all.insert(all.end(), block.begin(), block.end());
  }
  load(positions, all);
  const std::vector<double> expected = weights();
  for (int round = 0; round < 5; ++round) {
    give_default_weights(snps);
    region_rule_alongside rule(snps);
    for (const auto& block : blocks) rule.block_read(block.data(), static_cast<int>(block.size()));
    rule.finish(snps);
    EXPECT_EQ(weights(), expected) << "round " << round;
  }
}

TEST(RegionRuleTest, AFullSnpTableIsWeightedWhole) {
  std::vector<std::int32_t> positions(MAX_SNPS);
  for (int i = 0; i < MAX_SNPS; ++i) positions[static_cast<std::size_t>(i)] = i;
  load(positions, {{MAX_SNPS - 1, MAX_SNPS - 1}, {0, 0}});
  EXPECT_EQ(snps.weights[0], in);
  EXPECT_EQ(snps.weights[1], out);
  EXPECT_EQ(snps.weights[MAX_SNPS - 2], out);
  EXPECT_EQ(snps.weights[MAX_SNPS - 1], in);
}

}  // namespace
