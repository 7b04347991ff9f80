// A result written line by line: the core's result file, gzip-compressed
// (BGZF, through htslib) when its name ends in ".gz" or ".bgz", and a
// writer that hands it whole lines; and line_output, the base of the
// outputs written so.
#pragma once

#include <htslib/bgzf.h>

#include <optional>
#include <string>

#include "result_file.hpp"
#include "snp_output.hpp"
#include "weight_writer.hpp"

class line_result {
 public:
  // `compress`: a name ending ".gz" or ".bgz" is written compressed.
  line_result(std::string path, bool compress);
  line_result(const line_result&) = delete;
  line_result& operator=(const line_result&) = delete;
  ~line_result();

  // Opens the result. Returns false with the message in `error`.
  bool open(std::string* error);
  bool writes_into(const os::file_identity& input) const { return file_.writes_into(input); }
  weight_writer& writer() { return *writer_; }
  // Puts the result in place. Returns false with the message in `error`.
  bool commit(std::string* error);
  // After a failure part way: the whole lines written so far stay on the
  // standard output; a file is left as it was.
  void abandon();

 private:
  static int write_compressed(void* context, const char* bytes, std::size_t size);

  std::string path_;
  bool compress_;
  result_file file_;
  BGZF* compressed_ = nullptr;
  std::optional<weight_writer> writer_;
};

// An output written line by line into a line_result: what each kind of line
// output writes is its own; opening, committing and abandoning are this.
class line_output : public snp_output {
 public:
  line_output(std::string path, bool compress) : result_(std::move(path), compress) {}

  bool open(std::string* error) override { return result_.open(error); }
  bool writes_into(const os::file_identity& input) const override { return result_.writes_into(input); }
  bool commit(std::string* error) override { return result_.commit(error); }
  void abandon() override { result_.abandon(); }

 protected:
  weight_writer& out() { return result_.writer(); }
  line_result result_;
};

// A line output whose lines for a SNP depend on that SNP alone: threads
// make them, and the result takes them in input order.
class snp_line_output : public line_output {
 public:
  using line_output::line_output;

  void write(const genome_snp& snp, const snp_answer& answer) override { format(snp, answer, out()); }
  bool writes_parts() const override { return true; }
  void write_part(const genome_snp& snp, const snp_answer& answer, output_part& part) const override {
    format(snp, answer, part.writer);
  }
  void take_part(output_part& part) override { out().lines(part.text); }

 protected:
  // One SNP's lines into `out`.
  virtual void format(const genome_snp& snp, const snp_answer& answer, weight_writer& out) const = 0;
};
