#!/usr/bin/env python3
"""Starts the installed corvane-weather as the desktop menu does, with the command of its desktop
entry, waits until the map shows the services' stations, reports and alerts, checks the
About panel's version, saves one screenshot and closes the program. Run inside
tools/run_isolated.sh on a virtual display (see deb_test.sh)."""
import argparse
import configparser
import os
import re
import shlex
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "linux"))
from host_e2e import HostDriver, UserFolders, png_size  # noqa: E402


def menu_command(desktop_entry):
    """The Exec line of the entry as argv, without the field codes the menu would fill in."""
    entry = configparser.ConfigParser(interpolation=None)
    entry.read(desktop_entry, encoding="utf-8")
    argv = [word for word in shlex.split(entry["Desktop Entry"]["Exec"])
            if not re.fullmatch(r"%[fFuUdDnNickvm]", word)]
    program = shutil.which(argv[0])
    if program is None:
        raise SystemExit(f"the menu's command {argv[0]!r} is not on PATH")
    return program, argv[1:]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--desktop-entry", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--screenshot", required=True)
    options = parser.parse_args()
    program, args = menu_command(options.desktop_entry)
    if program != "/usr/bin/corvane-weather":
        raise SystemExit(f"the menu starts {program}, not the installed program")
    folders = UserFolders()
    driver = HostDriver(program, env=folders.environment(), args=args)
    try:
        driver.wait_for("return document.querySelectorAll('path.station-marker').length >= 55",
                        timeout=60)
        count = driver.wait_for("""const c = document.querySelector('.layer[data-layer="pireps"] .count');
                                   return c && c.textContent""")
        if not count.startswith("20 reports"):
            raise SystemExit(f"the pilot reports layer says {count!r}")
        # Every alert in force is drawn, those without a shape over their counties.
        driver.wait_for("""const ids = new Set([...document.querySelectorAll('path.alert-shape')]
            .flatMap((p) => p.dataset.alerts.split(' ')));
            const listed = document.querySelectorAll('#panel-alerts .alert-item').length;
            return listed >= 6 && ids.size == listed""")
        if driver.current_url != "corvane-weather://app/index.html":
            raise SystemExit(f"the view shows {driver.current_url}")
        # Two frames after the last drawing, so the picture shows what the page holds.
        driver.execute_async_script("const done = arguments[0];"
                                    "requestAnimationFrame(() => requestAnimationFrame(() => done(true)));")
        time.sleep(1)
        os.makedirs(os.path.dirname(options.screenshot), exist_ok=True)
        driver.save_screenshot(options.screenshot)
        width, height = png_size(options.screenshot)
        if width < 900 or height < 600:
            raise SystemExit(f"the screenshot is {width}x{height}")
        driver.execute_script("document.getElementById('about-open').click()")
        shown = driver.wait_for("return document.getElementById('about-version')?.textContent")
        if shown != f"Version {options.version}":
            raise SystemExit(f"the About panel says {shown!r}, not version {options.version}")
        print(f"the installed map drew its data; screenshot {options.screenshot}")
    finally:
        driver.quit()
        shutil.rmtree(folders.root, ignore_errors=True)


if __name__ == "__main__":
    main()
