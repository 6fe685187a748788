# SPDX-License-Identifier: Apache-2.0
"""Runs telltale-scan --json on inputs that give every kind of record and
checks each line against the documented schema, and the order of the
records: the run first, the summary last, the summary's totals those of the
records between. Pictures of each format the structure walk follows, one
with a ZIP appended, are made with ImageMagick's convert, so that their
places are checked against the schema's too."""
import json
import os
import subprocess
import sys
import tempfile
import zipfile

import jsonschema

scanner, schema_path = sys.argv[1], sys.argv[2]
# Given where the scanner is built to read disk images.
with_images = "--with-images" in sys.argv[3:]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)

failures = []


def check(args, cwd, stdin=b""):
    run = subprocess.run([scanner, *args], cwd=cwd, input=stdin, capture_output=True, check=False)
    lines = run.stdout.decode("utf-8").splitlines()
    records = [json.loads(line) for line in lines]
    for line, record in zip(lines, records):
        for error in validator.iter_errors(record):
            failures.append(f"{args}: {line}: {error.message}")
    types = [r["type"] for r in records]
    if not types or types[0] != "run" or types[-1] != "summary" or \
            "run" in types[1:] or "summary" in types[:-1]:
        failures.append(f"{args}: records not run ... summary: {types}")
        return set(types)
    summary = records[-1]
    files = [r for r in records if r["type"] == "file"]
    expected = {
        "scanned": len(files),
        "failed": types.count("error"),
        "skipped": types.count("skipped"),
        "bytes": sum(r["bytes"] for r in files),
        "exit_status": run.returncode,
    }
    for key, value in expected.items():
        if summary[key] != value:
            failures.append(f"{args}: summary {key} is {summary[key]}, records say {value}")
    # With --unexplained nothing explained is reported, and what was left
    # out is counted where the records are complete (no input failed).
    if "--unexplained" in args:
        if any(r["type"] == "finding" and r["explained"] for r in records):
            failures.append(f"{args}: an explained finding was reported")
        left_out = sum(r["explained_left_out"] for r in files)
        if "error" not in types and summary.get("explained_left_out") != left_out:
            failures.append(f"{args}: the summary's explained_left_out is not the files'")
    elif "explained_left_out" in summary:
        failures.append(f"{args}: explained_left_out without --unexplained")
    # The summary counts every finding record, those of an input that then
    # failed included; a file record counts its own.
    for tool in ("JPHide", "Hiderman"):
        found = sum(1 for r in records if r["type"] == "finding" and r["tool"] == tool)
        if summary["findings"][tool] != found:
            failures.append(f"{args}: the summary's {tool} count is not the finding records'")
    since = []
    for record in records:
        if record["type"] == "finding":
            since.append(record["tool"])
        elif record["type"] in ("file", "error", "skipped"):
            if record["type"] == "file" and any(
                    record["counts"][tool] != since.count(tool) for tool in record["counts"]):
                failures.append(f"{args}: {record['path']}: counts disagree with its findings")
            since = []
    return set(types)


with tempfile.TemporaryDirectory() as top:
    tree = os.path.join(top, "tree")
    os.makedirs(os.path.join(tree, "sub"))
    with open(os.path.join(tree, "marked.jpg"), "wb") as f:
        f.write(b"\xff\xd8\xff\xdb" + b"x" * 70000 + b"CDN..cdn")
    with open(os.path.join(tree, "sub", "clean.txt"), "wb") as f:
        f.write(b"nothing here")
    with open(os.path.join(tree, b"latin1-\xe9".decode("utf-8", "surrogateescape")), "wb") as f:
        f.write(b"\xff\xdb")
    os.mkfifo(os.path.join(tree, "pipe"))
    os.symlink("nowhere", os.path.join(tree, "dangling"))
    pictures = os.path.join(top, "pictures")
    os.makedirs(pictures)
    for name in ("photo.jpg", "picture.png", "picture.gif", "picture.bmp"):
        subprocess.run(["convert", "-size", "24x16", "gradient:navy-orange", "-set", "comment",
                        "CDN", os.path.join(pictures, name)], check=True)
    with zipfile.ZipFile(os.path.join(top, "payload.zip"), "w", zipfile.ZIP_STORED) as archive:
        archive.writestr("secret.txt", b"CDN \xff\xdb")
    with open(os.path.join(pictures, "carrier.jpg"), "wb") as f:
        for part in ("pictures/photo.jpg", "payload.zip"):
            with open(os.path.join(top, part), "rb") as piece:
                f.write(piece.read())

    seen = set()
    seen |= check(["--json", "-r", "tree", "missing"], top)
    seen |= check(["--json", "--hash", "-r", "-L", "-j", "1", "tree"], top)
    seen |= check(["--json", "--hash", "-"], top, stdin=b"CDN\xff\xdb" * 1000)
    seen |= check(["--json", "tree/sub/clean.txt"], top)
    seen |= check(["--json", "-r", "pictures"], top)
    seen |= check(["--json", "--unexplained", "-r", "pictures", "tree"], top)
    with open(os.path.join(pictures, "carrier.jpg"), "rb") as f:
        seen |= check(["--json", "--unexplained", "-"], top, stdin=f.read())
    if with_images:
        # An ext4 image of the tree's regular files, and one that is no image.
        image_tree = os.path.join(top, "image-tree")
        os.makedirs(image_tree)
        for name in ("marked.jpg", "sub"):
            subprocess.run(["cp", "-r", os.path.join(tree, name), image_tree], check=True)
        subprocess.run(["mke2fs", "-q", "-t", "ext4", "-d", image_tree,
                        os.path.join(top, "tree.img"), "2M"], check=True,
                       env={**os.environ, "PATH": os.environ.get("PATH", "") + ":/usr/sbin:/sbin"})
        seen |= check(["--json", "--hash", "--image", "tree.img",
                       "tree/sub/clean.txt"], top)
        # An E01 of it, whose stored hash --verify checks.
        subprocess.run(["ewfacquire", "-u", "-q", "-t", os.path.join(top, "tree"),
                        os.path.join(top, "tree.img")], check=True, capture_output=True)
        seen |= check(["--json", "--verify", "--image", "tree.E01"], top)
        if "image" not in seen:
            failures.append("--image gave no image record to check")
    missing = {"run", "finding", "file", "error", "skipped", "summary"} - seen
    if missing:
        failures.append(f"no record of type {sorted(missing)} was produced to check")

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
