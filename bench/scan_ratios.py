#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Prints the scan's throughput as ratios taken within one benchmark run.

Usage: scan_ratios.py RESULTS.json   (Google Benchmark's --benchmark_out)
Exits 1 when a target is missed: the whole scan on random bytes at least half
of memchr's throughput, and no adversarial buffer below half of that.
"""
import json
import sys


def main(path):
    with open(path) as f:
        runs = json.load(f)["benchmarks"]
    rate = {}
    for run in runs:
        name = run["name"].split("/min_time")[0]
        rate[name] = run["bytes_per_second"]
    random = rate["BM_ScanContent/random"]
    ok = True
    ratio = random / rate["BM_Memchr"]
    print(f"ScanContent random / memchr:      {ratio:5.2f}x (target >= 0.50)")
    ok &= ratio >= 0.5
    for shape in ("all_ff", "cdcd", "CDCD", "jpeg_like"):
        r = rate[f"BM_ScanContent/{shape}"] / random
        print(f"ScanContent {shape:9} / random:   {r:5.2f}x (target >= 0.50)")
        ok &= r >= 0.5
    dense = rate.get("BM_ScanContent/dense_ffdb")
    if dense:
        print(f"ScanContent dense_ffdb / random:  {dense / random:5.2f}x (bound by its findings)")

    # Times on the 1 GiB file, against one thread's aligned 256 KiB read loop.
    loop = rate.get("BM_ReadLoop/262144/0")
    if loop:
        print("\n1 GiB file in the page cache, time against an aligned 256 KiB read loop:")
        for misalign in (2, 16, 64):
            r = loop / rate[f"BM_ReadLoop/262144/{misalign}"]
            print(f"  read loop, buffer at +{misalign:<2} bytes:   {r:5.2f}x")
        for chunk in (128, 256, 512, 1024):
            name = f"BM_ScanInput/{chunk << 10}"
            if name in rate:
                print(f"  ScanInput, {chunk:4} KiB chunks:      {loop / rate[name]:5.2f}x")
        if "BM_ScanInputPlaced" in rate:
            placed = rate["BM_ScanInput/262144"] / rate["BM_ScanInputPlaced"]
            print(f"  ScanInputPlaced (structure walk): {loop / rate['BM_ScanInputPlaced']:5.2f}x"
                  f", {placed:4.2f}x ScanInput's time (target <= 1.05)")
            ok &= placed <= 1.05
        if "BM_RunScan" in rate:
            print(f"  RunScan (256 KiB chunks):         {loop / rate['BM_RunScan']:5.2f}x")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
