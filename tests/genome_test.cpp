#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "builds.hpp"
#include "chromosomes.hpp"
#include "fields.hpp"
#include "formats.hpp"
#include "genome_records.hpp"
#include "options.hpp"
#include "region_index.hpp"
#include "region_rule.hpp"

namespace {

TEST(ChromosomeNamesTest, MatchWithOrWithoutChrUnlessExact) {
  struct name_case {
    const char* region_side;
    const char* snp_side;
    bool same;        // by default
    bool same_exact;  // with --exact-chromosome-names
  };
  const std::vector<name_case> cases = {
      {"22", "chr22", true, false},
      {"chr22", "22", true, false},
      {"Chr7", "7", true, false},
      {"chrM", "MT", true, false},
      {"M", "chrMT", true, false},
      {"chrX", "chrX", true, true},
      {"chr", "chr", true, true},
      {"1", "11", false, false},
      {"chr1", "chr1_random", false, false},
      {"X", "23", false, false},
      {"chrX", "XY", true, false},
      {"NC_000001.11", "1", true, false},
      {"NC_000023.11", "chrX", true, false},
      {"NC_000024", "Y", true, false},
      {"NC_012920.1", "chrM", true, false},
      {"NC_000025.1", "25", false, false},
      {"NC_000001.x", "1", false, false},
      {"NT_187361.1", "1", false, false},
      {"NC_000001.11", "NC_000001.11", true, true},
  };
  for (const auto& c : cases) {
    for (bool exact : {false, true}) {
      chromosome_names names(exact);
      const std::uint32_t chromosome = names.add(c.region_side);
      const auto found = names.find(c.snp_side);
      EXPECT_EQ(found.has_value() && *found == chromosome, exact ? c.same_exact : c.same)
          << c.region_side << " and " << c.snp_side << (exact ? ", exact" : "");
    }
  }
}

TEST(FormatsTest, TheNameSaysTheFormat) {
  const std::vector<std::pair<const char*, std::optional<snp_format>>> snp_names = {
      {"calls.vcf.gz", snp_format::vcf},
      {"calls.BCF", snp_format::vcf},
      {"plink.bim", snp_format::bim},
      {"plink2.pvar", snp_format::pvar},
      {"dbsnp.bed.bgz", snp_format::bed},
      {"list.tsv", snp_format::table},
      {"gwas.csv.gz", snp_format::table},
      {"plink.assoc", snp_format::table},
      {"b.glm.logistic.hybrid", snp_format::table},
      {"step2.regenie", snp_format::table},
      {"bolt.stats.gz", snp_format::table},
      {"metal1.tbl", snp_format::table},
      {"height.sumstats", snp_format::table},
      {"cojo.ma", snp_format::table},
      {"snps", std::nullopt},
      {"dir.vcf/snps", std::nullopt},
  };
  for (const auto& [name, format] : snp_names) EXPECT_EQ(snp_format_of(name), format) << name;
  EXPECT_EQ(region_format_of("gencode.gff3.gz"), region_format::gff3);
  EXPECT_EQ(region_format_of("genes.gff"), region_format::gff3);
  EXPECT_EQ(region_format_of("genes.gtf"), region_format::gtf);
  EXPECT_EQ(region_format_of("genes.csv"), std::nullopt);
  EXPECT_EQ(region_format_of("genes.vcf"), std::nullopt);
  // Files whose chromosomes 23 to 26 are X, Y, XY and MT.
  for (const char* name : {"chrX.qassoc", "b.PHENO1.glm.logistic.hybrid", "a.assoc.linear", "step2_y.regenie.gz"})
    EXPECT_TRUE(written_by_plink(name)) << name;
  for (const char* name : {"gwas.tsv", "bolt.stats", "linear"}) EXPECT_FALSE(written_by_plink(name)) << name;

  // A REGIONS word: a class of some feature types of a file, or a file.
  struct class_case {
    const char* word;
    const char* path;
    std::vector<std::string> features;
    const char* name;
  };
  for (const auto& c : std::vector<class_case>{{"exon:genes.gtf", "genes.gtf", {"exon"}, "exon"},
                                               {"CDS,exon:a/b.gff3.gz", "a/b.gff3.gz", {"CDS", "exon"}, "CDS_exon"},
                                               {"data/genes.bed.gz", "data/genes.bed.gz", {}, "genes"},
                                               {"C:\\data\\genes.gtf", "C:\\data\\genes.gtf", {}, "genes"},
                                               {"C:genes.gtf", "C:genes.gtf", {}, "genes"},
                                               {"./exon:genes.gtf", "./exon:genes.gtf", {}, "genes"},
                                               {"exon:", "exon:", {}, "exon:"},
                                               {"-", "-", {}, "stdin"}}) {
    const region_class got = class_of_word(c.word);
    EXPECT_EQ(got.path, c.path) << c.word;
    EXPECT_EQ(got.features, c.features) << c.word;
    EXPECT_EQ(default_class_name(got), c.name) << c.word;
  }
}

TEST(LineFieldsTest, SplitAndNumbers) {
  struct split_case {
    const char* line;
    separator by;
    std::vector<std::string_view> fields;
  };
  const std::vector<split_case> splits = {
      {"a\tb c\t\td", separator::tab, {"a", "b c", "", "d"}},
      {"  a  b\tc ", separator::whitespace, {"a", "b", "c"}},
      {"\"rs1\",\"1\",100", separator::comma, {"rs1", "1", "100"}},
      {"\"a,b\",\"say \"\"x\"\"\",3", separator::comma, {"a,b", "say \"x\"", "3"}},
      {"\"rs\"\"3\",1,\"\"", separator::comma, {"rs\"3", "1", ""}},
      {"\"a\tb\"\tc\t\"d", separator::tab, {"a\tb", "c", "\"d"}},
      {"\"a b\"  c \"d\"e", separator::whitespace, {"a b", "c", "\"d\"e"}},
      {"\"rs1\" \"1\" 100", separator::whitespace, {"rs1", "1", "100"}},
      {"x,,", separator::comma, {"x", "", ""}},
  };
  for (const auto& c : splits) {
    std::string_view fields[8];
    std::string unquoted;
    const std::size_t count = split_fields(c.line, c.by, fields, &unquoted);
    EXPECT_EQ(std::vector<std::string_view>(fields, fields + std::min<std::size_t>(count, 8)), c.fields)
        << c.line;
  }
  EXPECT_EQ(separator_of("SNP CHR BP"), separator::whitespace);
  EXPECT_EQ(separator_of("SNP,CHR,BP"), separator::comma);
  EXPECT_EQ(separator_of("SNP\tCHR,X\tBP"), separator::tab);

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
  struct length_case {
    const char* text;
    bool valid;
    std::int64_t bases;
  };
  for (const auto& c : std::vector<length_case>{{"50000", true, 50000},
                                                {"35k", true, 35000},
                                                {"1M", true, 1000000},
                                                {"1.5k", true, 1500},
                                                {"0", true, 0},
                                                {"1.5", false, 0},
                                                {"-5k", false, 0},
                                                {"5kb", false, 0},
                                                {"k", false, 0},
                                                {"2000000M", false, 0}}) {
    std::int64_t bases = -1;
    EXPECT_EQ(parse_length(c.text, bases), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(bases, c.bases) << c.text;
    }
  }
  struct attribute_case {
    const char* attributes;
    const char* key;
    bool gff3;
    std::string_view value;
  };
  for (const auto& c : std::vector<attribute_case>{
           {"gene_id \"g1\"; gene_name \"a;b\";", "gene_name", false, "a;b"},
           {"gene_id \"g1\";gene_name  \"X\"", "gene_name", false, "X"},
           {"gene_idx \"g1\"; gene_id g2 ;", "gene_id", false, "g2"},
           {"gene_id \"g1\";", "gene_name", false, ""},
           {"ID=g1;Name=A,B;Parent=t", "Name", true, "A,B"},
           {"IDx=1;ID=g2", "ID", true, "g2"},
           {"Name", "Name", true, ""}}) {
    EXPECT_EQ(attribute(c.attributes, c.key, c.gff3), c.value) << c.attributes;
  }
  struct blocks_case {
    const char* text;
    std::size_t count;
    bool valid;
  };
  for (const auto& c : std::vector<blocks_case>{{"10,20,", 2, true},
                                                {"10,20", 2, true},
                                                {"10,20,", 3, false},
                                                {"10,-5,", 2, false},
                                                {"10,,20", 3, false},
                                                {"", 1, false}}) {
    std::vector<std::int64_t> numbers;
    EXPECT_EQ(block_list(c.text, c.count, numbers), c.valid) << c.text;
  }
}

// Two files' declarations of their build: a mismatch of a chromosome's
// length or of an accession's version is worded with the builds each looks
// like; agreement, or one file declaring nothing, is no mismatch.
TEST(BuildsTest, TwoFilesThatDisagree) {
  struct build_case {
    std::vector<std::pair<std::string, std::int64_t>> snp_lengths, region_lengths;
    std::vector<const char*> snp_names, region_names;
    std::string expected;
  };
  const std::vector<build_case> cases = {
      {{{"22", 51304566}}, {{"22", 50818468}}, {}, {}, "genes.gff3: chromosome 22 is 50818468 bases long (GRCh38) "
       "here but 51304566 (GRCh37) in snps.vcf: the files come from different genome builds; "
       "--allow-build-mismatch runs anyway"},
      {{{"22", 51304566}}, {{"22", 51304566}}, {}, {}, ""},
      {{{"22", 51304566}}, {}, {}, {}, ""},
      {{{"7", 1000}}, {{"7", 2000}}, {}, {}, "genes.gff3: chromosome 7 is 2000 bases long here but 1000 in snps.vcf: "
       "the files come from different genome builds; --allow-build-mismatch runs anyway"},
      {{}, {}, {"NC_000022.10"}, {"NC_000022.11"}, "genes.gff3: NC_000022.11 (GRCh38) here but NC_000022.10 "
       "(GRCh37) in snps.vcf: the files come from different genome builds; --allow-build-mismatch runs anyway"},
      {{}, {}, {"NC_000022.11", "chr1"}, {"NC_000022.11", "NC_000001.11"}, ""},
  };
  for (const auto& c : cases) {
    declared_build snps, regions;
    for (const auto& [key, length] : c.snp_lengths) snps.add_length(key, length);
    for (const auto& [key, length] : c.region_lengths) regions.add_length(key, length);
    for (const char* name : c.snp_names) snps.add_name(name);
    for (const char* name : c.region_names) regions.add_name(name);
    EXPECT_EQ(declared_build::mismatch(snps, "snps.vcf", regions, "genes.gff3"), c.expected) << c.expected;
  }
  EXPECT_EQ(build_of_length("X", 156040895), "GRCh38");
  EXPECT_EQ(build_of_length("MT", 16571), "hg19");
  EXPECT_EQ(build_of_accession("NC_000023.10"), "GRCh37");
  EXPECT_EQ(build_of_accession("NC_000023.x"), "");
}

// The index against the rule as the literal loop, on random regions
// (overlapping, nested, equal, reversed) of up to three classes, kept or
// merged, on chromosomes that come and go, and random positions, asked in
// order and out of order through one cursor: the classes, the regions that
// hold the position in file order, and one id for each name however far
// apart its regions came.
TEST(RegionIndexTest, MatchesTheLiteralLoop) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 60; ++round) {
    const unsigned classes = 1 + round % 3;
    const bool keep = round % 5 != 0;
    region_index index(false, keep, classes);
    struct kept {
      std::uint32_t chromosome;
      genome_region region;
      unsigned region_class;
      std::string name;
    };
    std::vector<kept> all;
    const int chromosomes = 1 + static_cast<int>(random() % 3);
    for (int k = static_cast<int>(random() % (round % 10 == 0 ? 3000 : 300)); k > 0; --k) {
      const std::string chromosome_name = std::string("chr").append(std::to_string(random() % chromosomes));
      const auto chromosome = index.chromosomes().add(chromosome_name);
      const std::int64_t start = static_cast<std::int64_t>(random() % 400) - 50;
      const genome_region region{start, start + static_cast<std::int64_t>(random() % 40) - 5};
      const unsigned region_class = static_cast<unsigned>(random() % classes);
      const std::string name = "gene" + std::to_string(random() % 7);
      index.add(chromosome, region.start, region.end, index.names().add(name), region_class);
      all.push_back({chromosome, region, region_class, name});
    }
    index.finish();
    for (std::uint32_t id = 0; id < all.size(); ++id) {
      EXPECT_EQ(index.names()[index.name_of(id)], all[id].name);
      for (std::uint32_t other = 0; other < id; ++other)
        if (all[other].name == all[id].name) {
          EXPECT_EQ(index.name_of(other), index.name_of(id)) << all[id].name;
          break;
        }
    }
    std::vector<std::int64_t> positions;
    for (int k = 0; k < 400; ++k) positions.push_back(static_cast<std::int64_t>(random() % 420) - 60);
    if (round % 4 < 2) std::sort(positions.begin(), positions.end());
    index_cursor cursor;
    std::vector<std::uint32_t> ids;
    for (std::uint32_t c = 0; c < index.chromosomes().size(); ++c) {
      for (std::int64_t p : positions) {
        std::uint64_t expected_classes = 0;
        std::vector<std::uint32_t> expected_ids;
        for (std::uint32_t id = 0; id < all.size(); ++id) {
          if (all[id].chromosome != c || !inside(p, all[id].region)) continue;
          expected_classes |= std::uint64_t{1} << all[id].region_class;
          expected_ids.push_back(id);
        }
        EXPECT_EQ(index.classes_at(c, p, cursor), expected_classes) << "round " << round << ", position " << p;
        if (!keep) continue;
        index.regions_at(c, p, ids);
        EXPECT_EQ(ids, expected_ids) << "round " << round << ", position " << p;
      }
    }
  }
}

