#include "snp_reader.hpp"

#include "table_reader.hpp"
#include "vcf_reader.hpp"

std::unique_ptr<snp_reader> make_snp_reader(genome_input& input, const snp_reading& how, std::string* error) {
  if (how.format == snp_format::vcf && input.binary()) {
    htsFile* file = input.variants(error);
    return file == nullptr ? nullptr : std::make_unique<vcf_reader>(file, input.path(), how);
  }
  std::unique_ptr<byte_source> text = input.text(error);
  if (text == nullptr) return nullptr;
  if (how.format == snp_format::vcf) return std::make_unique<vcf_reader>(std::move(text), input.path(), how);
  return std::make_unique<table_reader>(std::move(text), input.path(), how);
}
