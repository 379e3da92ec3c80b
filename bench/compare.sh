#!/usr/bin/env bash
# Compares our program file load, S-record store, load + store and checksum with objcopy,
# srec_cat and cksum on the same generated files, and the binary and ELF loads also with
# `cp` of the same file, and prints one table.
# Builds nothing: uses the programs in $TARVEL_BUILD_DIR/bench (default build/bench).
# Usage: bench/compare.sh [OUTDIR]   (default bench/out; about 1 GiB of files)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TARVEL_BUILD_DIR:-$root/build}"
out="${1:-$root/bench/out}"
benchdir="$build/bench"

for tool in "$benchdir/bench_gen_program_files" "$benchdir/bench_program_files_bench"; do
  [ -x "$tool" ] || { echo "missing $tool: build first (scripts/build)" >&2; exit 1; }
done
have() { command -v "$1" >/dev/null 2>&1; }

mkdir -p "$out"
"$benchdir/bench_gen_program_files" "$out" >/dev/null
# The files just written (about 1 GiB) go to the disk first: the kernel's
# write-back would otherwise run during the first rows and slow them.
sync
tmp="$(mktemp -d "$out/run-XXXXXX")"
trap 'rm -rf "$tmp"' EXIT

# Seconds of wall time of one command (output discarded), or n/a when it fails.
seconds() {
  local start end
  start=$(date +%s.%N)
  if "$@" >/dev/null 2>&1; then
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }'
  else
    echo "n/a"
  fi
}

# The median of three runs of a command (seconds), as `seconds` gives each.
median3() {
  local t=() i
  for i in 1 2 3; do t+=("$(seconds "$@")"); done
  if printf '%s\n' "${t[@]}" | grep -q n/a; then echo n/a; return; fi
  printf '%s\n' "${t[@]}" | sort -g | sed -n 2p
}

