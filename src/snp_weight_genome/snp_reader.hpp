// Reading SNPs one at a time, in file order. One reader per kind of input,
// behind this interface: vcf_reader (VCF and BCF, through htslib) and
// table_reader (PLINK .bim and .pvar, BED, and tables of summary
// statistics). Each gives a genome_snp; a VCF or BCF record stays reachable
// through it for an output that writes the record back.
#pragma once

#include <htslib/vcf.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats.hpp"
#include "genome_input.hpp"
#include "genome_records.hpp"

// A chromosome that a header declares: its name, and its length (0 when
// the header gives none).
struct declared_contig {
  std::string name;
  std::int64_t length = 0;
};

class text_lines;

// What a reader of text does to each line, for one thread: readers whose
// SNPs are lines hand one to each thread that reads their lines apart.
class snp_line_reader {
 public:
  virtual ~snp_line_reader() = default;
  // Reads the SNP of line `number`, whose views point into `line` or into
  // this reader until the next call; a refusal is worded "PATH:LINE: ..."
  // in `error`.
  virtual line_reading read(std::string_view line, std::int64_t number, genome_snp& snp, std::string* error) = 0;
};

class snp_reader {
 public:
  virtual ~snp_reader() = default;
  // Reads what comes before the first SNP (a VCF's header, a table's header
  // line). Returns false with a one-line message in `error`.
  virtual bool begin(std::string* error) = 0;
  // The next SNP; false at the end of the input, or with a message in
  // `error`.
  virtual bool next(genome_snp& snp, std::string* error) = 0;
  // After a refusal: the message that names damage further on in the
  // input, which explains the refusal, or "".
  virtual std::string damage_further_on() { return {}; }
  // The input's name, for messages.
  virtual const std::string& path() const = 0;
  // VCF and BCF: the header the records were read with.
  virtual const bcf_hdr_t* header() const { return nullptr; }
  // After begin(): the chromosomes its header declares (a VCF's or a
  // .pvar's ##contig lines).
  virtual std::vector<declared_contig> contigs() const { return {}; }
  // After begin(): "" when the SNPs come with an allele (genome_snp::alt),
  // else the message that says which column is missing.
  virtual std::string allele_problem() const { return {}; }

  // Readers of text, after begin(): the lines not read yet (nullptr for
  // none, or for another kind of reader), a first line read already that
  // holds the first SNP (its number is the lines' line_number()), and a
  // reader of lines for each thread.
  virtual text_lines* remaining_lines() { return nullptr; }
  virtual std::optional<std::string> pending_line() const { return std::nullopt; }
  virtual std::unique_ptr<snp_line_reader> line_reader() const { return nullptr; }
};

// What a run asks of its SNP reader.
struct snp_reading {
  snp_format format;
  bool snvs_only = false;  // VCF and BCF: single-base REF and ALTs only
  // A table's name, chromosome and position columns: header names or
  // 1-based numbers.
  std::optional<std::array<std::string, 3>> columns;
  // VCF and BCF: every field of each record is read, for an output that
  // writes the record back (else no further than ALT).
  bool whole_records = false;
  // A table PLINK or REGENIE wrote: chromosomes 23 to 26 are X, Y, XY, MT.
  bool plink_codes = false;
};

// The reader for `input` (which must outlive it) in `how.format`, or
// nullptr with the message in `error`.
std::unique_ptr<snp_reader> make_snp_reader(genome_input& input, const snp_reading& how, std::string* error);
