"""The demo's moved documents read as one moment: the raw report texts and the forecast's period
names follow the same shift as the decoded times (demo/demo_services.py)."""
import datetime
import json
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "demo"))
import demo_services  # noqa: E402
from serving import WEST_BBOX  # noqa: E402  (demo_services puts tools/ on the path)

DATA = os.path.join(HERE, "..", "data")
HOUR = 3600
# Shifts in hours: one past the hour, across midnight UTC (a TEMPO group then ends at "24"),
# across local midnight, a whole day and more.
SHIFTS = (1, 4, 8, 14, 16, 20, 24, 39)


def demo_at(hours):
    """The demo started `hours` (and ten minutes) after the documents' moment."""
    return demo_services.Demo(DATA, now=demo_services.DOCUMENTS_TIME + hours * HOUR + 600)


def records(demo, target, host="aviationweather.gov"):
    answer = demo.answer(host, target)
    return json.loads(answer.body)


def day_time(seconds, form="%d%H%M"):
    return datetime.datetime.fromtimestamp(seconds, datetime.timezone.utc).strftime(form)


def period(start, end):
    """A TAF's DDHH/DDHH, where an end at midnight is hour 24 of the day before."""
    last = datetime.datetime.fromtimestamp(end, datetime.timezone.utc)
    ending = f"{(last - datetime.timedelta(hours=1)).day:02d}24" if last.hour == 0 else f"{last:%d%H}"
    return f"{day_time(start, '%d%H')}/{ending}"


class RawTextsFollowTheShift(unittest.TestCase):
    def test_metar_times_match_their_observation_times(self):
        for hours in SHIFTS:
            demo = demo_at(hours)
            reports = (records(demo, f"/api/data/metar?bbox={WEST_BBOX}&format=json")
                       + records(demo, "/api/data/metar?ids=KSGU,KCDC,KAZC,KBCE,KPGA,KGCN&format=json"))
            for report in reports:
                with self.subTest(hours=hours, station=report["icaoId"]):
                    self.assertIn(f" {day_time(report['obsTime'])}Z ", report["rawOb"])
            kcdc = next(r for r in reports if r["rawOb"].startswith("SPECI KCDC"))["rawOb"]
            # The remarks' hours move too: peak wind at 18:01Z, wind shift at 17:59Z.
            self.assertIn(f"PK WND 30041/{day_time(1795197600 + 60 + hours * HOUR, '%H%M')} "
                          f"WSHFT {day_time(1795197540 + hours * HOUR, '%H%M')} ", kcdc)

    def test_taf_times_match_their_decoded_periods(self):
        for hours in SHIFTS:
            for taf in records(demo_at(hours), f"/api/data/taf?bbox={WEST_BBOX}&format=json"):
                raw = taf["rawTAF"]
                with self.subTest(hours=hours, station=taf["icaoId"]):
                    issued = datetime.datetime.fromisoformat(taf["issueTime"].replace("Z", "+00:00"))
                    self.assertIn(f" {issued:%d%H%M}Z {period(taf['validTimeFrom'], taf['validTimeTo'])} ",
                                  raw)
                    for group in taf["fcsts"]:
                        if group["fcstChange"] == "FM":
                            self.assertIn(f"FM{day_time(group['timeFrom'])} ", raw)
                        elif group["fcstChange"] == "TEMPO":
                            self.assertIn(f"TEMPO {period(group['timeFrom'], group['timeTo'])} ", raw)
                        elif group["fcstChange"] == "BECMG":  # changing until timeBec
                            self.assertIn(f"BECMG {period(group['timeFrom'], group['timeBec'])} ", raw)

    def test_pilot_report_and_hazard_times_match(self):
        for hours in SHIFTS:
            demo = demo_at(hours)
            for report in records(demo, f"/api/data/pirep?bbox={WEST_BBOX}&age=3&format=json"):
                with self.subTest(hours=hours, report=report["rawOb"][:20]):
                    hhmm = day_time(report["obsTime"], "%H%M")
                    self.assertTrue(f"/TM {hhmm}/" in report["rawOb"] or
                                    f" {hhmm} F" in report["rawOb"], report["rawOb"])
            for sigmet in records(demo, "/api/data/airsigmet?format=json"):
                until = sigmet["validTimeTo"]  # convective SIGMETs give the hour only
                self.assertRegex(sigmet["rawAirSigmet"], f"VALID UNTIL ({day_time(until)}|"
                                                         f"{day_time(until, '%H%M')}Z)\n")
            for cwa in records(demo, "/api/data/cwa?format=json"):
                self.assertIn(f"VALID UNTIL {day_time(cwa['validTimeTo'])}\n", cwa["rawText"])

    def test_winds_aloft_headers_match_their_issuance_time(self):
        for hours in SHIFTS:
            document = records(demo_at(hours), "/products/types/FD1/locations/US1/latest", "api.weather.gov")
            issued = datetime.datetime.fromisoformat(document["issuanceTime"]).timestamp()
            based, valid = 1795176000 + hours * HOUR, 1795197600 + hours * HOUR  # 12Z data, 18Z valid
            use_from, use_to = 1795183200 + hours * HOUR, 1795208400 + hours * HOUR  # 14Z to 21Z
            with self.subTest(hours=hours):
                self.assertIn(f"\nFBUS31 KWNO {day_time(issued)}\nFD1US1\nDATA BASED ON {day_time(based)}Z",
                              document["productText"])
                self.assertIn(f"\nVALID {day_time(valid)}Z   FOR USE {day_time(use_from, '%H%M')}-"
                              f"{day_time(use_to, '%H%M')}Z. TEMPS NEG ABV 24000\n", document["productText"])

    def test_outlook_headers_and_avalanche_dates_follow(self):
        with open(os.path.join(DATA, "avalanche", "map_layer.json"), encoding="utf-8") as recorded:
            original = json.load(recorded)
        for hours in SHIFTS:
            demo = demo_at(hours)
            for code in ("HWO", "FWF"):
                product = records(demo, f"/products/types/{code}/locations/SLC/latest", "api.weather.gov")
                issued = datetime.datetime.fromisoformat(product["issuanceTime"])
                with self.subTest(hours=hours, product=code):
                    self.assertIn(f" KSLC {issued:%d%H%M}\n", product["productText"])
            layer = records(demo, "/v2/public/products/map-layer", "api.avalanche.org")
            for moved, recorded in zip(layer["features"], original["features"]):
                for member in ("start_date", "end_date"):
                    was, now = recorded["properties"][member], moved["properties"][member]
                    with self.subTest(hours=hours, zone=recorded["properties"]["name"], member=member):
                        if was is None:
                            self.assertIsNone(now)
                        else:  # still without an offset, as the service writes it
                            self.assertEqual(datetime.datetime.fromisoformat(now) -
                                             datetime.datetime.fromisoformat(was),
                                             datetime.timedelta(seconds=demo.shift))


