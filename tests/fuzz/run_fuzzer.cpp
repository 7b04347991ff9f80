// Fuzzes the whole run in a temporary directory. The input is split at the
// first "|||" into the SNP file and the region file. Whatever they hold, the
// run either succeeds with one weight line per SNP, or fails with one line
// naming a file and leaves the weight file of the previous input as it was.
// Either way no temporary file is left.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "cleanup.hpp"
#include "records.hpp"
#include "run.hpp"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

void write_file(const char* name, std::string_view bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  check(static_cast<bool>(out));
}

std::string read_file(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Enters a fresh temporary directory once, for every run of the process.
struct temporary_directory {
  temporary_directory() {
    path = std::filesystem::temp_directory_path() / ("snp_weight_fuzz_" + std::to_string(std::rand()));
    std::filesystem::create_directories(path);
    std::filesystem::current_path(path);
  }
  ~temporary_directory() {
    std::error_code ignored;
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
    std::filesystem::remove_all(path, ignored);
  }
  std::filesystem::path path;
};

// The run's cleanup handlers would take over the signals libFuzzer uses
// itself (SIGALRM for its timeouts, SIGUSR1 and SIGUSR2, SIGINT): they are
// installed once here, and every signal's action as libFuzzer left it is
// put back at once, so that no run installs them again.
void keep_the_fuzzers_signals() {
  struct sigaction saved[NSIG];
  for (int s = 1; s < NSIG; ++s) sigaction(s, nullptr, &saved[s]);
  cleanup::install();
  for (int s = 1; s < NSIG; ++s) sigaction(s, &saved[s], nullptr);  // SIGKILL and SIGSTOP refuse: no matter
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static temporary_directory directory;
  static const bool signals_kept = (keep_the_fuzzers_signals(), true);
  (void)signals_kept;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t split = bytes.find("|||");
  write_file(SNP_FILE_NAME, bytes.substr(0, split));
  write_file(REGION_FILE_NAME, split == std::string_view::npos ? "" : bytes.substr(split + 3));

  const bool existed = std::filesystem::exists(WEIGHT_FILE_NAME);
  const std::string earlier = read_file(WEIGHT_FILE_NAME);
  std::string error;
  const int status = run(&error);
  for (const auto& entry : std::filesystem::directory_iterator("."))
    check(entry.path().extension() != ".tmp");
  if (status == 0) {
    const std::string text = read_file(WEIGHT_FILE_NAME);
    check(text.empty() || text.back() == '\n');
    for (std::size_t line = 0, end; line < text.size(); line = end + 1) {
      end = text.find('\n', line);
      const std::string_view row = std::string_view(text).substr(line, end - line);
      check(row.ends_with("\t0.400000") || row.ends_with("\t0.800000"));
    }
  } else {
    check(status == RUN_REFUSED);
    check(error.find('\n') == std::string::npos);
    check(error.starts_with(SNP_FILE_NAME) || error.starts_with(REGION_FILE_NAME));
    check(std::filesystem::exists(WEIGHT_FILE_NAME) == existed && read_file(WEIGHT_FILE_NAME) == earlier);
  }
  return 0;
}
