# SPDX-License-Identifier: MIT
# What the Linux cross builds share: the GNU cross compilers for
# TRAVORN_TARGET (a triplet such as s390x-linux-gnu), static links so that
# the programs need no libraries of their platform, and the tests run under
# qemu-user (the program TRAVORN_QEMU) where it is installed.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${TRAVORN_TARGET}-gcc)
set(CMAKE_CXX_COMPILER ${TRAVORN_TARGET}-g++)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
find_program(TRAVORN_QEMU_PROGRAM ${TRAVORN_QEMU})
if(TRAVORN_QEMU_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TRAVORN_QEMU_PROGRAM})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${TRAVORN_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
