// Opening the input files, and the messages for a file that cannot be opened
// or written, each one line. The weight file is opened by
// platform::replacement_file.
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

// "NAME: cannot open: REASON".
std::string cannot_open_message(const char* name, const std::string& reason);

// "NAME: write error: REASON" for the current errno.
std::string write_error_message(const char* name);
