// Writes "weight.txt": one line per SNP row, in row order, of the pattern
// "%s\t%f\n": the name exactly as read, a tab, the weight as a fixed-point
// number with six decimals and a full stop (whatever the locale), and a line
// end written through the text stream.
#pragma once

#include <cstdio>
#include <string>

#include "records.hpp"

// Writes rows 0 to count - 1 to `out`, which stays open. Returns false with
// "weight.txt: write error: REASON" in `error` at the first failed write.
bool write_weight_file(std::FILE* out, const snp_table& snps, std::string* error);
