#!/usr/bin/env bash
# Installs the Debian packages that the named purposes need, if any are
# missing, so that a fresh Debian or Ubuntu machine can build and test:
#   tools/deps.sh PURPOSE...        e.g. tools/deps.sh build test
#
# Nothing missing: says nothing. Missing: as root runs apt-get update and
# apt-get install; otherwise the same through sudo when there is sudo; with
# neither, prints the one apt-get line to run and exits 1. On a machine
# without dpkg it looks for the commands that the packages provide instead,
# and names the packages to find when a command is missing.
#
# Only shell builtins and the commands dpkg, apt-get, sudo and id are used,
# so that the script also runs with nothing else on PATH.
set -euo pipefail

# One line per purpose: the purpose, then its Debian packages. A package
# written PACKAGE=COMMAND provides COMMAND, which is what is looked for where
# there is no dpkg; libraries have no command and are left to CMake there. A
# package written ?PACKAGE=COMMAND is wanted only where COMMAND is missing:
# a Node.js installed from elsewhere (NodeSource, nvm) brings node and npm
# without Debian's packages of them.
deps_table=(
  "build    g++=g++ cmake=cmake ninja-build=ninja libhdf5-dev"
  "test     libgtest-dev libgmock-dev libbenchmark-dev gfortran=gfortran python3-numpy time=/usr/bin/time util-linux=prlimit mandoc=mandoc dpkg-dev=dpkg-shlibdeps file=file libhdf5-dev hdf5-tools=h5dump python3-h5py python3-meshio"
  "browser  chromium=chromium ?nodejs=node ?npm=npm"
  "package  dpkg-dev=dpkg-shlibdeps file=file lintian=lintian"
  "cluster  slurm-wlm=slurmctld munge=munged"
  "cross    g++-aarch64-linux-gnu=aarch64-linux-gnu-g++ g++-s390x-linux-gnu=s390x-linux-gnu-g++ qemu-user-static=qemu-s390x-static"
  "windows  g++-mingw-w64-x86-64-posix=x86_64-w64-mingw32-g++-posix wine=wine wine64 mandoc=mandoc"
)

die() {
  echo "deps.sh: $*" >&2
  exit 1
}

if [ $# -eq 0 ]; then
  purposes=()
  for group in "${deps_table[@]}"; do
    read -r name _ <<<"$group"
    purposes+=("$name")
  done
  die "usage: tools/deps.sh PURPOSE...   (purposes: ${purposes[*]})"
fi

# The entries (PACKAGE or PACKAGE=COMMAND) of every purpose named, each once.
entries=()
for purpose in "$@"; do
  found=0
  for group in "${deps_table[@]}"; do
    read -r name list <<<"$group"
    [ "$name" = "$purpose" ] || continue
    found=1
    for e in $list; do
      [[ " ${entries[*]-} " == *" $e "* ]] || entries+=("$e")
    done
  done
  [ $found = 1 ] || die "unknown purpose '$purpose'"
done

if ! command -v dpkg >/dev/null 2>&1; then
  lacking=()
  for e in "${entries[@]}"; do
    [[ $e == *=* ]] || continue
    pkg=${e%%=*}
    command -v "${e#*=}" >/dev/null 2>&1 || lacking+=("${e#*=} (Debian package ${pkg#\?})")
  done
  [ ${#lacking[@]} -eq 0 ] && exit 0
  echo "deps.sh: no dpkg on this machine, and these commands are missing:" >&2
  printf '  %s\n' "${lacking[@]}" >&2
  packages=()
  for e in "${entries[@]}"; do
    pkg=${e%%=*}
    packages+=("${pkg#\?}")
  done
  echo "deps.sh: install them with the system's package manager (libraries too: ${packages[*]})" >&2
  exit 1
fi

missing=()
for e in "${entries[@]}"; do
  pkg=${e%%=*}
  if [[ $pkg == \?* ]]; then
    pkg=${pkg#\?}
    command -v "${e#*=}" >/dev/null 2>&1 && continue
  fi
  # A package removed but for its configuration files is still known to
  # dpkg; only the status line tells whether it is installed.
  status=$(dpkg -s "$pkg" 2>/dev/null) || status=
  [[ $status == *$'\nStatus: install ok installed'* ]] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

install=(apt-get install -y --no-install-recommends "${missing[@]}")
echo "deps.sh: missing Debian packages: ${missing[*]}" >&2
if command -v apt-get >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get update && DEBIAN_FRONTEND=noninteractive "${install[@]}" && exit 0
  elif command -v sudo >/dev/null 2>&1; then
    sudo DEBIAN_FRONTEND=noninteractive apt-get update &&
      sudo DEBIAN_FRONTEND=noninteractive "${install[@]}" && exit 0
  fi
fi
echo "deps.sh: could not install the packages; run this as root:" >&2
echo "  ${install[*]}" >&2
exit 1
