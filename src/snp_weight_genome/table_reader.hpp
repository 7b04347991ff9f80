// SNPs from the text formats (PLINK .bim and .pvar, BED, tables), one line
// at a time, by a table_layout.
#pragma once

#include <memory>
#include <optional>

#include "snp_reader.hpp"
#include "table_layout.hpp"
#include "text_lines.hpp"

// A table's lines, for one thread: the layout is shared, the fields its own.
class table_line_reader final : public snp_line_reader {
 public:
  table_line_reader(const table_layout& layout, const std::string& path) : layout_(layout), path_(path) {}
  line_reading read(std::string_view line, std::int64_t number, genome_snp& snp, std::string* error) override;

 private:
  const table_layout& layout_;
  const std::string& path_;
  line_fields fields_;
  std::string problem_;
};

class table_reader final : public snp_reader {
 public:
  // Reads `source`, named `path` in messages.
  table_reader(std::unique_ptr<byte_source> source, std::string path, const snp_reading& how);

  bool begin(std::string* error) override;
  bool next(genome_snp& snp, std::string* error) override;
  std::string damage_further_on() override;
  const std::string& path() const override { return path_; }

  text_lines* remaining_lines() override { return lines_ ? &*lines_ : nullptr; }
  // A first line that held a SNP, not a header: it is read first.
  std::optional<std::string> pending_line() const override;
  std::unique_ptr<snp_line_reader> line_reader() const override {
    return std::make_unique<table_line_reader>(layout_, path_);
  }
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
  table_line_reader line_reader_{layout_, path_};
  std::string pending_;  // the first line that is no "##" comment: a header, or data
  std::int64_t pending_number_ = 0;
  bool has_pending_ = false;
  std::vector<declared_contig> contigs_;  // a .pvar's ##contig lines
};
