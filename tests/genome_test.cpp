#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "chromosomes.hpp"
#include "formats.hpp"
#include "line_reader.hpp"
#include "region_rule.hpp"
#include "sweep.hpp"

namespace {

TEST(ChromosomeNamesTest, MatchWithOrWithoutChrUnlessExact) {
  struct name_case {
    const char* snp_side;
    const char* region_side;
    bool same;        // by default
    bool same_exact;  // with --exact-chromosome-names
  };
  const std::vector<name_case> cases = {
      {"22", "chr22", true, false}, {"chr22", "22", true, false}, {"Chr7", "7", true, false},
      {"chrM", "MT", true, false},  {"M", "chrMT", true, false},  {"chrX", "chrX", true, true},
      {"chr", "chr", true, true},   {"1", "11", false, false},    {"chr1", "chr1_random", false, false},
      {"X", "23", false, false},
  };
  for (const auto& c : cases) {
    for (bool exact : {false, true}) {
      chromosome_names names(exact);
      const std::uint32_t chromosome = names.chromosome(names.spelling(c.snp_side));
      const auto found = names.find(c.region_side);
      EXPECT_EQ(found.has_value() && *found == chromosome, exact ? c.same_exact : c.same)
          << c.snp_side << " and " << c.region_side << (exact ? ", exact" : "");
    }
  }
}

TEST(FormatsTest, TheNameSaysTheFormat) {
  EXPECT_EQ(snp_format_of("calls.vcf.gz"), snp_format::vcf);
  EXPECT_EQ(snp_format_of("calls.BCF"), snp_format::vcf);
  EXPECT_EQ(snp_format_of("plink.bim"), snp_format::bim);
  EXPECT_EQ(snp_format_of("dbsnp.bed.bgz"), snp_format::bed);
  EXPECT_EQ(snp_format_of("list.tsv"), snp_format::table);
  EXPECT_EQ(snp_format_of("snps"), std::nullopt);
  EXPECT_EQ(snp_format_of("dir.vcf/snps"), std::nullopt);
  EXPECT_EQ(region_format_of("gencode.gff3.gz"), region_format::gff3);
  EXPECT_EQ(region_format_of("genes.gff"), region_format::gff3);
  EXPECT_EQ(region_format_of("genes.gtf"), region_format::gtf);
  EXPECT_EQ(region_format_of("genes.vcf"), std::nullopt);
}

TEST(LineFieldsTest, SplitAndNumbers) {
  std::string_view fields[4];
  EXPECT_EQ(split_fields("a\tb c\t\td", true, fields), 4U);
  EXPECT_EQ(fields[1], "b c");
  EXPECT_EQ(fields[2], "");
  EXPECT_EQ(split_fields("  a  b\tc ", false, fields), 3U);
  EXPECT_EQ(fields[2], "c");
  EXPECT_EQ(split_fields("a b c d e f", true, fields), 6U);  // no tab: whitespace
  struct number_case {
    const char* text;
    number_status status;
    std::int64_t value;
  };
  for (const auto& c :
       std::vector<number_case>{{"42", number_status::stored, 42},
                                {"+7", number_status::stored, 7},
                                {"-3", number_status::stored, -3},
                                {"4611686018427387904", number_status::stored, std::int64_t{1} << 62},
                                {"4611686018427387905", number_status::out_of_range, 0},
                                {"99999999999999999999", number_status::out_of_range, 0},
                                {"12e5", number_status::not_a_number, 0},
                                {"+-1", number_status::not_a_number, 0},
                                {"", number_status::not_a_number, 0},
                                {" 1", number_status::not_a_number, 0}}) {
    std::int64_t value = 0;
    EXPECT_EQ(parse_integer(c.text, value), c.status) << c.text;
    if (c.status == number_status::stored) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

// The sweep against the rule as the literal loop, on random SNPs in random
// order over chromosomes, with overlapping, nested, equal and reversed
// regions.
TEST(SweepTest, MatchesTheLiteralLoop) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 40; ++round) {
    chromosome_names names(false);
    genome_snp_table snps;
    const int chromosomes = 1 + static_cast<int>(random() % 4);
    const int count = static_cast<int>(random() % 500);
    for (int k = 0; k < count; ++k) {
      snps.names += 'n';
      snps.name_ends.push_back(snps.names.size());
      snps.spellings.push_back(names.spelling("chr" + std::to_string(random() % chromosomes)));
      snps.positions.push_back(static_cast<std::int64_t>(random() % 400) - 50);
    }
    std::vector<std::vector<genome_region>> regions(names.chromosomes());
    for (auto& list : regions)
      for (int k = static_cast<int>(random() % 60); k > 0; --k) {
        const std::int64_t start = static_cast<std::int64_t>(random() % 400) - 50;
        list.push_back({start, start + static_cast<std::int64_t>(random() % 30) - 5});
      }
    std::vector<std::uint8_t> expected(snps.size(), 0);
    for (std::size_t i = 0; i < snps.size(); ++i)
      for (const genome_region& r : regions[names.chromosome(snps.spellings[i])])
        if (inside(snps.positions[i], r)) expected[i] = 1;
    EXPECT_EQ(sweep_regions(snps, names, regions), expected) << "round " << round;
  }
}

}  // namespace
