// The run sequence: opens the three files, reads both inputs, weighs every
// SNP, writes the weight file and closes the files in a fixed order.
#pragma once

#include <string>

// Exit statuses of a failed run.
inline constexpr int RUN_REFUSED = 1;        // a file cannot be opened, or an input is refused
inline constexpr int RUN_WRITE_FAILED = -1;  // writing the weight file failed

// Runs once in the current directory. Returns 0 on success; otherwise
// RUN_REFUSED or RUN_WRITE_FAILED with a one-line message in `error`, and
// no weight file is left behind (an earlier one survives only a failure to
// open an input).
int run(std::string* error);
