#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
# Mean wall times by command from a hyperfine JSON export, and the first
# command's ratio to each of the others.
#   hyperfine_ratios.py RESULT.json FIRST OTHER...
import json
import sys

results = json.load(open(sys.argv[1]))["results"]
mean = {r["command"]: r["mean"] for r in results}
labels = sys.argv[2:]
ours = mean[labels[0]]
print(f"  {labels[0]}: {ours * 1000:.1f} ms")
for other in labels[1:]:
    print(f"  {other}: {mean[other] * 1000:.1f} ms   -> {labels[0]} takes "
          f"{ours / mean[other]:.2f}x its time ({mean[other] / ours:.2f}x as fast)")
