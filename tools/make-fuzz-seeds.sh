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
du -sh fuzz/corpus/*
