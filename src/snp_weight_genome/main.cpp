// snp_weight_genome: snp_weight's weights straight from the field's own
// files. Gives every SNP of a VCF, BCF, PLINK .bim or .pvar, BED or table
// (summary statistics among them) the weight 0.8 when it lies inside a
// region of its own chromosome (BED, GTF/GFF3 or a plain table), else 0.4,
// for any number of SNPs, and writes snp_weight's weight lines in input
// order.
#include <htslib/hts_log.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cleanup.hpp"
#include "genome_run.hpp"
#include "messages.hpp"
#include "options.hpp"
#include "os.hpp"

namespace {

constexpr const char* program = "snp_weight_genome";

int usage_error(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", program, message.c_str());
  return GENOME_USAGE;
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything can allocate.
  cleanup::end_on_out_of_memory(program, messages::OUT_OF_MEMORY, GENOME_REFUSED);
  os::keep_freed_memory();
  hts_set_log_level(HTS_LOG_OFF);  // every message is the tool's own

  genome_options options;
  std::string message;
  // The command line in UTF-8, whatever the console's code page.
  switch (parse_command_line(os::arguments(argc, argv), options, &message)) {
    case command_line::shown:
      return 0;
    case command_line::bad:
      return usage_error(message);
    case command_line::run:
      break;
  }
  std::vector<std::string> warnings;
  const int status = run_genome(options, &message, &warnings);
  // A failure is one line; the warnings are for a run that succeeded.
  if (status == GENOME_USAGE) return usage_error(message);
  if (status != 0) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return status;
  }
  for (const std::string& warning : warnings) std::fprintf(stderr, "%s\n", warning.c_str());
  return 0;
}
