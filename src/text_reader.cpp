#include "text_reader.hpp"

#include <cerrno>

namespace {

constexpr unsigned char ctrl_z = 0x1A;

}  // namespace

text_reader::text_reader(std::FILE* stream, std::string_view file_name, std::size_t buffer_size)
    : stream_(stream),
      file_name_(file_name),
      buffer_(new unsigned char[buffer_size == 0 ? 1 : buffer_size]),
      buffer_size_(buffer_size == 0 ? 1 : buffer_size),
      next_(buffer_.get()),
      end_(buffer_.get()) {}

text_reader::text_reader(std::string_view bytes, std::string_view file_name)
    : file_name_(file_name),
      next_(reinterpret_cast<const unsigned char*>(bytes.data())),
      end_(next_ + bytes.size()),
      input_ended_(true) {
  stop_at_ctrl_z();
}

bool text_reader::refill() {
  if (input_ended_) return false;
  errno = 0;
  std::size_t n = std::fread(buffer_.get(), 1, buffer_size_, stream_);
  if (n < buffer_size_) {
    if (std::ferror(stream_)) {
      read_error_ = errno != 0 ? errno : EIO;
      input_ended_ = true;
      n = 0;  // what came before a failed read is not trusted
    } else if (std::feof(stream_)) {
      input_ended_ = true;
    }
  }
  next_ = buffer_.get();
  end_ = next_ + n;
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
