// snp_weight: weights SNPs by whether they lie inside a gene region.
//
// Reads "SNP_positions.txt" and "gene_regions.txt" from the current
// directory and writes "weight.txt". Takes no arguments (any given are
// ignored) and prints nothing on success; a failure prints one line on
// stderr and exits non-zero.
#include <cstdio>
#include <string>

#include "cleanup.hpp"
#include "messages.hpp"
#include "run.hpp"

int main() {
  cleanup::end_on_out_of_memory("snp_weight", messages::OUT_OF_MEMORY, RUN_REFUSED);
  std::string error;
  const int status = run(&error);
  if (status != 0) std::fprintf(stderr, "%s\n", error.c_str());
  return status;
}
