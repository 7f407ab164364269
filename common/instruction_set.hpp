// SPDX-License-Identifier: MIT
// The one decision of which instruction set the vector code of the
// libraries and the converter uses: the parser's kernels, the clamp of
// samples, the split of samples into planes and the interleave of BMP rows
// all ask instruction_set(). It is made once, at the first question, from
// what the build holds and what the processor runs; the tests set it with
// use_instruction_set(). Header-only and private to the project.
#ifndef TRAVORN_COMMON_INSTRUCTION_SET_HPP
#define TRAVORN_COMMON_INSTRUCTION_SET_HPP

// What this build holds besides the portable code. TRAVORN_PORTABLE (the
// build option) leaves out every vector path, so that the portable code is
// the only one on any host. SSE2 is x86-64's baseline; SSSE3 and AVX2 code
// is compiled, function by function (TRAVORN_SSSE3, TRAVORN_AVX2), by GCC
// and Clang alone.
#if !defined(TRAVORN_PORTABLE) && defined(__SSE2__)
#define TRAVORN_HAS_SSE2 1
#else
#define TRAVORN_HAS_SSE2 0
#endif
#if !defined(TRAVORN_PORTABLE) && defined(__GNUC__) && defined(__x86_64__)
#define TRAVORN_HAS_SSSE3 1
#define TRAVORN_HAS_AVX2 1
#else
#define TRAVORN_HAS_SSSE3 0
#define TRAVORN_HAS_AVX2 0
#endif

// A function compiled for SSSE3 (TRAVORN_SSSE3) or AVX2 (TRAVORN_AVX2)
// whatever the build targets: call it only where instruction_set() says
// that set or a wider one. TRAVORN_INLINED makes a function part of each
// function that calls it, so that it is compiled for that set within such a
// function and for the build's target elsewhere.
#if TRAVORN_HAS_AVX2
#include <cpuid.h>
#define TRAVORN_SSSE3 __attribute__((target("ssse3")))
#define TRAVORN_AVX2 __attribute__((target("avx2,bmi2,popcnt,lzcnt")))
#else
#define TRAVORN_SSSE3
#define TRAVORN_AVX2
#endif
#if defined(__GNUC__)
#define TRAVORN_INLINED __attribute__((always_inline))
#else
#define TRAVORN_INLINED
#endif

namespace travorn_detail {

// The instruction sets the vector code is written for, each including the
// one before; kAvx2 code also counts bits with POPCNT and leading zeros
// with LZCNT, and rotates with BMI2's RORX, which every processor with
// AVX2 has and which are asked for all the same.
enum class InstructionSet { kPortable, kSse2, kSsse3, kAvx2 };

#if TRAVORN_HAS_AVX2
// Whether the processor counts leading zeros (LZCNT), which not every
// compiler's __builtin_cpu_supports names.
inline bool has_lzcnt() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_LZCNT) != 0;
}
#endif

// Whether this build holds code for `set` and this processor (and system,
// which must save its registers) runs it.
inline bool runs(InstructionSet set) {
  switch (set) {
    case InstructionSet::kPortable:
      return true;
    case InstructionSet::kSse2:
      return TRAVORN_HAS_SSE2 != 0;
    case InstructionSet::kSsse3:
#if TRAVORN_HAS_SSSE3
      return __builtin_cpu_supports("ssse3") != 0;
#else
      return false;
#endif
    case InstructionSet::kAvx2:
#if TRAVORN_HAS_AVX2
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2") &&
             __builtin_cpu_supports("popcnt") && has_lzcnt();
#else
      return false;
#endif
  }
  return false;
}

// The decision, made at the first call: the widest set that runs.
inline InstructionSet& chosen_instruction_set() {
  static InstructionSet set = runs(InstructionSet::kAvx2)    ? InstructionSet::kAvx2
                              : runs(InstructionSet::kSsse3) ? InstructionSet::kSsse3
                              : runs(InstructionSet::kSse2)  ? InstructionSet::kSse2
                                                             : InstructionSet::kPortable;
  return set;
}

inline InstructionSet instruction_set() { return chosen_instruction_set(); }

// Makes every vector path use `set` from now on; false, with the decision
// unchanged, when this build or this processor cannot. For the tests and
// the benchmark; the tool has no option for it.
inline bool use_instruction_set(InstructionSet set) {
  if (!runs(set)) return false;
  chosen_instruction_set() = set;
  return true;
}

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_INSTRUCTION_SET_HPP