class ForecastPeriodNames(unittest.TestCase):
    def periods_in_force(self, hours):
        """The demo's 12-hour periods not yet over (the page shows no others), and its moment."""
        document = records(demo_at(hours), "/gridpoints/SLC/101,174/forecast", "api.weather.gov")
        now = datetime.datetime.fromtimestamp(demo_services.DOCUMENTS_TIME + hours * HOUR,
                                              datetime.timezone.utc)
        return [p for p in document["properties"]["periods"]
                if datetime.datetime.fromisoformat(p["endTime"]) > now], now

    def test_names_follow_the_moment(self):
        # Hours after the documents' moment (11:00 MST, Friday): local time, the first names.
        rows = [
            (4, "15:00", ["This Afternoon", "Tonight", "Saturday"]),
            (8, "19:00", ["Tonight", "Saturday", "Saturday Night"]),
            (14, "01:00", ["Overnight", "Saturday", "Saturday Night"]),
            (20, "07:00", ["Today", "Tonight", "Sunday"]),
            (24, "11:00", ["This Afternoon", "Tonight", "Sunday"]),
            (39, "02:00", ["Overnight", "Sunday", "Sunday Night"]),
        ]
        for hours, local, names in rows:
            with self.subTest(hours=hours):
                periods, now = self.periods_in_force(hours)
                start = datetime.datetime.fromisoformat(periods[0]["startTime"])
                self.assertEqual(now.astimezone(start.tzinfo).strftime("%H:%M"), local)
                self.assertLessEqual(start, now)
                self.assertEqual([p["name"] for p in periods[:3]], names)

    def test_each_period_keeps_its_time_of_day_and_its_day(self):
        for hours in range(1, 49):
            periods, now = self.periods_in_force(hours)
            with self.subTest(hours=hours):
                names = [p["name"] for p in periods]
                self.assertEqual(len(set(names)), len(names), names)
                for p in periods:
                    start = datetime.datetime.fromisoformat(p["startTime"])
                    # What a reader sees together: the name, "High" or "Low", and the text.
                    self.assertIn("high" if p["isDaytime"] else "low", p["detailedForecast"])
                    self.assertEqual(p["isDaytime"], 6 <= start.hour < 18, p["startTime"])
                    if p["name"] not in ("This Afternoon", "Today", "Tonight", "Overnight"):
                        self.assertEqual(p["name"], start.strftime("%A") + ("" if p["isDaytime"] else " Night"))


if __name__ == "__main__":
    unittest.main()
