// snp_weight_genome's readers fed from strings, their bytes handed out a few
// at a time, as snp_weight's reader is tested: lines, SNPs and regions.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "line_pipeline.hpp"
#include "region_reader.hpp"
#include "snp_weighing.hpp"
#include "table_reader.hpp"
#include "text_lines.hpp"
#include "vcf_reader.hpp"

namespace {

using namespace std::string_literals;

// Every line of `text`, read `chunk` bytes at a time, each followed by '|';
// or the message that refused it.
std::string lines_of(const std::string& text, std::size_t chunk,
                     source_failure failure = source_failure::none) {
  string_source source(text, chunk, failure);
  text_lines lines(source, "in.bed", "BED");
  std::string out, error;
  std::string_view line;
  while (lines.next(line, &error)) out.append(line).push_back('|');
  return error.empty() ? out : error;
}

TEST(TextLinesTest, TheSameLinesHoweverTheBytesArrive) {
  // Numbers cut apart at every chunk size, and lines across 64 KiB.
  std::string text, expected;
  for (int k = 0; k < 40000; ++k) {
    const std::string line = std::to_string(k * 7919) + "\tx";
    text += line + (k % 3 == 0 ? "\r\n" : "\n");
    expected += line + "|";
  }
  for (std::size_t chunk : {1, 2, 3, 7, 13, 17, 4096, 65535, 65536, 65537})
    EXPECT_EQ(lines_of(text, chunk), expected) << chunk;
}

TEST(TextLinesTest, MarksAndRefusals) {
  struct line_case {
    std::string text;
    std::size_t chunk;
    source_failure failure;
    std::string expected;
  };
  const std::vector<line_case> cases = {
      {"", 1, source_failure::none, ""},
      {"a\n\n\nb", 2, source_failure::none, "a|||b|"},
      {"\xEF\xBB\xBF" "a\nb\n", 1, source_failure::none, "a|b|"},
      {"a\nb\0c\nd"s, 3, source_failure::none, "in.bed:2: line holds a NUL byte"},
      {"a\n\x01" "b", 1, source_failure::none, "in.bed:2: not text: byte 0x01 (BED is text)"},
      {"a\nb\n", 1, source_failure::damaged,
       "in.bed: truncated or corrupt BGZF data after line 2; the file is damaged or incomplete"},
      {"", 1, source_failure::no_eof_block, "in.bed: no BGZF end-of-file block; the file is truncated or incomplete"},
      {"a\n" + std::string(MAX_LINE_LENGTH + 1, 'x'), 1 << 16, source_failure::none,
       "in.bed:2: line longer than 16777216 characters"},
  };
  for (const auto& c : cases) EXPECT_EQ(lines_of(c.text, c.chunk, c.failure), c.expected) << c.text;
}

// The SNPs of `text` read as `format`, "NAME@MATCH:POS/ALT;" each, or the
// message that refused them.
std::string snps_of(const std::string& text, snp_format format) {
  snp_reading how{format, false, std::nullopt, false, false};
  std::unique_ptr<snp_reader> reader;
  if (format == snp_format::vcf)
    reader = std::make_unique<vcf_reader>(std::make_unique<string_source>(text, 5), "in", how);
  else
    reader = std::make_unique<table_reader>(std::make_unique<string_source>(text, 5), "in", how);
  std::string out, error;
  genome_snp snp;
  if (reader->begin(&error))
    while (reader->next(snp, &error))
      out += std::string(snp.name) + "@" + std::string(snp.match) + ":" + std::to_string(snp.position) + "/" +
             std::string(snp.alt) + ";";
  return error.empty() ? out : error;
}

TEST(SnpReadersTest, EachFormatGivesItsColumns) {
  const std::string vcf = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n";
  // Its columns after the 300th.
  std::string wide, wide_row;
  for (int k = 0; k < 300; ++k) wide.append("x").append(std::to_string(k)).append("\t"), wide_row.append("0\t");
  wide.append("SNP\tCHR\tBP\n").append(wide_row).append("rs5\t1\t5\n");
  struct snp_case {
    std::string text;
    snp_format format;
    std::string expected;
  };
  const std::vector<snp_case> cases = {
      {"rs1 1 100\nrs2 X 7\n", snp_format::table, "rs1@1:100/;rs2@X:7/;"},
      {"CHR\tSNP\tBP\tA1\n23\trs9\t5\tG\n", snp_format::table, "rs9@23:5/G;"},
      {"23 rs1 0.5 10 A G\n26 . 0 11 C T\n", snp_format::bim, "rs1@X:10/A;@MT:11/C;"},
      {"chrom\tstart\tend\tname\nchr1\t99\t100\trs1\n", snp_format::bed, "rs1@chr1:100/;"},
      {"#CHROM\tPOS\tID\tREF\tALT\n1\t5\trs5\tA\tT\n", snp_format::pvar, "rs5@1:5/T;"},
      {vcf + "1\t10\trs1\tA\tG,T\t.\t.\t.\n2\t20\t.\tC\t.\t.\t.\t.\n", snp_format::vcf, "rs1@1:10/G;@2:20/;"},
      {vcf + "1\t1e5\trs1\tA\tG\t.\t.\t.\n", snp_format::vcf, "in:3: POS is not a number: \"1e5\""},
      {"rs1 1 x\n", snp_format::table, "in:1: position is not a number: \"x\""},
      {"CHR POS MarkerID Allele1 Allele2\n1 7 rs7 A G\n", snp_format::table, "rs7@1:7/G;"},
      {"rsid,chromosome,base_pair_location\nNA,1,100\n\"rs\"\"3\",1,7\n", snp_format::table, "@1:100/;rs\"3@1:7/;"},
      {"SNP\tCHR\tBP\n\"rs\t1\"\t2\t5\n", snp_format::table, "rs\t1@2:5/;"},
      {"SNP CHR BP\nrs1 1 100 extra\n", snp_format::table, "in:2: 4 columns; its header names 3"},
      {"SNP\tCHR\tBP\nrs1\t\t100\n", snp_format::table, "in:2: chromosome is empty"},
      {wide, snp_format::table, "rs5@1:5/;"},
      {vcf.substr(0, 21) + "#CHROM POS ID REF ALT QUAL FILTER INFO\n1 5 rs1 A G . . .\n", snp_format::vcf,
       "in:2: the #CHROM line's columns are separated by spaces; VCF separates them by tabs"},
      {vcf + "1 5 rs1 A G . . .\n", snp_format::vcf, "in:3: not a valid VCF record: columns separated by spaces, not tabs"},
      {"chromosome\tbase_pair_location\tother_allele\teffect_allele\trsid\n2\t9\tC\tT\trs9\n", snp_format::table,
       "rs9@2:9/T;"},
      {"rs1 1 100\nrs2 1\n", snp_format::table, "in:2: 2 columns; a table of SNPs needs 3"},
  };
  for (const auto& c : cases) EXPECT_EQ(snps_of(c.text, c.format), c.expected) << c.text;
}

// The regions of `text` read as `format`, widened, then asked at
// `positions`: '1' for each one inside a region, '0' else; or the message.
std::string regions_at(const std::string& text, region_format format, std::int64_t upstream,
                       std::int64_t downstream, const std::vector<std::int64_t>& positions, bool split,
                       source_failure failure) {
  region_index index(false, false, 1);
  string_source source(text, 3, failure);
  const region_reading how{format, {{0, {"gene"}}}, upstream, downstream, split};
  std::string error;
  if (!read_regions(source, "in", how, index, parallel_plan{}, &error)) return error;
  index.finish();
  index_cursor cursor;
  std::string out;
  const auto chromosome = index.chromosomes().find("1");
  for (std::int64_t p : positions) out += chromosome && index.classes_at(*chromosome, p, cursor) != 0 ? '1' : '0';
  return out;
}

TEST(RegionReaderTest, WindowsFollowTheStrand) {
  struct region_case {
    std::string text;
    region_format format;
    std::int64_t upstream, downstream;
    std::string expected;  // at 50, 51, 90, 91, 200, 210, 211, 250, 251
    bool split = false;
    source_failure failure = source_failure::none;
  };
  const std::vector<std::int64_t> positions = {50, 51, 90, 91, 200, 210, 211, 250, 251};
  const std::vector<region_case> cases = {
      {"1\t100\t200\tg\t0\t+\n", region_format::bed, 0, 0, "000010000"},
      {"1\t100\t200\tg\t0\t+\n", region_format::bed, 50, 10, "011111000"},
      {"1\t100\t200\tg\t0\t-\n", region_format::bed, 50, 10, "000111110"},
      {"1\t100\t200\n", region_format::bed, 50, 10, "011111110"},
      {"1\tsim\tgene\t101\t200\t.\t-\t.\tgene_id \"g\";\n", region_format::gtf, 50, 10, "000111110"},
      {"1 101 200\n1 300 290\n", region_format::table, 0, 0, "000010000"},
      {"1\t100\n", region_format::bed, 0, 0, "in:1: 2 columns; BED needs at least 3"},
      {"1\tsim\texon\t101\t200\t.\t-\t.\tgene_id \"g\";\n", region_format::gtf, 0, 0,
       "in: no \"gene\" lines; its feature types are exon (choose with --feature)"},
      {"1\t99\t100\n\t99\t100\n", region_format::bed, 0, 0, "in:2: chromosome is empty"},
      {"1\t100\t200\tg\t0\t+\t100\t200\t0\t2\t10,20,\t0,95,\n", region_format::bed, 0, 0,
       "in:1: BED12 block 2 lies outside the line's start and end", true},
      {"1\t100\t200\tg\t0\t+\t100\t200\t0\t1\t4611686018427387904\t4611686018427387904\n", region_format::bed,
       0, 0, "in:1: BED12 block 1 lies outside the line's start and end", true},
      {"1\t100\t200\tg\t0\t+\t100\t200\t0\t2\t1,11,\t0,89,\n", region_format::bed, 0, 0, "000010000", true},
      {"##gff-version 3\n1\tsim\tgene\t101\t200\t.\t+\t.\tID=g\n##FASTA\n>1\nACGT\n", region_format::gff3, 0,
       0, "in: truncated or corrupt BGZF data after line 5; the file is damaged or incomplete", false,
       source_failure::damaged},
  };
  for (const auto& c : cases)
    EXPECT_EQ(regions_at(c.text, c.format, c.upstream, c.downstream, positions, c.split, c.failure), c.expected)
        << c.text;
}

// Region names as the files write them, and as a list encodes them: a ';'
// inside GTF's quotes is part of the name, and a name's comma is written
// %2C in a comma-separated list.
TEST(RegionReaderTest, NamesAsWritten) {
  region_index index(false, true, 1);
  const std::string text = "1\tsim\tgene\t101\t200\t.\t+\t.\tgene_id \"x\"; gene_name \"a;b\";\n"
                           "1\tsim\tgene\t151\t160\t.\t+\t.\tgene_id \"A,B\"; gene_type \"c\";\n";
  string_source source(text, 7);
  const region_reading how{region_format::gtf, {{0, {"gene"}}}, 0, 0, false, true};
  std::string error;
  ASSERT_TRUE(read_regions(source, "in", how, index, parallel_plan{}, &error)) << error;
  index.finish();
  std::vector<std::uint32_t> ids;
  index.regions_at(*index.chromosomes().find("1"), 155, ids);
  std::string names, scratch;
  for (const std::uint32_t id : ids) names.append(encoded(index.names()[index.name_of(id)], IN_A_LIST, scratch)).append("|");
  EXPECT_EQ(names, "a;b|A%2CB|");
}

// Where `got` first differs from `expected`, a few bytes of each: EXPECT_EQ
// would print a diff of megabytes, which takes minutes.
std::string first_difference(const std::string& got, const std::string& expected) {
  const auto at = static_cast<std::size_t>(
      std::mismatch(got.begin(), got.end(), expected.begin(), expected.end()).first - got.begin());
  return "from byte " + std::to_string(at) + " \"" + got.substr(at, 80) + "\" instead of \"" +
         expected.substr(at, 80) + '"';
}

// What an index read from `text` holds, along chromosomes 1 and 2: the
// classes and the named regions at every 250th position; or the message.
std::string index_read(const std::string& text, region_format format, bool split, source_failure failure,
                       unsigned workers) {
  region_index index(false, true, 2);
  string_source source(text, 4099, failure);
  const region_reading how{format, {{0, {"gene"}}, {1, {"exon"}}}, 10, 20, split, true};
  std::string error;
  if (!read_regions(source, "in", how, index, parallel_plan{workers, 1}, &error)) return error;
  index.finish();
  index_cursor cursor;
  std::vector<std::uint32_t> ids;
  std::string out;
  for (const char* name : {"1", "2"}) {
    const auto chromosome = index.chromosomes().find(name);
    if (!chromosome) continue;
    for (std::int64_t p = 1; p < 4000000; p += 250) {
      out += std::to_string(index.classes_at(*chromosome, p, cursor));
      index.regions_at(*chromosome, p, ids);
      for (const std::uint32_t id : ids) out.append(",").append(index.names()[index.name_of(id)]);
      out += ';';
    }
  }
  return out;
}

// Regions read on several threads, a chunk each, against one thread: the
// same index, names and classes in file order, the same refusal with its
// line number, damage named as one thread names it.
TEST(RegionReaderTest, ThreadsReadWhatOneThreadReads) {
  // About 30 chunks of 64 KiB, BED12 and GTF, and the line each case spoils.
  const auto bed = [](int spoiled, const std::string& as, const std::string& first = "") {
    std::string text = first;
    for (int k = 0; k < 60000; ++k) {
      const int start = k * 61 % 3900000, end = start + 40 + k % 300;
      if (k == spoiled) text += as;
      else
        text.append(k % 5 == 2 ? "2\t" : "1\t").append(std::to_string(start)).append("\t").append(std::to_string(end))
            .append("\tg").append(std::to_string(k % 7000)).append(k % 2 ? "\t0\t-\t" : "\t0\t+\t")
            .append(std::to_string(start)).append("\t").append(std::to_string(start)).append("\t0\t2\t10,20,\t0,")
            .append(std::to_string(end - start - 20)).append(",\n");
    }
    return text;
  };
  std::string gtf;
  for (int k = 0; k < 50000; ++k)
    gtf.append("1\tsim\t").append(k % 3 == 0 ? "gene" : k % 3 == 1 ? "exon" : "UTR").append("\t")
        .append(std::to_string(1 + k * 71 % 3900000)).append("\t").append(std::to_string(100 + k * 71 % 3900000))
        .append("\t.\t+\t.\tgene_id \"G").append(std::to_string(k / 3)).append("\";\n");
  struct reading_case {
    const char* what;
    std::string text;
    region_format format;
    bool split;
    source_failure failure;
  };
  const std::vector<reading_case> cases = {
      {"BED12 blocks", bed(-1, ""), region_format::bed, true, source_failure::none},
      {"BED, a header line", bed(-1, "", "chrom\tstart\tend\n"), region_format::bed, false, source_failure::none},
      {"a bad start mid-file", bed(30000, "1\tx\t5\n"), region_format::bed, false, source_failure::none},
      {"a bad last line", bed(59999, "1\t5\n"), region_format::bed, true, source_failure::none},
      {"blocks outside", bed(20000, "1\t100\t200\tg\t0\t+\t100\t200\t0\t2\t10,20,\t0,95,\n"), region_format::bed,
       true, source_failure::none},
      {"damage at the end", bed(-1, ""), region_format::bed, false, source_failure::damaged},
      {"a bad line, damage further on", bed(300, "1\tx\t5\n"), region_format::bed, false, source_failure::damaged},
      {"a read error", bed(-1, ""), region_format::bed, false, source_failure::read_error},
      {"GTF, other feature types", gtf, region_format::gtf, false, source_failure::none},
      {"GTF, no exon: the types seen", std::regex_replace(gtf, std::regex("\texon\t"), "\tCDS\t"), region_format::gtf,
       false, source_failure::none},
  };
  for (const auto& c : cases) {
    const std::string one = index_read(c.text, c.format, c.split, c.failure, 1);
    const std::string three = index_read(c.text, c.format, c.split, c.failure, 3);
    EXPECT_TRUE(three == one) << c.what << ": " << first_difference(three, one);
  }
}

// A worker that fails (as an allocation that fails would) ends the run on
// the calling thread with its exception: no hang, no terminate.
TEST(LinePipelineTest, AWorkersExceptionReachesTheCaller) {
  struct failing : line_work {
    struct worker_failing : worker {
      void process(line_job& job) override {
        if (job.order == 3) throw std::runtime_error("no memory");
      }
    };
    std::unique_ptr<line_job> new_job() override { return std::make_unique<line_job>(); }
    std::unique_ptr<worker> new_worker() override { return std::make_unique<worker_failing>(); }
    void take(line_job&) override { ++taken; }
    int taken = 0;
  };
  std::string text;
  for (int k = 0; k < 100000; ++k) text += "line " + std::to_string(k) + "\n";
  for (const unsigned workers : {2u, 4u}) {
    string_source source(text, 4099);
    text_lines lines(source, "in", "BED");
    failing work;
    std::string error;
    EXPECT_THROW(run_line_pipeline(lines, work, parallel_plan{workers, 1}, std::nullopt, &error), std::runtime_error);
    EXPECT_LE(work.taken, 3);
  }
}

// An output that keeps "LABEL WEIGHT" lines, written whole or in parts.
class kept_lines final : public snp_output {
 public:
  bool open(std::string*) override { return true; }
  bool writes_into(const os::file_identity&) const override { return false; }
  bool begin(const snp_reader&, std::string*) override { return true; }
  void write(const genome_snp&, const snp_answer& answer) override { text += line(answer); }
  bool writes_parts() const override { return true; }
  void write_part(const genome_snp&, const snp_answer& answer, output_part& part) const override {
    part.text += line(answer);
  }
  void take_part(output_part& part) override { text += part.text; }
  bool commit(std::string*) override { return true; }
  void abandon() override {}

