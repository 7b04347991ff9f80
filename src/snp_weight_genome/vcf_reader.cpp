#include "vcf_reader.hpp"

#include <htslib/tbx.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>

#include "htslib_fields.hpp"
#include "messages.hpp"

namespace {

// What htslib found wrong with a record, in words.
const char* htslib_problem(int errors) {
  if (errors & BCF_ERR_NCOLS) return "fewer than 8 columns";
  if (errors & BCF_ERR_CHAR) return "an invalid character";
  if (errors & BCF_ERR_CTG_INVALID) return "an invalid CHROM";
  if (errors & BCF_ERR_LIMITS) return "a value beyond htslib's limits";
  return nullptr;
}

// The checks htslib leaves to its callers on a VCF line: at least 8
// columns, and POS all digits. Returns nullptr when it passes, "" for a POS
// that is no number (in `pos`), else why. `fixed` gets the length of the
// first 8 columns: all a weight needs parsed.
const char* line_problem(std::string_view line, std::string_view& pos, std::size_t& fixed) {
  std::size_t columns = 1;
  std::size_t pos_begin = 0, pos_end = line.size();
  fixed = line.size();
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\t') continue;
    ++columns;
    if (columns == 2) pos_begin = i + 1;
    if (columns == 3) pos_end = i;
    if (columns == 9) {
      fixed = i;
      break;
    }
  }
  if (columns < 8) return line.find(' ') != std::string_view::npos ? "columns separated by spaces, not tabs"
                                                                  : "fewer than 8 columns";
  pos = line.substr(pos_begin, pos_end - pos_begin);
  if (pos.empty() || pos.find_first_not_of("0123456789") != std::string_view::npos) return "";
  return nullptr;
}

std::string_view named(std::string_view name) { return name == "." ? std::string_view{} : name; }

// What is wrong with a record htslib read or parsed (its errors, an invalid
// CHROM), or nullptr.
const char* record_problem(const bcf_hdr_t* header, const bcf1_t* record) {
  if (const char* problem = htslib_problem(variant_errors(record))) return problem;
  return bcf_seqname(header, record) == nullptr ? "an invalid CHROM" : nullptr;
}

// The SNP of a record that passed its checks; false for one that
// snvs_only leaves out.
bool snp_of(const bcf_hdr_t* header, bcf1_t* record, const snp_reading& how, genome_snp& snp) {
  bcf_unpack(record, BCF_UN_STR);
  if (how.snvs_only && bcf_get_variant_types(record) != VCF_SNP) return false;
  snp.chromosome = bcf_seqname(header, record);
  snp.match = snp.chromosome;
  snp.position = variant_position(record);
  snp.name = named(variant_id(record));
  snp.alt = variant_first_alt(record);
  snp.centimorgans = {};
  snp.variant = record;
  return true;
}

}  // namespace

vcf_line_reader::vcf_line_reader(bcf_hdr_t* header, bool own_copy, const std::string& path, const snp_reading& how)
    : header_(own_copy ? bcf_hdr_dup(header) : header), own_copy_(own_copy), record_(bcf_init()), path_(path), how_(how) {
  if (header_ == nullptr || record_ == nullptr) {
    // Out of memory, as operator new takes it: the new handler, else a throw.
    if (const std::new_handler handler = std::get_new_handler()) handler();
    throw std::bad_alloc();
  }
  // CHROM, POS, ID, REF and ALT are all a weight needs: the rest of a
  // line, its samples above all, is not parsed.
  if (!how_.whole_records) record_->max_unpack = BCF_UN_STR;
}

vcf_line_reader::~vcf_line_reader() {
  bcf_destroy(record_);
  if (own_copy_) bcf_hdr_destroy(header_);
  ks_free(&line_);
}

line_reading vcf_line_reader::read(std::string_view line, std::int64_t number, genome_snp& snp, std::string* error) {
  if (line.empty()) return line_reading::skipped;
  std::string_view pos;
  std::size_t fixed = 0;
  const char* problem = line_problem(line, pos, fixed);
  if (problem != nullptr && *problem == '\0') {
    *error = messages::at_line(path_, number, messages::not_a_number("POS", pos));
    return line_reading::refused;
  }
  if (problem == nullptr) {
    // vcf_parse() writes into the line, which it reads to its terminator.
    line_.l = 0;
    kputsn(line.data(), how_.whole_records ? line.size() : fixed, &line_);
    if (vcf_parse(&line_, header_, record_) < 0) {
      problem = htslib_problem(variant_errors(record_));
      if (problem == nullptr) problem = "htslib cannot read it";
    }
  }
  if (problem == nullptr) problem = record_problem(header_, record_);
  if (problem != nullptr) {
    *error = messages::at_line(path_, number, messages::invalid_record("VCF", problem));
    return line_reading::refused;
  }
  return snp_of(header_, record_, how_, snp) ? line_reading::snp : line_reading::skipped;
}

