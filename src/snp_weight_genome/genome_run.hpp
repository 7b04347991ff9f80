// snp_weight_genome's run sequence: opens both inputs and the result,
// reads every region into the index, then weighs the SNPs one at a time
// as they are read, writing each line at once, and puts the result in
// place only after the last SNP.
#pragma once

#include <string>
#include <vector>

#include "options.hpp"

// Exit statuses.
inline constexpr int GENOME_REFUSED = 1;  // an input refused, or the result not written
inline constexpr int GENOME_USAGE = 2;    // the command line asks for something it cannot be

// Runs once. Returns 0 with the result in place (and in `warnings`, a line
// for each SNP chromosome that no region names), GENOME_REFUSED with a
// one-line message in `error` and an earlier result file as it was, or
// GENOME_USAGE when an input's format can be told neither from its name nor
// from its contents. On the standard output, a refusal leaves the lines
// written so far.
int run_genome(const genome_options& options, std::string* error, std::vector<std::string>* warnings);
