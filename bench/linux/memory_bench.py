#!/usr/bin/env python3
"""Peak memory of the Linux host with large documents (not a test).

  memory_bench.py --program P   starts P (the fake services must already answer, with the
                                data of tests/linux/large_alerts.py; see scripts/bench-memory.sh)
                                and reports the peak resident memory of the host process and of
                                its web process
  --answered PATH               the request whose answer a run waits for (the alerts')
  --at-once N                   then posts N `hazards` requests of distinct arguments at once
                                through the page's bridge (the program driven through WebKit's
                                WebDriver, tools/host_driver.py; run with /usr/bin/python3) and
                                waits for their replies

The peak is the kernel's high-water mark (VmHWM) of each process, read once the request has
been answered (and the requests posted have their replies) and the figures have stopped
growing."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
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


def answered(log, path):
    try:
        with open(log) as lines:
            return any(f'"{path}"' in line for line in lines)
    except OSError:
        return False


POST_HAZARDS = """
window.benchReplies = [];
window.chrome.webview.addEventListener('message', (e) => {
  if (String(e.data.id).startsWith('bench-')) window.benchReplies.push(e.data.status);
});
for (let i = 0; i < arguments[0]; i++) {
  window.chrome.webview.postMessage({id: 'bench-' + i, operation: 'hazards', argument: 'bench-' + i});
}
"""


class Driven:
    """The program started through WebKit's WebDriver, which `at_once` needs."""

    def __init__(self, program, env):
        sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools"))
        from host_driver import HostDriver
        self.driver = HostDriver(program, env=env)
        host = [pid for pid, name in descendants(self.driver.service.process.pid)
                if name.startswith("corvane-weathe")]
        self.pid = host[0]

    def post_hazards(self, count):
        self.driver.execute_script(POST_HAZARDS, count)
        return self.driver.wait_for(f"return window.benchReplies.length >= {count} && "
                                    "window.benchReplies", timeout=240)

    def end(self):
        self.driver.quit()


class Started:
    def __init__(self, program, env):
        self.process = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.pid = self.process.pid

    def end(self):
        self.process.terminate()
        self.process.wait(timeout=30)


def one_run(program, log, settle, path, at_once):
    home = tempfile.mkdtemp(prefix="corvane-memory-")
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CACHE_HOME=os.path.join(home, "cache"))
    host = Driven(program, env) if at_once else Started(program, env)
    try:
        deadline = time.monotonic() + 240
        while not answered(log, path) and time.monotonic() < deadline:
            time.sleep(0.2)
        if at_once:
            statuses = host.post_hazards(at_once)
            if statuses.count(200) != at_once:
                print(f"replies: {statuses}", file=sys.stderr)
        last, steady_since = None, time.monotonic()
        while time.monotonic() < deadline:
            web = max((peak_kib(pid) for pid, name in descendants(host.pid)
                       if name.startswith("WebKitWebProces")), default=0)
            figures = (peak_kib(host.pid), web)
            if figures != last:
                last, steady_since = figures, time.monotonic()
            elif time.monotonic() - steady_since >= settle:
                break
            time.sleep(0.2)
        return {"host_mib": last[0] / 1024, "web_mib": last[1] / 1024}
    finally:
        host.end()
        shutil.rmtree(home, ignore_errors=True)
        open(log, "w").close()  # the next run waits for its own request


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--settle", type=float, default=8.0,
                        help="seconds without growth that end a run")
    parser.add_argument("--answered", default="/alerts/active")
    parser.add_argument("--at-once", type=int, default=0)
    options = parser.parse_args()
    log = os.environ["CORVANE_FAKE_SERVICES_LOG"]
    runs = [one_run(options.program, log, options.settle, options.answered, options.at_once)
            for _ in range(options.runs)]
    print(f"{'peak resident memory (MiB)':40} {'median':>8} {'min':>8} {'max':>8}")
    for label, key in (("host process", "host_mib"), ("web process", "web_mib")):
        values = [run[key] for run in runs]
        print(f"{label:40} {statistics.median(values):>8.0f} {min(values):>8.0f} "
              f"{max(values):>8.0f}")


if __name__ == "__main__":
    main()
