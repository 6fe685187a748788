#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The README's recipe for spreading a case over several workers: GNU parallel
# splits one NUL-separated list into parts, each scanned by its own
# telltale-scan --json -0 --files-from -, and merge-summaries.sh adds up the
# parts' summaries. The parts' finding, file and error records must be those
# of one run over the whole list, record for record, and the merged summary
# (but for the time taken) and exit status those of that run.
#   sharded_scan_test.sh TELLTALE_SCAN MERGE_SUMMARIES
# Exits with 77, which CTest reports as skipped, where GNU parallel is not
# installed.
set -euo pipefail

scan=$1
merge=$2

if ! command -v parallel >/dev/null; then
  echo "GNU parallel is not installed" >&2
  exit 77
fi
command -v jq >/dev/null || { echo "FAIL: jq is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
case_dir=$work/case
mkdir -p "$case_dir/with space" "$case_dir/odd"

# A few hundred small files: most hold no marker, some a JPHide or a Hiderman
# marker or both; names with spaces, newlines and bytes that are not UTF-8
# (written to JSON as \ufffd with a path_hex member).
for i in $(seq 1 240); do
  case $((i % 4)) in
    0) dir=$case_dir ;;
    1) dir="$case_dir/with space" ;;
    2) dir=$case_dir/odd ;;
    3) dir="$case_dir/with space" ;;
  esac
  case $((i % 3)) in
    0) name="plain $i" ;;
    1) name=$'new\nline '"$i" ;;
    2) name=$'bytes \xff\xfe '"$i" ;;
  esac
  printf 'filler %04d\n' "$i" >"$dir/$name"
done
for i in $(seq 1 60); do
  name=$'marked\n'"$i"$' \xe9'
  case $((i % 3)) in
    0) printf 'x\xff\xdby\xff\xdb' >"$case_dir/odd/$name" ;;
    1) printf 'Meet at the cdn office, CDN' >"$case_dir/$name" ;;
    2) printf '\xff\xdbCDN' >"$case_dir/with space/$name" ;;
  esac
done
# Pictures whose one marker the format explains, left out by --unexplained:
# a JPEG of a quantization table and nothing else.
for i in $(seq 1 20); do
  {
    printf '\xff\xd8\xff\xdb\x00\x43\x00'
    head -c 64 /dev/zero
    printf '\xff\xd9'
  } >"$case_dir/odd/marked photo $i.jpg"
done
: >"$case_dir/empty"

