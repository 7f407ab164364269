#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Outside programs link the libraries as users do.
#   consumer_test.sh cmake SOURCE BUILD CXX FLAGS
#       against the package installed from this build (find_package), and
#       through add_subdirectory of the checkout: both convert the example.
#   consumer_test.sh pkg-config SOURCE BUILD CXX FLAGS
#       the consumer's one file, built with pkg-config against the install.
# Exits 77 (skipped) when pkg-config is missing. Every consumer runs under a
# time limit that kills it.
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
  timeout 60 "$work/installed/consumer" "$source_dir/examples/example.ppm" "$work/a.bmp" > /dev/null
  test "$(head -c 2 "$work/a.bmp")" = BM
  ls "$work/prefix/include/ppma/ppma.hpp" "$work/prefix/include/bmp/bmp.hpp" "$work/prefix/bin/travorn" \
    "$work/prefix/share/man/man1/travorn.1"* > /dev/null
  cmake -S "$source_dir/examples/consumer" -B "$work/subdir" "${compiler[@]}" \
    -DTRAVORN_SOURCE_DIR="$source_dir" > /dev/null
  cmake --build "$work/subdir" -j2 > /dev/null
  test ! -e "$work/subdir/travorn/tests"  # the project's tests stay out of a consumer's build
  timeout 60 "$work/subdir/consumer" "$source_dir/examples/example.ppm" "$work/b.bmp" > /dev/null
  cmp "$work/a.bmp" "$work/b.bmp"
  echo "consumer: installed package and add_subdirectory both convert the example"
  ;;
pkg-config)
  command -v pkg-config > /dev/null || { echo "skipped: no pkg-config"; exit 77; }
  pc_dir=$(dirname "$(find "$work/prefix" -name travorn.pc)")
  # shellcheck disable=SC2046,SC2086  # pkg-config's words are flags
  "$cxx" -std=c++17 $flags "$source_dir/examples/consumer/main.cpp" -o "$work/consumer" \
    $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs travorn)
  # shellcheck disable=SC2046  # a shared build's libraries are found beside the .pc file
  LD_LIBRARY_PATH="$(dirname "$pc_dir")" timeout 60 "$work/consumer" "$source_dir/examples/example.ppm" "$work/a.bmp" > /dev/null
  test "$(head -c 2 "$work/a.bmp")" = BM
  echo "consumer: built with pkg-config --cflags --libs travorn"
  ;;
esac
