#!/usr/bin/env bash
# qxconv.exe and qxdump.exe, cross-built for 64-bit Windows with mingw-w64
# (statically, so that no DLL is needed) and run under wine, against the
# native programs, byte for byte: standard output, standard error, the exit
# status and every file made.
#   - the bundled example with no option, each option alone and every option
#     together, each in both byte orders;
#   - a generated case large enough for the second threads (TP19 converted
#     beside TP18, the result files read ahead), whose TP19 outputs held
#     something before: a file written aside takes their place (MoveFileExW);
#   - answers ended by CR LF; file names in UTF-8 beyond ASCII; names with
#     backslashes and a drive letter, quoted where they hold a blank;
#   - a second run of a case while the first holds it: refused (LockFileEx);
#   - qxdump.exe's listing of every binary file, --csv, --html, and --hdf5,
#     which the Windows build does not have and says so;
#   - the README's cmd.exe line that takes the answers from a file, as
#     printed.
# The programs compared are those of the package that cpack makes (a ZIP
# whose contents are checked too).
#   windows_check.sh SOURCE_DIR NATIVE_BUILD_DIR WORK_DIR
# NATIVE_BUILD_DIR holds the native qxconv, qxdump and qxgen. WORK_DIR keeps
# the Windows build and wine's prefix, so that a second run only rebuilds
# what changed. Exit 0 when every comparison holds.
set -euo pipefail
src=$(cd "$1" && pwd) native=$(cd "$2" && pwd)
mkdir -p "$3"
work=$(cd "$3" && pwd)

for tool in x86_64-w64-mingw32-g++-posix wine wineserver; do
  if ! command -v "$tool" >/dev/null; then
    echo "windows_check: $tool is missing (tools/deps.sh windows installs it)" >&2
    exit 1
  fi
done

# Optimised as the native build, without debugging information to save time;
# then packaged and unpacked.
build=$work/build
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/toolchains/x86_64-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG" -DQX_TESTS=OFF \
    >"$work/configure.log"
