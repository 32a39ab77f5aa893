#!/usr/bin/env python3
"""The demo's stand-ins for api.weather.gov and aviationweather.gov, for a person trying the
program without internet (scripts/run.sh --demo runs them in tools/run_isolated.sh's network
namespace). They answer with the project's recorded documents (--data, routes.json), made to
look current:

- every time is moved forward by the same whole hours (`Demo.shift`): ISO times in either form,
  with their offsets, the Unix seconds of the reports, forecasts and hazards, and the day-time
  groups of the raw report texts (METARs and their remarks, TAFs with their valid periods and
  change groups, pilot reports, SIGMETs and CWAs); the discussion's header lines carry its
  moved time, the winds-aloft bulletins' header lines theirs. The 12-hour forecast alone moves by the whole days within that shift, so that its
  days and nights keep their highs, lows and texts, and its periods are named for the moment
  ("Tonight" at 7 pm, not "This Afternoon");
- requests the recordings do not hold are answered by the table `GENERATED`: a METAR or TAF
  request of any box gets the recorded western reports inside it (204 when none are, as the
  real service answers), any point of the contiguous United States the Salt Lake City point
  (a point written with trailing zeros is first redirected to its canonical form, as the NWS
  API does). A new host's answers are rows there, and its name one word in run_isolated.sh;
- the three imagery hosts (radar, satellite, base map) get pictures and capabilities documents
  made by demo/imagery.py, the radar's echoes where the moved METARs report rain;
- anything else gets the NWS API's 404 problem document.

The test services (tests/fake_services/fake_services.py --demo) answer with the same `Demo`."""
import datetime
import json
import os
import re
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import imagery  # noqa: E402
import serving  # noqa: E402

UTC = datetime.timezone.utc
HOUR = datetime.timedelta(hours=1)
DAY = 86400
# The moment the recorded documents describe: 2026-11-20T18:00:00Z.
DOCUMENTS_TIME = 1795197600
# ISO 8601 times with "T" or, as in older TAF records, a blank between date and time.
ISO_TIME = re.compile(rb"(\d{4}-\d\d-\d\d)([T ])(\d\d:\d\d:\d\d)(\.\d+)?(Z|[+-]\d\d:\d\d)")
# Members holding Unix seconds: METARs, PIREPs, TAFs and their groups, SIGMETs, G-AIRMETs, CWAs.
UNIX_TIME = re.compile(rb'("(?:obsTime|validTimeFrom|validTimeTo|timeFrom|timeTo|timeBec|'
                       rb'issueTime|receiptTime|expireTime)":\s*)(\d+)')
WEEKDAYS = ("Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday")

# The time groups of raw texts, by the member holding the text: a pattern whose group "t" is
# the time, and its form (DDHHMM day of the month, hour, minute; DDHH the start of a period;
# DDHH-end its end, where midnight is hour 24 of the day before; HHMM hour and minute).
RAW_TIMES = {
    "rawOb": [
        (r"\b(?P<t>\d{6})Z\b", "DDHHMM"),                            # METAR: observed at
        (r"\b(?:PK WND \d{5,6}/|WSHFT )(?P<t>\d{4})\b", "HHMM"),     # peak wind, wind shift
        (r"/TM (?P<t>\d{4})\b", "HHMM"),                             # pilot report
        (r"^ARP \S+ \S+ \S+ (?P<t>\d{4}) ", "HHMM"),                 # AIREP, after its position
    ],
    "rawTAF": [
        (r"\b(?P<t>\d{6})Z\b", "DDHHMM"),                            # issued at
        (r"\b(?P<t>\d{4})/\d{4}\b", "DDHH"),                         # valid period, TEMPO, PROB
        (r"\b\d{4}/(?P<t>\d{4})\b", "DDHH-end"),
        (r"\bFM(?P<t>\d{6})\b", "DDHHMM"),
    ],
    "rawAirSigmet": [(r"\b(?P<t>\d{6})\b", "DDHHMM"), (r"\b(?P<t>\d{4})Z\b", "HHMM")],
    "rawText": [(r"\b(?P<t>\d{6})\b", "DDHHMM"), (r"\b(?P<t>\d{4})Z\b", "HHMM")],
}
RAW_TIMES = {member: [(re.compile(p, re.M), form) for p, form in rows]
             for member, rows in RAW_TIMES.items()}


