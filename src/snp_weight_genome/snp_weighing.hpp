// Weighing the SNPs as they are read, and writing them: on the calling
// thread, or, for the SNPs of a text file (VCF, PLINK .bim or .pvar, BED, a
// table), on several through a line pipeline (line_pipeline.hpp), each
// worker with a line reader and a weigher of its own, writing the outputs'
// lines into parts that the outputs take in input order. So the results,
// the messages and the warnings are those of one thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "line_pipeline.hpp"
#include "snp_output.hpp"
#include "snp_reader.hpp"
#include "snp_weigher.hpp"

// Weighs every SNP of `snps` (after begin()) and writes it to `outputs`
// (after theirs), on `plan.workers` threads where the SNPs are lines of
// text and every output writes parts, else (or when no thread starts) on
// the calling thread. `weigher` gets the tallies of the SNPs' chromosomes;
// the workers' weighers are made like it. Returns false with the message
// in `error`.
bool weigh_snps(snp_reader& snps, snp_weigher& weigher,
                const std::vector<std::unique_ptr<snp_output>>& outputs, const parallel_plan& plan,
                std::string* error);