fi
cmake --build "$build" -j 2 >"$work/build.log"
rm -f "$build"/qxconv-*-win64.zip
(cd "$build" && cpack -G ZIP >"$work/cpack.log")
rm -rf "$work/package"
mkdir -p "$work/package"
(cd "$work/package" && cmake -E tar xf "$build"/qxconv-*-win64.zip)
folder=$(echo "$work"/package/qxconv-*-win64)
contents=$(cd "$folder" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
expected_contents="./LICENSE ./README.md ./code-map.md ./copyright ./file-formats.md ./man/qxconv.1.html \
./man/qxdump.1.html ./qxconv.exe ./qxdump.exe ./reading.md "
if [ "$contents" != "$expected_contents" ]; then
  echo "windows_check: the package holds $contents, not $expected_contents" >&2
  exit 1
fi
qxconv_exe=$folder/qxconv.exe qxdump_exe=$folder/qxdump.exe

# wine in a prefix of its own, made at the first start (which takes seconds
# and speaks on its own): no messages of wine's, no window, no Mono or Gecko
# to install. The server of the prefix is stopped at the end.
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
export HOME=${HOME:-$work}
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot --init </dev/null >"$work/wineboot.log" 2>&1
fi

runs=$work/runs
rm -rf "$runs"
mkdir -p "$runs"
faults=0 compared=0
fault() {
  echo "windows_check: $*" >&2
  faults=$((faults + 1))
}

# convert DIR ANSWERS PROGRAM... : PROGRAM (with its options) run in DIR with
# ANSWERS (a file) as standard input; its standard output, error and exit
# status are kept in DIR beside the files it makes.
convert() {
  local dir=$1 answers=$2
  shift 2
  local status=0
  (cd "$dir" && "$@" <"$answers" >stdout 2>stderr) || status=$?
  echo "$status" >"$dir/status"
}

# same NATIVE_DIR WINDOWS_DIR WHAT: the two directories hold the same files.
same() {
  compared=$((compared + 1))
  if ! diff -r "$1" "$2" >"$2.diff"; then
    fault "$3: the Windows run differs from the native run"
    head -20 "$2.diff" >&2
  fi
}

# copy_case FROM_BASE DIR [BASE]: the three files of a case, under BASE.
copy_case() {
  local base=${3:-$(basename "$1")}
  mkdir -p "$2"
  for ext in .qxin .TP18 .TP19; do cp "$1$ext" "$2/$base$ext"; done
}

answers_for() { printf '%s.qxin\n%s.TP18\n%s\n' "$1" "$1" "$2" >"$3"; }

# 1. The example, every option set in both byte orders.
example=$src/example/case1
option_sets=("" -stru -spec -ampl -wave -maxr -four "-stru -spec -ampl -wave -maxr -four")
for options in "${option_sets[@]}"; do
  for answer in No Yes; do
    name="${options:-none}-$answer"
    name=${name// /}
    answers_for case1 "$answer" "$runs/answers-$answer"
    for side in native windows; do copy_case "$example" "$runs/$side/$name"; done
    # shellcheck disable=SC2086 # the options are words
    convert "$runs/native/$name" "$runs/answers-$answer" "$native/qxconv" $options
    # shellcheck disable=SC2086
    convert "$runs/windows/$name" "$runs/answers-$answer" wine "$qxconv_exe" $options
    same "$runs/native/$name" "$runs/windows/$name" "example, options '$options', big-endian $answer"
    [ "$(cat "$runs/native/$name/status")" = 0 ] || fault "the native run of the example ($name) failed"
  done
done

# 2. A generated case with both result files above a MiB: TP19 is converted
# beside TP18 and put in place. Its binary outputs held something before, so
# that the files written aside replace them; the file replaced is a new one
# afterwards, where a conversion in its turn would have rewritten it.
"$native/qxgen" --out "$runs/generated" --seed 5 --size 16M >/dev/null
all_options=(-stru -spec -ampl -wave -maxr -four)
for answer in No Yes; do
  name=generated-$answer
  answers_for generated "$answer" "$runs/answers-generated-$answer"
  for side in native windows; do
    copy_case "$runs/generated" "$runs/$side/$name"
    echo "earlier results" >"$runs/$side/$name/generated_QX2D.TP19"
    echo "earlier results" >"$runs/$side/$name/generated_QXSH.TP19"
  done
  before=$(stat -c %i "$runs/windows/$name/generated_QX2D.TP19")
  options=()
  [ "$answer" = No ] || options=("${all_options[@]}")
  convert "$runs/native/$name" "$runs/answers-generated-$answer" "$native/qxconv" "${options[@]}"
  convert "$runs/windows/$name" "$runs/answers-generated-$answer" wine "$qxconv_exe" "${options[@]}"
  same "$runs/native/$name" "$runs/windows/$name" "generated case, options '${options[*]}', big-endian $answer"
  [ "$(stat -c %i "$runs/windows/$name/generated_QX2D.TP19")" != "$before" ] ||
    fault "generated case ($answer): TP19 was not converted beside TP18 and put in place under wine"
done

# 3. Answers ended by CR LF, as Windows editors and pipes end lines.
copy_case "$example" "$runs/windows/crlf"
printf 'case1.qxin\r\ncase1.TP18\r\nNo\r\n' >"$runs/answers-crlf"
convert "$runs/windows/crlf" "$runs/answers-crlf" wine "$qxconv_exe" -wave
same "$runs/native/-wave-No" "$runs/windows/crlf" "answers ended by CR LF"

# The README's cmd.exe line that redirects the answers from a file, run in
# cmd.exe as printed, in a folder holding the example, answers.txt (written
# with CR LF) and qxconv.exe. (Its line that pipes a block of echo commands
# is not run: wine's cmd, 8.0, shows a parenthesised block's output instead
# of piping it.)
readme_lines=()
while IFS= read -r line; do
  readme_lines+=("${line#    }")
done < <(awk '/^## / { on = $0 == "## On Windows" } on' "$src/README.md" | grep -E '^    qxconv -wave <')
[ ${#readme_lines[@]} = 1 ] || fault "the README's section On Windows shows ${#readme_lines[@]} lines 'qxconv -wave <', not 1"
for k in "${!readme_lines[@]}"; do
  dir=$runs/windows/cmd-$k
  copy_case "$example" "$dir"
  cp "$runs/answers-crlf" "$dir/answers.txt"
  cp "$qxconv_exe" "$dir/"
  convert "$dir" /dev/null wine cmd /c "${readme_lines[$k]}"
  rm "$dir/answers.txt" "$dir/qxconv.exe"
  same "$runs/native/-wave-No" "$dir" "the README's cmd.exe line ${readme_lines[$k]}"
done

# 4. File names in UTF-8 beyond ASCII: the same bytes in every file name and
# in the list file as on Linux.
unicode=$'\xce\xa9-fall-\xc3\xa9t\xc3\xa9-\xe5\xbf\x9c\xe7\xad\x94'  # Ω-fall-été-応答
answers_for "$unicode" No "$runs/answers-unicode"
for side in native windows; do copy_case "$example" "$runs/$side/unicode" "$unicode"; done
convert "$runs/native/unicode" "$runs/answers-unicode" "$native/qxconv" -maxr
convert "$runs/windows/unicode" "$runs/answers-unicode" wine "$qxconv_exe" -maxr
same "$runs/native/unicode" "$runs/windows/unicode" "names beyond ASCII"
[ -f "$runs/windows/unicode/${unicode}_QX2D.TP18" ] || fault "names beyond ASCII: no ${unicode}_QX2D.TP18"

# 5. Names as Windows users type them: a drive letter and backslashes, the
# input data file quoted with apostrophes and the result file with quotes
# because their folder's name holds a blank; then a relative name with a
# backslash, unquoted. The files are those of the native run; the list file
# too, but for the file name that it echoes.
# typed_names WHAT RUN_DIR CASE_DIR TYPED: compares the run made in RUN_DIR
# on the case in CASE_DIR, typed as TYPED followed by the file's name.
typed_names() {
  local what=$1 top=$2 dir=$3 typed=$4
  mv "$top/stdout" "$top/stderr" "$top/status" "$dir/"
  local list=$dir/case1_TP18-19_COVT.lst text
  text=$(cat "$list" && echo x)
  text=${text%x}
  printf '%s' "${text//"FILE-NAME:$typed"/FILE-NAME:}" >"$list"
  same "$runs/native/-wave-No" "$dir" "names with backslashes ($what)"
}
top="$runs/windows/drive letter"
copy_case "$example" "$top/my data"
windows_folder="Z:${top//\//\\}\\my data"
printf "'%s\\case1.qxin'\r\n\"%s\\case1.TP18\"\r\nNo\r\n" "$windows_folder" "$windows_folder" >"$runs/answers-drive"
convert "$top" "$runs/answers-drive" wine "$qxconv_exe" -wave
typed_names "a drive letter" "$top" "$top/my data" "$windows_folder\\"
copy_case "$example" "$runs/windows/relative/sub"
printf 'sub\\case1.qxin\nsub\\case1.TP18\nNo\n' >"$runs/answers-relative"
convert "$runs/windows/relative" "$runs/answers-relative" wine "$qxconv_exe" -wave
typed_names "a relative name" "$runs/windows/relative" "$runs/windows/relative/sub" 'sub\'

# 6. The case lock: a second run of a case that a first run holds (stopped
# once it has made its list file) is refused and changes nothing.
lock=$runs/windows/lock
copy_case "$runs/generated" "$lock"
answers_for generated No "$runs/answers-lock"
(cd "$lock" && exec wine "$qxconv_exe" -wave <"$runs/answers-lock" >"$runs/lock-first.out" 2>"$runs/lock-first.err") &
first=$!
until [ -e "$lock/generated_TP18-19_COVT.lst" ] || ! kill -0 "$first" 2>/dev/null; do sleep 0.005; done
kill -STOP "$first" 2>/dev/null || true
if grep -q "NORMAL END" "$lock/generated_TP18-19_COVT.lst" 2>/dev/null || ! kill -0 "$first" 2>/dev/null; then
  fault "case lock: the first run ended before a second one could meet it"
else
  held=$(cd "$lock" && ls -l --time-style=+%s.%N && md5sum -- *)
  status=0
  (cd "$lock" && wine "$qxconv_exe" -stru <"$runs/answers-lock" >"$runs/lock-second.out" 2>"$runs/lock-second.err") ||
    status=$?
  compared=$((compared + 1))
  expected="qxconv: generated is being converted by another run (generated.TP18 is locked); nothing was written"
  [ "$status" = 1 ] && [ "$(cat "$runs/lock-second.err")" = "$expected" ] ||
    fault "case lock: the second run was not refused (status $status): $(cat "$runs/lock-second.err")"
  [ "$held" = "$(cd "$lock" && ls -l --time-style=+%s.%N && md5sum -- *)" ] ||
    fault "case lock: the refused run changed the case's directory"
fi
kill -CONT "$first" 2>/dev/null || true
first_status=0
wait "$first" || first_status=$?
[ "$first_status" = 0 ] && [ ! -s "$runs/lock-first.err" ] || fault "case lock: the first run failed ($first_status)"

# 7. qxdump.exe: the listing of every binary file of two runs, a block as CSV,
# the report page of the converted files; --hdf5 is not in the Windows build.
# dump NAME ARGS...: both qxdumps with ARGS in a run's directory; output,
# error and exit status compared.
dump() {
  local name=$1 dir=$2
  shift 2
  for side in native windows; do
    mkdir -p "$runs/dump-$side/$name"
    local program=("$native/qxdump")
    [ "$side" = native ] || program=(wine "$qxdump_exe")
    local status=0
    (cd "$dir" && "${program[@]}" "$@" </dev/null >"$runs/dump-$side/$name/stdout" 2>"$runs/dump-$side/$name/stderr") ||
      status=$?
    echo "$status" >"$runs/dump-$side/$name/status"
  done
  same "$runs/dump-native/$name" "$runs/dump-windows/$name" "qxdump $*"
}
all=-stru-spec-ampl-wave-maxr-four-Yes
for f in case1.TP18 case1.TP19 case1_QX2D.TP18 case1_QXSH.TP18 case1_QX2D.TP19 case1_QXSH.TP19; do
  dump "$f" "$runs/native/$all" "$f"
done
for f in generated_QX2D.TP18 generated_QXSH.TP19; do dump "$f" "$runs/native/generated-Yes" "$f"; done
dump csv "$runs/native/$all" --csv 2 case1_QX2D.TP18
for side in native windows; do
  program=("$native/qxdump")
  [ "$side" = native ] || program=(wine "$qxdump_exe")
  (cd "$runs/native/$all" && "${program[@]}" --html "$runs/report-$side.html" case1_QX2D.TP18 case1_QXSH.TP18 \
    case1_QX2D.TP19 case1_QXSH.TP19 </dev/null)
done
compared=$((compared + 1))
cmp -s "$runs/report-native.html" "$runs/report-windows.html" || fault "qxdump --html: the report pages differ"
status=0
hdf5=$(cd "$runs" && wine "$qxdump_exe" --hdf5 out.h5 "$runs/native/$all/case1_QX2D.TP18" </dev/null 2>&1) || status=$?
compared=$((compared + 1))
[ "$status" = 2 ] && [[ $hdf5 == *"built without HDF5"* ]] || fault "qxdump.exe --hdf5 does not say that it is not built in"

echo "windows_check: $compared comparisons of qxconv.exe and qxdump.exe under wine with the native programs, $faults faults"
[ "$faults" = 0 ]
