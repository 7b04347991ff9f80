#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "region_reader.hpp"
#include "snp_reader.hpp"

namespace {

using namespace std::string_literals;

// The tables are large: one of each, shared by the tests of this file.
snp_table snps;
region_table regions;

struct snp_row {
  std::string name;
  std::int32_t position;
  bool operator==(const snp_row&) const = default;
};

// A table's rows as text, to compare two readings.
std::string rows_of(const snp_table& table) {
  std::string text;
  for (int k = 0; k < table.count; ++k)
    text += std::string(table.names[k]) + ' ' + std::to_string(table.positions[k]) + ';';
  return text;
}
std::string rows_of(const region_table& table) {
  std::string text;
  for (int k = 0; k < table.count; ++k)
    text += std::to_string(table.row(k).start) + ' ' + std::to_string(table.row(k).end) + ';';
  return text;
}

std::ostream& operator<<(std::ostream& out, const snp_row& row) {
  return out << '{' << row.name << ' ' << row.position << '}';
}

struct snp_case {
  std::string input;
  std::vector<snp_row> rows;  // when accepted
  std::string error;          // when refused
};

TEST(SnpReaderTest, ReadsRecordsByThePattern) {
  const std::string long_name(20, 'n');
  const std::vector<snp_case> cases = {
      {"", {}, ""},
      {" \r\n\t\n\n", {}, ""},
      {"rs1 10 A", {{"rs1", 10}}, ""},
      {"rs1 10 A\n\n\n", {{"rs1", 10}}, ""},
      {"rs1 10 A\r\nrs2 -20 B\r\n", {{"rs1", 10}, {"rs2", -20}}, ""},
      {"rs1 10 A rs2 +20 B", {{"rs1", 10}, {"rs2", 20}}, ""},
      {"rs1\n10\nA\n", {{"rs1", 10}}, ""},
      {"rs1 10 A\nrs1 10 A\n", {{"rs1", 10}, {"rs1", 10}}, ""},
      {"rs1 0010 A", {{"rs1", 10}}, ""},
      {"rs1 10", {{"rs1", 10}}, ""},
      {"rs1", {{"rs1", 0}}, ""},
      // A position that is not a number ends the record; the text that
      // stopped it begins the next record.
      {"rs1 x A\nrs2 5 B", {{"rs1", 0}, {"x", 0}, {"A", 0}, {"rs2", 5}}, ""},
      {"rs1 12abc A", {{"rs1", 12}, {"A", 0}}, ""},
      {"rs1 -x A", {{"rs1", 0}, {"x", 0}, {"A", 0}}, ""},
      {"- + -", {{"-", 0}, {"-", 0}}, ""},
      {"rs1 10 A\x1a"
       "rs2 20 B",
       {{"rs1", 10}},
       ""},
      {"rs1 10 A\n\x1a", {{"rs1", 10}}, ""},
      {"\x1a"
       "rs1 10 A",
       {},
       ""},
      {std::string(19, 'n') + " 1 A", {{std::string(19, 'n'), 1}}, ""},
      {"rs1 1 " + std::string(100000, 'x') + " rs2 2 y", {{"rs1", 1}, {"rs2", 2}}, ""},
      {"rs1 1 A\n" + long_name + " 2 B", {}, "SNP_positions.txt:2: SNP name longer than 19 characters"},
      {"rs1 1 A\n\nn\0ul 2 B"s, {}, "SNP_positions.txt:3: SNP name holds a NUL byte"},
      {"rs1\n2147483648 A", {}, "SNP_positions.txt:2: position out of range"},
      // A byte order mark is no part of the first name; a NUL byte is in no
      // field; a dropped field has a bound.
      {"\xef\xbb\xbfrs1 10 A", {{"rs1", 10}}, ""},
      {"rs1 1 A\nrs2 2 \0B"s, {}, "SNP_positions.txt:2: field 3 holds a NUL byte"},
      {"rs1 1 " + std::string((1 << 24) + 1, 'x'),
       {},
       "SNP_positions.txt:1: field 3 longer than 16777216 characters"},
      {"rs1 1 " + std::string(1 << 24, 'x'), {{"rs1", 1}}, ""},
      {"r\0s\0"
       "1\0 \0"s,
       {},
       "SNP_positions.txt: UTF-16 text; save it as plain text"},
      {"\x1f\x8b\x08\0"s, {}, "SNP_positions.txt: compressed (gzip); decompress it first"},
      {"rs1 -2147483649 A", {}, "SNP_positions.txt:1: position out of range"},
  };
  for (const auto& c : cases) {
    text_reader in(c.input, "SNP_positions.txt");
    std::string error;
    const bool accepted = read_snp_file(in, snps, &error);
    EXPECT_EQ(error, c.error) << '"' << c.input << '"';
    if (!accepted || !c.error.empty()) continue;
    std::vector<snp_row> rows;
    for (int k = 0; k < snps.count; ++k) rows.push_back({snps.names[k], snps.positions[k]});
    EXPECT_EQ(rows, c.rows) << '"' << c.input << '"';
  }
}

TEST(SnpReaderTest, RefusesARecordBeyondCapacity) {
  std::string full;
  for (int k = 0; k < MAX_SNPS; ++k) full += "rs" + std::to_string(k) + " " + std::to_string(k) + " A\n";
  std::string error;
  {
    const std::string input = full + "\n\n";
    text_reader in(input, "SNP_positions.txt");
    ASSERT_TRUE(read_snp_file(in, snps, &error)) << error;
    EXPECT_EQ(snps.count, MAX_SNPS);
    EXPECT_STREQ(snps.names[MAX_SNPS - 1], "rs1999");
  }
  const std::string input = full + "\nrs2000 1 A\n";
  text_reader in(input, "SNP_positions.txt");
  EXPECT_FALSE(read_snp_file(in, snps, &error));
  EXPECT_EQ(error, "SNP_positions.txt:2002: more than 2000 SNP records");
}

struct region_case {
  std::string input;
  std::vector<std::pair<std::int32_t, std::int32_t>> rows;
  std::string error;
};

TEST(RegionReaderTest, ReadsRecordsByThePattern) {
  const std::vector<region_case> cases = {
      {"", {}, ""},
      {"\r\n \n", {}, ""},
      {"chr1 g1 t1 100 200\n", {{100, 200}}, ""},
      {"chr1 g1 t1 100 200\r\nchr2 g2 t2 -50 -10\r\n", {{100, 200}, {-50, -10}}, ""},
      {"chr1 g1 t1 300 200", {{300, 200}}, ""},
      {"chr1 g1 t1 +5 +5", {{5, 5}}, ""},
      {"a b c 1 2 d e f 3 4", {{1, 2}, {3, 4}}, ""},
      {"a\nb\nc\n1\n2", {{1, 2}}, ""},
      {"a b c 7", {{7, 0}}, ""},
      {"a b", {{0, 0}}, ""},
      // A fourth field that is not a number ends the record with bounds 0
      // and 0; reading resumes at it.
      {"a b c x 1 2\nd e f 5 6", {{0, 0}, {0, 0}, {5, 6}}, ""},
      {"a b c 1 y\nd e f 5 6", {{1, 0}, {0, 0}, {0, 0}}, ""},
      {"a b c 1 2\x1a"
       "d e f 3 4",
       {{1, 2}},
       ""},
      {"a b c 2147483647 -2147483648", {{2147483647, -2147483647 - 1}}, ""},
      {"a b c 1 2\na b c 1 99999999999", {}, "gene_regions.txt:2: position out of range"},
      {"a b c\n-2147483649 1", {}, "gene_regions.txt:2: position out of range"},
      {std::string(300, 'x') + " b c 1 2", {{1, 2}}, ""},
      {"a b c 1 2\na \0 c 3 4"s, {}, "gene_regions.txt:2: field 2 holds a NUL byte"},
      {"\xef\xbb\xbf"
       "a b c 1 2",
       {{1, 2}},
       ""},
  };
  for (const auto& c : cases) {
    text_reader in(c.input, "gene_regions.txt");
    std::string error;
    const bool accepted = read_region_file(in, regions, &error);
    EXPECT_EQ(error, c.error) << '"' << c.input << '"';
    if (!accepted || !c.error.empty()) continue;
    std::vector<std::pair<std::int32_t, std::int32_t>> rows;
    for (int k = 0; k < regions.count; ++k) rows.emplace_back(regions.row(k).start, regions.row(k).end);
    EXPECT_EQ(rows, c.rows) << '"' << c.input << '"';
  }
}

TEST(RegionReaderTest, RefusesARecordBeyondCapacity) {
  std::string full;
  full.reserve(10 * (MAX_REGIONS + 1));
  for (int k = 0; k < MAX_REGIONS; ++k) full += "a b c 1 2\n";
  std::string error;
  {
    text_reader in(full, "gene_regions.txt");
    ASSERT_TRUE(read_region_file(in, regions, &error)) << error;
    EXPECT_EQ(regions.count, MAX_REGIONS);
  }
  full += "a b c 3 4\n";
  text_reader in(full, "gene_regions.txt");
  EXPECT_FALSE(read_region_file(in, regions, &error));
  EXPECT_EQ(error, "gene_regions.txt:" + std::to_string(MAX_REGIONS + 1) + ": more than " +
                       std::to_string(MAX_REGIONS) + " gene regions");
}

// Rows past the first slab of blocks keep their own place: no two blocks
// share memory, and each row reads back as written.
TEST(RegionTableTest, RowsKeepTheirPlaceAcrossSlabs) {
  region_table table;
  const int rows = REGION_BLOCK * (2 * REGION_SLAB_BLOCKS + 1) + 3;
  for (int k = 0; k < rows; ++k) table.row_for(k) = {k, -k};
  table.count = rows;
  for (int k = 0; k < rows; ++k) {
    const gene_region& row = table.row(k);
    if (row.start != k || row.end != -k) FAIL() << "row " << k << " reads " << row.start << ", " << row.end;
  }
  EXPECT_EQ(table.blocks.size(), 2U * REGION_SLAB_BLOCKS + 2);
  EXPECT_EQ(table.block_rows(table.blocks.size() - 1), 3);
}

}  // namespace

