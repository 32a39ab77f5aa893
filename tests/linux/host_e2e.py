#!/usr/bin/python3
"""End-to-end tests of the Linux desktop host: the real corvane-weather with the real page,
WebKitGTK and libcurl, against the fake weather services. Run inside the services' network
namespace and on a virtual display, e.g.

  tools/run_isolated.sh --services tests/fake_services/fake_services.py --services-arg --demo -- \\
      xvfb-run -a -s "-screen 0 1920x1080x24" tests/linux/host_e2e.py --program build/debug/corvane-weather

The request log of the services is named by CORVANE_FAKE_SERVICES_LOG (set by the harness).
With --shutdown-program (an AddressSanitizer build of the host), the services must answer slowly
(--services-arg --delay-documents --services-arg SECONDS): only the shutdown tests run then.
"""
import argparse
import json
import re
import os
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from PIL import Image

from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.by import By

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from host_driver import HostDriver  # noqa: E402
from serving import WEST_BBOX, WEST_BOX  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "demo"))
from imagery import DBZ_COLOURS  # noqa: E402

USER_AGENT = "Pellowind/1.0 (Windows desktop weather map; NOAA public data)"
ACCEPT = "application/geo+json, application/json"
OPTIONS = None


IMAGERY_HOSTS = ("opengeo.ncep.noaa.gov", "gibs.earthdata.nasa.gov", "basemap.nationalmap.gov")


def service_requests(imagery=False):
    """The requests of the host (the weather services'), or with `imagery` the page's own
    requests of the imagery hosts."""
    with open(os.environ["CORVANE_FAKE_SERVICES_LOG"], encoding="utf-8") as log:
        requests = [json.loads(line) for line in log if line.strip()]
    return [r for r in requests if (re.sub(r":\d+$", "", r.get("host") or "") in IMAGERY_HOSTS) == imagery]


