#include "weighting.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "vector_unit.hpp"

void give_default_weights(snp_table& snps) {
  for (int i = 0; i < snps.count; ++i) snps.weights[i] = WEIGHT_OUTSIDE;
}

std::span<const region_rule_variant> region_rule_variants() {
  // Asked of the CPU once, on first use. The variants are those CMake built,
  // narrowest first, each named after a vector_unit.
  static const vector_unit widest = widest_vector_unit();
  static const region_rule_variant variants[] = {
#define REGION_SCAN_VARIANT(name, label) {label, region_scan_##name, widest >= vector_unit::name},
#include "region_scan_variants.inc"
#undef REGION_SCAN_VARIANT
  };
  return variants;
}

const region_rule_variant& chosen_region_rule_variant() {
  static const region_rule_variant& chosen = [] {
    const region_rule_variant* widest = &region_rule_variants().front();
    for (const auto& variant : region_rule_variants())
      if (variant.supported) widest = &variant;
    return *widest;
  }();
  return chosen;
}

void apply_region_rule(snp_table& snps, const region_table& regions) {
  apply_region_rule(snps, regions, chosen_region_rule_variant().scan);
}

void apply_region_rule(snp_table& snps, const region_table& regions, region_scan_function scan) {
  // One mask per SNP: all ones while no region seen so far contains it.
  std::int32_t outside[MAX_SNPS];
  for (int i = 0; i < snps.count; ++i) outside[i] = -1;
  for (std::size_t b = 0; b < regions.blocks.size() && regions.block_rows(b) > 0; ++b)
    scan(snps.positions, snps.count, regions.blocks[b], regions.block_rows(b), outside);
  for (int i = 0; i < snps.count; ++i)
    if (outside[i] == 0) snps.weights[i] = WEIGHT_INSIDE;
}

struct region_rule_alongside::shared {
  explicit shared(const snp_table& snps) : snps(snps), scan(chosen_region_rule_variant().scan) {}

  // Compares the blocks read so far, on one thread, into `outside`.
  void compare(std::int32_t* outside) {
    std::unique_lock lock(mutex);
    for (;;) {
      ready.wait(lock, [this] { return next < blocks.size() || all_read; });
      if (next == blocks.size()) return;
      const auto [rows, count] = blocks[next++];
      lock.unlock();
      scan(snps.positions, snps.count, rows, count, outside);
      lock.lock();
    }
  }

  const snp_table& snps;
  const region_scan_function scan;
  std::mutex mutex;  // guards what follows
  std::condition_variable ready;
  std::vector<std::pair<const gene_region*, int>> blocks;  // read whole
  std::size_t next = 0;                                    // the first not yet compared
  bool all_read = false;
  // Each thread's masks (as apply_region_rule's), combined at the end.
  std::vector<std::unique_ptr<std::int32_t[]>> masks;
  std::vector<std::thread> threads;
};

region_rule_alongside::region_rule_alongside(const snp_table& snps)
    : shared_(std::make_unique<shared>(snps)) {
  // The reader has a core, and compares too once it has read all; the
  // other cores compare from the first block on. masks[0] is the reader's.
  const unsigned cores = std::max(2U, std::thread::hardware_concurrency());
  shared& s = *shared_;
  for (unsigned k = 0; k < cores && k <= 4; ++k) {
    s.masks.push_back(std::make_unique<std::int32_t[]>(MAX_SNPS));
    std::fill(s.masks.back().get(), s.masks.back().get() + MAX_SNPS, -1);
  }
  for (std::size_t k = 1; k < s.masks.size(); ++k) {
    std::int32_t* outside = s.masks[k].get();
    try {
      s.threads.emplace_back([&s, outside] { s.compare(outside); });
    } catch (const std::system_error&) {
      // No more threads: those started compare, or finish() does.
      break;
    }
  }
}

region_rule_alongside::~region_rule_alongside() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->all_read = true;
  }
  shared_->ready.notify_all();
  for (std::thread& thread : shared_->threads) thread.join();
}

void region_rule_alongside::block_read(const gene_region* rows, int count) {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->blocks.emplace_back(rows, count);
  }
  shared_->ready.notify_one();
}

void region_rule_alongside::finish(snp_table& snps) {
  shared& s = *shared_;
  {
    std::lock_guard lock(s.mutex);
    s.all_read = true;
  }
  s.ready.notify_all();
  // The blocks left are shared with the threads still comparing.
  std::int32_t* outside = s.masks.front().get();
  s.compare(outside);
  for (std::thread& thread : s.threads) thread.join();
  s.threads.clear();
  for (std::size_t t = 1; t < s.masks.size(); ++t)
    for (int i = 0; i < snps.count; ++i) outside[i] &= s.masks[t][i];
  for (int i = 0; i < snps.count; ++i)
    if (outside[i] == 0) snps.weights[i] = WEIGHT_INSIDE;
}
