// The region rule of both commands, written once: a position lies inside a
// region when start <= position <= end, both ends included. A region whose
// start exceeds its end contains nothing. snp_weight's kernel computes the
// same test branch-free (see region_scan.cpp); snp_weight_genome's region
// index and the tests call this one.
#pragma once

template <class Position, class Region>
constexpr bool inside(Position position, const Region& region) {
  return region.start <= position && position <= region.end;
}
