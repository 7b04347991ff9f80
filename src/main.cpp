// snp_weight: weights SNPs by whether they lie inside a gene region.
//
// Reads "SNP_positions.txt" and "gene_regions.txt" from the current
// directory and writes "weight.txt". Takes no arguments (any given are
// ignored) and prints nothing on success; a failure prints one line on
// stderr and exits non-zero.
#include <cstdio>
#include <new>
#include <string>

#include "run.hpp"

int main() {
  std::string error;
  int status = 0;
  try {
    status = run(&error);
  } catch (const std::bad_alloc&) {
    // The run's destructors have removed its temporary file by now.
    std::fputs("snp_weight: out of memory\n", stderr);
    return RUN_REFUSED;
  }
  if (status != 0) std::fprintf(stderr, "%s\n", error.c_str());
  return status;
}
