#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets from the case generator: small
# cases of several seeds and shapes. Run after a build; the seeds are
# committed under fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
gen=build/qxgen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p fuzz/corpus/qxin fuzz/corpus/tp18 fuzz/corpus/tp19
n=0
for shape in "" "--no-info" "--blocks WAVE,MAXR" "--blocks FOUR,AMPL,SPEC,DROP,OTHER" "--omit BOUND,MSOLID,JOINTA"; do
  n=$((n + 1))
  # shellcheck disable=SC2086
  "$gen" --out "$work/c$n" --seed "$n" --size 22k $shape >/dev/null
  cp "$work/c$n.qxin" "fuzz/corpus/qxin/case$n.qxin"
  cp "$work/c$n.TP18" "fuzz/corpus/tp18/case$n.TP18"
  cp "$work/c$n.TP19" "fuzz/corpus/tp19/case$n.TP19"
done
# An empty input of each kind.
: > fuzz/corpus/qxin/empty
: > fuzz/corpus/tp18/empty
: > fuzz/corpus/tp19/empty

# The inspector's seeds: result files of two shapes, a cut one and one whose
# maxima block claims more items than it holds, and the files converted from
# them (little- and big-endian) with a model of one element of each kind, so
# that the converted seeds stay small.
mkdir -p fuzz/corpus/qxdump
q="$work/qxdump"
mkdir -p "$q"
"$gen" --out "$q/a" --seed 11 --size 22k >/dev/null
"$gen" --out "$q/b" --seed 12 --size 22k --no-info --blocks MAXR,OTHER,DROP >/dev/null
"$gen" --out "$q/cut" --seed 13 --size 22k --truncate-tp18 5000 --only-tp18 >/dev/null
"$gen" --out "$q/na" --seed 14 --size 22k --blocks MAXR --hostile-na --only-tp18 >/dev/null
{
  printf 'TITLE   ONE ELEMENT OF EACH KIND\n'
  printf 'NODE    %8d\n' 6
  for n in 1 2 3 4 5 6; do printf '%8d%16.1f%16.1f\n' "$n" "$n" "$((n % 2))"; done
  printf 'BOUND   %8d%8d%8d%8d%8d%8d\n' 0 0 0 1 1 2
  printf 'BDFEML  %8d\nBDFFL   %8d\nBDFEMR  %8d\nBDFFR   %8d\nBDBASE  %8d%8d\n' 1 2 5 6 1 2
  printf 'MSOLID  %8d\n%8d%16s%16.1f\n' 1 1 '' 2.0
  printf 'SOLID   %8d\n%8d%8d%8d%8d%8d%8d\n' 1 1 1 2 4 3 1
  for k in BEAM SPRING RIGID; do printf '%-8s%8d\n%8d%8d%8d\n' "$k" 1 1 3 4; done
  for k in WATER WATERB SHELL JOINTA JOINTB VOID; do printf '%-8s%8d\n%8d%8d%8d%8d%8d\n' "$k" 1 1 3 4 6 5; done
} > "$q/tiny.qxin"
convert() {  # BASE ENDIAN-ANSWER PREFIX
  (cd "$q" && printf 'tiny.qxin\n%s.TP18\n%s\n' "$1" "$2" | "$OLDPWD/build/qxconv" >/dev/null)
  for f in "$q/$1"_QX*; do cp "$f" "fuzz/corpus/qxdump/$3-$(basename "$f")"; done
}
convert a No le
convert b Yes be
cp "$q/a.TP18" "$q/a.TP19" "$q/b.TP18" "$q/cut.TP18" "$q/na.TP18" fuzz/corpus/qxdump/
: > fuzz/corpus/qxdump/empty
du -sh fuzz/corpus/*
