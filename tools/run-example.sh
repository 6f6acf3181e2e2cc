#!/usr/bin/env bash
# The Quick start: installs what the build needs (tools/deps.sh build),
# builds every program that users run (qxconv, qxdump with its HDF5 export,
# qxbatch) without the tests, and converts the bundled example case in
# out/example/, answering the dialogue through a pipe. Extra arguments are
# run options (default: every option, so that all text twins are written).
# What the configuring has to say (a qxdump without HDF5) shows on standard
# error.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/deps.sh build

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQX_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc)"

mkdir -p out/example
cp example/case1.qxin example/case1.TP18 example/case1.TP19 out/example/
cd out/example
options=("$@")
[ ${#options[@]} -gt 0 ] || options=(-stru -spec -ampl -wave -maxr -four)
printf 'case1.qxin\ncase1.TP18\nNo\n' | ../../build/qxconv "${options[@]}"
echo
echo "Converted files in out/example/:"
ls -l
echo
echo "The programs are build/qxconv, build/qxdump and build/qxbatch; cmake --install build installs them."
