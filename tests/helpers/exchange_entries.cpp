// exchange_entries A B SECONDS: swaps the directory entries A and B
// atomically (renameat2 with RENAME_EXCHANGE), again and again, for SECONDS:
// an attacker who makes a name a file one moment and a link the next. A
// failed swap (the victim replaced one of the entries) is tried again.
#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: exchange_entries A B SECONDS\n");
    return 2;
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[3]));
  long swaps = 0;
  while (std::chrono::steady_clock::now() < end)
    swaps += renameat2(AT_FDCWD, argv[1], AT_FDCWD, argv[2], RENAME_EXCHANGE) == 0 ? 1 : 0;
  return swaps > 0 ? 0 : 1;
}
