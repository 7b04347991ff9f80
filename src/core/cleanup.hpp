// The cleanup registry: the live temporary files of the process (a run may
// write more than one result), which a signal that ends the run, or running
// out of memory, removes before the process ends. Its records live in
// static storage, so that removing them allocates nothing.
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

// How many temporaries may be live at once.
inline constexpr int MAX_TEMPORARIES = 8;

// Notes the live temporary `name` in `where`, the file `identity`: only
// that file is ever removed under the name. Returns its slot, or -1 when
// the name is too long or every slot is taken. Call with the signals held,
// as for forget_temporary(slot).
int note_temporary(const os::location& where, const std::string& name, const os::file_identity& identity);
void forget_temporary(int slot);

// Removes every live temporary that is still the file it was: async-signal-
// safe.
void remove_temporaries_now();

// From now on the signals that end the run remove the live temporaries first.
void install();

// From now on a failed allocation removes the live temporaries, prints
// "PROGRAM: MESSAGE" on stderr and ends the process with `status`, rather
// than throwing: with no memory left, the C++ runtime may have none to throw
// with either. Both strings must outlive the process; nothing is allocated.
void end_on_out_of_memory(const char* program, const char* message, int status);

}  // namespace cleanup
