#include "vcf_reader.hpp"

#include <htslib/tbx.h>

#include <cstdlib>
#include <cstring>

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

}  // namespace

vcf_reader::vcf_reader(std::unique_ptr<byte_source> text, std::string path, const snp_reading& how)
    : path_(std::move(path)), how_(how), source_(std::move(text)) {}

vcf_reader::vcf_reader(htsFile* binary, std::string path, const snp_reading& how)
    : path_(std::move(path)), how_(how), file_(binary) {}

vcf_reader::~vcf_reader() {
  if (record_ != nullptr) bcf_destroy(record_);
  if (header_ != nullptr) bcf_hdr_destroy(header_);
  ks_free(&line_);
}

bool vcf_reader::begin(std::string* error) {
  error->clear();
  record_ = bcf_init();
  // CHROM, POS, ID, REF and ALT are all a weight needs: the rest of a
  // line, its samples above all, is not parsed.
  if (!how_.whole_records) record_->max_unpack = BCF_UN_STR;
  if (file_ == nullptr) return begin_text(error);
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
  return true;
}

bool vcf_reader::next_line(std::int64_t& place, std::string* error) {
  std::string_view line;
  do {
    if (!lines_->next(line, error)) return false;
  } while (line.empty());
  place = lines_->line_number();
  std::string_view pos;
  std::size_t fixed = 0;
  const char* problem = line_problem(line, pos, fixed);
  if (problem != nullptr && *problem == '\0') {
    *error = messages::at_line(path_, place, messages::not_a_number("POS", pos));
    return false;
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
  if (problem != nullptr) {
    *error = messages::at_line(path_, place, messages::invalid_record("VCF", problem));
    return false;
  }
  return true;
}

bool vcf_reader::next_record(std::int64_t& place, std::string* error) {
  const int got = bcf_read(file_, header_, record_);
  BGZF* fp = hts_get_bgzfp(file_);
  const std::string after = "after record " + std::to_string(records_);
  if (bgzf_errors(fp) != 0) {
    *error = messages::about(path_, messages::damaged("BGZF", after));
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

const char* vcf_reader::record_problem() const {
  if (const char* problem = htslib_problem(variant_errors(record_))) return problem;
  return bcf_seqname(header_, record_) == nullptr ? "an invalid CHROM" : nullptr;
}

bool vcf_reader::next(genome_snp& snp, std::string* error) {
  error->clear();
  for (;;) {
    std::int64_t place = 0;  // the line of a VCF, the record of a BCF
    if (!(lines_ ? next_line(place, error) : next_record(place, error))) return false;
    if (const char* problem = record_problem()) {
      *error = messages::at_line(path_, place, messages::invalid_record(lines_ ? "VCF" : "BCF", problem));
      return false;
    }
    bcf_unpack(record_, BCF_UN_STR);
    if (how_.snvs_only && bcf_get_variant_types(record_) != VCF_SNP) continue;
    snp.chromosome = bcf_seqname(header_, record_);
    snp.match = snp.chromosome;
    snp.position = variant_position(record_);
    snp.name = named(variant_id(record_));
    snp.alt = variant_first_alt(record_);
    snp.centimorgans = {};
    snp.variant = record_;
    return true;
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
