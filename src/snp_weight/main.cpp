// snp_weight: weights SNPs by whether they lie inside a gene region.
//
// Reads "SNP_positions.txt" and "gene_regions.txt" from the current
// directory and writes "weight.txt". Takes no arguments (any given are
// ignored) and prints nothing on success; a failure prints one line on
// stderr and exits non-zero.
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "messages.hpp"
#include "platform.hpp"
#include "run.hpp"

namespace {

// Called when an allocation fails. Ends the run here rather than throwing:
// with no memory left, the C++ runtime may have none to throw with either.
[[noreturn]] void out_of_memory() {
  platform::remove_temporary_now();
  std::fputs("snp_weight: ", stderr);
  std::fputs(messages::OUT_OF_MEMORY, stderr);
  std::fputs("\n", stderr);
  std::_Exit(RUN_REFUSED);
}

}  // namespace

int main() {
  std::set_new_handler(out_of_memory);
  std::string error;
  const int status = run(&error);
  if (status != 0) std::fprintf(stderr, "%s\n", error.c_str());
  return status;
}
