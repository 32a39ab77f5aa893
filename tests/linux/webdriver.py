"""A small W3C WebDriver client (Python standard library only) for driving the Linux host
through WebKitGTK's WebKitWebDriver."""

import base64
import json
import os
import shutil
import socket
import subprocess
import time
import urllib.error
import urllib.request


class WebDriverError(RuntimeError):
    pass


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Driver:
    """One WebKitWebDriver process and one session on a program built with automation."""

    def __init__(self, binary, args=(), env=None, log_path=None):
        self.port = free_port()
        driver = shutil.which("WebKitWebDriver")
        if driver is None:
            raise WebDriverError("WebKitWebDriver is missing (Debian package webkit2gtk-driver)")
        self.log = open(log_path, "w") if log_path else subprocess.DEVNULL
        self.process = subprocess.Popen([driver, f"--port={self.port}"], env=env,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self._wait_for_driver()
        options = {"binary": str(binary), "args": ["--automation", *args]}
        reply = self._call("POST", "/session", {
            "capabilities": {"alwaysMatch": {"webkitgtk:browserOptions": options}}})
        self.session = reply["sessionId"]

    def _wait_for_driver(self):
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            try:
                self._call("GET", "/status")
                return
            except (OSError, WebDriverError):
                time.sleep(0.1)
        raise WebDriverError("WebKitWebDriver did not start")

    def _call(self, method, path, body=None, timeout=60):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(f"http://127.0.0.1:{self.port}{path}", data=data,
                                         method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=timeout) as response:
                return json.load(response)["value"]
        except urllib.error.HTTPError as failure:
            try:
                detail = json.load(failure)["value"]
            except ValueError:
                detail = failure.reason
            raise WebDriverError(f"{method} {path}: {detail}") from None

    def session_call(self, method, path, body=None, timeout=60):
        return self._call(method, f"/session/{self.session}{path}", body, timeout)

    def execute(self, script, *args):
        """Runs `script` (a function body) in the page and returns its result."""
        return self.session_call("POST", "/execute/sync", {"script": script, "args": list(args)})

    def execute_async(self, script, *args):
        """Runs `script`; it finishes by calling arguments[arguments.length - 1](result)."""
        return self.session_call("POST", "/execute/async", {"script": script, "args": list(args)})

    def wait_for(self, script, timeout=30, interval=0.25, *args):
        """Polls `script` until it returns a truthy value; returns that value."""
        deadline = time.monotonic() + timeout
        last = None
        while time.monotonic() < deadline:
            last = self.execute(script, *args)
            if last:
                return last
            time.sleep(interval)
        raise WebDriverError(f"timed out waiting for: {script} (last result {last!r})")

    def url(self):
        return self.session_call("GET", "/url")

    def set_window_size(self, width, height):
        return self.session_call("POST", "/window/rect", {"width": width, "height": height})

    def find(self, css):
        element = self.session_call("POST", "/element", {"using": "css selector", "value": css})
        return next(iter(element.values()))

    def click(self, css):
        self.session_call("POST", f"/element/{self.find(css)}/click", {})

    def click_at(self, x, y):
        """A real pointer click at viewport coordinates."""
        self.session_call("POST", "/actions", {"actions": [{
            "type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"},
            "actions": [{"type": "pointerMove", "x": int(x), "y": int(y), "origin": "viewport"},
                        {"type": "pointerDown", "button": 0},
                        {"type": "pointerUp", "button": 0}]}]})

    def screenshot(self, path):
        data = self.session_call("GET", "/screenshot")
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))

    def quit(self):
        try:
            self.session_call("DELETE", "", timeout=20)
        except (OSError, WebDriverError):
            pass
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
        if self.log is not subprocess.DEVNULL:
            self.log.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.quit()
