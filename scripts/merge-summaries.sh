#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Merges the summary records of telltale-scan --json runs over the parts of
# one case (shards scanned on several machines, or by several jobs) into the
# summary record one run over the whole case would give, printed as one JSON
# line:
#   scripts/merge-summaries.sh SHARD.jsonl...
# scanned, failed, skipped, bytes, the findings per tool and, where the runs
# had --unexplained, explained_left_out are summed; elapsed_seconds is the sum
# of the runs' times, not the time the whole took; exit_status is 2 if any
# run's is 2, else 0 if any run's is 0, else 1. The script exits with that
# status too, as the scanner would.
#
# A file whose runs did not all end with a summary (a shard killed by a time
# limit, a host that lost its connection), that holds no run at all (a
# scanner that never started) or that cannot be read makes the script fail
# with status 2 and merge nothing: a total without that shard would look
# complete and not be.
set -euo pipefail

if [ "$#" -eq 0 ]; then
  echo "usage: $0 SHARD.jsonl..." >&2
  exit 2
fi

summaries=()
for shard in "$@"; do
  # The scanner writes each record on one line, "type" first, so a run or a
  # summary is a line that starts so; the records in between, millions in a
  # large case, are passed over in one read without parsing them.
  status=0
  ends=$(grep -E '^\{"type":"(run|summary)",' -- "$shard") || status=$?
  if [ "$status" -gt 1 ]; then
    exit 2  # a file that cannot be read: grep has said why
  fi
  runs=$(grep -c '^{"type":"run",' <<<"$ends" || true)
  lines=$(grep '^{"type":"summary",' <<<"$ends" || true)
  ended=$(grep -c '^{"type":"summary",' <<<"$ends" || true)
  if [ "$runs" -eq 0 ]; then
    echo "$0: $shard: no run record: the scanner did not run" >&2
    exit 2
  fi
  if [ "$runs" -ne "$ended" ]; then
    echo "$0: $shard: $runs run records but $ended summary records: a run did not end" >&2
    exit 2
  fi
  summaries+=("$lines")
done

merged=$(printf '%s\n' "${summaries[@]}" | jq -c -s '
  def total(member): map(member) | add;
  {
    type: "summary",
    scanned: total(.scanned),
    failed: total(.failed),
    skipped: total(.skipped),
    bytes: total(.bytes),
    findings: {JPHide: total(.findings.JPHide), Hiderman: total(.findings.Hiderman)}
  }
  + (if any(.[]; has("explained_left_out"))
     then {explained_left_out: total(.explained_left_out // 0)} else {} end)
  + {
    # Rounded to the microsecond, as the scanner writes it.
    elapsed_seconds: (total(.elapsed_seconds) * 1e6 | round / 1e6),
    exit_status: (map(.exit_status) as $s
                  | if any($s[]; . == 2) then 2 elif any($s[]; . == 0) then 0 else 1 end)
  }')
printf '%s\n' "$merged"
exit "$(jq -r .exit_status <<<"$merged")"
