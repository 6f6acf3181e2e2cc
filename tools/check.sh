#!/usr/bin/env bash
# Installs what the build and the tests need (tools/deps.sh, and npm ci for
# the browser test), runs the Quick start and tests the install and the
# package of its build, then builds the converter with its tests and runs
# them: once in the normal build, once in the address + undefined sanitizer
# build; then the tests that start threads in a thread sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash tools/deps.sh build test package cluster browser cross windows

# The JavaScript packages of the browser test, as its lock file pins them.
# npm ci starts node_modules afresh, so it runs only when node_modules does
# not hold what the lock file names: a rerun needs no network.
browser=tests/browser
if ! cmp -s "$browser/package-lock.json" "$browser/node_modules/.qx-installed-lock" 2>/dev/null; then
  (cd "$browser" && npm ci --no-audit --no-fund)
  cp "$browser/package-lock.json" "$browser/node_modules/.qx-installed-lock"
fi

# The Quick start as a newcomer runs it: the programs built without the
# tests, and the example converted. The install and package tests (label
# "install") run on that build, with only their own program built besides.
bash tools/run-example.sh >/dev/null
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQX_TESTS=ON >/dev/null
cmake --build build -j "$jobs" --target qx_install_tests
ctest --test-dir build --output-on-failure -j "$jobs" -L install

# lintian on the Debian package of the Quick start's build: an error (E:)
# fails the check; warnings and notes are shown.
(
  debs=$(mktemp -d)
  trap 'rm -rf "$debs"' EXIT
  cpack --config build/CPackConfig.cmake -G DEB -B "$debs" >/dev/null
  # lintian warns of being run as root, which CI does.
  { lintian --fail-on error "$debs"/qxconv_*.deb 2>&1; } | { grep -v '^running with root privileges' || true; }
)

cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs" -LE install

# Windows: qxconv.exe and qxdump.exe cross-built with mingw-w64, packaged as
# the ZIP and run under wine against the native programs of build/. The
# Windows build and wine's prefix stay in build-windows/ for the next run.
start=$SECONDS
bash tests/tools/windows_check.sh . build build-windows
echo "check.sh: the Windows step took $((SECONDS - start)) s"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQX_SANITIZE=ON -DQX_TESTS=ON >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE install

# ---- Thread sanitizer ----
# What runs on more than one thread (reading ahead, TP19 converted beside
# TP18, the locks on a case) built with -fsanitize=thread: only the
# converter, the case generator and the tests that start threads
# (tests/CMakeLists.txt). Any report fails the step, in the test program or
# in a qxconv that a test starts: every process stops at its first report and
# writes it to a file of its own under tsan-reports/.
tsan_start=$SECONDS
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQX_SANITIZE_THREAD=ON -DQX_TESTS=ON >/dev/null
cmake --build build-tsan -j "$jobs" --target qx_thread_tests qxconv qxgen
tsan_reports=$PWD/build-tsan/tsan-reports
rm -rf "$tsan_reports"
mkdir -p "$tsan_reports"
tsan_status=0
TSAN_OPTIONS="halt_on_error=1 exitcode=66 log_path=$tsan_reports/report" \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" || tsan_status=1
if compgen -G "$tsan_reports/report*" >/dev/null; then
  echo "ThreadSanitizer reported:" >&2
  cat "$tsan_reports"/report* >&2
  tsan_status=1
fi
echo "thread sanitizer step: $((SECONDS - tsan_start)) s"
[ "$tsan_status" -eq 0 ] || exit 1
