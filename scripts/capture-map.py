#!/usr/bin/python3
"""Starts the map on the current (virtual) display, waits for the page's own signal that the base
map and the first data are drawn (#map gets data-drawn="metars"), saves a picture of the view
and closes the program as a user closes its window:
  capture-map.py FILE [--size WIDTHxHEIGHT] [--timeout SECONDS] -- PROGRAM [ARGS...]
The program runs with --automation, so that WebKit's WebDriver (tools/host_driver.py) can read
the page; nothing else changes. Fails with what never came when the signal does not come."""
import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from host_driver import HostDriver  # noqa: E402
from selenium.common.exceptions import TimeoutException  # noqa: E402

SIGNAL = "return document.getElementById('map')?.dataset.drawn === 'metars'"
# What the page holds when the signal does not come, to name what is missing.
PAGE_STATE = """const text = (selector) => document.querySelector(selector)?.textContent.trim() || '';
return {address: location.href, page: Boolean(document.getElementById('map')),
        baseMap: performance.getEntriesByName('corvane:first-map').length > 0,
        layers: Boolean(document.querySelector('.layer[data-layer="metars"]')),
        metars: text('.layer[data-layer="metars"] .count'),
        problems: text('#status .status-entry[data-source="metars"] .status-error') ||
                  text('#status .status-summary')};"""


def missing(state):
    """A sentence naming the first step of the start that did not happen."""
    if not state.get("page"):
        return f"the map page never loaded (the view shows {state.get('address')})"
    if not state["baseMap"]:
        return "the page loaded but never drew its base map"
    if not state["layers"]:
        return "the base map was drawn but the page's layers never started"
    said = [f"the METAR layer says {state['metars']!r}"] if state["metars"] else []
    said += [f"the map reports: {state['problems']!r}"] if state["problems"] else []
    return "the base map was drawn but no METAR marks were" + (f" ({'; '.join(said)})" if said else "")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("file")
    parser.add_argument("--size", help="the window's size, WIDTHxHEIGHT (default: the program's own)")
    parser.add_argument("--timeout", type=float, default=120)
    arguments = sys.argv[1:]
    split = arguments.index("--") if "--" in arguments else len(arguments)
    options = parser.parse_args(arguments[:split])
    program = arguments[split + 1:]
    if not program:
        parser.error("name the program after --")
    size = tuple(int(n) for n in options.size.lower().split("x")) if options.size else None

    driver = HostDriver(program[0], env=dict(os.environ), args=program[1:])
    try:
        if size:
            driver.set_window_size(*size)
        try:
            driver.wait_for(SIGNAL, timeout=options.timeout)
        except TimeoutException:
            state = driver.execute_script(PAGE_STATE) or {}
            sys.exit(f"capture-map: no picture saved: after {options.timeout:g} s, {missing(state)}")
        # Two frames after the signal, so the picture holds what the page drew.
        driver.execute_async_script("const done = arguments[0];"
                                    "requestAnimationFrame(() => requestAnimationFrame(done));")
        os.makedirs(os.path.dirname(os.path.abspath(options.file)), exist_ok=True)
        if not driver.get_screenshot_as_file(options.file):
            sys.exit(f"capture-map: WebDriver could not save {options.file}")
    finally:
        driver.quit()
    print(f"Saved a picture of the map: {options.file}")


if __name__ == "__main__":
    main()
