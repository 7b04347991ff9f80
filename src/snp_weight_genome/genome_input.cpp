#include "genome_input.hpp"

#include <zlib.h>

#include <cerrno>
#include <system_error>

#include "input_format.hpp"
#include "messages.hpp"

namespace {

// How many of the first bytes are looked at.
constexpr std::size_t peeked_bytes = 4096;

// The first decompressed bytes of gzip or BGZF data, without consuming
// anything: enough to tell what is inside, across as many gzip members
// (BGZF blocks) as the bytes hold.
std::size_t inflate_start(const unsigned char* in, std::size_t size, unsigned char* out, std::size_t room) {
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 32) != Z_OK) return 0;
  stream.next_in = const_cast<unsigned char*>(in);
  stream.avail_in = static_cast<uInt>(size);
  stream.next_out = out;
  stream.avail_out = static_cast<uInt>(room);
  while (inflate(&stream, Z_SYNC_FLUSH) == Z_STREAM_END && stream.avail_in > 0 && stream.avail_out > 0)
    if (inflateReset(&stream) != Z_OK) break;
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

std::string read_failed(std::string_view path, file_step step, int code) {
  return messages::file_failed(path, {step, std::error_code(code != 0 ? code : EIO, std::generic_category())});
}

}  // namespace

genome_input::~genome_input() {
  if (variants_ != nullptr) hts_close(variants_);
  if (file_ != nullptr) hclose_abruptly(file_);
}

bool genome_input::open(const std::string& path, std::string* error) {
  path_ = path;
  int fd = -1;
  if (path == "-") {
    fd = os::standard_input();
  } else if (const int code = os::open_input(path, fd); code != 0) {
    *error = read_failed(path, file_step::open, code);
    return false;
  }
  os::identity_of(fd, identity_);
  file_ = hdopen(fd, "r");
  if (file_ == nullptr) {
    *error = read_failed(path, file_step::open, errno);
    os::close_file(fd);
    return false;
  }
  return look(error);
}

bool genome_input::look(std::string* error) {
  unsigned char raw[peeked_bytes];
  errno = 0;
  const ssize_t peeked = hpeek(file_, raw, sizeof raw);
  if (peeked < 0) {
    *error = read_failed(path_, file_step::read, errno);
    return false;
  }
  const auto raw_size = static_cast<std::size_t>(peeked);
  const input_sniff outer = sniff_input({raw, std::min(raw_size, SNIFF_BYTES)});
  if (outer.kind != input_kind::text && outer.kind != input_kind::gzip) {
    *error = messages::not_text(path_, outer.kind);
    return false;
  }
  // What the text begins with, inside any gzip or BGZF compression.
  compressed_ = outer.kind == input_kind::gzip;
  unsigned char inflated[peeked_bytes];
  const unsigned char* first = compressed_ ? inflated : raw;
  const std::size_t first_size = compressed_ ? inflate_start(raw, raw_size, inflated, sizeof inflated) : raw_size;
  const input_sniff inner = sniff_input({first, std::min(first_size, SNIFF_BYTES)});
  if (inner.kind != input_kind::text) {
    if (compressed_ && inner.kind != input_kind::utf16 && inner.kind != input_kind::utf32)
      *error = messages::about(path_, messages::compressed_twice(input_kind_name(inner.kind), "gzip"));
    else
      *error = messages::not_text(path_, inner.kind);
    return false;
  }
  first_text_.assign(reinterpret_cast<const char*>(first) + inner.byte_order_mark,
                     first_size - inner.byte_order_mark);

  htsFormat format{};
  if (hts_detect_format2(file_, nullptr, &format) < 0) {
    *error = read_failed(path_, file_step::read, errno);
    return false;
  }
  bgzf_blocks_ = format.compression == bgzf;
  // A byte order mark hides a VCF from htslib's eyes, not from the tool's.
  if (format.format == vcf || format.format == bcf || first_text_.starts_with("##fileformat=VCF")) {
    holds_ = input_holds::variants;
    binary_ = format.format == bcf;
  } else if (const char* other = name_of_other(format, first_text_)) {
    holds_ = input_holds::other;
    other_name_ = other;
  }
  return true;
}

std::unique_ptr<byte_source> genome_input::text(std::string* error) {
  if (!compressed_ && file_ != nullptr) {
    hFILE* file = file_;
    file_ = nullptr;
    return std::make_unique<plain_source>(file);
  }
  BGZF* fp = file_ == nullptr ? nullptr : bgzf_hopen(file_, "r");
  if (fp == nullptr) {
    *error = read_failed(path_, file_step::read, errno);
    return nullptr;
  }
  file_ = nullptr;  // closed with fp
  return std::make_unique<bgzf_source>(fp, compressed_, bgzf_blocks_);
}

htsFile* genome_input::variants(std::string* error) {
  variants_ = file_ == nullptr ? nullptr : hts_hopen(file_, path_.c_str(), "r");
  if (variants_ == nullptr) {
    *error = messages::about(path_, messages::no_vcf_header());
    return nullptr;
  }
  file_ = nullptr;  // closed with variants_
  return variants_;
}
