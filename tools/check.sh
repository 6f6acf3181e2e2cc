#!/usr/bin/env bash
# Installs what the build and the tests need (tools/deps.sh), builds the
# converter and runs every test: once in the normal build, once in the
# address + undefined sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash tools/deps.sh build test cluster cross

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQX_TESTS=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQX_SANITIZE=ON -DQX_TESTS=ON >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"
