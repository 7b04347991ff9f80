// The bytes of one input, read whole or refused: the one place where a
// failed read, or compressed data that are damaged or cut short, are found.
// A reader of text takes its bytes from a source, so that the same reader
// runs on a file (plain, gzip or BGZF, through htslib) and, in the tests, on
// bytes in memory handed out a few at a time.
#pragma once

#include <htslib/bgzf.h>
#include <htslib/hfile.h>

#include <cstddef>
#include <string>
#include <string_view>

// Why a source stopped before its end.
enum class source_failure {
  none,
  read_error,    // reading the file failed: error_code() says why
  damaged,       // compressed data that fail their check, or end inside a block
  no_eof_block,  // BGZF data that end without their end-of-file block
};

class byte_source {
 public:
  virtual ~byte_source() = default;
  // Up to `room` bytes into `buffer`: how many, 0 at the end of the input,
  // or -1 once it failed (see failure()); it stays failed.
  std::ptrdiff_t read(char* buffer, std::size_t room);
  source_failure failure() const { return failure_; }
  // Whether its data are checked only at their end (a gzip stream; BGZF
  // blocks are checked one by one).
  virtual bool checked_at_end() const { return false; }
  // Reads on to the end: after a line of a source checked at its end was
  // refused, the damage that explains it is found.
  void read_to_end();
  // The failure as a message: "PATH: truncated or corrupt gzip data after
  // line 7; ...", "PATH: read error: REASON", or "" for none.
  std::string failure_message(std::string_view path, std::string_view after) const;

 protected:
  // The source's own read: as read(), setting failure_ (and code_) on -1.
  virtual std::ptrdiff_t read_some(char* buffer, std::size_t room) = 0;
  source_failure failure_ = source_failure::none;
  int code_ = 0;                      // the errno value of a read_error
  const char* compression_ = "gzip";  // "BGZF" or "gzip", for damaged
};

// A compressed input through htslib's BGZF reader, which reads gzip and
// BGZF data alike, on the calling thread. (htslib 1.16's pool of threads
// can lose the failure of a block read on its reading thread, and on a VM
// it was slower than one thread: threads read and weigh the lines
// instead.)
class bgzf_source final : public byte_source {
 public:
  // Takes over `fp`. `compressed` and `bgzf_blocks` say what the input's
  // first bytes showed.
  bgzf_source(BGZF* fp, bool compressed, bool bgzf_blocks);
  ~bgzf_source() override;
  bgzf_source(const bgzf_source&) = delete;
  bgzf_source& operator=(const bgzf_source&) = delete;
  bool checked_at_end() const override { return compressed_ && !bgzf_blocks_; }

 private:
  std::ptrdiff_t read_some(char* buffer, std::size_t room) override;

  BGZF* fp_;
  bool compressed_;
  bool bgzf_blocks_;
};

// An uncompressed input, read straight into the caller's buffer.
class plain_source final : public byte_source {
 public:
  // Takes over `fp`.
  explicit plain_source(hFILE* fp) : fp_(fp) {}
  ~plain_source() override;
  plain_source(const plain_source&) = delete;
  plain_source& operator=(const plain_source&) = delete;

 private:
  std::ptrdiff_t read_some(char* buffer, std::size_t room) override;

  hFILE* fp_;
};

// Bytes held in memory, which must outlive it, `chunk` at a time at most
// (tests). `failure`, when given, is where it fails once it reaches the end.
class string_source final : public byte_source {
 public:
  explicit string_source(std::string_view bytes, std::size_t chunk = 1 << 16,
                         source_failure failure = source_failure::none);
  bool checked_at_end() const override { return fails_with_ == source_failure::damaged; }

 private:
  std::ptrdiff_t read_some(char* buffer, std::size_t room) override;

  std::string_view bytes_;
  std::size_t chunk_;
  source_failure fails_with_;
};