namespace {

// Through a stream with buffers of 1 to 9 bytes, every field and record
// crosses a refill at every offset: both readers must read exactly what
// they read from the same bytes in memory.
TEST(RecordReadersTest, SmallBuffersReadLikeMemory) {
  const std::vector<std::string> inputs = {
      "rs1 10 A\r\nrs2 -20 B\r\n",
      "rs1 x A rs2 +0020 B\n\n",
      "n1 2147483647 c n2 -2147483648 c\x1a n3 3 c",
      "a b c 1 2 d e f -3 -4 g h i 5",
      "rs1 1 " + std::string(40, 'x') + " rs2 2 y",
      std::string(19, 'n') + " 1 A " + std::string(20, 'm') + " 2 B",
      "a b c 99999999999 1",
      // Fields that reading eight bytes at a time must read like the bytes.
      "a b c -2147483648 2147483647 a b c 2147483648 1",
      "a b c 1234567890 -0000000042 a b c +12 12abc z z z 7 -8",
      "n 1-2 c " + std::string(19, 'n') + " +4294967296 c",
      "a b c - + a b c 12345678 123456789",
      std::string(60, 'x') + " y z 1 2 a b c 3 4",
      "n1 5 c\nn\0 6 c"s,
  };
  // Each also with line feeds after it, so that from memory every field has
  // the eight bytes buffered that are read at once, as with tiny buffers it
  // never has.
  std::vector<std::string> with_windows = inputs;
  for (const auto& input : inputs) with_windows.push_back(input + std::string(80, '\n'));
  for (const auto& input : with_windows) {
    std::string memory_snps, memory_regions;
    {
      std::string error;
      text_reader snp_in(input, "SNP_positions.txt");
      text_reader region_in(input, "gene_regions.txt");
      memory_snps = read_snp_file(snp_in, snps, &error) ? rows_of(snps) : error;
      memory_regions = read_region_file(region_in, regions, &error) ? rows_of(regions) : error;
    }
    for (std::size_t buffer_size = 1; buffer_size < 10; ++buffer_size) {
      std::string error;
      std::FILE* stream = std::tmpfile();
      ASSERT_NE(stream, nullptr);
      std::fwrite(input.data(), 1, input.size(), stream);
      std::rewind(stream);
      text_reader snp_in(stream, "SNP_positions.txt", buffer_size);
      EXPECT_EQ(read_snp_file(snp_in, snps, &error) ? rows_of(snps) : error, memory_snps)
          << '"' << input << "\", buffer " << buffer_size;
      std::rewind(stream);
      text_reader region_in(stream, "gene_regions.txt", buffer_size);
      EXPECT_EQ(read_region_file(region_in, regions, &error) ? rows_of(regions) : error, memory_regions)
          << '"' << input << "\", buffer " << buffer_size;
      std::fclose(stream);
    }
  }
}

}  // namespace
