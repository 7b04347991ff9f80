// Weighing the SNPs as they are read, and writing them: on the calling
// thread, or, for the SNPs of a text file (VCF, PLINK .bim or .pvar, BED, a
// table), on several. Then the calling thread reads the file in the chunks
// of whole lines that one thread reads it in, and hands them out a few at a
// time; each worker counts and numbers its lines once the jobs before are
// numbered, reads them with a line reader of its own, weighs them with a
// weigher of its own and writes the outputs' lines into parts of its own;
// whichever worker finishes the next job in input order hands its parts to
// the outputs. So the results, the messages (a refused line's own number,
// damage named as damage) and the warnings are those of one thread, the
// reading thread does nothing but read, and memory stays that of a few
// chunks in flight.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "snp_output.hpp"
#include "snp_reader.hpp"
#include "snp_weigher.hpp"

// How the work is shared out.
struct parallel_plan {
  unsigned workers = 1;  // 1: all on the calling thread
  // The text a worker takes at a time: whole chunks, about this much.
  std::size_t job_bytes = std::size_t{1} << 20;
};

// Weighs every SNP of `snps` (after begin()) and writes it to `outputs`
// (after theirs), on `plan.workers` threads where the SNPs are lines of
// text and every output writes parts, else (or when no thread starts) on
// the calling thread. `weigher` gets the tallies of the SNPs' chromosomes;
// the workers' weighers are made like it. Returns false with the message
// in `error`.
bool weigh_snps(snp_reader& snps, snp_weigher& weigher,
                const std::vector<std::unique_ptr<snp_output>>& outputs, const parallel_plan& plan,
                std::string* error);
