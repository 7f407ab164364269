// SPDX-License-Identifier: MIT
// The contract between the converter (travorn.cpp) and its row kernels, the
// only code of the converter that depends on the instruction set. A kernel
// is a struct in a file of its own (rows_portable.hpp, rows_avx2.hpp),
// compiled where the build holds its instruction set (TRAVORN_HAS_AVX2),
// with one static function:
//
//   static void interleave(const std::int32_t* rgb, std::size_t pixels,
//                          char* to, const Rescale& rescale);
//     Takes the samples of `pixels` pixels, R, G and B of each in turn from
//     `rgb`, rescales each to its byte and stores the pixels as a BMP file's
//     rows hold them, B, G, R, in the 3 * `pixels` bytes from `to`: not one
//     byte before or beyond, since a row's piece ends where its padding or
//     the next row's bytes begin. The byte of a sample is scale_sample's,
//     computed as the rescale's class says (ppma/ppma_scale.hpp): kClamp
//     (maxrgb 255), kSixteenBits (65535), kMultiply (any other up to 2^20),
//     kDivide (larger); the converter never has kZero (it refuses a maxrgb
//     below 1).
//
// Adding a kernel: a file like its siblings, and one line where the
// converter chooses (interleave_for in travorn.cpp), after the instruction
// set is added to the one decision (common/instruction_set.hpp). No kernel
// builds on another's type; the one step they share, the plain loop of a
// rescale class (interleave_plain), is a function here. All are proven by
// the same table tests (tests/rows_test.cpp). Not installed.
#ifndef TRAVORN_APP_ROWS_HPP
#define TRAVORN_APP_ROWS_HPP

#include <cstddef>
#include <cstdint>

#include "common/instruction_set.hpp"
#include "ppma/ppma_scale.hpp"

namespace travorn_detail {

using ppma_detail::Rescale;
using ppma_detail::RescaleClass;

// Stores `pixels` pixels of R, G, B samples as the file's bytes B, G, R,
// each sample mapped to its byte by `byte`.
template <typename Byte>
TRAVORN_INLINED inline void interleave_bytes(const std::int32_t* __restrict rgb, std::size_t pixels,
                                             char* __restrict to, Byte byte) {
  auto* const out = reinterpret_cast<unsigned char*>(to);
  for (std::size_t i = 0; i < pixels; ++i) {
    out[3 * i] = byte(rgb[3 * i + 2]);
    out[3 * i + 1] = byte(rgb[3 * i + 1]);
    out[3 * i + 2] = byte(rgb[3 * i]);
  }
}

// The plain loop of the rescale's class: the portable kernel whole, and
// what a vector kernel leaves over.
TRAVORN_INLINED inline void interleave_plain(const std::int32_t* rgb, std::size_t pixels, char* to,
                                             const Rescale& rescale) {
  rescale.visit([&](auto byte) { interleave_bytes(rgb, pixels, to, byte); });
}

}  // namespace travorn_detail

#endif  // TRAVORN_APP_ROWS_HPP
