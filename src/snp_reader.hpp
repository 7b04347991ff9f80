// Reads "SNP_positions.txt": records of the pattern "%s %ld %s\n", an SNP
// name, its position and a third field that is read and dropped.
#pragma once

#include <string>

#include "records.hpp"
#include "text_reader.hpp"

// Fills rows 0, 1, ... of `table` in file order and sets its count. Returns
// false with a one-line "FILE:LINE: message" in `error` when the file is
// refused: a name longer than 19 characters or holding a NUL byte, a
// position outside 32 bits, more than MAX_SNPS records, or a read error.
bool read_snp_file(text_reader& in, snp_table& table, std::string* error);
