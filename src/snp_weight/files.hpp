// Opening the input files. The result file is opened by the core's
// result_file.
//
// Inputs are opened in binary mode on every platform: the reader applies
// the text-stream rules itself (CR is whitespace, Ctrl-Z ends the input),
// so a file reads the same on Linux and on Windows.
#pragma once

#include <cstdio>
#include <string>

// Opens `name` for reading. A directory is refused here, where some
// platforms would open it and fail only at the first read. Returns nullptr
// with "NAME: cannot open: REASON" in `error` on failure.
std::FILE* open_input(const char* name, std::string* error);