// Bounds at the ends of what a position may be (2^62 either way) are held
// and found without overflow.
TEST(RegionIndexTest, TheWidestBounds) {
  constexpr std::int64_t most = std::int64_t{1} << 62;
  region_index index(false, true, 2);
  const auto c = index.chromosomes().add("1");
  index.add(c, -most, most, index.names().add("all"), 0);
  index.add(c, most, most, index.names().add("top"), 1);
  index.finish();
  index_cursor cursor;
  std::vector<std::uint32_t> ids;
  for (std::int64_t p : {-most, std::int64_t{0}, most}) {
    EXPECT_EQ(index.classes_at(c, p, cursor), p == most ? 3U : 1U) << p;
    index.regions_at(c, p, ids);
    EXPECT_EQ(ids.size(), p == most ? 2U : 1U) << p;
  }
}

// The command line: what each word asks for, and the words that are bad
// usage, as they are worded.
TEST(CommandLineTest, WordsAndMistakes) {
  struct line_case {
    std::vector<const char*> words;
    std::string expected;  // the bad usage, or what the options hold
  };
  const auto summary = [](const genome_options& o) {
    std::ostringstream text;
    text << o.snps;
    for (const region_class& c : o.classes) {
      text << ' ' << c.name << '=' << c.path;
      for (const std::string& feature : c.features) text << ':' << feature;
    }
    text << " features";
    for (const std::string& feature : o.features) text << ' ' << feature;
    text << " weights" << std::fixed;
    for (double w : o.class_weights) text << ' ' << w;
    text << ' ' << o.outside_weight;
    if (o.threads != 0) text << " threads " << o.threads;
    return text.str();
  };
  const std::vector<line_case> cases = {
      {{"s.vcf", "g.gtf"}, "s.vcf g=g.gtf features gene weights 0.800000 0.400000"},
      {{"--feature", "gene,exon", "s.bed", "g.gff3"}, "s.bed g=g.gff3 features gene exon weights 0.800000 0.400000"},
      {{"--feature", "gene", "--feature", "CDS", "s.bed", "g.gff3"},
       "s.bed g=g.gff3 features gene CDS weights 0.800000 0.400000"},
      {{"--weights", "1,-0,0", "s.vcf", "exon:g.gtf", "r.bed"},
       "s.vcf exon=g.gtf:exon r=r.bed features gene weights 1.000000 0.000000 0.000000"},
      {{"--weights", "1,0", "s.vcf", "exon:g.gtf", "r.bed"},
       "--weights: 1,0 is not 3 numbers, one for each of the 2 region classes and then OUTSIDE"},
      {{"--class-names", "a,b", "s.vcf", "g.gtf"}, "--class-names: 2 names for 1 region class"},
      {{"--thin", "s.vcf", "g.gtf"}, "--thin goes with --format annot"},
      {{"--snp-columns", "a,b", "s.txt", "g.gtf"}, "--snp-columns: 2 columns given; it takes NAME,CHROM,POS"},
      {{"-", "-"}, "- (the standard input) can stand for one input only"},
      {{"--threads", "3", "s.vcf", "g.gtf"}, "s.vcf g=g.gtf features gene weights 0.800000 0.400000 threads 3"},
      {{"--threads", "0", "s.vcf", "g.gtf"}, "--threads: Value 0 not in range 1 to 1024 (see --help)"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words{"snp_weight_genome"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    genome_options options;
    std::string message;
    const command_line read = parse_command_line(words, options, &message);
    EXPECT_EQ(read == command_line::run ? summary(options) : message, c.expected) << c.words.front();
  }
}

}  // namespace
