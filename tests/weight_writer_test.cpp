#include "weight_writer.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "messages.hpp"
#include "output_file.hpp"
#include "weight_file.hpp"

namespace {

snp_table snps;

void add(const char* name, double weight) {
  std::strcpy(snps.names[snps.count], name);
  snps.weights[snps.count] = weight;
  ++snps.count;
}

// What the writer puts in a binary stream: the bytes before any text-mode
// translation of line ends.
std::string written() {
  std::FILE* stream = std::tmpfile();
  if (stream == nullptr) return "no temporary file";
  const std::error_code error = write_weight_file(stream, snps);
  std::rewind(stream);
  std::string bytes;
  for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) bytes += static_cast<char>(c);
  std::fclose(stream);
  return error ? error.message() : bytes;
}

TEST(WeightWriterTest, WritesNameTabWeightPerRowInOrder) {
  snps.count = 0;
  EXPECT_EQ(written(), "");
  add("rs17", WEIGHT_INSIDE);
  add("rs2", WEIGHT_OUTSIDE);
  add("rs17", WEIGHT_OUTSIDE);
  add("1234567890", WEIGHT_OUTSIDE);
  add("a.b-c;d,\"e\"", WEIGHT_INSIDE);
  add("nnnnnnnnnnnnnnnnnnn", WEIGHT_INSIDE);
  EXPECT_EQ(written(),
            "rs17\t0.800000\nrs2\t0.400000\nrs17\t0.400000\n1234567890\t0.400000\n"
            "a.b-c;d,\"e\"\t0.800000\nnnnnnnnnnnnnnnnnnnn\t0.800000\n");
}

TEST(WeightWriterTest, DecimalSeparatorIsAFullStopInAnyLocale) {
  // Only meaningful where such a locale is installed.
  const char* locales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "German_Germany.1252"};
  const char* found = nullptr;
  for (const char* name : locales)
    if (std::setlocale(LC_ALL, name) != nullptr) {
      found = name;
      break;
    }
  if (found == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
  snps.count = 0;
  add("rs1", WEIGHT_INSIDE);
  const std::string bytes = written();
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(bytes, "rs1\t0.800000\n") << found;
}

TEST(WeightWriterTest, ReportsTheFirstFailedWrite) {
  std::FILE* full = std::fopen("/dev/full", "w");
  if (full == nullptr) GTEST_SKIP() << "no /dev/full on this platform";
  snps.count = 0;
  for (int k = 0; k < MAX_SNPS; ++k) add("rs1234567", WEIGHT_OUTSIDE);
  EXPECT_EQ(write_weight_file(full, snps), std::errc::no_space_on_device);
  std::fclose(full);
}

TEST(OutputFileTest, ReportsAFailedFinalFlush) {
  // A device is written straight. The line fits in the buffer, so only the
  // flush at the commit fails.
  std::error_code ec;
  if (!std::filesystem::is_character_file("/dev/full", ec)) GTEST_SKIP() << "no /dev/full device here";
  output_file full;
  file_failure failure{};
  ASSERT_TRUE(full.open("/dev/full", &failure)) << failure.reason.message();
  EXPECT_EQ(full.route(), output_route::straight);
  std::fputs("rs1\t0.400000\n", full.stream());
  EXPECT_FALSE(full.commit(&failure));
  EXPECT_EQ(messages::file_failed("/dev/full", failure), "/dev/full: write error: No space left on device");
}

}  // namespace
