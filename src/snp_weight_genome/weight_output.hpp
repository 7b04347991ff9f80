// The weight lines: NAME<TAB>WEIGHT, snp_weight's own, with the chromosome
// and position after the name (--columns), the names of the regions that
// hold the SNP last (--names: in file order, each once, comma-separated, or
// "." for none), and a first line naming the columns (--header).
#pragma once

#include <optional>
#include <string>

#include "region_index.hpp"
#include "result_file.hpp"
#include "snp_output.hpp"
#include "weight_writer.hpp"

struct weight_columns {
  bool position = false;  // --columns
  bool names = false;     // --names
  bool header = false;    // --header
};

class weight_output final : public snp_output {
 public:
  weight_output(std::string path, weight_columns columns, const region_index& index);

  bool open(std::string* error) override;
  bool writes_into(const os::file_identity& input) const override { return file_.writes_into(input); }
  bool wants_regions() const override { return columns_.names; }
  void begin() override;
  void write(const genome_snp& snp, const snp_answer& answer) override;
  bool commit(std::string* error) override;
  void abandon() override;

 private:
  std::string path_;
  weight_columns columns_;
  const region_index& index_;
  result_file file_;
  std::optional<weight_writer> writer_;
  distinct_names distinct_;
  std::vector<std::uint32_t> names_;
  std::string text_;
};
