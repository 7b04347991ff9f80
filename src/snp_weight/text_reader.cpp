#include "text_reader.hpp"

#include <cerrno>

namespace {

constexpr unsigned char ctrl_z = 0x1A;

}  // namespace

text_reader::text_reader(std::FILE* stream, std::string_view file_name, std::size_t buffer_size)
    : stream_(stream),
      file_name_(file_name),
      // The first fill reads enough to tell the input's format, whatever the
      // buffer size; later fills read buffer_size bytes.
      buffer_(new unsigned char[std::max(buffer_size, SNIFF_BYTES)]),
      buffer_size_(buffer_size == 0 ? 1 : buffer_size),
      next_(buffer_.get()),
      end_(buffer_.get()) {}

text_reader::text_reader(std::string_view bytes, std::string_view file_name)
    : file_name_(file_name),
      next_(reinterpret_cast<const unsigned char*>(bytes.data())),
      end_(next_ + bytes.size()),
      input_ended_(true) {
  begin_input();
  stop_at_ctrl_z();
}

bool text_reader::refill() {
  if (input_ended_) return false;
  const std::size_t wanted = input_begun_ ? buffer_size_ : std::max(buffer_size_, SNIFF_BYTES);
  errno = 0;
  std::size_t n = std::fread(buffer_.get(), 1, wanted, stream_);
  if (n < wanted) {
    if (std::ferror(stream_)) {
      read_error_ = errno != 0 ? errno : EIO;
      stop_ = input_stop::read_error;
      input_ended_ = true;
      n = 0;  // what came before a failed read is not trusted
    } else if (std::feof(stream_)) {
      input_ended_ = true;
    }
  }
  next_ = buffer_.get();
  end_ = next_ + n;
  if (!input_begun_) begin_input();
  stop_at_ctrl_z();
  return next_ != end_;
}

bool text_reader::skip_whitespace_across_refills(std::uint64_t skipped, std::int64_t first_line) {
  for (;;) {
    if (!refill()) return false;
    const unsigned char* next = next_;
    while (next != end_ && is_whitespace(*next)) line_ += *next++ == '\n';
    skipped += static_cast<std::uint64_t>(next - next_);
    next_ = next;
    if (skipped > MAX_WHITESPACE_RUN) {
      field_line_ = first_line;
      stop_input(input_stop::whitespace_run);
      return false;
    }
    if (next != end_) return true;
  }
}

void text_reader::begin_input() {
  input_begun_ = true;
  const std::size_t available = static_cast<std::size_t>(end_ - next_);
  const input_sniff sniff = sniff_input({next_, std::min(available, SNIFF_BYTES)});
  if (sniff.kind != input_kind::text) {
    kind_ = sniff.kind;
    stop_input(input_stop::not_text);
    return;
  }
  next_ += sniff.byte_order_mark;
}

void text_reader::stop_at_ctrl_z() {
  if (next_ == end_) return;
  const void* found = std::memchr(next_, ctrl_z, static_cast<std::size_t>(end_ - next_));
  if (found != nullptr) {
    end_ = static_cast<const unsigned char*>(found);
    input_ended_ = true;
  }
}
