#include "htslib_fields.hpp"

#include <htslib/hfile.h>

#include <charconv>
#include <cstring>

bool lacks_eof_block(const BGZF* fp) { return fp->no_eof_block != 0; }

int bgzf_errors(const BGZF* fp) { return static_cast<int>(fp->errcode); }

int read_errno(const BGZF* fp) { return fp->fp != nullptr ? fp->fp->has_errno : 0; }

int variant_errors(const bcf1_t* record) { return record->errcode; }

int variant_contig(const bcf1_t* record) { return record->rid; }

int header_contigs(const bcf_hdr_t* header) { return header->n[BCF_DT_CTG]; }

std::int64_t variant_position(const bcf1_t* record) { return record->pos + 1; }

std::string_view variant_id(const bcf1_t* record) {
  return record->d.id == nullptr ? std::string_view{} : std::string_view(record->d.id);
}

std::string_view variant_ref(const bcf1_t* record) {
  return record->n_allele >= 1 ? std::string_view(record->d.allele[0]) : std::string_view{};
}

std::string_view variant_first_alt(const bcf1_t* record) {
  return record->n_allele >= 2 ? std::string_view(record->d.allele[1]) : std::string_view{};
}

std::optional<std::int64_t> declared_contig_length(const bcf_hdr_t* header, const char* chromosome) {
  bcf_hrec_t* line = bcf_hdr_get_hrec(header, BCF_HL_CTG, "ID", chromosome, nullptr);
  if (line == nullptr) return std::nullopt;
  const int key = bcf_hrec_find_key(line, "length");
  if (key < 0 || line->vals[key] == nullptr) return std::nullopt;
  const char* text = line->vals[key];
  std::int64_t length = 0;
  const char* end = text + std::strlen(text);
  const auto [stop, failure] = std::from_chars(text, end, length);
  if (failure != std::errc() || stop != end || length <= 0) return std::nullopt;
  return length;
}
