#include "text_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;

// What is left of the input after a field: the next byte, or end.
std::string rest(text_reader& in) {
  std::string left;
  for (int c = in.get(); c != text_reader::end_of_input; c = in.get()) left += static_cast<char>(c);
  return left;
}

struct integer_case {
  std::string input;
  field_status status;
  std::int32_t value;  // when stored; otherwise the value stays at -99
  std::string rest;
};

TEST(TextReaderTest, IntegerFieldFollowsTheFieldRules) {
  const std::vector<integer_case> cases = {
      {"42", field_status::stored, 42, ""},
      {"  \n\t 42 x", field_status::stored, 42, " x"},
      {"\v\f\r 7", field_status::stored, 7, ""},
      {"-5", field_status::stored, -5, ""},
      {"+5", field_status::stored, 5, ""},
      {"007", field_status::stored, 7, ""},
      {"12abc", field_status::stored, 12, "abc"},
      {"12-3", field_status::stored, 12, "-3"},
      {"2147483647", field_status::stored, 2147483647, ""},
      {"-2147483648", field_status::stored, -2147483647 - 1, ""},
      {"-0", field_status::stored, 0, ""},
      {"0000000000000000000000000000005", field_status::stored, 5, ""},
      {"2147483648", field_status::out_of_range, -99, "8"},
      {"-2147483649", field_status::out_of_range, -99, "9"},
      {"99999999999", field_status::out_of_range, -99, "99"},
      {std::string(400, '9'), field_status::out_of_range, -99, std::string(391, '9')},
      {"x", field_status::missing, -99, "x"},
      {"-x", field_status::missing, -99, "x"},  // the sign is taken
      {"- 5", field_status::missing, -99, " 5"},
      {"+-5", field_status::missing, -99, "-5"},
      {"-", field_status::missing, -99, ""},
      {"", field_status::missing, -99, ""},
      {" \r\n ", field_status::missing, -99, ""},
      {"\x1a"
       "5",
       field_status::missing, -99, ""},
      {"1\x1a"
       "2",
       field_status::stored, 1, ""},
      {"3.5", field_status::stored, 3, ".5"},
      // Eight bytes or more buffered: the digits are taken a word at a time.
      {"12abc   x", field_status::stored, 12, "abc   x"},
      {"1234567x9 ", field_status::stored, 1234567, "x9 "},
      {"87654321", field_status::stored, 87654321, ""},
      {"1234:678?", field_status::stored, 1234, ":678?"},
      {"12345678 rest", field_status::stored, 12345678, " rest"},
      {"123456789\t", field_status::stored, 123456789, "\t"},
      {"-0000000000000042 z", field_status::stored, -42, " z"},
      {"9\x1a"
       "2345678 ",
       field_status::stored, 9, ""},
  };
  for (const auto& c : cases) {
    text_reader in(c.input, "f");
    std::int32_t value = -99;
    EXPECT_EQ(in.integer_field(value), c.status) << '"' << c.input << '"';
    EXPECT_EQ(value, c.value) << '"' << c.input << '"';
    EXPECT_EQ(rest(in), c.rest) << '"' << c.input << '"';
  }
}

struct text_case {
  std::string input;
  std::size_t capacity;  // of the output, terminator included
  field_status status;
  std::string text;
  std::string rest;
};

TEST(TextReaderTest, TextFieldFollowsTheFieldRules) {
  const std::vector<text_case> cases = {
      {"rs17 150", 20, field_status::stored, "rs17", " 150"},
      {"\r\n\t\v\f rs17\r\n", 20, field_status::stored, "rs17", "\r\n"},
      {"a,b;c!", 20, field_status::stored, "a,b;c!", ""},
      {"nul\0byte x"s, 20, field_status::holds_nul, "", ""},
      {" \xff\xfe\x01", 20, field_status::stored, "\xff\xfe\x01", ""},
      {std::string(19, 'n') + " x", 20, field_status::stored, std::string(19, 'n'), " x"},
      {std::string(20, 'n'), 20, field_status::too_long, "", ""},
      {"ab\x1a"
       "cd",
       20, field_status::stored, "ab", ""},
      {"", 20, field_status::missing, "", ""},
      {"  \n", 20, field_status::missing, "", ""},
      {"\x1a rs1", 20, field_status::missing, "", ""},
  };
  for (const auto& c : cases) {
    text_reader in(c.input, "f");
    std::vector<char> out(c.capacity, '?');
    std::size_t length = 0;
    const field_status status = in.text_field(out, length);
    EXPECT_EQ(status, c.status) << '"' << c.input << '"';
    if (status == field_status::stored) {
      EXPECT_EQ(std::string(out.data(), length), c.text) << '"' << c.input << '"';
      EXPECT_EQ(out[length], '\0');
      EXPECT_EQ(rest(in), c.rest) << '"' << c.input << '"';
    }
  }
}

