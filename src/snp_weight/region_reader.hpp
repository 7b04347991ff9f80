// Reads "gene_regions.txt": records of the pattern "%s %s %s %ld %ld\n",
// three text fields that are read and dropped, then a start and an end.
#pragma once

#include <functional>
#include <string>

#include "records.hpp"
#include "text_reader.hpp"

// Fills rows 0, 1, ... of `table` in file order and sets its count. Bounds
// are stored as read. Returns false with a one-line "FILE:LINE: message" or
// "FILE: message" in `error` when the file is refused (see record_loop.hpp),
// among others for more than MAX_REGIONS records. `block_read`, when given,
// is told of each block of the table as soon as it is full (not of the
// last one), whose rows then stay unchanged.
bool read_region_file(text_reader& in, region_table& table, std::string* error,
                      const std::function<void(const gene_region* rows, int count)>& block_read = {});
