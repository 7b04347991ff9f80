#include "cleanup.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace cleanup {

namespace {

// A slot is set only once its file exists, and cleared only once the file
// is gone or no longer the run's, so that a handler never removes a file
// another program put under the name, nor leaves its own.
struct temporary_slot {
  volatile std::sig_atomic_t pending = 0;
  int directory = -1;
  os::file_identity identity;
  char name[1024];
};
temporary_slot slots[MAX_TEMPORARIES];

}  // namespace

int note_temporary(const os::location& where, const std::string& name, const os::file_identity& identity) {
  for (int k = 0; k < MAX_TEMPORARIES; ++k) {
    temporary_slot& slot = slots[k];
    if (slot.pending != 0) continue;
    if (name.size() >= sizeof slot.name) return -1;
    std::memcpy(slot.name, name.c_str(), name.size() + 1);
    slot.directory = where.directory;
    slot.identity = identity;
    slot.pending = 1;
    return k;
  }
  return -1;
}

void forget_temporary(int slot) {
  if (slot >= 0 && slot < MAX_TEMPORARIES) slots[slot].pending = 0;
}

void remove_temporaries_now() {
  for (temporary_slot& slot : slots) {
    if (slot.pending == 0) continue;
    os::remove_now(slot.directory, slot.name, slot.identity);
    slot.pending = 0;
  }
}

void install() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  os::on_ending_signals(remove_temporaries_now);
}

namespace {

const char* out_of_memory_program = "";
const char* out_of_memory_message = "";
int out_of_memory_status = 1;

[[noreturn]] void end_out_of_memory() {
  remove_temporaries_now();
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
