// What a run writes for its SNPs: each kind of output one type over the
// core's result file, which puts it in place whole or not at all. A new
// kind of output is a new file, its option, and a line of make_outputs()
// (genome_run.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "genome_records.hpp"
#include "os.hpp"
#include "snp_reader.hpp"
#include "weight_writer.hpp"

// What the regions say of one SNP.
struct snp_answer {
  std::uint64_t classes = 0;           // bit c: a region of class c holds it
  std::uint32_t chromosome = 0;        // its chromosome in the index, when it has regions
  std::vector<std::uint32_t> regions;  // the regions that hold it, in file order, where asked for
  std::vector<std::uint32_t> names;    // their distinct names (ids into the index's name table), likewise
  double weight = 0;                   // that of the first class that holds it, else the weight outside
  std::string_view label;              // its name, or CHROM:POS when it has none
};

// What an output makes of some SNPs apart from its result, on another
// thread, for the result to take in input order.
struct output_part {
  output_part() : writer(string_sink(text)) {}
  output_part(const output_part&) = delete;
  output_part& operator=(const output_part&) = delete;

  std::string text;                    // whole lines
  weight_writer writer;                // writes into text
  std::vector<std::uint32_t> numbers;  // what else the output keeps of the SNPs
};

class snp_output {
 public:
  virtual ~snp_output() = default;
  // Opens the result, before any input is read. Returns false with the
  // message in `error`.
  virtual bool open(std::string* error) = 0;
  // Whether the result is written straight into the regular file `input`
  // as it is made (so that reading that input would read the result).
  virtual bool writes_into(const os::file_identity& input) const = 0;
  // Whether answers must name the regions that hold each SNP.
  virtual bool wants_regions() const { return false; }
  // What comes before the first SNP (a header line), once `snps` read its
  // own header. Returns false, with the message in `error`, when the SNPs
  // do not fit the output (no alleles for a score, no VCF for a VCF).
  virtual bool begin(const snp_reader& snps, std::string* error) = 0;
  // One SNP, in input order.
  virtual void write(const genome_snp& snp, const snp_answer& answer) = 0;
  // Whether write_part() and take_part() can stand for write(), so that
  // threads make the output's lines.
  virtual bool writes_parts() const { return false; }
  // One SNP into `part`, as write() would write it; from any thread.
  virtual void write_part(const genome_snp&, const snp_answer&, output_part&) const {}
  // A part whose writer is finished, in input order: as if its SNPs were
  // written one by one.
  virtual void take_part(output_part&) {}
  // Puts the result in place. Returns false with the message in `error`.
  virtual bool commit(std::string* error) = 0;
  // After the run failed part way: what can be kept is (the whole lines
  // already on the standard output), and the rest goes.
  virtual void abandon() = 0;
};
