#include "line_result.hpp"

#include <cerrno>

#include "os.hpp"

namespace {

bool names_compressed(std::string_view path) { return path.ends_with(".gz") || path.ends_with(".bgz"); }

}  // namespace

line_result::line_result(std::string path, bool compress)
    : path_(std::move(path)), compress_(compress && names_compressed(path_)) {}

line_result::~line_result() {
  if (compressed_ != nullptr) bgzf_close(compressed_);
}

int line_result::write_compressed(void* context, const char* bytes, std::size_t size) {
  errno = 0;
  if (bgzf_write(static_cast<BGZF*>(context), bytes, size) == static_cast<ssize_t>(size)) return 0;
  return errno != 0 ? errno : EIO;
}

bool line_result::open(std::string* error) {
  if (!file_.open(path_, error)) return false;
  if (!compress_) {
    writer_.emplace(file_.stream());
    return true;
  }
  const int fd = os::duplicate_for_bytes(file_.descriptor());
  compressed_ = fd < 0 ? nullptr : bgzf_dopen(fd, "w");
  if (compressed_ == nullptr) {
    if (fd >= 0) os::close_file(fd);
    return file_.commit(std::error_code(errno != 0 ? errno : EIO, std::generic_category()), error);
  }
  writer_.emplace(byte_sink{compressed_, write_compressed});
  return true;
}

bool line_result::commit(std::string* error) {
  std::error_code written = writer_->finish();
  if (compressed_ != nullptr) {
    // Its last blocks and the end-of-file block, before the result goes in place.
    errno = 0;
    if (bgzf_close(compressed_) != 0 && !written)
      written = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
    compressed_ = nullptr;
  }
  return file_.commit(written, error);
}

void line_result::abandon() {
  if (writer_ && compressed_ == nullptr) writer_->finish_whole_lines();
}
