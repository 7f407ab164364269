#!/usr/bin/env bash
# An outside project links the libraries as users do: once against the
# package installed from this build, once through add_subdirectory of the
# checkout. Each consumer converts the example and the result must be a BMP.
# Usage: consumer_test.sh SOURCE_DIR BUILD_DIR CXX_COMPILER CXX_FLAGS
set -euo pipefail
source_dir=$1
build_dir=$2
compiler=(-DCMAKE_CXX_COMPILER="$3" -DCMAKE_CXX_FLAGS="${4:-}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" > /dev/null
cmake -S "$source_dir/examples/consumer" -B "$work/installed" "${compiler[@]}" \
  -DCMAKE_PREFIX_PATH="$work/prefix" > /dev/null
cmake --build "$work/installed" -j2 > /dev/null
"$work/installed/consumer" "$source_dir/examples/example.ppm" "$work/a.bmp" > /dev/null
test "$(head -c 2 "$work/a.bmp")" = BM
test -f "$work/prefix/include/ppma/ppma.hpp" && test -f "$work/prefix/include/bmp/bmp.hpp"
test -x "$work/prefix/bin/travorn"
test -f "$work/prefix/share/man/man1/travorn.1"

cmake -S "$source_dir/examples/consumer" -B "$work/subdir" "${compiler[@]}" \
  -DTRAVORN_SOURCE_DIR="$source_dir" > /dev/null
cmake --build "$work/subdir" -j2 > /dev/null
test ! -e "$work/subdir/travorn/tests"  # the project's tests stay out of a consumer's build
"$work/subdir/consumer" "$source_dir/examples/example.ppm" "$work/b.bmp" > /dev/null
cmp "$work/a.bmp" "$work/b.bmp"
echo "consumer: installed package and add_subdirectory both convert the example"
