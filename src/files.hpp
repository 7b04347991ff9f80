// Opening and closing the tool's files, with a one-line message on failure.
//
// Inputs are opened in binary mode on every platform: the reader applies
// the text-stream rules itself (CR is whitespace, Ctrl-Z ends the input),
// so a file reads the same on Linux and on Windows. The weight file is a
// text stream, so its line ends are the platform's: LF, or CR LF on Windows.
#pragma once

#include <cstdio>
#include <string>

// Opens `name` for reading. A directory is refused here, where some
// platforms would open it and fail only at the first read. Returns nullptr
// with "NAME: cannot open: REASON" in `error` on failure.
std::FILE* open_input(const char* name, std::string* error);

// Creates `name`, or empties it when it exists, for writing as a text
// stream. Returns nullptr with "NAME: cannot open: REASON" on failure.
std::FILE* create_output(const char* name, std::string* error);

// Closes a stream written to. Returns false with "NAME: write error: REASON"
// when any earlier write or the final flush failed.
bool close_output(std::FILE* stream, const char* name, std::string* error);

// "NAME: write error: REASON" for the current errno.
std::string write_error_message(const char* name);
