// SPDX-License-Identifier: MIT
// The portable row kernel (app/rows.hpp states the contract): the plain
// loop of each rescale class, which the compiler turns into the vector code
// of the build's target. Not installed.
#ifndef TRAVORN_APP_ROWS_PORTABLE_HPP
#define TRAVORN_APP_ROWS_PORTABLE_HPP

#include <cstddef>
#include <cstdint>

#include "app/rows.hpp"

namespace travorn_detail {

struct PortableRows {
  static void interleave(const std::int32_t* rgb, std::size_t pixels, char* to,
                         const Rescale& rescale) {
    interleave_plain(rgb, pixels, to, rescale);
  }
};

}  // namespace travorn_detail

#endif  // TRAVORN_APP_ROWS_PORTABLE_HPP
