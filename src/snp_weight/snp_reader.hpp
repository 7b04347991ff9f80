// Reads "SNP_positions.txt": records of the pattern "%s %ld %s\n", an SNP
// name, its position and a third field that is read and dropped.
#pragma once

#include <string>

#include "records.hpp"
#include "text_reader.hpp"

// Fills rows 0, 1, ... of `table` in file order and sets its count. Returns
// false with a one-line "FILE:LINE: message" or "FILE: message" in `error`
// when the file is refused (see record_loop.hpp), among others for a name
// longer than 19 characters or more than MAX_SNPS records.
bool read_snp_file(text_reader& in, snp_table& table, std::string* error);
