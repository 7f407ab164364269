// SPDX-License-Identifier: MIT
// The kernel the parser uses: SSE2 where the compiler targets it, unless
// TRAVORN_PORTABLE asks for the portable kernel on any host. Not installed.
#ifndef TRAVORN_PPMA_PPMA_KERNELS_HPP
#define TRAVORN_PPMA_PPMA_KERNELS_HPP

#include "ppma/ppma_kernel_portable.hpp"
#include "ppma/ppma_kernel_sse2.hpp"

namespace ppma_detail {

#if defined(__SSE2__) && !defined(TRAVORN_PORTABLE)
using ParserKernel = Sse2Kernel;
#else
using ParserKernel = PortableKernel;
#endif

}  // namespace ppma_detail

#endif  // TRAVORN_PPMA_PPMA_KERNELS_HPP
