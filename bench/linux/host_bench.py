#!/usr/bin/env python3
"""Linux host benchmark (not a test): start-up to the first map drawing and to the first METAR
markers, and resident memory once every layer is loaded, for the real corvane-weather with the
real page against the fake services. Run by scripts/bench-linux.sh inside the services' network
namespace on a virtual display."""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from host_driver import HostDriver  # noqa: E402


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def processes_named(name):
    found = subprocess.run(["pgrep", "-x", name], capture_output=True, text=True).stdout.split()
    return [int(pid) for pid in found]


def one_run(program):
    home = tempfile.mkdtemp(prefix="corvane-bench-")
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CACHE_HOME=os.path.join(home, "cache"))
    started = time.monotonic()
    with HostDriver(program, env=env) as driver:
        driver.wait_for("return performance.getEntriesByName('corvane:first-map').length > 0",
                        timeout=60, interval=0.02)
        first_map = time.monotonic() - started
        driver.wait_for("return document.querySelectorAll('path.station-marker').length > 0",
                        timeout=60, interval=0.02)
        markers = time.monotonic() - started
        driver.wait_for("return document.querySelectorAll('.pirep-symbol').length > 0 && "
                        "document.querySelectorAll('path.alert-shape').length > 0", timeout=60)
        page_first_map = driver.execute_script(
            "return performance.getEntriesByName('corvane:first-map')[0].startTime")
        time.sleep(2)  # let the layers settle
        host = sum(resident_kib(pid) for pid in processes_named("corvane-weather"))
        web = sum(resident_kib(pid) for pid in processes_named("WebKitWebProces"))
        network = sum(resident_kib(pid) for pid in processes_named("WebKitNetworkPr"))
    return {"first_map_s": first_map, "markers_s": markers, "page_first_map_ms": page_first_map,
            "host_mib": host / 1024, "web_mib": web / 1024, "network_mib": network / 1024}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--runs", type=int, default=5)
    options = parser.parse_args()
    runs = [one_run(options.program) for _ in range(options.runs)]
    print(f"{'measure':48} {'median':>10} {'min':>10} {'max':>10}")
    rows = [("start-up to first map drawing (s)", "first_map_s"),
            ("start-up to first METAR markers (s)", "markers_s"),
            ("page script start to first map drawing (ms)", "page_first_map_ms"),
            ("resident memory, host process (MiB)", "host_mib"),
            ("resident memory, web process (MiB)", "web_mib"),
            ("resident memory, network process (MiB)", "network_mib")]
    for label, key in rows:
        values = [run[key] for run in runs]
        print(f"{label:48} {statistics.median(values):>10.2f} {min(values):>10.2f} "
              f"{max(values):>10.2f}")


if __name__ == "__main__":
    main()
