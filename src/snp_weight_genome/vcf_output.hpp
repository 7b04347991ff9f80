// The VCF back with the weight in it: each record as read, with INFO/WEIGHT
// (Float) added, and INFO/REGIONS (the names of the regions that hold it)
// with --names, both declared in the header. Written through htslib's
// writer, on the result file's descriptor: VCF, BGZF-compressed when the
// name ends in ".gz" or ".bgz", or BCF. It needs VCF or BCF input.
#pragma once

#include <htslib/vcf.h>

#include <string>

#include "name_table.hpp"
#include "result_file.hpp"
#include "snp_output.hpp"

class vcf_output final : public snp_output {
 public:
  vcf_output(std::string path, bool binary, bool names, const name_table& region_names);
  vcf_output(const vcf_output&) = delete;
  vcf_output& operator=(const vcf_output&) = delete;
  ~vcf_output() override;

  bool open(std::string* error) override { return file_.open(path_, error); }
  bool writes_into(const os::file_identity& input) const override { return file_.writes_into(input); }
  bool wants_regions() const override { return names_; }
  bool begin(const snp_reader& snps, std::string* error) override;
  void write(const genome_snp& snp, const snp_answer& answer) override;
  bool commit(std::string* error) override;
  void abandon() override {}

 private:
  // Declares INFO/ID in the header, or checks the input's own declaration.
  bool declare(const char* id, const char* number, const char* type, const char* description,
               const std::string& input, std::string* error);
  // The htslib writer on the result's descriptor, in the mode its name asks.
  bool open_writer(std::string* error);

  std::string path_;
  std::string input_;  // the SNP file's name, for messages
  bool binary_;
  bool names_;
  const name_table& region_names_;
  result_file file_;
  htsFile* writer_ = nullptr;
  bcf_hdr_t* header_ = nullptr;
  std::string regions_;  // the REGIONS value being made
  std::string problem_;  // why the records do not fit the output
  int failure_ = 0;      // the errno value of the first failed write
};
