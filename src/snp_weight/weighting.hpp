// Weighting: every SNP starts at WEIGHT_OUTSIDE, and the region rule raises
// to WEIGHT_INSIDE each SNP whose position lies inside at least one region.
#pragma once

#include <memory>
#include <span>

#include "records.hpp"
#include "region_scan.hpp"

// Sets the weight of rows 0 to count - 1 to WEIGHT_OUTSIDE.
void give_default_weights(snp_table& snps);

// Compares every SNP with every region, as signed 32-bit values, by the
// rule inside(position, region) of region_rule.hpp. There is no sorting, index
// or early exit, so the result depends on neither table's order. Weights
// are only ever raised. Runs the widest variant of the kernel that the CPU
// supports.
void apply_region_rule(snp_table& snps, const region_table& regions);

// The region rule applied while the regions are read: each full block of
// regions is compared on other threads while the reader reads the next,
// so that reading and comparing, about equal at capacity, take the time
// of one. The result is apply_region_rule()'s: a SNP's weight depends on
// whether any region holds it, not on the order they are compared in.
// Where no thread can be started, the blocks are compared at the end.
class region_rule_alongside {
 public:
  // Compares with `snps` (read whole already, and unchanged till finish()).
  explicit region_rule_alongside(const snp_table& snps);
  region_rule_alongside(const region_rule_alongside&) = delete;
  region_rule_alongside& operator=(const region_rule_alongside&) = delete;
  ~region_rule_alongside();

  // A block of `rows` regions read whole, which stays unchanged.
  void block_read(const gene_region* rows, int count);
  // After the last block: raises the weights of `snps` (their defaults
  // given) once every block is compared.
  void finish(snp_table& snps);

 private:
  struct shared;
  std::unique_ptr<shared> shared_;
};

// One compiled variant of the region rule's kernel.
struct region_rule_variant {
  const char* name;  // "portable", "x86-64-v3", "x86-64-v4"
  region_scan_function scan;
  bool supported;  // this CPU runs it
};

// Every variant compiled in, narrowest first (tests and the benchmark).
std::span<const region_rule_variant> region_rule_variants();
// The variant apply_region_rule runs: the widest supported.
const region_rule_variant& chosen_region_rule_variant();

// The region rule with a given kernel.
void apply_region_rule(snp_table& snps, const region_table& regions, region_scan_function scan);
