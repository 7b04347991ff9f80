// The run sequence: opens the three files, reads both inputs, weighs every
// SNP, writes the weight file and closes the files in a fixed order.
#pragma once

#include <string>

// Exit statuses of a failed run.
inline constexpr int RUN_REFUSED = 1;        // a file cannot be opened, an input is refused, no memory
inline constexpr int RUN_WRITE_FAILED = -1;  // writing or replacing the weight file failed

// Runs once in the current directory. Returns 0 on success, with weight.txt
// replaced whole; otherwise RUN_REFUSED or RUN_WRITE_FAILED with a one-line
// message in `error`, and weight.txt as it was before the run.
int run(std::string* error);
