#!/usr/bin/env python3
"""Peak memory of the Linux host with a large alerts document (not a test).

  memory_bench.py --program P   starts P (the fake services must already answer, with the
                                data of tests/linux/large_alerts.py; see scripts/bench-memory.sh)
                                and reports the peak resident memory of the host process and of
                                its web process

The peak is the kernel's high-water mark (VmHWM) of each process, read once the alerts request
has been answered and the figures have stopped growing."""
import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time


def peak_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def descendants(root):
    """Every process below `root`, with its command name."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                text = stat.read()
        except OSError:
            continue
        name = text[text.index("(") + 1:text.rindex(")")]
        parent = int(text[text.rindex(")") + 2:].split()[1])
        children.setdefault(parent, []).append((int(entry), name))
    found, queue = [], [root]
    while queue:
        for pid, name in children.get(queue.pop(), []):
            found.append((pid, name))
            queue.append(pid)
    return found


def alerts_answered(log):
    try:
        with open(log) as lines:
            return any('"/alerts/active"' in line for line in lines)
    except OSError:
        return False


def one_run(program, log, settle):
    home = tempfile.mkdtemp(prefix="corvane-memory-")
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CACHE_HOME=os.path.join(home, "cache"))
    process = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 120
        while not alerts_answered(log) and time.monotonic() < deadline:
            time.sleep(0.2)
        last, steady_since = None, time.monotonic()
        while time.monotonic() < deadline:
            web = max((peak_kib(pid) for pid, name in descendants(process.pid)
                       if name.startswith("WebKitWebProces")), default=0)
            figures = (peak_kib(process.pid), web)
            if figures != last:
                last, steady_since = figures, time.monotonic()
            elif time.monotonic() - steady_since >= settle:
                break
            time.sleep(0.2)
        return {"host_mib": last[0] / 1024, "web_mib": last[1] / 1024}
    finally:
        process.terminate()
        process.wait(timeout=30)
        shutil.rmtree(home, ignore_errors=True)
        open(log, "w").close()  # the next run waits for its own alerts request


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--settle", type=float, default=8.0,
                        help="seconds without growth that end a run")
    options = parser.parse_args()
    log = os.environ["CORVANE_FAKE_SERVICES_LOG"]
    runs = [one_run(options.program, log, options.settle) for _ in range(options.runs)]
    print(f"{'peak resident memory (MiB)':40} {'median':>8} {'min':>8} {'max':>8}")
    for label, key in (("host process", "host_mib"), ("web process", "web_mib")):
        values = [run[key] for run in runs]
        print(f"{label:40} {statistics.median(values):>8.0f} {min(values):>8.0f} "
              f"{max(values):>8.0f}")


if __name__ == "__main__":
    main()
