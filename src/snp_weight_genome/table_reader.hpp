// SNPs from the text formats (PLINK .bim and .pvar, BED, tables), one line
// at a time, by a table_layout.
#pragma once

#include <memory>
#include <optional>

#include "snp_reader.hpp"
#include "table_layout.hpp"
#include "text_lines.hpp"

class table_reader final : public snp_reader {
 public:
  // Reads `source`, named `path` in messages.
  table_reader(std::unique_ptr<byte_source> source, std::string path, const snp_reading& how);

  bool begin(std::string* error) override;
  bool next(genome_snp& snp, std::string* error) override;
  std::string damage_further_on() override;
  const std::string& path() const override { return path_; }

  // For readers that split the work: the layout, and the lines not yet
  // read (after begin(), the header among them).
  const table_layout& layout() const { return layout_; }
  std::optional<text_lines>& lines() { return lines_; }
  // A first line that held a SNP, not a header: it is read first.
  std::optional<std::string> pending_line() const;
  // Notes a "##contig=<ID=...,length=...>" line.
  void note_contig(std::string_view line);
  std::string allele_problem() const override;
  std::vector<declared_contig> contigs() const override { return contigs_; }

 private:
  std::string path_;
  snp_reading how_;
  table_layout layout_;
  std::unique_ptr<byte_source> source_;
  std::optional<text_lines> lines_;
  line_fields fields_;
  std::string pending_;  // the first line that is no "##" comment: a header, or data
  std::int64_t pending_number_ = 0;
  bool has_pending_ = false;
  std::vector<declared_contig> contigs_;  // a .pvar's ##contig lines
};
