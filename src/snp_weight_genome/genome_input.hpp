// snp_weight_genome's inputs: local files (or the standard input), opened
// by the tool itself, never as URLs, and looked at before they are read.
// htslib reads them, but only in the format the tool expects: contents
// never redirect reading elsewhere (an htsget ticket, CRAM's reference
// lookups), and a file in another format is refused by name.
#pragma once

#include <htslib/bgzf.h>
#include <htslib/hts.h>

#include <string>
#include <string_view>

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
  input_holds holds() const { return holds_; }
  // For `other`: "a CRAM file", "an htsget ticket", ...
  const std::string& other_name() const { return other_name_; }
  // Whether the text begins "##gff-version 3".
  bool gff3() const { return gff3_; }
  // Which file it is.
  const os::file_identity& identity() const { return identity_; }

  // The input read as VCF or BCF through htslib, a UTF-8 byte order mark
  // skipped; owned by this object. Only for `variants`.
  htsFile* variants(std::string* error);
  // The input read as text: plain, gzip and BGZF alike; owned by this
  // object.
  BGZF* text(std::string* error);
  // After a line was refused: whether the input is damaged further on.
  // gzip checks its data only at the end of a stream, so a damaged file
  // may give nonsense lines first; what is left of it is read through to
  // tell. Returns the message that names the damage, or "".
  std::string damage_further_on();

 private:
  std::string path_;
  hFILE* file_ = nullptr;  // until variants() or text() takes it over
  htsFile* variants_ = nullptr;
  BGZF* text_ = nullptr;
  input_holds holds_ = input_holds::text;
  std::string other_name_;
  os::file_identity identity_;
  bool byte_order_mark_ = false;
  bool gff3_ = false;
};

// Whether the data read so far from `fp` were whole: "" if so, else the
// message ("PATH: truncated or corrupt BGZF data at byte N; ...", "PATH:
// no BGZF end-of-file block; ...", or a read error).
std::string damage_of(BGZF* fp, std::string_view path);
