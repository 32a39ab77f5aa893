#!/usr/bin/env python3
"""Writes a copy of the project's service documents (tests/data) whose alerts document holds
many alerts and is nearly as large as the transport accepts, and with --hazards the three hazard
documents too (SIGMETs, G-AIRMETs and CWAs of about that size each, written compactly as the
aviation service writes them, the worst case for holding them compactly):
  large_alerts.py DEST [--alerts N] [--bytes B] [--hazards]
Used by the Linux end-to-end test of large replies and by the memory benchmark."""
import argparse
import copy
import json
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
TEST_DATA = os.path.normpath(os.path.join(HERE, "..", "data"))
ALERTS_FILE = os.path.join("nws", "alerts_active.json")


def make_data(dest, alert_count=2000, target_bytes=12_000_000):
    """Copies tests/data to `dest` with an alerts document of `alert_count` alerts (copies of
    the eight, each with an id of its own) padded to about `target_bytes` bytes (none: the
    alerts as they are)."""
    shutil.rmtree(dest, ignore_errors=True)
    shutil.copytree(TEST_DATA, dest)
    if alert_count == 0:  # the alerts as they are
        return os.path.getsize(os.path.join(dest, ALERTS_FILE))
    with open(os.path.join(TEST_DATA, ALERTS_FILE), encoding="utf-8") as source:
        document = json.load(source)
    originals = document["features"]
    sentence = "Travel could be very difficult. Gusty winds could blow around unsecured objects. "

    def build(repeats):
        features = []
        for number in range(alert_count):
            feature = copy.deepcopy(originals[number % len(originals)])
            suffix = f".many.{number:05d}"
            feature["id"] = feature["id"] + suffix
            feature["properties"]["id"] = feature["properties"]["id"] + suffix
            # Real alert texts are long; padded descriptions bring the document to its size.
            feature["properties"]["description"] += "\n\n" + sentence * repeats
            features.append(feature)
        return json.dumps(dict(document, features=features), indent=4, ensure_ascii=False) + "\n"

    unpadded = len(build(0).encode())
    text = build(max(0, (target_bytes - unpadded) // (alert_count * len(sentence))))
    with open(os.path.join(dest, ALERTS_FILE), "w", encoding="utf-8") as target:
        target.write(text)
    return len(text.encode())


HAZARD_FILES = [os.path.join("awc", name + ".json") for name in ("airsigmet", "gairmet", "cwa")]


def make_hazards(dest, target_bytes=12_000_000):
    """Replaces the hazard documents in `dest` by copies of their items repeated to about
    `target_bytes` bytes each; returns their sizes."""
    sizes = []
    for file in HAZARD_FILES:
        with open(os.path.join(TEST_DATA, file), encoding="utf-8") as source:
            items = json.load(source)
        pieces, size = [], 2
        while size < target_bytes:
            item = json.dumps(items[len(pieces) % len(items)], separators=(",", ":"),
                              ensure_ascii=False)
            if size + len(item) + 1 > target_bytes:
                break
            pieces.append(item)
            size += len(item.encode()) + 1
        text = "[" + ",".join(pieces) + "]"
        with open(os.path.join(dest, file), "w", encoding="utf-8") as target:
            target.write(text)
        sizes.append(len(text.encode()))
    return sizes


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("dest")
    parser.add_argument("--alerts", type=int, default=2000)
    parser.add_argument("--bytes", type=int, default=12_000_000, help="the transport takes 12,582,912")
    parser.add_argument("--hazards", action="store_true", help="the hazard documents large too")
    options = parser.parse_args()
    size = make_data(options.dest, options.alerts, options.bytes)
    print(f"{options.dest}/{ALERTS_FILE}: {size:,} bytes, {options.alerts} alerts")
    if options.hazards:
        for file, size in zip(HAZARD_FILES, make_hazards(options.dest, options.bytes)):
            print(f"{options.dest}/{file}: {size:,} bytes")


if __name__ == "__main__":
    main()
