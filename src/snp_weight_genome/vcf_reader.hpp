// SNPs from VCF and BCF, through htslib, no further than CHROM, POS, ID,
// REF and ALT unless the whole record is asked for: the name is ID, the
// position POS, the allele ALT's first. With snvs_only, only the records
// whose REF and every ALT are one base (as bcftools's TYPE="snp"). VCF text
// is read by the tool's own line reader, so that its lines are numbered,
// checked and refused as those of every other text format; each line is
// then parsed by htslib.
#pragma once

#include <htslib/kstring.h>

#include <memory>
#include <optional>

#include "snp_reader.hpp"
#include "text_lines.hpp"

// VCF lines, for one thread: each parsed by htslib into a record of its
// own, against the reader's header, or against a copy of its own, since
// htslib adds to a header the contigs and tags that a line uses without
// declaring them.
class vcf_line_reader final : public snp_line_reader {
 public:
  vcf_line_reader(bcf_hdr_t* header, bool own_copy, const std::string& path, const snp_reading& how);
  vcf_line_reader(const vcf_line_reader&) = delete;
  vcf_line_reader& operator=(const vcf_line_reader&) = delete;
  ~vcf_line_reader() override;

  line_reading read(std::string_view line, std::int64_t number, genome_snp& snp, std::string* error) override;

 private:
  bcf_hdr_t* header_;
  bool own_copy_;
  bcf1_t* record_;
  kstring_t line_ = {0, 0, nullptr};
  const std::string& path_;
  const snp_reading& how_;
};

class vcf_reader final : public snp_reader {
 public:
  // Reads VCF text from `text`, or BCF through `binary` (owned by the caller),
  // named `path` in messages.
  vcf_reader(std::unique_ptr<byte_source> text, std::string path, const snp_reading& how);
  vcf_reader(htsFile* binary, std::string path, const snp_reading& how);
  vcf_reader(const vcf_reader&) = delete;
  vcf_reader& operator=(const vcf_reader&) = delete;
  ~vcf_reader() override;

  bool begin(std::string* error) override;
  bool next(genome_snp& snp, std::string* error) override;
  std::string damage_further_on() override;
  const std::string& path() const override { return path_; }
  const bcf_hdr_t* header() const override { return header_; }
  std::vector<declared_contig> contigs() const override;
  text_lines* remaining_lines() override { return lines_ ? &*lines_ : nullptr; }
  std::unique_ptr<snp_line_reader> line_reader() const override {
    return lines_ ? std::make_unique<vcf_line_reader>(header_, true, path_, how_) : nullptr;
  }

 private:
  bool begin_text(std::string* error);
  // The next SNP of a VCF, or of a BCF into record_: false at the end, or
  // with a message in `error`.
  bool next_line(genome_snp& snp, std::string* error);
  bool next_record(std::int64_t& place, std::string* error);

  std::string path_;
  snp_reading how_;
  // VCF text.
  std::unique_ptr<byte_source> source_;
  std::optional<text_lines> lines_;
  std::optional<vcf_line_reader> line_reader_;
  // BCF.
  htsFile* file_ = nullptr;
  std::int64_t records_ = 0;
  bcf_hdr_t* header_ = nullptr;
  bcf1_t* record_ = nullptr;
};
