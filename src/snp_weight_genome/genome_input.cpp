#include "genome_input.hpp"

#include <htslib/hfile.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "input_format.hpp"
#include "messages.hpp"
#include "os.hpp"

namespace {

// How many of the first bytes are looked at.
constexpr std::size_t peeked_bytes = 4096;

// The first decompressed bytes of gzip or BGZF data, without consuming
// anything: enough to tell what is inside.
std::size_t inflate_start(const unsigned char* in, std::size_t size, unsigned char* out, std::size_t room) {
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 32) != Z_OK) return 0;
  stream.next_in = const_cast<unsigned char*>(in);
  stream.avail_in = static_cast<uInt>(size);
  stream.next_out = out;
  stream.avail_out = static_cast<uInt>(room);
  inflate(&stream, Z_SYNC_FLUSH);
  const std::size_t made = room - stream.avail_out;
  inflateEnd(&stream);
  return made;
}

// The formats that are not text of the kind the tool reads, by name.
const char* name_of_other(const htsFormat& format, std::string_view first) {
  switch (format.format) {
    case bam:
      return "a BAM file";
    case cram:
      return "a CRAM file";
    case bai:
    case csi:
    case tbi:
    case crai:
      return "an index file";
    case htsget:
      return "an htsget ticket";
    case hts_crypt4gh_format:
      return "an encrypted (crypt4gh) file";
    case d4_format:
      return "a D4 file";
    case fasta_format:
      return "a FASTA file";
    case fastq_format:
      return "a FASTQ file";
    case sam:
      // A SAM header; a BED12 line can look like a SAM record.
      return first.starts_with("@") ? "a SAM file" : nullptr;
    default:
      return nullptr;
  }
}

}  // namespace

genome_input::~genome_input() {
  if (variants_ != nullptr) hts_close(variants_);
  if (text_ != nullptr) bgzf_close(text_);
  if (file_ != nullptr) hclose_abruptly(file_);
}

bool genome_input::open(const std::string& path, std::string* error) {
  path_ = path;
  const auto refuse = [&](file_step step, int code) {
    *error =
        messages::file_failed(path, {step, std::error_code(code != 0 ? code : EIO, std::generic_category())});
    return false;
  };
  int fd = -1;
  if (path == "-") {
    fd = os::standard_input();
  } else if (const int code = os::open_input(path, fd); code != 0) {
    return refuse(file_step::open, code);
  }
  os::identity_of(fd, identity_);
  file_ = hdopen(fd, "r");
  if (file_ == nullptr) {
    const int code = errno;
    os::close_file(fd);
    return refuse(file_step::open, code);
  }

  unsigned char raw[peeked_bytes];
  errno = 0;
  const ssize_t peeked = hpeek(file_, raw, sizeof raw);
  if (peeked < 0) return refuse(file_step::read, errno);
  const auto raw_size = static_cast<std::size_t>(peeked);
  const input_sniff outer = sniff_input({raw, std::min(raw_size, SNIFF_BYTES)});
  if (outer.kind != input_kind::text && outer.kind != input_kind::gzip) {
    *error = messages::not_text(path, outer.kind);
    return false;
  }
  // What the text begins with, inside any gzip or BGZF compression.
  unsigned char inflated[peeked_bytes];
  const unsigned char* first = raw;
  std::size_t first_size = raw_size;
  if (outer.kind == input_kind::gzip) {
    first_size = inflate_start(raw, raw_size, inflated, sizeof inflated);
    first = inflated;
  }
  const input_sniff inner = sniff_input({first, std::min(first_size, SNIFF_BYTES)});
  if (inner.kind != input_kind::text) {
    if (outer.kind == input_kind::gzip && inner.kind != input_kind::utf16 && inner.kind != input_kind::utf32)
      *error = messages::about(path, messages::compressed_twice(input_kind_name(inner.kind), "gzip"));
    else
      *error = messages::not_text(path, inner.kind);
    return false;
  }
  byte_order_mark_ = inner.byte_order_mark > 0;
  const std::string_view text(reinterpret_cast<const char*>(first) + inner.byte_order_mark,
                              first_size - inner.byte_order_mark);
  gff3_ = text.starts_with("##gff-version 3");

  htsFormat format{};
  if (hts_detect_format2(file_, nullptr, &format) < 0) return refuse(file_step::read, errno);
  if (format.format == vcf || format.format == bcf ||
      (byte_order_mark_ && text.starts_with("##fileformat=VCF"))) {
    holds_ = input_holds::variants;
  } else if (const char* other = name_of_other(format, text)) {
    holds_ = input_holds::other;
    other_name_ = other;
  }
  return true;
}

htsFile* genome_input::variants(std::string* error) {
  if (variants_ != nullptr) return variants_;
  variants_ = hts_hopen(file_, path_.c_str(), "r");
  if (variants_ == nullptr) {
    *error = messages::about(path_, messages::no_fileformat_line());
    return nullptr;
  }
  file_ = nullptr;  // closed with variants_
  if (byte_order_mark_) {
    // htslib took the file for text because of the mark: it is skipped, and
    // the file read as the VCF it is.
    char mark[3];
    const ssize_t skipped = variants_->format.compression == no_compression
                                ? hread(variants_->fp.hfile, mark, sizeof mark)
                                : bgzf_read(variants_->fp.bgzf, mark, sizeof mark);
    if (skipped != sizeof mark) {
      *error = messages::about(path_, messages::no_fileformat_line());
      return nullptr;
    }
    variants_->format.format = vcf;
  }
  return variants_;
}

BGZF* genome_input::text(std::string* error) {
  if (text_ != nullptr) return text_;
  text_ = bgzf_hopen(file_, "r");
  if (text_ == nullptr) {
    *error = messages::file_failed(
        path_, {file_step::read, std::error_code(errno != 0 ? errno : EIO, std::generic_category())});
    return nullptr;
  }
  file_ = nullptr;  // closed with text_
  return text_;
}

std::string genome_input::damage_further_on() {
  BGZF* fp = text_ != nullptr                                                          ? text_
             : variants_ != nullptr && variants_->format.compression != no_compression ? variants_->fp.bgzf
                                                                                       : nullptr;
  if (fp == nullptr || !fp->is_gzip) return {};
  static char sink[1 << 16];
  while (bgzf_read(fp, sink, sizeof sink) > 0) {
  }
  return damage_of(fp, path_);
}

std::string damage_of(BGZF* fp, std::string_view path) {
  const bool bgzf_blocks = fp->is_compressed && !fp->is_gzip;
  if (fp->errcode != 0) {
    if (!fp->is_compressed) {
      // Plain text: what failed is the read itself.
      const int code = errno != 0 ? errno : EIO;
      return messages::file_failed(path, {file_step::read, std::error_code(code, std::generic_category())});
    }
    // Where reading stopped: the start of the BGZF block that failed, or
    // the byte gzip's inflation had reached.
    std::int64_t at = fp->block_address;
    if (fp->is_gzip && fp->gz_stream != nullptr)
      at = htell(fp->fp) - static_cast<std::int64_t>(fp->gz_stream->avail_in);
    return messages::about(path, messages::damaged(bgzf_blocks ? "BGZF" : "gzip", at));
  }
  // Set once the data end: a file cut at a block boundary ends there too,
  // perhaps in the middle of a line.
  if (bgzf_blocks && fp->no_eof_block) return messages::about(path, messages::no_eof_block());
  return {};
}