# Runs the recipe over LIST with 3 workers, in parts of BLOCK bytes, and one
# run over it, both with the scanner's OPTIONS besides --json -0; compares
# them. Prints the parts' exit statuses, one a line.
compare_with_one_run() {
  local list=$1 round=$2 block=$3
  shift 3
  local options=("$@")
  local out=$work/$round
  mkdir -p "$out"

  local one_status=0
  "$scan" --json -0 "${options[@]}" --files-from - <"$list" >"$out/one.jsonl" 2>/dev/null ||
    one_status=$?

  parallel --pipepart -a "$list" --recend '\0' --block "$block" -j 3 \
    --results "$out/shards/{#}.jsonl" \
    "$(printf '%q' "$scan")" --json -0 "${options[@]}" --files-from - || true

  local shards=("$out"/shards/*.jsonl)
  if [ "${#shards[@]}" -lt 3 ]; then
    echo "FAIL ($round): ${#shards[@]} parts, too few to test the cutting" >&2
    exit 1
  fi

  records() {
    jq -c 'select(.type == "finding" or .type == "file" or .type == "error")' "$@" | LC_ALL=C sort
  }
  records "$out/one.jsonl" >"$out/one.records"
  records "${shards[@]}" >"$out/shards.records"
  if ! cmp -s "$out/one.records" "$out/shards.records"; then
    echo "FAIL ($round): the parts' records differ from one run's:" >&2
    diff "$out/one.records" "$out/shards.records" | head -20 >&2
    exit 1
  fi

  local merged_status=0
  "$merge" "${shards[@]}" >"$out/merged.json" || merged_status=$?
  if [ "$merged_status" -ne "$one_status" ]; then
    echo "FAIL ($round): merged exit status $merged_status, one run's $one_status" >&2
    exit 1
  fi
  local one_summary merged_summary
  one_summary=$(jq -S -c 'select(.type == "summary") | del(.elapsed_seconds)' "$out/one.jsonl")
  merged_summary=$(jq -S -c 'del(.elapsed_seconds)' "$out/merged.json")
  if [ "$one_summary" != "$merged_summary" ]; then
    echo "FAIL ($round): merged summary $merged_summary" >&2
    echo "              one run's     $one_summary" >&2
    exit 1
  fi
  jq -r 'select(.type == "summary") | .exit_status' "${shards[@]}"
}

# Every file, then a missing one: status 2. The list ends without a NUL
# after its last name, as a list written by hand may.
find "$case_dir" -type f -print0 >"$work/all.list"
printf '%s' "$case_dir/missing file" >>"$work/all.list"
# Parts of 1 KiB, a few dozen names each: many more parts than workers, so
# that the list is cut at many places and parts run at the same time.
compare_with_one_run "$work/all.list" all 1k >"$work/all.statuses"
one=$work/all/one.jsonl
if [ "$(jq -s '[.[] | select(.type == "file")] | length' "$one")" -ne 321 ] ||
  [ "$(jq -s '[.[] | select(.type == "error")] | length' "$one")" -ne 1 ] ||
  [ "$(jq -s '[.[] | select(.type == "finding")] | length' "$one")" -lt 60 ] ||
  [ "$(jq -s '[.[] | select(has("path_hex"))] | length' "$one")" -lt 80 ]; then
  echo "FAIL: one run over the case did not see every file, marker and name" >&2
  exit 1
fi
grep -qx 2 "$work/all.statuses" || { echo "FAIL: no part failed" >&2; exit 1; }

# With --unexplained, the explained findings left out are counted too.
compare_with_one_run "$work/all.list" unexplained 1k --unexplained >/dev/null
if [ "$(jq 'select(.type == "summary") | .explained_left_out' "$work/unexplained/one.jsonl")" != 20 ]; then
  echo "FAIL: one run with --unexplained did not leave the pictures' markers out" >&2
  exit 1
fi

# Files without markers first, then the marked ones: the first parts find
# nothing (status 1), the last find something (0), and the whole is 0.
{
  find "$case_dir" -type f ! -name 'marked*' -print0
  find "$case_dir" -type f -name 'marked*' -print0
} >"$work/mixed.list"
compare_with_one_run "$work/mixed.list" mixed 1k >"$work/mixed.statuses"
if ! grep -qx 0 "$work/mixed.statuses" || ! grep -qx 1 "$work/mixed.statuses"; then
  echo "FAIL: the parts did not both find something and find nothing" >&2
  exit 1
fi

# No markers at all: every part's status and the whole's is 1.
find "$case_dir" -type f ! -name 'marked*' -print0 >"$work/clean.list"
compare_with_one_run "$work/clean.list" clean 1k >/dev/null

# Parts larger than a pipe holds, each read in several reads that cut names
# in two: the case listed many times over, in parts of 256 KiB.
for _ in $(seq 1 80); do cat "$work/clean.list"; done >"$work/large.list"
compare_with_one_run "$work/large.list" large 256k >/dev/null

# Lists of disk images are cut the same way, each image scanned whole in the
# part that names it: ext4 images of the case's folders, and one missing.
refusal=$("$scan" --image "$work/no such image" 2>&1 || true)
if [[ $refusal == *'needs a build'* ]]; then
  echo "this build reads no disk images: their round is left out" >&2
else
  mkdir "$work/images"
  n=0
  for folder in "$case_dir" "$case_dir/with space" "$case_dir/odd" "$case_dir/odd"; do
    n=$((n + 1))
    PATH=$PATH:/usr/sbin:/sbin mke2fs -q -t ext4 -d "$folder" "$work/images/disk $n.img" 4M
  done
  {
    find "$work/images" -name '*.img' -print0 | LC_ALL=C sort -z
    printf '%s\0' "$work/images/missing.img"
  } >"$work/images.list"
  # Parts of one byte: one image a part.
  compare_with_one_run "$work/images.list" image-list 1 --image >"$work/images.statuses"
  if [ "$(jq -s '[.[] | select(.type == "finding" and .fs_path != null)] | length' \
    "$work/image-list/one.jsonl")" -lt 60 ]; then
    echo "FAIL: one run over the images did not see the files' markers" >&2
    exit 1
  fi
  grep -qx 2 "$work/images.statuses" || { echo "FAIL: the missing image failed no part" >&2; exit 1; }
fi

# A part whose run was stopped before its summary (a time limit, a host lost),
# whose scanner never started, or that is missing makes the merge fail with
# status 2 and print nothing: a total without that part would look complete.
cut_short=$work/cut-short
mkdir "$cut_short"
cp "$work"/clean/shards/*.jsonl "$cut_short"
first=$(find "$cut_short" -name '*.jsonl' | head -n 1)
grep -v '^{"type":"summary"' "$first" >"$first.cut" && mv "$first.cut" "$first"
: >"$cut_short/never-started.jsonl"
for shards in "$first" "$cut_short/never-started.jsonl" "$cut_short/missing.jsonl"; do
  merged_status=0
  merged=$("$merge" "$work/clean/shards/1.jsonl" "$shards" 2>/dev/null) || merged_status=$?
  if [ "$merged_status" -ne 2 ] || [ -n "$merged" ]; then
    echo "FAIL: $shards was merged: $merged (status $merged_status)" >&2
    exit 1
  fi
done

echo PASS
