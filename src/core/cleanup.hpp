// The cleanup registry: the one live temporary file of the process, which
// a signal that ends the run, or running out of memory, removes before the
// process ends. Its record lives in static storage, so that removing it
// allocates nothing.
#pragma once

#include <string>

#include "os.hpp"

namespace cleanup {

// Holds the ending signals back while it lives, so that no signal falls
// between two steps that must happen together (creating a temporary and
// noting it; removing it and forgetting it).
class signals_held {
 public:
  signals_held() { os::hold_ending_signals(); }
  ~signals_held() { os::release_ending_signals(); }
  signals_held(const signals_held&) = delete;
  signals_held& operator=(const signals_held&) = delete;
};

// Notes, and forgets, the live temporary `name` in `where`. Call both with
// the signals held. Returns false when the name is too long to note.
bool note_temporary(const os::location& where, const std::string& name);
void forget_temporary();

// Removes the live temporary, if any: async-signal-safe.
void remove_temporary_now();

// From now on the signals that end the run remove the live temporary first.
void install();

// From now on a failed allocation removes the live temporary, prints
// "PROGRAM: MESSAGE" on stderr and ends the process with `status`, rather
// than throwing: with no memory left, the C++ runtime may have none to throw
// with either. Both strings must outlive the process; nothing is allocated.
void end_on_out_of_memory(const char* program, const char* message, int status);

}  // namespace cleanup
