#!/usr/bin/env bash
# Converts the bundled example on other processors and compares the result,
# byte for byte, with the run of the native converter: qxconv is cross-built
# statically for aarch64 (little-endian) and s390x (big-endian) with Debian's
# cross compilers and run under qemu user emulation, with no option, each
# option alone and every option together, each in both byte orders. Standard
# output, standard error, the exit status and every file made must be equal.
#   cross_check.sh SOURCE_DIR NATIVE_QXCONV WORK_DIR [CMAKE]
# Exit 77 (skipped) when a cross compiler or emulator is missing
# (tools/deps.sh cross installs them).
set -euo pipefail
src=$1 native=$2 work=$3 cmake=${4:-cmake}
arches=(aarch64 s390x)

for arch in "${arches[@]}"; do
  for tool in "$arch-linux-gnu-g++" "qemu-$arch-static"; do
    if ! command -v "$tool" >/dev/null; then
      echo "cross_check: $tool is missing (tools/deps.sh cross installs it)" >&2
      exit 77
    fi
  done
done

# The converter alone, statically linked so that the emulator needs no
# libraries of the other processor; optimised as the native build, without
# debugging information to save time. A second run only rebuilds what changed.
mkdir -p "$work"
for arch in "${arches[@]}"; do
  build=$work/$arch
  if [ ! -f "$build/build.ninja" ]; then
    "$cmake" -S "$src" -B "$build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchains/$arch-linux-gnu.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG" \
      -DCMAKE_EXE_LINKER_FLAGS=-static -DQX_TESTS=OFF >"$work/$arch-configure.log"
  fi
  "$cmake" --build "$build" -j 2 --target qxconv >"$work/$arch-build.log"
done

option_sets=("" -stru -spec -ampl -wave -maxr -four "-stru -spec -ampl -wave -maxr -four")

# convert DIR ANSWER RUNNER...: the example converted in DIR by RUNNER with
# the options in $options, answering the byte order question with ANSWER.
convert() {
  local dir=$1 answer=$2
  shift 2
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$src"/example/case1.qxin "$src"/example/case1.TP18 "$src"/example/case1.TP19 "$dir"/
  local status=0
  # shellcheck disable=SC2086 # the options are words
  (cd "$dir" && printf 'case1.qxin\ncase1.TP18\n%s\n' "$answer" | "$@" $options >stdout 2>stderr) || status=$?
  echo "$status" >"$dir/status"
}

runs=0 faults=0
for options in "${option_sets[@]}"; do
  for answer in No Yes; do
    name="${options:-none}-$answer"
    name=${name// /}
    convert "$work/runs/native/$name" "$answer" "$native"
    for arch in "${arches[@]}"; do
      convert "$work/runs/$arch/$name" "$answer" "qemu-$arch-static" "$work/$arch/qxconv"
      runs=$((runs + 1))
      if ! diff -r "$work/runs/native/$name" "$work/runs/$arch/$name" >"$work/runs/$arch/$name.diff"; then
        echo "cross_check: $arch differs from the native run with options '${options}', big-endian: $answer" >&2
        head -20 "$work/runs/$arch/$name.diff" >&2
        faults=$((faults + 1))
      fi
    done
    # A run that fails natively proves nothing about the other processors.
    if [ "$(cat "$work/runs/native/$name/status")" != 0 ]; then
      echo "cross_check: the native run with options '${options}' ($answer) failed" >&2
      faults=$((faults + 1))
    fi
  done
done
echo "cross_check: $runs emulated runs compared, $faults faults"
[ "$faults" = 0 ]