# One Google Benchmark: "seconds peakRSS" from its CSV output (real time, ms -> s),
# the median of five repetitions: a single one on a shared machine moves by 20 %.
bench() {
  local binary="$1" filter="$2" csv
  if [ ! -x "$binary" ]; then echo "n/a n/a"; return; fi
  csv="$(TARVEL_BENCH_DIR="$out" "$binary" --benchmark_filter="$filter" --benchmark_format=csv \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null)" || {
    echo "n/a n/a"; return; }
  echo "$csv" | awk -F, '
    /^name,/ { for (i = 1; i <= NF; i++) { gsub(/"/, "", $i); col[$i] = i }; next }
    col["name"] && NF > 3 && $col["name"] ~ /_median"?$/ {
      t = $col["real_time"]; u = $col["time_unit"]
      s = (u == "ms") ? t / 1000 : (u == "us") ? t / 1e6 : (u == "ns") ? t / 1e9 : t
      rss = ("peak_rss_MiB" in col && $col["peak_rss_MiB"] != "") ? sprintf("%.1f MiB", $col["peak_rss_MiB"]) : "n/a"
      gsub(/ /, "_", rss)
      printf "%.3f %s\n", s, rss; exit }' | grep . || echo "n/a n/a"  # n/a: a benchmark this build lacks
}

ours_bench="$benchdir/bench_program_files_bench"
# A warm-up load, not counted: right after the files were written the first
# loads run up to twice as long for a second or two.
TARVEL_BENCH_DIR="$out" "$ours_bench" --benchmark_filter='^BM_LoadSRecord/' --benchmark_repetitions=3 >/dev/null 2>&1 || true
read -r ld_s rss_s <<<"$(bench "$ours_bench" '^BM_LoadSRecord/')"
read -r ld_h rss_h <<<"$(bench "$ours_bench" '^BM_LoadIntelHex/')"
read -r ld_b rss_b <<<"$(bench "$ours_bench" '^BM_LoadBinary/')"
read -r ld_e rss_e <<<"$(bench "$ours_bench" '^BM_LoadElf/')"
read -r st_s rss_st <<<"$(bench "$ours_bench" '^BM_StoreSRecord64MiB/1/')"
read -r st_sync rss_sync <<<"$(bench "$ours_bench" '^BM_StoreSRecord64MiB/2/')"
read -r ls_s rss_ls <<<"$(bench "$ours_bench" '^BM_LoadStoreSRecord64MiB/')"
# The image's own benchmark program (named after its source file).
image_bench="$benchdir/bench_memory_image"
[ -x "$image_bench" ] || image_bench="$benchdir/bench_memory_image_bench"
read -r ck rss_ck <<<"$(bench "$image_bench" '^BM_ChecksumBytes256MiB')"

oc_s=n/a; oc_h=n/a; oc_e=n/a; oc_b=n/a; oc_st=n/a; oc_ls=n/a; sc_s=n/a; sc_h=n/a; sc_st=n/a; ck_ref=n/a
if have objcopy; then
  oc_s=$(median3 objcopy -I srec -O binary "$out/program.s19" "$tmp/o.bin")
  oc_h=$(median3 objcopy -I ihex -O binary "$out/program.hex" "$tmp/o.bin")
  # Host binutils need not know ARM: the generic 32-bit reader gives the same bytes.
  oc_e=$(median3 objcopy -I elf32-little -O binary "$out/program.elf" "$tmp/o.bin")
  oc_st=$(median3 objcopy -I binary -O srec --srec-len=32 --srec-forceS3 "$out/program.bin" "$tmp/o.s19")
  oc_b=$(median3 objcopy -I binary -O binary "$out/program.bin" "$tmp/o.bin")
  oc_ls=$(median3 objcopy -I srec -O srec --srec-len=32 --srec-forceS3 "$out/program.s19" "$tmp/r.s19")
fi
if have srec_cat; then
  sc_s=$(seconds srec_cat "$out/program.s19" -motorola -o "$tmp/s.bin" -binary)
  sc_h=$(seconds srec_cat "$out/program.hex" -intel -o "$tmp/s.bin" -binary)
  sc_st=$(seconds srec_cat "$out/program.bin" -binary -o "$tmp/s.s19" -motorola -address-length=4 -obs=32)
fi
have cksum && ck_ref=$(median3 cksum "$out/big.bin")
# cp of the same file into a fresh one (as the load's image file is), the median of eleven:
# one copy takes a few hundredths of a second, close to the timer's noise (our binary and
# ELF loads are the mean of ten).
cp_median() {
  local t=() i
  for i in 1 2 3 4 5 6 7 8 9 10 11; do rm -f "$tmp/c.out"; t+=("$(seconds cp "$1" "$tmp/c.out")"); done
  rm -f "$tmp/c.out"
  printf '%s\n' "${t[@]}" | sort -g | sed -n 6p
}
cp_b=$(cp_median "$out/program.bin")
cp_e=$(cp_median "$out/program.elf")

# Whole processes, both timed the same way: tarvel-cli (start, image, load,
# exit) and objcopy, one run of each in turn, seven of each; prints the two
# medians. Turn about, so that a burst of other work on a shared machine
# falls on both.
cli="$build/tarvel-cli"
alternate() {
  local a=() b=() i ta tb
  local -a ours theirs
  # "ours ... -- theirs ..."
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done
  shift; theirs=("$@")
  for i in 1 2 3 4 5 6 7; do
    ta=$(seconds "${ours[@]}"); tb=$(seconds "${theirs[@]}")
    a+=("$ta"); b+=("$tb")
  done
  if printf '%s\n' "${a[@]}" "${b[@]}" | grep -q n/a; then echo "n/a n/a"; return; fi
  echo "$(printf '%s\n' "${a[@]}" | sort -g | sed -n 4p) $(printf '%s\n' "${b[@]}" | sort -g | sed -n 4p)"
}
pl_s=n/a; pl_h=n/a; pl_e=n/a; po_s=n/a; po_h=n/a; po_e=n/a
if [ -x "$cli" ] && have objcopy; then
  # The image window over the files' addresses: 64 MiB from 0 (the ELF's
  # .data is loaded behind .text).
  load() { "$cli" --quiet --physical 0+10000000 load "$1"; }
  read -r pl_s po_s <<<"$(alternate load "$out/program.s19" -- objcopy -I srec -O binary "$out/program.s19" "$tmp/o.bin")"
  read -r pl_h po_h <<<"$(alternate load "$out/program.hex" -- objcopy -I ihex -O binary "$out/program.hex" "$tmp/o.bin")"
  read -r pl_e po_e <<<"$(alternate load "$out/program.elf" -- objcopy -I elf32-little -O binary "$out/program.elf" "$tmp/o.bin")"
fi

# Speed relative to the reference: reference time / our time.
ratio() { awk -v o="$1" -v r="$2" 'BEGIN { if (o == "n/a" || r == "n/a" || o <= 0) print "n/a"; else printf "%.2fx", r / o }'; }

# Our time over the reference's (how many times slower), for the rows against cp.
slower() { awk -v o="$1" -v r="$2" 'BEGIN { if (o == "n/a" || r == "n/a" || r <= 0) print "n/a"; else printf "%.2fx", o / r }'; }

printf '%-34s %9s %11s %12s %16s %20s %15s\n' task "ours (s)" "objcopy (s)" "srec_cat (s)" "ratio vs objcopy" goal "peak RSS ours"
row() { printf '%-34s %9s %11s %12s %16s %20s %15s\n' "$1" "$2" "$3" "$4" "$5" "$6" "${7//_/ }"; }
row "load S-records (64 MiB, S3/32)" "$ld_s" "$oc_s" "$sc_s" "$(ratio "$ld_s" "$oc_s")" ">= 8x, RSS < 16 MiB" "$rss_s"
row "load Intel HEX (64 MiB, 16/rec)" "$ld_h" "$oc_h" "$sc_h" "$(ratio "$ld_h" "$oc_h")" ">= 8x, RSS < 16 MiB" "$rss_h"
row "load binary (64 MiB)" "$ld_b" "$oc_b" "-" "$(ratio "$ld_b" "$oc_b")" "RSS < 16 MiB" "$rss_b"
row "  the same vs cp (our time / cp's)" "$ld_b" "cp $cp_b" "-" "$(slower "$ld_b" "$cp_b")" "<= 1.5x cp" "$rss_b"
row "load ELF (64 MiB in 2 sections)" "$ld_e" "$oc_e" "-" "$(ratio "$ld_e" "$oc_e")" "RSS < 16 MiB" "$rss_e"
row "  the same vs cp (our time / cp's)" "$ld_e" "cp $cp_e" "-" "$(slower "$ld_e" "$cp_e")" "<= 1.5x cp" "$rss_e"
row "store 64 MiB as S3 records" "$st_s" "$oc_st" "$sc_st" "$(ratio "$st_s" "$oc_st")" ">= 2x, RSS < 64 MiB" "$rss_st"
row "  the same, synced (durable)" "$st_sync" "-" "-" "$(ratio "$st_sync" "$oc_st")" "(the sync's cost)" "$rss_sync"
row "load + store 64 MiB (S3 -> S3)" "$ls_s" "$oc_ls" "-" "$(ratio "$ls_s" "$oc_ls")" ">= 2x, RSS < 64 MiB" "$rss_ls"
row "byte checksum 256 MiB (vs cksum)" "$ck" "cksum $ck_ref" "-" "$(ratio "$ck" "$ck_ref")" ">= 0.5x cksum" "$rss_ck"
printf '\nWhole processes (tarvel-cli --physical 0+10000000 load FILE against objcopy, in turn, medians of 7):\n'
row "tarvel-cli load S-records" "$pl_s" "$po_s" "-" "$(ratio "$pl_s" "$po_s")" "-" "-"
row "tarvel-cli load Intel HEX" "$pl_h" "$po_h" "-" "$(ratio "$pl_h" "$po_h")" "-" "-"
row "tarvel-cli load ELF" "$pl_e" "$po_e" "-" "$(ratio "$pl_e" "$po_e")" "-" "-"
