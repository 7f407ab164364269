# SPDX-License-Identifier: MIT
# 64-bit big-endian IBM Z Linux, the tests run under qemu-user.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(TRAVORN_TARGET s390x-linux-gnu)
set(TRAVORN_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu.cmake)
