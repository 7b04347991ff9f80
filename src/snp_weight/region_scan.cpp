// The region rule's kernel, in plain C++ that the compiler vectorizes.
// CMake compiles this file once per instruction set, defining
// REGION_SCAN_ENTRY (the entry point's name) and REGION_SCAN_GROUP (how
// many SNPs stay in vector registers at once: more for wider vectors).
//
// Everything but the entry point lives in an anonymous namespace and no
// function of the standard library is called: an inline or template
// function emitted here could be chosen by the linker for another variant,
// and run this file's wide instructions on a CPU that lacks them.
#include "region_scan.hpp"

namespace {

constexpr int group = REGION_SCAN_GROUP;
// Regions in the kernel's form at a time: 32 KiB, that stay in the L1 or L2
// cache while every group of SNPs streams past them.
constexpr int block = 4096;
constexpr int padded_snps = (MAX_SNPS + group - 1) / group * group;
constexpr std::uint32_t sign_bit = 0x80000000U;

// A region in the kernel's form. With start <= end, inside(p, region) of
// region_rule.hpp holds exactly when (uint32)(p - start) <= (uint32)(end -
// start): one compare instead of two, and no branch. It is not called here,
// so that no inline function of another header is compiled for this
// variant's instruction set. Both sides are
// kept with the sign bit flipped, so that a signed compare orders them as
// unsigned ones; flipping the sign of p - start is subtracting start + 2^31.
struct block_form {
  std::uint32_t biased_start[block];
  std::int32_t biased_length[block];
};

// Converts rows[0, count) into `form`, leaving out every region whose start
// exceeds its end: it contains nothing. Returns how many were kept.
int convert_block(const gene_region* rows, int count, block_form& form) {
  int kept = 0;
  for (int j = 0; j < count; ++j) {
    const auto start = static_cast<std::uint32_t>(rows[j].start);
    const auto end = static_cast<std::uint32_t>(rows[j].end);
    form.biased_start[kept] = start + sign_bit;
    form.biased_length[kept] = static_cast<std::int32_t>((end - start) ^ sign_bit);
    kept += rows[j].start <= rows[j].end ? 1 : 0;
  }
  return kept;
}

// One subtract, one compare and one AND per SNP-region pair, branch-free,
// with a group of positions and masks held in registers while the block's
// regions stream past.
void scan_block(const std::uint32_t* positions, std::int32_t* outside, int snp_count, const block_form& form,
                int region_count) {
  for (int first = 0; first < snp_count; first += group) {
    std::uint32_t position[group];
    std::int32_t mask[group];
    for (int k = 0; k < group; ++k) {
      position[k] = positions[first + k];
      mask[k] = outside[first + k];
    }
    for (int r = 0; r < region_count; ++r) {
      const std::uint32_t biased_start = form.biased_start[r];
      const std::int32_t biased_length = form.biased_length[r];
      for (int k = 0; k < group; ++k)
        mask[k] &= static_cast<std::int32_t>(position[k] - biased_start) > biased_length ? -1 : 0;
    }
    for (int k = 0; k < group; ++k) outside[first + k] = mask[k];
  }
}

}  // namespace

void REGION_SCAN_ENTRY(const std::int32_t* positions, int snp_count, const gene_region* rows,
                       int region_count, std::int32_t* outside) {
  // Whole groups: the lanes past the last SNP are scanned and ignored.
  std::uint32_t padded_positions[padded_snps] = {};
  std::int32_t padded_outside[padded_snps] = {};
  for (int i = 0; i < snp_count; ++i) {
    padded_positions[i] = static_cast<std::uint32_t>(positions[i]);
    padded_outside[i] = outside[i];
  }
  // One per thread: blocks of regions are compared on several at once.
  static thread_local block_form form;
  for (int first = 0; first < region_count; first += block) {
    const int count = region_count - first < block ? region_count - first : block;
    const int kept = convert_block(rows + first, count, form);
    scan_block(padded_positions, padded_outside, snp_count, form, kept);
  }
  for (int i = 0; i < snp_count; ++i) outside[i] = padded_outside[i];
}
