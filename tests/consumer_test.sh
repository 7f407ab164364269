#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Outside programs link the libraries as users do.
#   consumer_test.sh cmake SOURCE BUILD CXX FLAGS
#       against the package installed from this build (find_package), and
#       through add_subdirectory of the checkout: both convert the example.
#       The headers are installed under include/travorn alone, and a consumer
#       that asks for travorn 2.0 is refused.
#   consumer_test.sh pkg-config SOURCE BUILD CXX FLAGS
#       the consumer's one file, built with pkg-config against the install;
#       the version of travorn.pc, of travorn_version.hpp and of travorn
#       --version are one.
#   consumer_test.sh plugin SOURCE BUILD CXX FLAGS
#       a shared object linked with pkg-config against the installed
#       libraries, loaded with dlopen by a small program: it converts the
#       example into the bytes travorn writes.
# Exits 77 (skipped) when pkg-config is missing, 1 where TRAVORN_REQUIRE
# names pkg-config (CI's machine has it). Every consumer runs under a time
# limit that kills it.
set -euo pipefail
mode=$1 source_dir=$2 build_dir=$3 cxx=$4 flags=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
compiler=(-DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags")

cmake --install "$build_dir" --prefix "$work/prefix" > /dev/null
case $mode in
cmake)
  cmake -S "$source_dir/examples/consumer" -B "$work/installed" "${compiler[@]}" \
    -DCMAKE_PREFIX_PATH="$work/prefix" > /dev/null
  cmake --build "$work/installed" -j2 > /dev/null
  timeout 60 "$work/prefix/bin/travorn" "$source_dir/examples/example.ppm" "$work/t.bmp" > /dev/null
  for program in consumer convert; do  # the row operations and the conversion routine
    timeout 60 "$work/installed/$program" "$source_dir/examples/example.ppm" "$work/a.bmp" > /dev/null
    cmp "$work/t.bmp" "$work/a.bmp"
  done
  ls "$work/prefix/include/travorn/ppma/ppma.hpp" "$work/prefix/include/travorn/bmp/bmp.hpp" \
    "$work/prefix/include/travorn/app/travorn.hpp" \
    "$work/prefix/include/travorn/travorn_version.hpp" "$work/prefix/bin/travorn" \
    "$work/prefix/share/man/man1/travorn.1"* > /dev/null
  test "$(ls -A "$work/prefix/include")" = travorn  # nothing else of the project in include/
  if cmake -S "$source_dir/examples/consumer" -B "$work/too-new" "${compiler[@]}" \
    -DCMAKE_PREFIX_PATH="$work/prefix" -DTRAVORN_WANTED=2.0 > "$work/too-new.log" 2>&1; then
    echo "find_package(travorn 2.0) was not refused"
    exit 1
  fi
  grep -q "considered but not accepted" "$work/too-new.log"  # found, and refused for its version
  cmake -S "$source_dir/examples/consumer" -B "$work/subdir" "${compiler[@]}" \
    -DTRAVORN_SOURCE_DIR="$source_dir" > /dev/null
  cmake --build "$work/subdir" -j2 > /dev/null
  test ! -e "$work/subdir/travorn/tests"  # the project's tests stay out of a consumer's build
  timeout 60 "$work/subdir/consumer" "$source_dir/examples/example.ppm" "$work/b.bmp" > /dev/null
  cmp "$work/a.bmp" "$work/b.bmp"
  echo "consumer: installed package and add_subdirectory both convert the example as travorn does"
  ;;
pkg-config | plugin)
  if ! command -v pkg-config > /dev/null; then
    if [[ ",${TRAVORN_REQUIRE:-}," == *,pkg-config,* ]]; then
      echo "FAILED: this machine should have pkg-config"
      exit 1
    fi
    echo "skipped: no pkg-config"
    exit 77
  fi
  ;;&
pkg-config)
  pc_dir=$(dirname "$(find "$work/prefix" -name travorn.pc)")
  # shellcheck disable=SC2046,SC2086  # pkg-config's words are flags
  timeout 60 "$work/prefix/bin/travorn" "$source_dir/examples/example.ppm" "$work/t.bmp" > /dev/null
  for program in main convert; do  # the row operations and the conversion routine
    "$cxx" -std=c++17 $flags "$source_dir/examples/consumer/$program.cpp" -o "$work/$program" \
      $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs travorn)
    # a shared build's libraries are found beside the .pc file
    LD_LIBRARY_PATH="$(dirname "$pc_dir")" timeout 60 "$work/$program" \
      "$source_dir/examples/example.ppm" "$work/a.bmp" > /dev/null
    cmp "$work/t.bmp" "$work/a.bmp"
  done
  version=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --modversion travorn)
  header=$(sed -n 's/^#define TRAVORN_VERSION_STRING "\(.*\)"$/\1/p' "$work/prefix/include/travorn/travorn_version.hpp")
  tool=$(timeout 60 "$work/prefix/bin/travorn" --version)
  test "$version" = "$header" && test "travorn $version" = "$tool"
  echo "consumer: built with pkg-config --cflags --libs travorn; version $version everywhere"
  ;;
plugin)
  pc_dir=$(dirname "$(find "$work/prefix" -name travorn.pc)")
  # shellcheck disable=SC2046,SC2086  # pkg-config's words are flags
  "$cxx" -std=c++17 $flags -shared -fPIC "$source_dir/tests/plugin/plugin.cpp" -o "$work/plugin.so" \
    $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs travorn)
  # shellcheck disable=SC2086
  "$cxx" -std=c++17 $flags "$source_dir/tests/plugin/load.cpp" -o "$work/load" -ldl
  LD_LIBRARY_PATH="$(dirname "$pc_dir")" timeout 60 "$work/load" "$work/plugin.so" \
    "$source_dir/examples/example.ppm" "$work/plugin.bmp" > /dev/null
  timeout 60 "$work/prefix/bin/travorn" "$source_dir/examples/example.ppm" "$work/travorn.bmp" > /dev/null
  cmp "$work/plugin.bmp" "$work/travorn.bmp"
  echo "consumer: a shared object linked against the installed libraries converts as travorn does"
  ;;
esac
