// Writes "weight.txt": one line per SNP row, in row order, of the pattern
// "%s\t%f\n": the name exactly as read, a tab, the weight as a fixed-point
// number with six decimals and a full stop (whatever the locale), and a line
// end written through the text stream.
#pragma once

#include <cstdio>
#include <system_error>

#include "records.hpp"

// Writes rows 0 to count - 1 to `out`, which stays open. Returns the reason
// of the first failed write, or no error.
std::error_code write_weight_file(std::FILE* out, const snp_table& snps);
