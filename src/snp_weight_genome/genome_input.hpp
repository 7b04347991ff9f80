// snp_weight_genome's inputs: local files (or the standard input), opened
// by the tool itself, never as URLs, and looked at before they are read.
// htslib reads them, but only in the format the tool expects: contents
// never redirect reading elsewhere (an htsget ticket, CRAM's reference
// lookups), and a file in another format is refused by name.
#pragma once

#include <htslib/hfile.h>
#include <htslib/hts.h>

#include <memory>
#include <string>
#include <string_view>

#include "byte_source.hpp"
#include "os.hpp"

// What an input's first bytes say it holds.
enum class input_holds {
  variants,  // VCF or BCF, plain, gzip or BGZF
  text,      // text of some other format, or nothing at all
  other,     // another format (BAM, CRAM, an htsget ticket, an index...)
};

class genome_input {
 public:
  genome_input() = default;
  genome_input(const genome_input&) = delete;
  genome_input& operator=(const genome_input&) = delete;
  ~genome_input();

  // Opens `path`, or the standard input for "-", and looks at its first
  // bytes. Returns false with "PATH: message" in `error` when it cannot be
  // opened, or is compressed otherwise than with gzip or BGZF (bzip2, xz,
  // zstd, or twice), or is text in UTF-16 or UTF-32.
  bool open(const std::string& path, std::string* error);
  const std::string& path() const { return path_; }
  const os::file_identity& identity() const { return identity_; }
  input_holds holds() const { return holds_; }
  // For `variants`: BCF rather than VCF text.
  bool binary() const { return binary_; }
  // For `other`: "a CRAM file", "an htsget ticket", ...
  const std::string& other_name() const { return other_name_; }
  // The first bytes of its text (inflated, without a byte order mark).
  std::string_view first_text() const { return first_text_; }

  // The input as text, plain, gzip or BGZF: once.
  std::unique_ptr<byte_source> text(std::string* error);
  // The input as BCF through htslib, owned by this object: once.
  htsFile* variants(std::string* error);

 private:
  // Looks at the first bytes: what they hold, inside any compression.
  bool look(std::string* error);

  std::string path_;
  os::file_identity identity_;
  hFILE* file_ = nullptr;  // until text() or variants() takes it over
  htsFile* variants_ = nullptr;
  input_holds holds_ = input_holds::text;
  bool binary_ = false;
  bool compressed_ = false;
  bool bgzf_blocks_ = false;
  std::string other_name_;
  std::string first_text_;
};
