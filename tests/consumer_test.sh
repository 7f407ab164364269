#!/usr/bin/env bash
# Outside programs link the libraries as users do.
#   consumer_test.sh cmake SOURCE BUILD CXX FLAGS
#       against the package installed from this build (find_package), and
#       through add_subdirectory of the checkout: both convert the example.
#   consumer_test.sh pkg-config SOURCE BUILD CXX FLAGS
#       the consumer's one file, built with pkg-config against the install.
#   consumer_test.sh pixels SOURCE BUILD CXX FLAGS TRAVORN PYTHON
#       the consumer's pixels equal travorn's for maxval 15, 255 and 65535,
#       both files decoded by Pillow.
# Exits 77 (skipped) when a tool that a check needs is missing.
set -euo pipefail
mode=$1
source_dir=$2
build_dir=$3
cxx=$4
flags=${5:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
compiler=(-DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags")

cmake --install "$build_dir" --prefix "$work/prefix" > /dev/null
consumer_from_package() {
  cmake -S "$source_dir/examples/consumer" -B "$work/installed" "${compiler[@]}" \
    -DCMAKE_PREFIX_PATH="$work/prefix" > /dev/null
  cmake --build "$work/installed" -j2 > /dev/null
}

case $mode in
cmake)
  consumer_from_package
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
  ;;
pkg-config)
  command -v pkg-config > /dev/null || { echo "skipped: no pkg-config"; exit 77; }
  pc_dir=$(dirname "$(find "$work/prefix" -name travorn.pc)")
  # shellcheck disable=SC2046,SC2086  # pkg-config's words are flags
  "$cxx" -std=c++17 $flags "$source_dir/examples/consumer/main.cpp" -o "$work/consumer" \
    $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs travorn)
  "$work/consumer" "$source_dir/examples/example.ppm" "$work/a.bmp" > /dev/null
  test "$(head -c 2 "$work/a.bmp")" = BM
  echo "consumer: built with pkg-config --cflags --libs travorn"
  ;;
pixels)
  travorn=$6
  python=${7:-}
  [ -n "$python" ] && "$python" -c "import PIL" 2> /dev/null || { echo "skipped: no Pillow"; exit 77; }
  consumer_from_package
  for maxval in 15 255 65535; do
    # Samples from -2 to maxval + 2, every row different, an odd width.
    "$python" - "$maxval" > "$work/in.ppm" << 'PY'
import sys
m = int(sys.argv[1]); w, h = 7, 5
print("P3\n%d %d\n%d" % (w, h, m))
print("\n".join(str((k * 7919) % (m + 5) - 2) for k in range(3 * w * h)))
PY
    "$travorn" "$work/in.ppm" "$work/travorn.bmp" > /dev/null
    "$work/installed/consumer" "$work/in.ppm" "$work/consumer.bmp" > /dev/null
    "$python" - "$work/travorn.bmp" "$work/consumer.bmp" << 'PY'
import sys
from PIL import Image
a, b = (Image.open(f).convert("RGB") for f in sys.argv[1:])
sys.exit(0 if a.size == b.size and a.tobytes() == b.tobytes() else "the pixels differ")
PY
  done
  echo "consumer: the pixels of travorn for maxval 15, 255 and 65535"
  ;;
esac