TEST(TextReaderTest, SkippedTextFieldHasNoLengthLimit) {
  const std::string input = std::string(1 << 20, 'x') + "\n7";
  text_reader in(input, "f");
  EXPECT_EQ(in.skip_text_field(), field_status::stored);
  std::int32_t value = 0;
  EXPECT_EQ(in.integer_field(value), field_status::stored);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(in.skip_text_field(), field_status::missing);
}

TEST(TextReaderTest, CountsLineFeedsOnlySoCrLfCountsOnce) {
  text_reader in("a\r\nb\n\n c\rd\r\n", "f");
  std::int32_t unused = 0;
  const std::vector<long> lines = {1, 2, 4, 4};
  for (long line : lines) {
    ASSERT_EQ(in.skip_text_field(), field_status::stored);
    EXPECT_EQ(in.field_line(), line);
  }
  EXPECT_EQ(in.integer_field(unused), field_status::missing);
  EXPECT_EQ(in.line(), 5);
}

TEST(TextReaderTest, PeekAndGetStopAtCtrlZ) {
  text_reader in(
      "a\n\x1a"
      "b",
      "f");
  EXPECT_EQ(in.peek(), 'a');
  EXPECT_EQ(in.get(), 'a');
  EXPECT_EQ(in.get(), '\n');
  EXPECT_EQ(in.line(), 2);
  EXPECT_EQ(in.peek(), text_reader::end_of_input);
  EXPECT_EQ(in.get(), text_reader::end_of_input);
  EXPECT_FALSE(in.skip_whitespace());
  EXPECT_FALSE(in.read_failed());
}

// Streams that cross the reader's buffer, to test the refill paths.
struct stream_closer {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using stream_ptr = std::unique_ptr<std::FILE, stream_closer>;

stream_ptr stream_with(const std::string& bytes) {
  stream_ptr stream(std::tmpfile());
  if (stream) {
    std::fwrite(bytes.data(), 1, bytes.size(), stream.get());
    std::rewind(stream.get());
  }
  return stream;
}

struct format_case {
  std::string input;  // the first bytes of a real file of that kind
  input_kind kind;
  std::string first_field;  // when it is text
};

// Inputs that are not text stop before their first byte; a UTF-8 byte order
// mark is skipped. Text that merely begins like a magic number is text.
TEST(TextReaderTest, TellsInputsThatAreNotText) {
  const std::vector<format_case> cases = {
      {"\x1f\x8b\x08\x08\xee\xeb\x18\x6b\x00\x03s1"s, input_kind::gzip, ""},
      {"BZh91AY&SY&]", input_kind::bzip2, ""},
      {"BZh9\x17\x72\x45\x38\x50\x90\0\0\0\0"s, input_kind::bzip2, ""},
      {"\xfd"
       "7zXZ\0\0\x04\xe6\xd6"s,
       input_kind::xz, ""},
      {"\x28\xb5\x2f\xfd\x24\x09\x49\0\0rs1"s, input_kind::zstd, ""},
      {"\xff\xfer\0s\0"
       "1\0"s,
       input_kind::utf16, ""},
      {"\xfe\xff\0r\0s\0"
       "1"s,
       input_kind::utf16, ""},
      {"r\0s\0"
       "1\0 \0"s,
       input_kind::utf16, ""},
      {"\0r\0s\0"
       "1\0 "s,
       input_kind::utf16, ""},
      {"\xff\xfe\0\0r\0\0\0"s, input_kind::utf32, ""},
      {"\0\0\xfe\xff\0\0\0r"s, input_kind::utf32, ""},
      {"r\0\0\0s\0\0\0"s, input_kind::utf32, ""},
      {"\0\0\0r\0\0\0s"s, input_kind::utf32, ""},
      {"\xef\xbb\xbfrs1 10 A", input_kind::text, "rs1"},
      {"BZh91 10 A", input_kind::text, "BZh91"},
      {"\xff\xfe", input_kind::utf16, ""},
      {"\xff", input_kind::text, "\xff"},
  };
  for (const auto& c : cases) {
    // From memory, and through a stream with a buffer shorter than the magic.
    text_reader memory(c.input, "f");
    const stream_ptr stream = stream_with(c.input);
    ASSERT_TRUE(stream);
    text_reader streamed(stream.get(), "f", 3);
    for (text_reader* in : {&memory, &streamed}) {
      char field[20];
      std::size_t length = 0;
      const field_status status = in->text_field(field, length);
      EXPECT_EQ(in->stop() == input_stop::not_text, c.kind != input_kind::text) << '"' << c.input << '"';
      EXPECT_EQ(in->kind(), c.kind) << '"' << c.input << '"';
      const std::string first = status == field_status::stored ? std::string(field, length) : "";
      EXPECT_EQ(first, c.first_field) << '"' << c.input << '"';
    }
  }
}

// The eight-byte tests against the bytes they stand for.
TEST(EightBytesTest, MatchTheBytes) {
  struct word_case {
    const char* bytes;
    int digits;  // leading decimal digits
    int below;   // the first byte below 0x21, or 8
  };
  const std::vector<word_case> cases = {
      {"12345678", 8, 8},
      {"1234567x", 7, 8},
      {"0\t345678", 1, 1},
      {"abcdefgh", 0, 8},
      {"9/:00000", 1, 8},
      {"       1", 0, 0},
      {"4294967\x01", 7, 7},
      {"12\x8f"
       "45678",
       2, 8},
  };
  for (const auto& c : cases) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes);
    const std::uint64_t word = eight_bytes::load(bytes);
    EXPECT_EQ(eight_bytes::leading_digits(word), c.digits) << c.bytes;
    if (c.digits > 0) {
      EXPECT_EQ(eight_bytes::digits_value(word, c.digits), std::stoull(std::string(c.bytes, c.digits)))
          << c.bytes;
    }
    const std::uint64_t flags = eight_bytes::below(word, 0x21);
    EXPECT_EQ(flags == 0 ? 8 : eight_bytes::first_flagged(flags), c.below) << c.bytes;
  }
}

