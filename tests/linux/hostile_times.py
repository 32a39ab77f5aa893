#!/usr/bin/env python3
"""Writes a copy of the project's service documents (tests/data) whose reports and forecasts
carry times no date can hold: a TAF group of Salt Lake City ending 1e13 s after 1970, a METAR
observed 1e300 s after it and one an hour before it:
  hostile_times.py DEST
Used by the Linux end-to-end test of such times. The numbers are written as integers, as the
service writes its times, so the demo's services move them like any other."""
import json
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TEST_DATA = os.path.normpath(os.path.join(HERE, "..", "data"))


def rewrite(dest, name, change):
    path = os.path.join(dest, "awc", name)
    with open(path, encoding="utf-8") as source:
        records = json.load(source)
    change({record["icaoId"]: record for record in records})
    with open(path, "w", encoding="utf-8") as target:
        json.dump(records, target)


def make_data(dest):
    shutil.rmtree(dest, ignore_errors=True)
    shutil.copytree(TEST_DATA, dest)

    def tafs(by_id):
        by_id["KSLC"]["fcsts"][1]["timeTo"] = 10**13

    def metars(by_id):
        by_id["KFLG"]["obsTime"] = 10**300
        by_id["KYUM"]["obsTime"] = -3600

    rewrite(dest, "taf_west.json", tafs)
    rewrite(dest, "metar_west.json", metars)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    make_data(sys.argv[1])
    print(f"{sys.argv[1]}: TAF and METAR documents with impossible times")
