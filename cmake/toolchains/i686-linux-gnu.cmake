# SPDX-License-Identifier: MIT
# 32-bit x86 Linux. The tests run under qemu-user, since a 64-bit kernel
# built without 32-bit support cannot start the programs itself.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TRAVORN_TARGET i686-linux-gnu)
set(TRAVORN_QEMU qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu.cmake)