TEST(StreamReaderTest, FieldsSpanningBufferRefillsReadWhole) {
  // Offsets just before, at and after the 64 KiB buffer size.
  for (std::size_t pad : {65530U, 65533U, 65534U, 65535U, 65536U, 131070U}) {
    const stream_ptr stream = stream_with(std::string(pad, ' ') + "rs123456 -2147483648 z");
    ASSERT_TRUE(stream);
    text_reader in(stream.get(), "f");
    char name[20];
    std::size_t length = 0;
    std::int32_t value = 0;
    ASSERT_EQ(in.text_field(name, length), field_status::stored) << pad;
    EXPECT_EQ(std::string(name, length), "rs123456") << pad;
    ASSERT_EQ(in.integer_field(value), field_status::stored) << pad;
    EXPECT_EQ(value, -2147483647 - 1) << pad;
    EXPECT_EQ(rest(in), " z") << pad;
    EXPECT_FALSE(in.read_failed());
  }
}

TEST(StreamReaderTest, CtrlZInALaterBufferEndsTheInput) {
  const stream_ptr stream = stream_with(std::string(100000, '\n') +
                                        "a\x1a"
                                        "b c");
  ASSERT_TRUE(stream);
  text_reader in(stream.get(), "f");
  EXPECT_EQ(in.skip_text_field(), field_status::stored);
  EXPECT_EQ(in.field_line(), 100001);
  EXPECT_FALSE(in.skip_whitespace());
  EXPECT_FALSE(in.read_failed());
}

TEST(TextReaderReadErrorTest, AReadErrorIsKeptNotTakenForTheEnd) {
  // Reading a process's memory from offset 0 fails, on Linux and through wine.
  const stream_ptr memory(std::fopen("/proc/self/mem", "rb"));
  if (!memory) GTEST_SKIP() << "no /proc/self/mem to fail a read on";
  text_reader in(memory.get(), "f");
  EXPECT_FALSE(in.skip_whitespace());
  EXPECT_TRUE(in.read_failed());
  EXPECT_NE(in.read_error(), 0);
}

// Line numbers are 64-bit on every platform (long is 32 bits on Windows).
static_assert(std::is_same_v<decltype(std::declval<text_reader&>().line()), std::int64_t>);

#if defined(__GLIBC__)
// 2^31 + 4 line feeds, made on the fly, in runs of 2^23 between fields (a
// run of whitespace has a bound), then a last field.
TEST(StreamReaderTest, CountsLinesPastTwoToThe31) {
  static constexpr std::uint64_t run = std::uint64_t{1} << 23;
  struct spread_lines {
    std::uint64_t left = (std::uint64_t{1} << 31) + 4;
    std::uint64_t in_run = 0;
    bool done = false;
    static ssize_t read(void* cookie, char* buffer, std::size_t size) {
      auto& lines = *static_cast<spread_lines*>(cookie);
      std::size_t n = 0;
      while (n < size && !lines.done) {
        if (lines.left == 0 || lines.in_run == run) {
          buffer[n++] = lines.left == 0 ? 'y' : 'x';
          lines.done = lines.left == 0;
          lines.in_run = 0;
          continue;
        }
        const std::size_t take =
            static_cast<std::size_t>(std::min({std::uint64_t{size - n}, run - lines.in_run, lines.left}));
        std::memset(buffer + n, '\n', take);
        n += take;
        lines.in_run += take;
        lines.left -= take;
      }
      return static_cast<ssize_t>(n);
    }
  } lines;
  const stream_ptr stream(fopencookie(&lines, "r", {spread_lines::read, nullptr, nullptr, nullptr}));
  ASSERT_TRUE(stream);
  text_reader in(stream.get(), "f", 1 << 20);
  std::int64_t last_line = 0;
  while (in.skip_text_field() == field_status::stored) last_line = in.field_line();
  EXPECT_EQ(in.stop(), input_stop::none);
  EXPECT_EQ(last_line, (std::int64_t{1} << 31) + 5);
}
#endif

}  // namespace
