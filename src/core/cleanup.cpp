#include "cleanup.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace cleanup {

namespace {

// Set only once the file exists, and cleared only once it is gone, so that
// a handler never removes a file another run created, nor leaves its own.
volatile std::sig_atomic_t pending = 0;
int pending_directory = -1;
char pending_name[1024];

}  // namespace

bool note_temporary(const os::location& where, const std::string& name) {
  if (name.size() >= sizeof pending_name) return false;
  std::memcpy(pending_name, name.c_str(), name.size() + 1);
  pending_directory = where.directory;
  pending = 1;
  return true;
}

void forget_temporary() { pending = 0; }

void remove_temporary_now() {
  if (pending == 0) return;
  os::remove_now(pending_directory, pending_name);
  pending = 0;
}

void install() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  os::on_ending_signals(remove_temporary_now);
}

namespace {

const char* out_of_memory_program = "";
const char* out_of_memory_message = "";
int out_of_memory_status = 1;

[[noreturn]] void end_out_of_memory() {
  remove_temporary_now();
  std::fputs(out_of_memory_program, stderr);
  std::fputs(": ", stderr);
  std::fputs(out_of_memory_message, stderr);
  std::fputs("\n", stderr);
  std::_Exit(out_of_memory_status);
}

}  // namespace

void end_on_out_of_memory(const char* program, const char* message, int status) {
  out_of_memory_program = program;
  out_of_memory_message = message;
  out_of_memory_status = status;
  std::set_new_handler(end_out_of_memory);
}

}  // namespace cleanup
