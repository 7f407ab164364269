# SPDX-License-Identifier: MIT
# 64-bit ARM Linux, the most common platform after x86, the tests run under
# qemu-user; the parser runs its portable kernel there.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TRAVORN_TARGET aarch64-linux-gnu)
set(TRAVORN_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu.cmake)