def wait_until(condition, timeout=30, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    raise AssertionError(f"timed out waiting for {what}")


def png_size(path):
    with open(path, "rb") as picture:
        header = picture.read(24)
    return struct.unpack(">II", header[16:24])


class UserFolders:
    """A home of its own: data, cache and config folders, and a recorder registered as the
    default handler of https addresses, so a test sees what would open in the browser."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="corvane-home-")
        self.opened = os.path.join(self.root, "opened.txt")
        applications = os.path.join(self.root, "data", "applications")
        os.makedirs(applications)
        os.makedirs(os.path.join(self.root, "config"))
        recorder = os.path.join(self.root, "record-url.sh")
        with open(recorder, "w") as script:
            script.write(f'#!/bin/sh\nprintf "%s\\n" "$1" >> "{self.opened}"\n')
        os.chmod(recorder, 0o755)
        with open(os.path.join(applications, "url-recorder.desktop"), "w") as entry:
            entry.write("[Desktop Entry]\nType=Application\nName=URL recorder\n"
                        f"Exec={recorder} %u\nMimeType=x-scheme-handler/https;\n")
        with open(os.path.join(self.root, "config", "mimeapps.list"), "w") as defaults:
            defaults.write("[Default Applications]\nx-scheme-handler/https=url-recorder.desktop\n")

    def environment(self):
        env = dict(os.environ)
        env.update(HOME=self.root, XDG_DATA_HOME=os.path.join(self.root, "data"),
                   XDG_CONFIG_HOME=os.path.join(self.root, "config"),
                   XDG_CACHE_HOME=os.path.join(self.root, "cache"))
        return env

    def opened_addresses(self):
        if not os.path.exists(self.opened):
            return []
        with open(self.opened) as recorded:
            return [line.strip() for line in recorded if line.strip()]


# Collects replies to requests the test posts through the page's own bridge.
COLLECT_REPLIES = """
window.testReplies = window.testReplies || [];
if (!window.testListening) {
  window.testListening = true;
  window.chrome.webview.addEventListener('message', (e) => window.testReplies.push(e.data));
}
"""


# [left, top, right, bottom] of the station popup, its header and the map, once open.
POPUP_IN_MAP = """
const box = (node) => node && [node.left, node.top, node.right, node.bottom].map(Math.round);
const wrapper = document.querySelector('.leaflet-popup-content-wrapper');
const title = document.querySelector('.station-popup[data-station="KSLC"] .popup-title');
return wrapper && title ? [box(wrapper.getBoundingClientRect()), box(title.getBoundingClientRect()),
  box(document.getElementById('map').getBoundingClientRect())] : null;
"""


class MapOnLinux(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folders = UserFolders()
        cls.driver = HostDriver(OPTIONS.program, env=cls.folders.environment(),
                                log_path=os.path.join(OPTIONS.artifacts, "webdriver.log"))
        cls.driver.wait_for("return document.querySelectorAll('path.station-marker').length >= 55",
                            timeout=60)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()

    def test_page_loads_and_asks_for_every_layer(self):
        d = self.driver
        self.assertEqual(d.current_url, "corvane-weather://app/index.html")
        # The page's signal that the base map and the first METAR marks are drawn, which the
        # map's capture waits for (scripts/capture-map.py).
        self.assertEqual(d.execute_script("return document.getElementById('map').dataset.drawn"),
                         "metars")
        count = d.wait_for("""const c = document.querySelector('.layer[data-layer="pireps"] .count');
                              return c && c.textContent""")
        self.assertTrue(count.startswith("20 reports"), count)
        # Every alert in force drawn, those without a shape over their zones or counties. (The demo moves
        # the documents by whole hours, so the two short warnings may just have ended.)
        # The zones' shapes come from the host's `zone` operation; without it they fall back to counties.
        drawn = d.wait_for("""const ids = new Set([...document.querySelectorAll('path.alert-shape')]
            .flatMap((p) => p.dataset.alerts.split(' ')));
            const listed = document.querySelectorAll('#panel-alerts .alert-item').length;
            const zoned = document.querySelectorAll('path.alert-shape[data-zones]').length;
            return listed >= 6 && ids.size == listed && zoned > 0 && [ids.size, zoned]""", timeout=30)
        self.assertGreater(drawn[1], 0)
        zones = {r["target"] for r in service_requests() if r["target"].startswith("/zones/")}
        self.assertIn("/zones/forecast/UTZ110", zones)
        self.assertTrue(d.execute_script("return navigator.userAgent").endswith(" CorvaneWeather/1.0"))
        targets = {r["target"] for r in service_requests()}
        for target in (f"/api/data/metar?bbox={WEST_BBOX}&format=json",
                       "/api/data/metar?ids=KSGU,KCDC,KAZC,KBCE,KPGA,KGCN&format=json",
                       f"/api/data/pirep?bbox={WEST_BBOX}&age=3&format=json",
                       "/alerts/active?area=UT,AZ,NV,CA,CO,NM,OR,WA,ID,MT,WY"):
            self.assertIn(target, targets)
        for request in service_requests():
            headers = {name.lower(): value for name, value in request["headers"]}
            self.assertEqual(headers.get("user-agent"), USER_AGENT)
            self.assertEqual(headers.get("accept"), ACCEPT)

    def test_a_click_on_the_map_shows_the_point(self):
        d = self.driver
        rect = d.execute_script("""
            const r = document.querySelector('path.station-marker[data-station="KSLC"]')
                .getBoundingClientRect();
            return [r.left + r.width / 2, r.top + r.height / 2];""")
        before = len(service_requests())
        d.click_at(rect[0] - 25, rect[1] + 25)  # beside the station, on the map itself
        d.wait_for("return !document.querySelector('#panel-point').hidden", timeout=30)
        text = d.wait_for("""const t = document.querySelector('#panel-point').textContent;
                             return t.includes('Salt Lake City') && t""", timeout=30)
        self.assertIn("KSLC", text)
        points = [r for r in service_requests()[before:] if r["path"].startswith("/points/")]
        self.assertTrue(points, "the click asked for the point's weather")

    def test_foreign_and_oversized_messages_get_no_reply(self):
        d = self.driver
        d.execute_script(COLLECT_REPLIES)
        d.execute_script("""
            const post = (m) => window.chrome.webview.postMessage(m);
            const sized = (id, bytes) => {
              const m = {id, operation: 'nope', argument: ''};
              m.argument = 'x'.repeat(bytes - JSON.stringify(m).length);
              return m;
            };
            post(sized('at-limit', 2048));
            post(sized('over-limit', 2049));
            post('{"id": "plain-string", "operation": "nope"}');
            post({id: 7.5, operation: 'nope'});
            const frame = document.createElement('iframe');
            frame.id = 'foreign-frame';
            frame.srcdoc = '<p>other document</p>';
            frame.onload = () => frame.contentDocument.dispatchEvent(new CustomEvent(
                'corvane-bridge-request', {detail: JSON.stringify({id: 'foreign', operation: 'nope'})}));
            document.body.appendChild(frame);
            post({id: 'control', operation: 'nope'});""")
        time.sleep(3)
        replies = d.execute_script("return window.testReplies.map((r) => [r.id, r.status, r.body.error])")
        d.execute_script("document.getElementById('foreign-frame').remove();")  # not in the screenshots
        self.assertIn(["at-limit", 400, "Unsupported weather operation"], replies)
        self.assertIn(["control", 400, "Unsupported weather operation"], replies)
        ids = [r[0] for r in replies]
        for ignored in ("over-limit", "plain-string", 7.5, "foreign"):
            self.assertNotIn(ignored, ids)

    def test_the_newer_operations_through_the_page_bridge(self):
        d = self.driver
        d.execute_script(COLLECT_REPLIES)
        asked = [  # id, operation, argument, status
            ("n-tafs", "tafs", "", 200),
            ("n-tafs-sea", "tafs", "31,-125,32,-124", 200),
            ("n-tafs-flat", "tafs", "40,-112,40,-111", 400),
            ("n-hazards", "hazards", "", 200),
            ("n-forecast", "forecast", "SLC/101,174", 200),
            ("n-forecast-missing", "forecast", "SLC/0,0", 502),
            ("n-forecast-blank", "forecast", "SLC/101, 174", 400),
            ("n-discussion", "discussion", "SLC", 200),
            ("n-discussion-lower", "discussion", "slc", 400),
            ("n-zone", "zone", "forecast/UTZ110", 200),
            ("n-zone-missing", "zone", "fire/UTZ478", 502),
            ("n-zone-bad", "zone", "forecast/UTZ110/", 400),
            ("n-winds", "winds", "06", 200),
            ("n-winds-missing", "winds", "24", 502),
            ("n-winds-short", "winds", "6", 400),
            ("n-outlook-hwo", "outlook", "HWO/SLC", 200),
            ("n-outlook-fwf", "outlook", "FWF/SLC", 200),
            ("n-outlook-afd", "outlook", "AFD/SLC", 400),
            ("n-avalanche", "avalanche", "", 200),
        ]
        # One at a time: the page's own requests may hold up to six of the host's eight slots.
        for ident, operation, argument, _ in asked:
            message = {"id": ident, "operation": operation, "argument": argument}
            d.execute_script(f"window.chrome.webview.postMessage({json.dumps(message)});")
            d.wait_for(f"return window.testReplies.some((r) => r.id == {json.dumps(ident)})")
        replies = d.execute_script(f"""const ids = {json.dumps([i for i, *_ in asked])};
            return window.testReplies.filter((r) => ids.includes(r.id));""")
        by_id = {r["id"]: r for r in replies}
        for ident, operation, argument, status in asked:
            self.assertEqual(by_id[ident]["status"], status, (ident, by_id[ident]["body"]))
        body = {ident: by_id[ident]["body"] for ident, *_ in asked}
        self.assertEqual(len(body["n-tafs"]), 20)
        self.assertIn("KSLC", {t["icaoId"] for t in body["n-tafs"]})
        self.assertEqual(body["n-tafs-sea"], [])
        south, west, north, east = WEST_BOX
        self.assertEqual(body["n-tafs-flat"], {"error": f"TAF bounds must be inside {south:g} to "
                                               f"{north:g} N, {-west:g} to {-east:g} W"})
        hazards = body["n-hazards"]
        self.assertEqual(sorted(hazards), ["cwas", "gairmets", "sigmets", "warnings"])
        self.assertEqual((len(hazards["sigmets"]), len(hazards["gairmets"]), len(hazards["cwas"])),
                         (7, 13, 5))
        self.assertEqual(hazards["warnings"], [])
        self.assertEqual(len(body["n-forecast"]["properties"]["periods"]), 14)
        self.assertEqual(body["n-forecast-missing"], {
            "error": "Weather service returned HTTP 404: "
                     "https://api.weather.gov/gridpoints/SLC/0,0/forecast"})
        self.assertEqual(body["n-forecast-blank"], {"error": "Expected a forecast grid as office/x,y"})
        self.assertEqual(sorted(body["n-discussion"]), ["issuanceTime", "issuingOffice", "productText"])
        self.assertEqual(body["n-discussion"]["issuingOffice"], "KSLC")
        self.assertIn(".SYNOPSIS...", body["n-discussion"]["productText"])
        self.assertEqual(body["n-discussion-lower"], {"error": "Expected a forecast office as three letters"})
        self.assertEqual(body["n-zone"]["properties"]["id"], "UTZ110")
        self.assertEqual(body["n-zone"]["geometry"]["type"], "Polygon")
        self.assertEqual(body["n-zone-missing"], {
            "error": "Weather service returned HTTP 404: https://api.weather.gov/zones/fire/UTZ478"})
        self.assertEqual(body["n-zone-bad"], {
            "error": "Expected a zone as type/ID, such as forecast/UTZ110, fire/UTZ110 or county/UTC035"})
        self.assertEqual(body["n-winds"]["issuingOffice"], "KWNO")
        self.assertRegex(body["n-winds"]["productText"], r"\nFD1US1\nDATA BASED ON \d{6}Z\s*\nVALID \d{6}Z")
        self.assertEqual(body["n-winds-missing"], {
            "error": "Weather service returned HTTP 404: "
                     "https://api.weather.gov/products/types/FD5/locations/US5/latest"})
        self.assertEqual(body["n-winds-short"], {"error": "Expected a winds bulletin as 06, 12, 24 or high"})
        for ident, code in (("n-outlook-hwo", "HWO"), ("n-outlook-fwf", "FWF")):
            self.assertEqual(sorted(body[ident]), ["issuanceTime", "issuingOffice", "productText"])
            self.assertIn(f"\n{code}SLC\n", body[ident]["productText"])
        self.assertEqual(body["n-outlook-afd"], {"error": "Expected an outlook as HWO/OFFICE or FWF/OFFICE"})
        self.assertEqual({f["properties"]["center_id"] for f in body["n-avalanche"]["features"]},
                         {"UAC", "SAC", "CAIC", "ESAC"})
        targets = {r["target"] for r in service_requests()}
        for target in (f"/api/data/taf?bbox={WEST_BBOX}&format=json",
                       "/api/data/taf?bbox=31.0000,-125.0000,32.0000,-124.0000&format=json",
                       "/api/data/airsigmet?format=json", "/api/data/gairmet?format=json",
                       "/api/data/cwa?format=json", "/gridpoints/SLC/101,174/forecast",
                       "/gridpoints/SLC/0,0/forecast", "/products/types/AFD/locations/SLC/latest",
                       "/zones/forecast/UTZ110", "/zones/fire/UTZ478",
                       "/products/types/FD1/locations/US1/latest",
                       "/products/types/HWO/locations/SLC/latest", "/products/types/FWF/locations/SLC/latest",
                       "/v2/public/products/map-layer"):
            self.assertIn(target, targets)

    def test_navigation_stays_on_the_page(self):
        d = self.driver
        d.execute_script("""
            const a = document.createElement('a');
            a.id = 'outside-link';
            a.href = 'https://www.weather.gov/slc/';
            a.textContent = 'NWS Salt Lake City';
            a.style.position = 'fixed'; a.style.left = '300px'; a.style.top = '300px';
            a.style.zIndex = 100000; a.style.background = 'white';
            document.body.appendChild(a);""")
        d.find_element(By.CSS_SELECTOR, "#outside-link").click()
        wait_until(lambda: self.folders.opened_addresses(), 15, "the default browser to be asked")
        self.assertEqual(self.folders.opened_addresses(), ["https://www.weather.gov/slc/"])
        self.assertEqual(d.current_url, "corvane-weather://app/index.html")
        # Not started by the user: refused, and nothing opens.
        d.execute_script("location.href = 'https://example.com/';")
        d.execute_script("window.open('https://example.org/');")
        d.execute_script("location.href = 'http://www.weather.gov/';")
        time.sleep(2)
        self.assertEqual(d.current_url, "corvane-weather://app/index.html")
        self.assertEqual(self.folders.opened_addresses(), ["https://www.weather.gov/slc/"])
        d.execute_script("document.getElementById('outside-link').remove();")

    def test_screenshots_at_both_window_sizes(self):
        d = self.driver
        for width, height in ((1460, 960), (920, 650)):
            d.set_window_size(width, height)
            time.sleep(1.5)
            path = os.path.join(OPTIONS.artifacts, f"linux-map-{width}x{height}.png")
            self.assertTrue(d.get_screenshot_as_file(path), path)
            shot_width, shot_height = png_size(path)
            self.assertLessEqual(shot_width, width)
            self.assertGreater(shot_width, width * 0.9)
            self.assertGreater(shot_height, height * 0.85)
            # A station chosen from search opens its popup wholly inside the map, header first.
            field = d.find_element(By.ID, "search-input")
            field.clear()
            field.send_keys("KSLC")
            d.wait_for("return document.querySelector('#search-list [role=option]')")
            field.send_keys("\ue007")  # Enter
            inside = """const [popup, , view] = (() => {%s})() || [[0, -1e9, 0, 0], 0, [0, 0, 0, 0]];
                return popup[0] >= view[0] && popup[1] >= view[1] && popup[2] <= view[2] &&
                  popup[3] <= view[3]""" % POPUP_IN_MAP
            try:  # the map pans the popup into view, in its own time on a busy machine
                d.wait_for(inside, timeout=15, interval=0.2)
            except TimeoutException:  # the assertion below says where it stood
                pass
            popup, title, view = d.execute_script(POPUP_IN_MAP)
            where = f"{width}x{height}: popup {popup} title {title} in {view}"
            self.assertTrue(popup[0] >= view[0] and popup[1] >= view[1] and popup[2] <= view[2] and
                            popup[3] <= view[3], where)
            self.assertTrue(popup[1] <= title[1] < popup[1] + 40, where)
            d.get_screenshot_as_file(os.path.join(OPTIONS.artifacts, f"linux-station-popup-{width}x{height}.png"))
            d.execute_script("document.querySelector('.leaflet-popup-close-button')?.click()")

    def test_radar_and_base_map_come_from_the_imagery_hosts_and_are_drawn(self):
        """The page loads radar frames and base-map tiles itself, from the fake imagery hosts of
        the namespace; a known echo (the shower KSLC reports) shows in a screenshot, and a
        place far from any reported rain (KDEN) has none."""
        d = self.driver
        d.set_window_size(1460, 960)
        d.wait_for("""return [...document.querySelectorAll('.radar-pane img')].some((img) =>
            img.complete && img.naturalWidth > 0 && img.src.startsWith('blob:')) &&
            document.querySelectorAll('.baseTiles-pane img.leaflet-tile-loaded').length > 0 ||
            /could not be reached/.test(document.querySelector('[data-layer=radar] .layer-status').textContent)""",
                   timeout=60)
        status = d.execute_script("return document.querySelector('[data-layer=radar] .layer-status').textContent")
        self.assertRegex(status, r"^Radar \d\d:\d\d [A-Z]{3} · \d+ min old$")
        targets = [r["target"] for r in service_requests(imagery=True)]
        self.assertTrue(any("request=GetCapabilities" in t for t in targets), targets[:5])
        self.assertTrue(any("REQUEST=GetMap" in t and "TIME=" in t for t in targets), targets[:5])
        self.assertTrue(any(t.startswith("/arcgis/rest/services/USGSShadedReliefOnly/MapServer/tile/") for t in targets))
        for request in service_requests(imagery=True):  # the page's own requests carry nothing of the host's
            headers = {name.lower(): value for name, value in request["headers"]}
            self.assertNotEqual(headers.get("user-agent"), USER_AGENT)
            self.assertNotIn("cookie", headers)
        time.sleep(1)

        def box_of(station):
            return d.execute_script("""const r = document.querySelector(
                `path.station-marker[data-station="${arguments[0]}"]`).getBoundingClientRect();
                return [Math.round(r.left + r.width / 2), Math.round(r.top + r.height / 2)];""", station)

        def shot():
            path = os.path.join(OPTIONS.artifacts, "linux-radar-check.png")
            d.get_screenshot_as_file(path)
            with Image.open(path) as picture:
                return picture.convert("RGB").copy()

        # The demo's reflectivity colours, each as the layer draws it over what lay beneath.
        opacity = int(d.execute_script("return document.getElementById('radar-opacity').value")) / 100
        palette = [tuple(int(colour[i:i + 2], 16) for i in (1, 3, 5)) for _, colour in DBZ_COLOURS]

        def is_echo(beneath, seen):
            return any(sum(abs(opacity * c + (1 - opacity) * u - v) for c, u, v in zip(colour, beneath, seen)) <= 30
                       for colour in palette)

        def shares(before, after, centre, half=36, ring=9):
            """Of the pixels around `centre`: the share changed by the radar, and the share
            changed into a reflectivity colour."""
            changed = echo = total = 0
            for x in range(centre[0] - half, centre[0] + half):
                for y in range(centre[1] - half, centre[1] + half):
                    if abs(x - centre[0]) < ring and abs(y - centre[1]) < ring:
                        continue  # the station mark itself
                    total += 1
                    a, b = before.getpixel((x, y)), after.getpixel((x, y))
                    if sum(abs(p - q) for p, q in zip(a, b)) > 60:
                        changed += 1
                        echo += is_echo(a, b)
            return changed / total, echo / total

        with_radar = shot()
        d.get_screenshot_as_file(os.path.join(OPTIONS.artifacts, "linux-radar-1460x960.png"))
        slc, den = box_of("KSLC"), box_of("KDEN")
        d.execute_script("document.getElementById('layer-radar').click()")
        d.wait_for("return document.querySelectorAll('.radar-pane img').length === 0", timeout=10)
        time.sleep(0.5)
        without = shot()
        d.execute_script("document.getElementById('layer-radar').click()")
        changed, echo = shares(without, with_radar, slc)
        self.assertGreater(changed, 0.3, "no echo drawn around KSLC")
        self.assertGreater(echo, 0.08, f"the radar around KSLC is not in reflectivity colours ({changed:.2f} changed)")
        self.assertLess(shares(without, with_radar, den)[0], 0.02, "radar drawn where no rain is reported")

    def test_stored_data_lives_in_the_users_data_folder(self):
        self.driver.execute_script("localStorage.setItem('corvane-e2e', 'kept');")
        time.sleep(1)
        folder = os.path.join(self.folders.root, "data", "CorvaneWeather", "WebKit")
        self.assertTrue(os.path.isdir(folder), folder)


# The METAR layer holds the whole area's reports (the stations merged with the fixed ones).
STATIONS_LOADED = """const c = document.querySelector('.layer[data-layer="metars"] .count');
                     return Boolean(c && /^6\\d stations/.test(c.textContent));"""


class ReloadWithRequestsHeld(unittest.TestCase):
    """The host answers every request it took, also after the page reloaded: the page must drop
    the answers to the load before, whose ids it never issued."""

    def test_replies_to_the_previous_load_are_dropped(self):
        hold = OPTIONS.hold_file
        held = lambda: len([r for r in service_requests() if r["status"] == "held"])
        already = held()
        with open(hold, "w") as release:
            release.write(str(already))
        try:
            folders = UserFolders()
            with HostDriver(OPTIONS.program, env=folders.environment()) as d:
                # The first load's own requests reach the services and wait there.
                wait_until(lambda: held() - already >= 4, 30, "the first load's requests to be held")
                time.sleep(1)
                first_load = held()
                d.refresh()
                d.wait_for("return window.chrome && window.chrome.webview && document.readyState == 'complete'")
                d.execute_script(COLLECT_REPLIES)
                wait_until(lambda: held() > first_load, 30, "the second load's requests to be held")
                # Only the first load's answers go out; the host delivers them to the new page.
                with open(hold, "w") as release:
                    release.write(str(first_load))
                d.wait_for("""return window.testReplies.some((r) => r.status == 200 && Array.isArray(r.body)
                              && r.body.some((record) => record.icaoId))""", timeout=30)
                time.sleep(1)
                self.assertEqual(d.execute_script(
                    "return document.querySelectorAll('path.station-marker').length"), 0,
                    "the reply to the first load's METAR request was taken for the second's")
                os.remove(hold)  # the second load's own answers
                # On a slow machine they may come after the page's 30 s time-out; a refresh
                # then asks again. Either way the page works on after the old replies.
                if not d.execute_script("""return new Promise((done) => setTimeout(() => done(
                        (() => {%s})()), 5000))""" % STATIONS_LOADED):
                    d.execute_script("document.getElementById('refresh-all').click()")
                # The stations of the second load's reply (how many are drawn depends on the zoom).
                d.wait_for(STATIONS_LOADED, timeout=60)
        finally:
            if os.path.exists(hold):
                os.remove(hold)


class ManyAlerts(unittest.TestCase):
    """Services answering with an alerts document of thousands of alerts, nearly as large as the
    transport accepts (tests/linux/large_alerts.py): the reply reaches the page in many parts
    and the page lists and draws every alert in force."""

    def test_a_reply_of_megabytes_arrives_whole(self):
        folders = UserFolders()
        with HostDriver(OPTIONS.program, env=folders.environment()) as d:
            # The demo moves the documents by whole hours, so the short warnings may have ended.
            in_force = d.wait_for(f"""const c = document.querySelector('.layer[data-layer="alerts"] .count');
                const n = Number((/^(\\d+) alerts in force/.exec(c?.textContent || '') || [])[1]);
                return n >= {OPTIONS.many_alerts} * 0.7 && n""", timeout=120)
            # Those named by zones are drawn once their zones' shapes have come (or could not).
            drawn = d.wait_for(f"""return new Set([...document.querySelectorAll('path.alert-shape')]
                .flatMap((p) => p.dataset.alerts.split(' '))).size === {in_force} && {in_force}""",
                timeout=60)
            self.assertEqual(drawn, in_force)
            self.assertLessEqual(in_force, OPTIONS.many_alerts)
            # The list grows a step at a time.
            self.assertEqual(d.execute_script(
                "return document.querySelectorAll('#panel-alerts .alert-item').length"), 200)


class HostileTimes(unittest.TestCase):
    """Services answering with times no date can hold (tests/linux/hostile_times.py): the page
    leaves those reports and forecast groups out, says so, opens the station popup and keeps
    every layer's age moving."""

    def test_reports_and_forecasts_with_impossible_times(self):
        folders = UserFolders()
        with HostDriver(OPTIONS.program, env=folders.environment()) as d:
            d.wait_for("return document.querySelectorAll('path.station-marker').length >= 50", timeout=60)
            notes = d.wait_for("""const c = document.querySelector('.layer[data-layer="hazards"] .count');
                const n = [...document.querySelectorAll('.layer[data-layer="metars"] .layer-note')];
                return c && n.length && n.map((p) => p.textContent)""", timeout=60)
            self.assertEqual(notes, ["2 reports left out: their times lie outside the possible range."])
            # No layer stays on "Loading…": the pictures and the view's METAR boxes may still be on
            # their way when the notes come.
            d.wait_for("return document.querySelectorAll('#panel-layers .loading').length === 0", timeout=60)
            field = d.find_element(By.ID, "search-input")
            field.send_keys("KSLC")
            d.wait_for("return document.querySelector('#search-list [role=option]')")
            field.send_keys("\ue007")  # Enter
            note = d.wait_for("""const n = document.querySelector('.station-popup[data-station="KSLC"] .taf-note');
                return n && document.querySelector('.station-popup .taf-period') && n.textContent""", timeout=60)
            self.assertEqual(note, "1 forecast group left out: its time lies outside the possible range.")
            d.get_screenshot_as_file(os.path.join(OPTIONS.artifacts, "linux-hostile-times-popup.png"))
            d.execute_script("document.querySelector('.leaflet-popup-close-button')?.click()")
            # The 30-second tick moves every layer's age on: "(just now)" becomes "(1 min ago)".
            d.wait_for("""const lines = ['metars', 'pireps', 'alerts', 'hazards'].map((name) =>
                  document.querySelector(`.layer[data-layer="${name}"] .freshness`));
                return lines.every((p) => p && /fetched [^·]*\\((\\d+) min ago\\)/.test(p.textContent))""",
                       timeout=120, interval=1)


class ClosingWithRequestsInFlight(unittest.TestCase):
    """Runs with services that hold every answer back, so requests stay in flight."""

    def test_ninth_request_is_busy(self):
        folders = UserFolders()
        with HostDriver(OPTIONS.program, env=folders.environment()) as d:
            d.wait_for("return window.chrome && window.chrome.webview && document.readyState == 'complete'")
            d.execute_script(COLLECT_REPLIES)
            # The page's own first requests are in flight too; distinct arguments miss the cache.
            d.execute_script("for (let i = 0; i < 9; i++) "
                      "window.chrome.webview.postMessage({id: 'slow-' + i, operation: 'alerts', argument: String(i)});")
            busy = d.wait_for("return window.testReplies.filter((r) => r.status == 429)"
                              ".map((r) => r.body.error)", timeout=10)
            self.assertEqual(set(busy), {"Weather requests are busy. Try again in a moment."})

    def test_closing_exits_cleanly_without_leaks(self):
        folders = UserFolders()
        env = folders.environment()
        suppressions = os.path.join(os.path.dirname(os.path.abspath(__file__)), "lsan.supp")
        env["ASAN_OPTIONS"] = "detect_leaks=1:exitcode=23"
        env["LSAN_OPTIONS"] = f"suppressions={suppressions}:print_suppressions=0"
        before = len(service_requests())
        program = subprocess.Popen([OPTIONS.shutdown_program], env=env, stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT, text=True)
        try:
            wait_until(lambda: len(service_requests()) - before >= 3, 60,
                       "the page's requests to reach the services")
            time.sleep(0.5)
            program.send_signal(signal.SIGTERM)
            output, _ = program.communicate(timeout=60)
        finally:
            if program.poll() is None:
                program.kill()
        with open(os.path.join(OPTIONS.artifacts, "linux-shutdown.log"), "w") as log:
            log.write(output)
        self.assertNotIn("LeakSanitizer", output)
        self.assertNotIn("AddressSanitizer", output)
        self.assertEqual(program.returncode, 0, output[-2000:])


def main():
    global OPTIONS
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--program", required=True, help="corvane-weather built with automation")
    parser.add_argument("--shutdown-program", help="an AddressSanitizer build of corvane-weather")
    parser.add_argument("--artifacts", default=os.path.join(tempfile.gettempdir(), "corvane-linux"))
    parser.add_argument("--hold-file", help="the services' --hold-documents file")
    parser.add_argument("--many-alerts", type=int,
                        help="the services answer with this many alerts (large_alerts.py)")
    parser.add_argument("--hostile-times", action="store_true",
                        help="the services answer with impossible times (hostile_times.py)")
    OPTIONS, rest = parser.parse_known_args()
    os.makedirs(OPTIONS.artifacts, exist_ok=True)
    if "CORVANE_FAKE_SERVICES_LOG" not in os.environ:
        parser.error("run inside tools/run_isolated.sh")
    if OPTIONS.hold_file and os.path.exists(OPTIONS.hold_file):
        os.remove(OPTIONS.hold_file)  # left by a run that was killed: it would hold everything
    suite = unittest.TestSuite()
    loader = unittest.TestLoader()
    if OPTIONS.shutdown_program:
        suite.addTests(loader.loadTestsFromTestCase(ClosingWithRequestsInFlight))
    elif OPTIONS.many_alerts:
        suite.addTests(loader.loadTestsFromTestCase(ManyAlerts))
    elif OPTIONS.hostile_times:
        suite.addTests(loader.loadTestsFromTestCase(HostileTimes))
    else:
        suite.addTests(loader.loadTestsFromTestCase(MapOnLinux))
        if OPTIONS.hold_file:
            suite.addTests(loader.loadTestsFromTestCase(ReloadWithRequestsHeld))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
