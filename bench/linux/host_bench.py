#!/usr/bin/env python3
"""Linux host benchmark (not a test): start-up to the first map drawing and to the first METAR
marks, against a bare WebKitGTK window of the same size drawing one canvas (the baseline, run in
turn with the host in the same run and driven through WebDriver as the host is), with where the
host's time goes; and resident memory once every layer is loaded. The real corvane-weather with the real page against the fake services,
run by scripts/bench-linux.sh inside the services' network namespace on a virtual display.

Every time is taken from the same two clocks for both programs: the kernel's start time of the
process and the page's own wall clock (performance.timeOrigin + a mark, after the frame that
shows the drawing has been painted)."""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from host_driver import HostDriver  # noqa: E402
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from memory_bench import descendants  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def boot_time():
    with open("/proc/stat") as stat:
        return next(int(line.split()[1]) for line in stat if line.startswith("btime "))


def started_ms(pid):
    """The wall-clock time in ms at which the kernel started `pid` (to a clock tick, 10 ms)."""
    with open(f"/proc/{pid}/stat") as stat:
        text = stat.read()
    ticks = int(text[text.rindex(")") + 2:].split()[19])
    return (boot_time() + ticks / TICKS) * 1000


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def bare_run(program):
    """The bare window on its own, and driven through WebDriver as the host is."""
    process = subprocess.Popen([program], stdout=subprocess.PIPE, text=True)
    start = started_ms(process.pid)
    line = process.stdout.readline()
    process.wait(timeout=30)
    if not line.startswith("drawn "):
        raise RuntimeError(f"the bare window said {line!r}")
    home = tempfile.mkdtemp(prefix="corvane-bench-")
    with HostDriver(program, env=dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
                                      XDG_CACHE_HOME=os.path.join(home, "cache"))) as driver:
        drawn = driver.wait_for("return window.corvaneBareDrawn", timeout=60, interval=0.05)
        origin = driver.execute_script("return performance.timeOrigin")
        pid = next(pid for pid, name in descendants(driver.service.process.pid)
                   if name == os.path.basename(program)[:15])
        started = started_ms(pid)
    return {"bare_alone_s": (float(line.split()[1]) - start) / 1000, "bare_s": (drawn - started) / 1000,
            "bare_navigation_s": (origin - started) / 1000}


PAGE_TIMES = """
const mark = (name) => performance.getEntriesByName(name)[0]?.startTime;
const navigation = performance.getEntriesByType('navigation')[0];
return {origin: performance.timeOrigin, response: navigation.responseEnd, script: mark('corvane:start'),
  mapDrawn: mark('corvane:map-drawn'), app: mark('corvane:app-start'),
  reply: mark('corvane:metars-draw-start'), metarsDrawn: mark('corvane:metars-drawn')};
"""


def host_run(program):
    home = tempfile.mkdtemp(prefix="corvane-bench-")
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CACHE_HOME=os.path.join(home, "cache"))
    with HostDriver(program, env=env) as driver:
        driver.wait_for("return document.getElementById('map')?.dataset.drawn === 'metars'",
                        timeout=60, interval=0.05)
        below = descendants(driver.service.process.pid)
        host_pid = next(pid for pid, name in below if name == "corvane-weather")
        start = started_ms(host_pid)
        page = driver.execute_script(PAGE_TIMES)
        at = lambda ms: (page["origin"] + ms - start) / 1000  # noqa: E731
        driver.wait_for("return document.querySelectorAll('.pirep-symbol').length > 0 && "
                        "document.querySelectorAll('path.alert-shape').length > 0", timeout=60)
        time.sleep(2)  # let the layers settle
        below = descendants(driver.service.process.pid)
        memory = {key: sum(resident_kib(pid) for pid, name in below if name.startswith(prefix)) / 1024
                  for key, prefix in (("host_mib", "corvane-weathe"), ("web_mib", "WebKitWebProces"),
                                      ("network_mib", "WebKitNetworkPr"))}
    return {"navigation_s": (page["origin"] - start) / 1000, "response_s": at(page["response"]),
            "script_s": at(page["script"]), "map_s": at(page["mapDrawn"]),
            "app_s": at(page["app"]), "reply_s": at(page["reply"]),
            "markers_s": at(page["metarsDrawn"]), **memory}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--bare", required=True, help="the bare WebKitGTK window (corvane-bare-window)")
    parser.add_argument("--runs", type=int, default=5)
    options = parser.parse_args()
    runs = []
    for _ in range(options.runs):  # in turn, so a busy moment costs both alike
        runs.append({**bare_run(options.bare), **host_run(options.program)})
    median = lambda key: statistics.median(run[key] for run in runs)  # noqa: E731
    print(f"{'measure':58} {'median':>8} {'min':>8} {'max':>8}")
    rows = [("baseline: bare WebKitGTK window, start to its canvas (s)", "bare_s"),
            ("  ... the same window not driven by WebDriver (s)", "bare_alone_s"),
            ("  ... its start to its page's navigation (s)", "bare_navigation_s"),
            ("host: start to the first map drawing (s)", "map_s"),
            ("host: start to the first METAR marks (s)", "markers_s"),
            ("  where it goes: start to the page's navigation (s)", "navigation_s"),
            ("  ... to the page's file received (s)", "response_s"),
            ("  ... to its script running (s)", "script_s"),
            ("  ... (the map drawn, then) the rest of the page running (s)", "app_s"),
            ("  ... the first METAR reply taken in (s)", "reply_s"),
            ("resident memory, host process (MiB)", "host_mib"),
            ("resident memory, web process (MiB)", "web_mib"),
            ("resident memory, network process (MiB)", "network_mib")]
    for label, key in rows:
        values = [run[key] for run in runs]
        print(f"{label:58} {statistics.median(values):>8.2f} {min(values):>8.2f} {max(values):>8.2f}")
    print(f"ratio to the baseline: map {median('map_s') / median('bare_s'):.2f} (goal 1.2), "
          f"METAR marks {median('markers_s') / median('bare_s'):.2f} (goal 1.6)")


if __name__ == "__main__":
    main()
