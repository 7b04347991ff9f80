// Writes "weight.txt": one line per SNP, in input order, by the pattern
// "%s\t%f\n" of weight_writer.hpp.
#pragma once

#include <cstdio>
#include <system_error>

#include "records.hpp"

// Writes rows 0 to count - 1 of `snps` to `out`. Returns the reason of the
// first failed write, or no error.
std::error_code write_weight_file(std::FILE* out, const snp_table& snps);
