// snp_weight_genome's run sequence: opens both inputs and the result, reads
// the SNPs, then the regions on their chromosomes, weighs every SNP by its
// own chromosome's regions and writes the weight lines in input order.
#pragma once

#include <string>
#include <vector>

#include "formats.hpp"

// Exit statuses.
inline constexpr int GENOME_REFUSED = 1;  // an input refused, or the result not written
inline constexpr int GENOME_USAGE = 2;    // the command line asks for something it cannot be

// Runs once. Returns 0 with the result in place (and in `warnings`, one line
// for each SNP chromosome that no region names), or GENOME_REFUSED with a
// one-line message in `error` and an earlier result file as it was.
int run_genome(const genome_options& options, std::string* error, std::vector<std::string>* warnings);
