#include "text_reader.hpp"

#include <array>
#include <cerrno>
#include <cstring>

namespace {

constexpr unsigned char ctrl_z = 0x1A;

constexpr std::array<bool, 256> whitespace_table = [] {
  std::array<bool, 256> table{};
  for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) table[c] = true;
  return table;
}();

bool is_whitespace(unsigned char c) { return whitespace_table[c]; }
bool is_digit(int c) { return c >= '0' && c <= '9'; }

}  // namespace

text_reader::text_reader(std::FILE* stream, std::string_view file_name)
    : stream_(stream), file_name_(file_name), next_(buffer_), end_(buffer_) {}

text_reader::text_reader(std::string_view bytes, std::string_view file_name)
    : file_name_(file_name),
      next_(reinterpret_cast<const unsigned char*>(bytes.data())),
      end_(next_ + bytes.size()),
      input_ended_(true) {
  stop_at_ctrl_z();
}

int text_reader::get() {
  const int c = peek();
  if (c != end_of_input) {
    ++next_;
    line_ += c == '\n';
  }
  return c;
}

bool text_reader::refill() {
  if (input_ended_) return false;
  std::size_t n = std::fread(buffer_, 1, sizeof buffer_, stream_);
  if (n < sizeof buffer_) {
    if (std::ferror(stream_)) {
      read_error_ = errno != 0 ? errno : EIO;
      input_ended_ = true;
      n = 0;  // what came before a failed read is not trusted
    } else if (std::feof(stream_)) {
      input_ended_ = true;
    }
  }
  next_ = buffer_;
  end_ = buffer_ + n;
  stop_at_ctrl_z();
  return next_ != end_;
}

void text_reader::stop_at_ctrl_z() {
  if (next_ == end_) return;
  const void* found = std::memchr(next_, ctrl_z, static_cast<std::size_t>(end_ - next_));
  if (found != nullptr) {
    end_ = static_cast<const unsigned char*>(found);
    input_ended_ = true;
  }
}

bool text_reader::skip_whitespace() {
  // The hot loops work on a local copy of the position, so that it stays in
  // a register.
  for (;;) {
    const unsigned char* next = next_;
    long lines = 0;
    while (next != end_ && is_whitespace(*next)) lines += *next++ == '\n';
    next_ = next;
    line_ += lines;
    if (next != end_) return true;
    if (!refill()) return false;
  }
}

template <class TakePiece>
bool text_reader::take_text_field(TakePiece take_piece) {
  if (!skip_whitespace()) return false;
  field_line_ = line_;
  for (;;) {
    const unsigned char* stop = next_;
    while (stop != end_ && !is_whitespace(*stop)) ++stop;
    if (!take_piece(next_, stop)) return true;
    next_ = stop;
    if (stop != end_ || !refill()) return true;
  }
}

field_status text_reader::text_field(std::span<char> out, std::size_t& length) {
  const std::size_t capacity = out.size() - 1;
  std::size_t n = 0;
  bool fits = true;
  const bool found = take_text_field([&](const unsigned char* first, const unsigned char* last) {
    const auto piece = static_cast<std::size_t>(last - first);
    fits = piece <= capacity - n;
    if (fits) {
      std::memcpy(out.data() + n, first, piece);
      n += piece;
    }
    return fits;
  });
  out[n] = '\0';
  if (!found) return field_status::missing;
  if (!fits) return field_status::too_long;
  length = n;
  return field_status::stored;
}

field_status text_reader::skip_text_field() {
  const bool found = take_text_field([](const unsigned char*, const unsigned char*) { return true; });
  return found ? field_status::stored : field_status::missing;
}

field_status text_reader::integer_field(std::int32_t& value) {
  if (!skip_whitespace()) return field_status::missing;
  field_line_ = line_;
  int c = peek();
  const bool negative = c == '-';
  if (c == '-' || c == '+') {
    ++next_;
    c = peek();
  }
  if (!is_digit(c)) return field_status::missing;

  // 64 bits hold any 32-bit magnitude times ten plus a digit, so checking
  // after each digit is enough to stop before an overflow.
  const std::uint64_t limit = negative ? 2147483648U : 2147483647U;
  std::uint64_t magnitude = 0;
  for (;;) {
    const unsigned char* next = next_;
    for (; next != end_ && is_digit(*next); ++next) {
      magnitude = magnitude * 10 + static_cast<std::uint64_t>(*next - '0');
      if (magnitude > limit) {
        next_ = next;
        return field_status::out_of_range;
      }
    }
    next_ = next;
    if (next != end_ || !refill()) break;
  }

  value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                   : static_cast<std::int32_t>(magnitude);
  return field_status::stored;
}
