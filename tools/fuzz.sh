#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (address + undefined
# sanitizers) and runs one of them.
#   tools/fuzz.sh TARGET [SECONDS]     TARGET: layout, qxin, tp18, tp19, qxdump, codemap
# New inputs go to out/fuzz/TARGET; the committed seeds are in fuzz/corpus/TARGET.
# An input that finds a fault belongs in fuzz/regressions/TARGET once fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?target}
seconds=${2:-600}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target "${target}_fuzz"
mkdir -p "out/fuzz/$target" "fuzz/corpus/$target"
exec build-fuzz/fuzz/"${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 "out/fuzz/$target" "fuzz/corpus/$target"
