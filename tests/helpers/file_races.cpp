// Another program acting on the result file, for output_safety.sh:
//
//   file_races exchange A B SECONDS
//     swaps the entries A and B atomically (renameat2, RENAME_EXCHANGE),
//     again and again for SECONDS: an attacker who makes a name a file one
//     moment and a link the next. A failed swap is tried again.
//   file_races lease FILE
//     takes a read lease on FILE, prints "leased", and gives it up when the
//     kernel says another process opens it for writing, as a file server
//     (Samba, the NFS server) does; then exits.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

volatile std::sig_atomic_t broken = 0;

int exchange(const char* a, const char* b, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  long swaps = 0;
  while (std::chrono::steady_clock::now() < end)
    swaps += renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_EXCHANGE) == 0 ? 1 : 0;
  return swaps > 0 ? 0 : 1;
}

int lease(const char* file) {
  std::signal(SIGIO, [](int) { broken = 1; });
  const int fd = open(file, O_RDONLY);
  if (fd < 0 || fcntl(fd, F_SETLEASE, F_RDLCK) != 0) {
    std::perror(file);
    return 1;
  }
  std::puts("leased");
  std::fflush(stdout);
  while (broken == 0) pause();
  usleep(200000);  // a server takes its time to flush its client's cache
  fcntl(fd, F_SETLEASE, F_UNLCK);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "exchange") == 0) return exchange(argv[2], argv[3], std::atoi(argv[4]));
  if (argc == 3 && std::strcmp(argv[1], "lease") == 0) return lease(argv[2]);
  std::fprintf(stderr, "usage: file_races exchange A B SECONDS | file_races lease FILE\n");
  return 2;
}
