# SPDX-License-Identifier: MIT
# 32-bit x86 Linux, linked statically so that it runs on a 64-bit host
# without 32-bit libraries. The tests run under qemu-user where it is
# installed, since a 64-bit kernel built without 32-bit support cannot
# start the programs itself.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
find_program(TRAVORN_QEMU_I386 qemu-i386)
if(TRAVORN_QEMU_I386)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TRAVORN_QEMU_I386})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
