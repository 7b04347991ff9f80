#include "vector_unit.hpp"

vector_unit widest_vector_unit() {
#if defined(__x86_64__)
  __builtin_cpu_init();
#if defined(__clang__)
  // clang knows no level names; these are the features the kernel's code
  // generation for each level can use.
  const bool v3 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                  __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("fma");
  const bool v4 = v3 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                  __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
                  __builtin_cpu_supports("avx512cd");
#else
  const bool v3 = __builtin_cpu_supports("x86-64-v3");
  const bool v4 = __builtin_cpu_supports("x86-64-v4");
#endif
  if (v4) return vector_unit::x86_64_v4;
  if (v3) return vector_unit::x86_64_v3;
#endif
  return vector_unit::portable;
}