def shift_times(body, seconds):
    """Moves every ISO 8601 time and every Unix-seconds time member of a document by `seconds`."""
    def iso(match):
        moment = datetime.datetime.fromisoformat((match[1] + b"T" + match[3] + match[5]).decode())
        moved = moment + datetime.timedelta(seconds=seconds)
        return (moved.strftime("%Y-%m-%d").encode() + match[2] + moved.strftime("%H:%M:%S").encode()
                + (match[4] or b"") + match[5])

    body = ISO_TIME.sub(iso, body)
    return UNIX_TIME.sub(lambda m: m[1] + str(int(m[2]) + seconds).encode(), body)


def day_of_month_time(day, hour, minute):
    """The moment a report's day-of-month time names: the one nearest the documents' moment."""
    base = datetime.datetime.fromtimestamp(DOCUMENTS_TIME, UTC)
    candidates = []
    for months in (-1, 0, 1):
        year, month = divmod(base.year * 12 + base.month - 1 + months, 12)
        try:
            candidates.append(datetime.datetime(year, month + 1, day, tzinfo=UTC))
        except ValueError:  # no such day in that month
            pass
    day_start = min(candidates, key=lambda c: abs(c - base))
    return day_start + datetime.timedelta(hours=hour, minutes=minute)


def moved_group(text, form, seconds):
    """One time group of a raw text, moved by `seconds`, written in its own form."""
    if form == "HHMM":
        minutes = (int(text[:2]) * 60 + int(text[2:]) + seconds // 60) % 1440
        return f"{minutes // 60:02d}{minutes % 60:02d}"
    moved = day_of_month_time(int(text[:2]), int(text[2:4]), int(text[4:6] or 0))
    moved += datetime.timedelta(seconds=seconds)
    if form == "DDHHMM":
        return moved.strftime("%d%H%M")
    if form == "DDHH-end" and moved.hour == 0:
        return f"{(moved - HOUR).day:02d}24"
    return moved.strftime("%d%H")


def shift_raw_texts(value, seconds, now=None):
    """Moves the time groups of every raw text (RAW_TIMES) in a decoded document."""
    if isinstance(value, list):
        return [shift_raw_texts(item, seconds) for item in value]
    if not isinstance(value, dict):
        return value
    moved = {}
    for member, item in value.items():
        if member in RAW_TIMES and isinstance(item, str):
            for pattern, form in RAW_TIMES[member]:
                item = pattern.sub(lambda m: m[0][:m.start("t") - m.start()]
                                   + moved_group(m["t"], form, seconds)
                                   + m[0][m.end("t") - m.start():], item)
        moved[member] = shift_raw_texts(item, seconds)
    return moved


def name_periods(document, seconds, now):
    """Names the 12-hour forecast's periods as the NWS would at `now` (Unix seconds): the one in
    progress after the time of day ("This Afternoon" from 11 am, else "Today"; "Overnight" for
    a night that began yesterday), the night of today "Tonight", the others after their day
    ("Saturday", "Saturday Night"). The forecast moves by whole days (`Demo.moved`), so each
    period keeps the time of day its text and its high or low describe."""
    overnight = False  # after midnight, this evening's night is named for its day
    for period in document.get("properties", {}).get("periods", []):
        start = datetime.datetime.fromisoformat(period["startTime"])
        end = datetime.datetime.fromisoformat(period["endTime"])
        local_now = datetime.datetime.fromtimestamp(now, start.tzinfo)
        daytime = period["isDaytime"]
        in_progress = start <= local_now < end
        if daytime and in_progress:
            name = "This Afternoon" if local_now.hour >= 11 else "Today"
        elif not daytime and in_progress and start.date() < local_now.date():
            name, overnight = "Overnight", True
        elif not daytime and start.date() == local_now.date() and end > local_now and not overnight:
            name = "Tonight"
        else:
            name = WEEKDAYS[start.weekday()] + ("" if daytime else " Night")
        period["name"] = name
    return document


def redate_discussion(document, seconds, now):
    """Writes the (moved) issuance time into a text product's header lines (discussion, outlooks)."""
    issued = datetime.datetime.fromisoformat(document["issuanceTime"])
    local = issued.astimezone(datetime.timezone(datetime.timedelta(hours=-7)))
    text = re.sub(r"^([A-Z]{4}\d\d \w{4}) \d{6}$", r"\g<1> " + issued.strftime("%d%H%M"),
                  document["productText"], count=1, flags=re.M)
    text = re.sub(r"^\d{3,4} [AP]M MST \w{3} \w{3} \d{1,2} \d{4}$",
                  f"{local.hour % 12 or 12}{local.minute:02d} {'AM' if local.hour < 12 else 'PM'} MST "
                  f"{local.strftime('%a %b')} {local.day} {local.year}", text, count=1, flags=re.M)
    document["productText"] = text
    return document


def redate_winds(document, seconds, now):
    """Moves the day-time groups of a winds-aloft bulletin's header: the WMO line's issue time,
    the data and valid times and the hours of its use window."""
    text = document["productText"]
    text = re.sub(r"^(FBUS\d\d KWNO )(\d{6})$", lambda m: m[1] + moved_group(m[2], "DDHHMM", seconds),
                  text, count=1, flags=re.M)
    text = re.sub(r"^(DATA BASED ON |VALID )(\d{6})Z", lambda m: m[1] + moved_group(m[2], "DDHHMM", seconds) + "Z",
                  text, count=2, flags=re.M)
    text = re.sub(r"FOR USE (\d{4})-(\d{4})Z", lambda m: "FOR USE " + moved_group(m[1], "HHMM", seconds)
                  + "-" + moved_group(m[2], "HHMM", seconds) + "Z", text, count=1)
    document["productText"] = text
    return document


def shift_avalanche_dates(document, seconds, now):
    """Moves the map layer's issue and expiry times, which the service writes in UTC without an
    offset (so the moving of ISO times with one passes them by)."""
    for feature in document.get("features", []):
        properties = feature.get("properties", {})
        for member in ("start_date", "end_date"):
            if properties.get(member):
                moment = datetime.datetime.fromisoformat(properties[member])
                properties[member] = (moment + datetime.timedelta(seconds=seconds)).strftime("%Y-%m-%dT%H:%M:%S")
    return document


# The 12-hour forecasts: moved by whole days, so that "Tonight" keeps its low and its night text.
WHOLE_DAYS = re.compile(r"^nws/forecast_[a-z]+\.json$")
# What else a moved document needs, by the file it comes from, after its times are moved:
# rewrite(document, seconds it moved, the demo's moment).
REWRITES = [
    (WHOLE_DAYS, name_periods),
    (re.compile(r"^nws/afd_"), redate_discussion),
    (re.compile(r"^nws/fd\d_"), redate_winds),
    (re.compile(r"^nws/(afd|hwo|fwf)_"), redate_discussion),
    (re.compile(r"^avalanche/"), shift_avalanche_dates),
    (re.compile(r"^awc/"), shift_raw_texts),
]


def canonical_number(text):
    """The NWS API's form of a coordinate: at most 4 decimals, no trailing zeros."""
    return f"{round(float(text), 4):.4f}".rstrip("0").rstrip(".")


def point_answer(demo, match):
    latitude, longitude = match.groups()
    canonical = f"/points/{canonical_number(latitude)},{canonical_number(longitude)}"
    if f"/points/{latitude},{longitude}" != canonical:
        return demo.answer_file("nws/points_redirect_problem.json", 301,
                                "application/problem+json", (("Location", canonical),))
    if not (24 <= float(latitude) <= 50.5 and -126 <= float(longitude) <= -66):
        return demo.answer_file("nws/problem_404.json", 404, "application/problem+json")
    return demo.answer("api.weather.gov", "/points/40.76,-111.89")


def box_answer(demo, match):
    try:
        south, west, north, east = (float(n) for n in match["bounds"].split(","))
    except ValueError:
        return None
    reports = json.loads(demo.read(f"awc/{match['kind']}_west.json"))
    inside = [r for r in reports
              if south <= r.get("lat", 999) <= north and west <= r.get("lon", 999) <= east]
    if not inside:
        return serving.Answer(204)  # the service's answer when nothing matches
    body = json.dumps(inside, separators=(",", ":"), ensure_ascii=False).encode()
    return serving.Answer(200, body=demo.moved(f"awc/{match['kind']}_west.json", body))


# Answers made for requests the recordings do not hold: host, request target, answer(demo, match).
GENERATED = [
    ("api.weather.gov", re.compile(r"^/points/(-?\d+(?:\.\d+)?),(-?\d+(?:\.\d+)?)$"),
     point_answer),
    ("aviationweather.gov",
     re.compile(r"^/api/data/(?P<kind>metar|taf)\?bbox=(?P<bounds>[^&]+)&format=json$"),
     box_answer),
]


def imagery_answer(host, target):
    """The generated radar, satellite and base-map answers (demo/imagery.py): their times are
    this moment's, as the moved documents look current, the newest echoes where the METARs
    report rain."""
    # CORVANE_IMAGERY_NOW (Unix seconds) fixes the moment, for pictures of the page at a set time.
    now = float(os.environ.get("CORVANE_IMAGERY_NOW") or time.time())
    status, content_type, body, headers = imagery.answer(host, target, now)
    return serving.Answer(status, content_type, body, headers)


class Demo(serving.Routes):
    """The recorded documents, moved to look current, and the generated answers."""

    def __init__(self, data_dir, now=None):
        super().__init__(data_dir)
        now = time.time() if now is None else now
        # Whole hours, so hourly forecast periods still start on the hour; rounded down with a
        # margin, so no report (the latest is 4 minutes after the documents' moment) lies ahead.
        self.shift = int((now - DOCUMENTS_TIME - 600) // 3600) * 3600

    def moved(self, file, body):
        if not self.shift:
            return body
        shift = self.shift - self.shift % DAY if WHOLE_DAYS.search(file) else self.shift
        body = shift_times(body, shift)
        for pattern, rewrite in REWRITES:
            if pattern.search(file):
                document = rewrite(json.loads(body), shift, DOCUMENTS_TIME + self.shift)
                if b"\n" not in body.strip():  # written as it came: one compact line, or indented
                    return json.dumps(document, separators=(",", ":"), ensure_ascii=False).encode()
                return (json.dumps(document, ensure_ascii=False, indent=4) + "\n").encode()
        return body

    def answer_file(self, file, status, content_type, headers=()):
        return serving.Answer(status, content_type, self.moved(file, self.read(file)), headers)

    def answer(self, host, target):
        if host in imagery.HOSTS:
            return imagery_answer(host, target)
        row = self.rows.get((host, target))
        if row is not None:
            if "file" not in row:
                return self.answer_row(row)
            return self.answer_file(row["file"], row["status"], row["content_type"],
                                    (("Location", row["location"]),) if "location" in row else ())
        for answered_host, pattern, answer in GENERATED:
            match = pattern.match(target) if host == answered_host else None
            if match:
                return answer(self, match)
        return None


class Handler(serving.Handler):
    def handle_get(self):
        answer = self.server.state.answer(self.request_host(), self.path)
        self.send_answer(answer or serving.not_found(self.path))


def main():
    parser = serving.argument_parser(__doc__.split("\n")[0])
    options = parser.parse_args()
    serving.serve(parser, options, Handler, Demo(options.data))


if __name__ == "__main__":
    main()
