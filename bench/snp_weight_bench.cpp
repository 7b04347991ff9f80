// Benchmarks at the tool's capacity: 2000 SNPs and 1,000,000 or 16,777,216
// gene regions (about 50 MB or 0.85 GB of region text), positions over
// 1..250,000,000.
//
//   cmake --preset bench && cmake --build --preset bench
//   build/bench/bench/snp_weight_bench
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "records.hpp"
#include "region_reader.hpp"
#include "run.hpp"
#include "snp_reader.hpp"
#include "weighting.hpp"

namespace {

constexpr std::int32_t max_position = 250'000'000;

snp_table snps;
region_table regions;

// The input files as text, made once per region count with a fixed seed.
struct capacity_inputs {
  std::string snp_text;
  std::string region_text;

  explicit capacity_inputs(int region_count) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::int32_t> position(1, max_position);
    // Exon-sized regions: a million of them cover about two thirds of the SNPs.
    std::uniform_int_distribution<std::int32_t> length(10, 500);
    char line[128];
    for (int k = 0; k < MAX_SNPS; ++k) {
      std::snprintf(line, sizeof line, "rs%d\t%d\t%c\n", 1'000'000 + k, position(random), "ACGT"[k % 4]);
      snp_text += line;
    }
    region_text.reserve(static_cast<std::size_t>(region_count) * 52);
    for (int k = 0; k < region_count; ++k) {
      const std::int32_t start = position(random);
      std::snprintf(line, sizeof line, "chr%d\tGENE%06d\tENST%011d\t%d\t%d\n", 1 + k % 22, k, k, start,
                    start + length(random));
      region_text += line;
    }
  }
};

const capacity_inputs& inputs(int region_count) {
  static std::map<int, capacity_inputs> made;
  return made.try_emplace(region_count, region_count).first->second;
}

void write_file(const std::filesystem::path& path, const std::string& text) {
  std::FILE* out = std::fopen(path.string().c_str(), "wb");
  if (out == nullptr || std::fwrite(text.data(), 1, text.size(), out) != text.size()) std::abort();
  std::fclose(out);
}

// One variant of the region rule over full tables, in SNP-region
// comparisons per ns. Argument: the number of regions.
void region_rule(benchmark::State& state, const region_rule_variant* variant) {
  if (!variant->supported) {
    state.SkipWithError("this CPU does not run this variant");
    return;
  }
  const auto& made = inputs(static_cast<int>(state.range(0)));
  std::string error;
  text_reader snp_input(made.snp_text, SNP_FILE_NAME);
  text_reader region_input(made.region_text, REGION_FILE_NAME);
  if (!read_snp_file(snp_input, snps, &error) || !read_region_file(region_input, regions, &error))
    state.SkipWithError(error.c_str());
  std::chrono::duration<double, std::nano> spent{};
  for (auto _ : state) {
    const auto started = std::chrono::steady_clock::now();
    give_default_weights(snps);
    apply_region_rule(snps, regions, variant->scan);
    benchmark::DoNotOptimize(snps.weights);
    spent += std::chrono::steady_clock::now() - started;
  }
  int inside = 0;
  for (int i = 0; i < snps.count; ++i) inside += snps.weights[i] == WEIGHT_INSIDE;
  const double comparisons = double(snps.count) * regions.count * double(state.iterations());
  state.counters["comparisons_per_ns"] = comparisons / spent.count();
  state.counters["snps_inside"] = inside;
}

// The region reader over a file in the page cache, in bytes per second.
void region_reader(benchmark::State& state) {
  const auto& made = inputs(static_cast<int>(state.range(0)));
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "snp_weight_bench_regions.txt";
  write_file(path, made.region_text);
  std::string error;
  for (auto _ : state) {
    std::FILE* stream = std::fopen(path.string().c_str(), "rb");
    text_reader in(stream, REGION_FILE_NAME);
    if (!read_region_file(in, regions, &error)) state.SkipWithError(error.c_str());
    std::fclose(stream);
  }
  std::filesystem::remove(path);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(made.region_text.size()));
  state.counters["regions"] = regions.count;
}

// The whole run, files included, in a temporary directory.
void whole_run(benchmark::State& state) {
  const auto& made = inputs(static_cast<int>(state.range(0)));
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "snp_weight_bench_run";
  std::filesystem::create_directories(directory);
  write_file(directory / SNP_FILE_NAME, made.snp_text);
  write_file(directory / REGION_FILE_NAME, made.region_text);
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(directory);
  std::string error;
  for (auto _ : state)
    if (run(&error) != 0) state.SkipWithError(error.c_str());
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(directory);
  state.SetLabel(chosen_region_rule_variant().name);
}

constexpr int million = 1'000'000;

void register_benchmarks() {
  for (const auto& variant : region_rule_variants())
    benchmark::RegisterBenchmark((std::string("region_rule/") + variant.name).c_str(), region_rule, &variant)
        ->Arg(million)
        ->Arg(MAX_REGIONS)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(1.0);
  benchmark::RegisterBenchmark("region_reader", region_reader)
      ->Arg(million)
      ->Arg(MAX_REGIONS)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(1.0);
  benchmark::RegisterBenchmark("whole_run", whole_run)
      ->Arg(million)
      ->Arg(MAX_REGIONS)
      ->Unit(benchmark::kMillisecond)
      ->MinTime(2.0);
}

}  // namespace

int main(int argc, char** argv) {
  register_benchmarks();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