  std::string text;

 private:
  static std::string line(const snp_answer& answer) {
    return std::string(answer.label) + (answer.weight > 0.5 ? " in\n" : " out\n");
  }
};

// The lines, the message and the chromosomes' tallies of the SNPs of `text`
// weighed on `workers` threads, each taking one chunk at a time.
std::string weighed(const std::string& text, snp_format format, source_failure failure, unsigned workers) {
  region_index index(false, false, 1);
  const auto chromosome = index.chromosomes().add("1");
  for (std::int64_t start = 1; start < 40000000; start += 1000) index.add(chromosome, start, start + 499, NO_NAME, 0);
  index.finish();
  const class_weights weights{{0.8}, 0.4};
  const std::vector<std::int64_t> ends = {20000000};
  snp_weigher weigher(index, weights, false, ends);
  const snp_reading how{format, false, std::nullopt, false, false};
  std::unique_ptr<snp_reader> reader;
  if (format == snp_format::vcf)
    reader = std::make_unique<vcf_reader>(std::make_unique<string_source>(text, 4099, failure), "in", how);
  else
    reader = std::make_unique<table_reader>(std::make_unique<string_source>(text, 4099, failure), "in", how);
  std::vector<std::unique_ptr<snp_output>> outputs;
  outputs.push_back(std::make_unique<kept_lines>());
  std::string error;
  if (reader->begin(&error)) weigh_snps(*reader, weigher, outputs, parallel_plan{workers, 1}, &error);
  std::string tallies;
  for (const chromosome_tally& c : weigher.chromosomes())
    tallies += c.written + ":" + std::to_string(c.snps) + ":" + std::to_string(c.past_end) + ":" + c.first_past_end +
               ":" + std::to_string(c.first_past_end_order) + ";";
  return static_cast<kept_lines&>(*outputs.front()).text + "|" + error + "|" + tallies;
}

// Lines read and weighed on several threads, a chunk each, against one
// thread: the same lines, the same refusal with its line number, damage
// named as one thread names it, the same tallies.
TEST(SnpWeighingTest, ThreadsGiveWhatOneThreadGives) {
  // About 30 chunks of 64 KiB, on two chromosomes, some past chromosome 1's
  // end, and the line that each case spoils.
  std::vector<std::string> lines;
  for (int k = 0; k < 90000; ++k) {
    std::string line = k % 7 == 3 ? "2\t" : "1\t";
    line.append(std::to_string(k * 251)).append("\t").append(std::to_string(1 + k * 251));
    line.append("\trs").append(std::to_string(k));
    lines.push_back(line);
  }
  const auto table = [&lines](int spoiled, const std::string& as, bool last_end = true) {
    std::string text;
    for (int k = 0; k < static_cast<int>(lines.size()); ++k) text += (k == spoiled ? as : lines[k] + "\n");
    if (!last_end) text.pop_back();
    return text;
  };
  std::string snps;  // a table of name, chromosome and position
  for (int k = 0; k < 20000; ++k) snps.append("rs").append(std::to_string(k)).append(" 1 ").append(std::to_string(k * 1009)).append("\n");
  std::string vcf = "##fileformat=VCFv4.2\n##contig=<ID=1>\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n";
  for (int k = 0; k < 40000; ++k)
    vcf.append("1\t")
        .append(k == 31000 ? "5x" : std::to_string(1 + k * 613))
        .append("\trs")
        .append(std::to_string(k))
        .append("\tA\tG\t.\t.\t.\n");
  struct weighing_case {
    const char* what;
    std::string text;
    snp_format format;
    source_failure failure;
  };
  const std::vector<weighing_case> cases = {
      {"whole", table(-1, ""), snp_format::bed, source_failure::none},
      {"no line end at the end", table(-1, "", false), snp_format::bed, source_failure::none},
      {"a bad start mid-file", table(45000, "1\tx\t5\trs\n"), snp_format::bed, source_failure::none},
      {"a bad last line", table(89999, "1\n"), snp_format::bed, source_failure::none},
      {"a NUL byte", table(20000, "1\t4\t5\tr\0s\n"s), snp_format::bed, source_failure::none},
      {"damage at the end", table(-1, ""), snp_format::bed, source_failure::damaged},
      {"a bad line, damage further on", table(300, "1\tx\t5\trs\n"), snp_format::bed, source_failure::damaged},
      {"a bad line in the last chunk, damage", table(89990, "1\tx\t5\trs\n"), snp_format::bed,
       source_failure::damaged},
      {"a read error", table(-1, ""), snp_format::bed, source_failure::read_error},
      {"a table, its first line a SNP", "rs0 1 10\n" + snps, snp_format::table, source_failure::none},
      {"a table, its first line alone", "rs0 1 10\n", snp_format::table, source_failure::none},
      {"a table refused at line 1", "rs0 1 x\n" + snps, snp_format::table, source_failure::none},
      {"a table refused part way", snps + "rs 1 x\n" + snps, snp_format::table, source_failure::none},
      {"a VCF refused part way", vcf, snp_format::vcf, source_failure::none},
  };
  for (const auto& c : cases) {
    const std::string one = weighed(c.text, c.format, c.failure, 1);
    for (const unsigned workers : {3u, 2u}) {
      const std::string many = weighed(c.text, c.format, c.failure, workers);
      EXPECT_TRUE(many == one) << c.what << ", " << workers << " workers: " << first_difference(many, one);
    }
  }
}

}  // namespace