vcf_reader::vcf_reader(std::unique_ptr<byte_source> text, std::string path, const snp_reading& how)
    : path_(std::move(path)), how_(how), source_(std::move(text)) {}

vcf_reader::vcf_reader(htsFile* binary, std::string path, const snp_reading& how)
    : path_(std::move(path)), how_(how), file_(binary) {}

vcf_reader::~vcf_reader() {
  line_reader_.reset();
  if (record_ != nullptr) bcf_destroy(record_);
  if (header_ != nullptr) bcf_hdr_destroy(header_);
}

bool vcf_reader::begin(std::string* error) {
  error->clear();
  if (file_ == nullptr) return begin_text(error);
  record_ = bcf_init();
  if (!how_.whole_records) record_->max_unpack = BCF_UN_STR;
  header_ = bcf_hdr_read(file_);
  if (header_ == nullptr) {
    const BGZF* fp = hts_get_bgzfp(file_);
    *error = fp != nullptr && bgzf_errors(fp) != 0
                 ? messages::about(path_, messages::damaged("BGZF", "before its first record"))
                 : messages::about(path_, messages::no_vcf_header());
    return false;
  }
  return true;
}

bool vcf_reader::begin_text(std::string* error) {
  lines_.emplace(*source_, path_, "VCF");
  // The header: "##" lines up to the "#CHROM" line, as htslib reads it.
  std::string text;
  std::string_view line;
  for (;;) {
    if (!lines_->next(line, error)) {
      if (error->empty()) *error = messages::about(path_, messages::no_vcf_header());
      return false;
    }
    if (line.empty()) continue;
    if (line.front() != '#') {
      *error = messages::about(path_, messages::no_vcf_header());
      return false;
    }
    text.append(line).push_back('\n');
    if (line.size() < 2 || line[1] != '#') break;
  }
  if (line.starts_with("#CHROM") && line.find('\t') == std::string_view::npos &&
      line.find(' ') != std::string_view::npos) {
    *error = messages::at_line(path_, lines_->line_number(), messages::separated_by_spaces("the #CHROM line's"));
    return false;
  }
  header_ = bcf_hdr_init("r");
  if (header_ == nullptr || bcf_hdr_parse(header_, text.data()) < 0) {
    *error = messages::about(path_, messages::no_vcf_header());
    return false;
  }
  line_reader_.emplace(header_, false, path_, how_);
  return true;
}

bool vcf_reader::next_line(genome_snp& snp, std::string* error) {
  std::string_view line;
  while (lines_->next(line, error)) {
    switch (line_reader_->read(line, lines_->line_number(), snp, error)) {
      case line_reading::snp:
        return true;
      case line_reading::skipped:
        continue;
      case line_reading::refused:
        return false;
    }
  }
  return false;
}

bool vcf_reader::next_record(std::int64_t& place, std::string* error) {
  const int got = bcf_read(file_, header_, record_);
  BGZF* fp = hts_get_bgzfp(file_);
  const std::string after = "after record " + std::to_string(records_);
  if (bgzf_errors(fp) != 0) {
    // A file that could not be read is not called damaged.
    const int read_error = read_errno(fp);
    *error = read_error != 0 ? messages::file_failed(path_, {file_step::read, std::error_code(read_error, std::generic_category())})
                             : messages::about(path_, messages::damaged("BGZF", after));
    return false;
  }
  // Data that end at a block boundary, perhaps inside a record.
  if (got < 0 && lacks_eof_block(fp)) {
    *error = messages::about(path_, messages::no_eof_block());
    return false;
  }
  if (got == -1) return false;
  place = ++records_;
  if (got < -1) {
    *error = messages::at_line(path_, place, messages::invalid_record("BCF", "htslib cannot read it"));
    return false;
  }
  return true;
}

bool vcf_reader::next(genome_snp& snp, std::string* error) {
  error->clear();
  if (lines_) return next_line(snp, error);
  for (;;) {
    std::int64_t place = 0;
    if (!next_record(place, error)) return false;
    if (const char* problem = record_problem(header_, record_)) {
      *error = messages::at_line(path_, place, messages::invalid_record("BCF", problem));
      return false;
    }
    if (snp_of(header_, record_, how_, snp)) return true;
  }
}

std::vector<declared_contig> vcf_reader::contigs() const {
  std::vector<declared_contig> contigs;
  int count = 0;
  const char** names = bcf_hdr_seqnames(header_, &count);
  for (int k = 0; k < count; ++k) contigs.push_back({names[k], declared_contig_length(header_, names[k]).value_or(0)});
  std::free(names);
  return contigs;
}

std::string vcf_reader::damage_further_on() { return lines_ ? lines_->damage_further_on() : std::string(); }
