#!/usr/bin/env python3
"""Checks the service test documents in this directory.

Every *.json file must parse, every routes.json row must point to an existing file, and the
properties that tests rely on (listed in README.md) must hold. Exits 1 with one line per failure.
Standard library only. The flight categories are judged by the page's own decoders instead
(check_categories.mjs).
"""
import datetime
import json
import os
import re
import sys
from urllib.parse import urlsplit

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = datetime.datetime(2026, 11, 20, 18, 0, tzinfo=datetime.timezone.utc)
REF_UNIX = int(REFERENCE.timestamp())
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
from serving import WEST_BBOX as BBOX, WEST_BOX as BOX  # noqa: E402  the western box, south,west,north,east

failures = []


def fail(msg):
    failures.append(msg)


def check(cond, msg):
    if not cond:
        fail(msg)
    return cond


def load(rel):
    with open(os.path.join(HERE, rel), "rb") as f:
        raw = f.read()
    return raw, json.loads(raw.decode("utf-8"))


def iso(s):
    return datetime.datetime.fromisoformat(s)


# ------------------------------------------------------------------ every file parses
docs = {}
for root, _, files in os.walk(HERE):
    for name in sorted(files):
        if not name.endswith(".json"):
            continue
        rel = os.path.relpath(os.path.join(root, name), HERE).replace(os.sep, "/")
        try:
            docs[rel] = load(rel)
        except (ValueError, UnicodeDecodeError) as e:
            fail(f"{rel}: not valid UTF-8 JSON: {e}")

EXPECTED = [
    "nws/points_slc.json", "nws/forecast_hourly_slc.json", "nws/gridpoints_slc.json", "nws/stations_slc.json",
    "nws/observation_kslc.json", "nws/alerts_active.json", "nws/problem_404.json",
    "nws/points_redirect_problem.json", "nws/forecast_slc.json", "nws/problem_grid_404.json",
    "nws/afd_slc_latest.json", "nws/fd1_us1_latest.json", "nws/fd3_us3_latest.json", "nws/fd8_us7_latest.json",
    "awc/metar_west.json", "awc/metar_ids.json", "awc/pirep_west.json",
    "awc/error_missing_bbox.json", "awc/taf_west.json", "awc/airsigmet.json", "awc/gairmet.json", "awc/cwa.json",
    "nws/hwo_slc_latest.json", "nws/fwf_slc_latest.json", "avalanche/map_layer.json",
    "routes.json",
]
for rel in EXPECTED:
    check(rel in docs, f"{rel}: missing")
if failures:
    print("\n".join("FAIL " + f for f in failures))
    sys.exit(1)


def doc(rel):
    return docs[rel][1]


# ------------------------------------------------------------------ formatting
for rel, (raw, _) in docs.items():
    text = raw.decode("utf-8")
    if rel.startswith("nws/"):
        check(text.startswith("{\n    \""), f"{rel}: not pretty-printed with 4-space indentation")
        check("\\/" not in text, f"{rel}: escaped slashes")
    elif rel.startswith(("awc/", "avalanche/")):
        check("\n" not in text, f"{rel}: AWC and avalanche documents must be one compact line")

# ------------------------------------------------------------------ routes
routes = doc("routes.json")
check(isinstance(routes, list) and routes, "routes.json: must be a non-empty array")
CT = {"api.weather.gov": {"application/geo+json", "application/problem+json"},
      "aviationweather.gov": {"application/json"}, "api.avalanche.org": {"application/json"}}
route_by = {}
for i, r in enumerate(routes):
    where = f"routes.json row {i}"
    if r.get("status") == 204 and "file" not in r:
        r = dict(r, file=None)  # answers with its status alone
    for k in ("host", "path", "status", "content_type", "file"):
        check(k in r, f"{where}: member {k} missing")
    if not all(k in r for k in ("host", "path", "status", "content_type", "file")):
        continue
    if r["file"] is None:
        route_by[(r["host"], r["path"])] = r
        continue
    check(r["host"] in CT, f"{where}: unknown host {r['host']}")
    check(r["content_type"] in CT.get(r["host"], ()), f"{where}: content type {r['content_type']} for {r['host']}")
    check(r["path"].startswith("/"), f"{where}: path must start with /")
    check(os.path.isfile(os.path.join(HERE, r["file"])), f"{where}: file {r['file']} does not exist")
    check(r["file"] in docs, f"{where}: file {r['file']} is not a checked JSON document")
    if r["status"] in (301, 302, 307, 308):
        check("location" in r, f"{where}: redirect without location")
    if r["file"] in docs and isinstance(doc(r["file"]), dict) and doc(r["file"]).get("status") is not None \
            and r["content_type"] == "application/problem+json":
        check(doc(r["file"])["status"] == r["status"], f"{where}: problem status differs from row status")
    route_by[(r["host"], r["path"])] = r

NEEDED = {
    ("api.weather.gov", "/points/40.76,-111.89"): "nws/points_slc.json",
    ("api.weather.gov", "/gridpoints/SLC/101,174/forecast/hourly"): "nws/forecast_hourly_slc.json",
    ("api.weather.gov", "/gridpoints/SLC/101,174"): "nws/gridpoints_slc.json",
    ("api.weather.gov", "/gridpoints/SLC/101,174/stations"): "nws/stations_slc.json",
    ("api.weather.gov", "/stations/KSLC/observations/latest"): "nws/observation_kslc.json",
    ("api.weather.gov", "/alerts/active?area=UT,AZ,NV,CA,CO,NM,OR,WA,ID,MT,WY"): "nws/alerts_active.json",
    ("aviationweather.gov", f"/api/data/metar?bbox={BBOX}&format=json"): "awc/metar_west.json",
    ("aviationweather.gov", "/api/data/metar?ids=KSGU,KCDC,KAZC,KBCE,KPGA,KGCN&format=json"): "awc/metar_ids.json",
    ("aviationweather.gov", f"/api/data/pirep?bbox={BBOX}&age=3&format=json"): "awc/pirep_west.json",
    ("api.weather.gov", "/points/40.7600,-111.8900"): "nws/points_redirect_problem.json",
    ("api.weather.gov", "/gridpoints/SLC/101,174/forecast"): "nws/forecast_slc.json",
    ("api.weather.gov", "/products/types/AFD/locations/SLC/latest"): "nws/afd_slc_latest.json",
    ("api.weather.gov", "/products/types/FD1/locations/US1/latest"): "nws/fd1_us1_latest.json",
    ("api.weather.gov", "/products/types/FD3/locations/US3/latest"): "nws/fd3_us3_latest.json",
    ("api.weather.gov", "/products/types/FD8/locations/US7/latest"): "nws/fd8_us7_latest.json",
    ("aviationweather.gov", f"/api/data/taf?bbox={BBOX}&format=json"): "awc/taf_west.json",
    ("aviationweather.gov", "/api/data/airsigmet?format=json"): "awc/airsigmet.json",
    ("aviationweather.gov", "/api/data/gairmet?format=json"): "awc/gairmet.json",
    ("aviationweather.gov", "/api/data/cwa?format=json"): "awc/cwa.json",
    ("api.weather.gov", "/products/types/HWO/locations/SLC/latest"): "nws/hwo_slc_latest.json",
    ("api.weather.gov", "/products/types/FWF/locations/SLC/latest"): "nws/fwf_slc_latest.json",
    ("api.avalanche.org", "/v2/public/products/map-layer"): "avalanche/map_layer.json",
}
for key, f in NEEDED.items():
    r = route_by.get(key)
    if check(r is not None, f"routes.json: no row for {key[0]}{key[1]}"):
        check(r["file"] == f, f"routes.json: {key[1]} serves {r['file']}, expected {f}")
redirect = route_by.get(("api.weather.gov", "/points/40.7600,-111.8900"))
if redirect:
    check(redirect["status"] == 301 and redirect.get("location") == "/points/40.76,-111.89"
          and redirect["content_type"] == "application/problem+json", "routes.json: redirect row is wrong")
for key in NEEDED:
    r = route_by.get(key)
    if r and key[1] != "/points/40.7600,-111.8900":
        want = "application/geo+json" if key[0] == "api.weather.gov" else "application/json"
        check(r["status"] == 200 and r["content_type"] == want, f"routes.json: {key[1]} must be 200 {want}")

# ------------------------------------------------------------------ points
pts = doc("nws/points_slc.json")
pp = pts["properties"]
check(pts["type"] == "Feature" and pp["@type"] == "wx:Point" and pp["type"] == "land", "points: type members")
check(pp["gridId"] == "SLC" and pp["gridX"] == 101 and pp["gridY"] == 174, "points: grid cell must be SLC/101,174 (numbers)")
for k in ("@id", "forecast", "forecastHourly", "forecastGridData", "observationStations", "forecastOffice",
          "forecastZone", "county", "fireWeatherZone"):
    check(str(pp.get(k, "")).startswith("https://api.weather.gov/"), f"points: {k} is not an absolute api.weather.gov URL")
for k in ("@context", "id", "geometry"):
    check(k in pts, f"points: {k} missing")
for k in ("cwa", "relativeLocation", "timeZone", "radarStation", "astronomicalData", "nwr"):
    check(k in pp, f"points: {k} missing")
for k in ("forecast", "forecastHourly", "forecastGridData", "observationStations"):
    u = urlsplit(pp[k])
    check(("api.weather.gov", u.path) in route_by, f"points: {k} link {u.path} has no routes.json row")

# ------------------------------------------------------------------ hourly
hp = doc("nws/forecast_hourly_slc.json")["properties"]
periods = hp["periods"]
check(len(periods) == 48, f"hourly: {len(periods)} periods, expected 48")
check("updated" not in hp, "hourly: 2026 layout has no 'updated'")
check(hp.get("forecastGenerator") == "HourlyForecastGenerator", "hourly: forecastGenerator")
for i, p in enumerate(periods):
    w = f"hourly period {i + 1}"
    check(p["number"] == i + 1 and p["name"] == "", f"{w}: number/name")
    check(isinstance(p["temperature"], int), f"{w}: temperature must be an integer")
    check(p["probabilityOfPrecipitation"]["unitCode"] == "wmoUnit:percent", f"{w}: PoP unit")
    check(p["dewpoint"]["unitCode"] == "wmoUnit:degC" and isinstance(p["dewpoint"]["value"], float), f"{w}: dewpoint float degC")
    check(isinstance(p["relativeHumidity"]["value"], int), f"{w}: relativeHumidity integer")
    check(p["windSpeed"].endswith(" mph"), f"{w}: windSpeed string")
    check(p["icon"].startswith("https://api.weather.gov/icons/land/"), f"{w}: icon")
    if i:
        check(iso(p["startTime"]) == iso(periods[i - 1]["endTime"]), f"{w}: not contiguous")
check(any("Showers" in p["shortForecast"] for p in periods), "hourly: no showery spell")
check(any(int(p["windSpeed"].split()[0]) >= 25 for p in periods), "hourly: no windy hours")

# ------------------------------------------------------------------ grid
gp = doc("nws/gridpoints_slc.json")["properties"]
check(gp["@type"] == "wx:Gridpoint" and gp["gridX"] == 101 and gp["gridY"] == 174, "grid: metadata")
LAYERS = ["temperature", "dewpoint", "relativeHumidity", "skyCover", "windDirection", "windSpeed", "windGust",
          "probabilityOfPrecipitation", "probabilityOfThunder", "visibility", "ceilingHeight", "snowLevel",
          "quantitativePrecipitation", "weather", "hazards", "heatRisk", "mixingHeight", "transportWindSpeed",
          "transportWindDirection", "twentyFootWindSpeed", "twentyFootWindDirection", "hainesIndex",
          "lightningActivityLevel", "atmosphericDispersionIndex", "redFlagThreatIndex", "grasslandFireDangerIndex",
          "windChill", "apparentTemperature", "snowfallAmount"]
has_null = False
for name in LAYERS:
    lay = gp.get(name)
    if not check(isinstance(lay, dict) and "values" in lay, f"grid: layer {name} missing"):
        continue
    check(1 <= len(lay["values"]) <= 6, f"grid: layer {name} has {len(lay['values'])} entries, expected 1-6")
    for v in lay["values"]:
        check("/" in v["validTime"], f"grid: {name} validTime without duration")
        has_null = has_null or v["value"] is None
check(has_null, "grid: no null value")
check(sum(1 for v in gp.values() if v == {"values": []}) >= 3, "grid: fewer than 3 unused layers")
for entry in gp["weather"]["values"]:
    for w in entry["value"]:
        check(set(w) == {"coverage", "weather", "intensity", "visibility", "attributes"}, "grid: weather member set")

# ------------------------------------------------------------------ stations
st = doc("nws/stations_slc.json")
feats = st["features"]
check(len(feats) == 5, f"stations: {len(feats)} features, expected 5")
check(feats[0]["id"] == "https://api.weather.gov/stations/KSLC", "stations: first must be KSLC")
check(st["observationStations"] == [f["id"] for f in feats], "stations: observationStations differs from features")
check("next" in st.get("pagination", {}), "stations: pagination.next missing")
dists = [f["properties"]["distance"]["value"] for f in feats]
check(dists == sorted(dists), "stations: not nearest first")
check(all("bearing" in f["properties"] for f in feats), "stations: bearing missing")
check(any("  " in f["properties"]["name"] for f in feats), "stations: no blank-padded CWOP name")

# ------------------------------------------------------------------ METARs
west = doc("awc/metar_west.json")
ids = doc("awc/metar_ids.json")


def metar_checks(recs, label):
    check(isinstance(recs, list), f"{label}: not an array")
    t = [r["obsTime"] for r in recs]
    check(t == sorted(t, reverse=True), f"{label}: not sorted by obsTime descending")
    names = [r["icaoId"] for r in recs]
    check(len(names) == len(set(names)), f"{label}: more than one record per station")
    for r in recs:
        w = f"{label} {r.get('icaoId')}"
        check(all(v is not None for v in r.values()), f"{w}: null member (members without value are omitted)")
        check(isinstance(r["obsTime"], int), f"{w}: obsTime must be an integer")
        check(r["rawOb"].startswith(r["metarType"] + " " + r["icaoId"] + " "), f"{w}: rawOb prefix")
        check(BOX[0] <= r["lat"] <= BOX[2] and BOX[1] <= r["lon"] <= BOX[3], f"{w}: outside the box")
        check(r["receiptTime"].endswith("Z") and r["reportTime"].endswith("Z"), f"{w}: ISO times")
        for k in ("lat", "lon", "elev", "name", "cover", "clouds", "wdir", "wspd", "visib", "altim"):
            check(k in r, f"{w}: {k} missing")
        if "vertVis" in r:
            check({"cover": "OVX", "base": r["vertVis"]} in r["clouds"], f"{w}: vertVis without OVX layer")


metar_checks(west, "metar_west")
metar_checks(ids, "metar_ids")
check(len(west) == 60, f"metar_west: {len(west)} records, expected 60")
check(len(ids) == 6, f"metar_ids: {len(ids)} records, expected 6")
W = {r["icaoId"]: r for r in west}
I = {r["icaoId"]: r for r in ids}
for s in ("KSLC", "KSGU", "KCDC", "KBCE", "KPGA"):
    check(s in W, f"metar_west: {s} missing")
for s in ("KAZC", "KGCN"):
    check(s not in W, f"metar_west: {s} must not be present")
check(set(I) == {"KSGU", "KCDC", "KAZC", "KBCE", "KPGA", "KGCN"}, "metar_ids: wrong station set")
if all(s in W and s in I for s in ("KSGU", "KCDC", "KBCE", "KPGA")):
    check(I["KSGU"] == W["KSGU"], "metar_ids: KSGU must be identical to metar_west")
    check(I["KCDC"]["obsTime"] > W["KCDC"]["obsTime"], "metar_ids: KCDC must be newer than in metar_west")
    check(I["KBCE"]["obsTime"] < W["KBCE"]["obsTime"], "metar_ids: KBCE must be older than in metar_west")
    check(I["KPGA"]["obsTime"] == W["KPGA"]["obsTime"] and I["KPGA"]["rawOb"] != W["KPGA"]["rawOb"],
          "metar_ids: KPGA must have the same obsTime and a different rawOb")
cats = {r["fltCat"] for r in west if "fltCat" in r}
check(cats == {"VFR", "MVFR", "IFR", "LIFR"}, f"metar_west: flight categories {sorted(cats)}")
check(sum(1 for r in west if "fltCat" not in r) >= 3, "metar_west: fewer than 3 records without fltCat")
check(any(r["metarType"] == "SPECI" for r in west), "metar_west: no SPECI")
check(any(r["wdir"] == "VRB" for r in west), "metar_west: no VRB wind")
check(any(r["wdir"] == 0 and r["wspd"] == 0 for r in west), "metar_west: no calm wind")
check(any("wgst" in r for r in west), "metar_west: no gusts")
for v in ("10+", 5, 1.5, 0.75):
    check(any(r["visib"] == v and type(r["visib"]) is type(v) for r in west), f"metar_west: no visib {v!r}")
check(any(r.get("vertVis") == 400 and {"cover": "OVX", "base": 400} in r["clouds"] for r in west),
      "metar_west: no vertical visibility 400")
check(any(" AUTO " in r["rawOb"] and "slp" not in r for r in west), "metar_west: no AUTO station without slp")
for k in ("temp", "dewp", "altim"):
    check(any(isinstance(r.get(k), int) for r in west), f"metar_west: no integer {k}")
    check(any(isinstance(r.get(k), float) for r in west), f"metar_west: no float {k}")
for wx in ("-RA BR", "+TSRA", "VCTS", "-SN"):
    check(any(r.get("wxString") == wx for r in west), f"metar_west: no wxString {wx!r}")
check(all(REF_UNIX - 3600 <= r["obsTime"] <= REF_UNIX for r in west), "metar_west: obsTime not in the hour before the reference time")

# ------------------------------------------------------------------ observation
ob = doc("nws/observation_kslc.json")["properties"]
if "KSLC" in W:
    check(ob["rawMessage"] == W["KSLC"]["rawOb"].split(" ", 1)[1], "observation: rawMessage differs from KSLC in metar_west")
    check(iso(ob["timestamp"]).timestamp() == W["KSLC"]["obsTime"], "observation: timestamp differs from KSLC obsTime")
check(ob["stationId"] == "KSLC" and "stationName" in ob, "observation: stationId/stationName")
measures = [v for v in ob.values() if isinstance(v, dict) and "unitCode" in v and "qualityControl" in v]
check(len(measures) >= 10, "observation: too few measurement objects")
check(any(v["value"] is None for v in measures), "observation: no null measurement")
check(ob["windGust"]["value"] is None and "G" in ob["rawMessage"].split()[2], "observation: gust must be null while rawMessage has it")
check(ob["cloudLayers"] and isinstance(ob["presentWeather"], list), "observation: cloudLayers/presentWeather")

# ------------------------------------------------------------------ alerts
al = doc("nws/alerts_active.json")
af = al["features"]
check(al["type"] == "FeatureCollection" and "updated" in al and "title" in al, "alerts: collection members")
check(len(af) == 8, f"alerts: {len(af)} features, expected 8")
PROPS = ["areaDesc", "geocode", "affectedZones", "sent", "effective", "onset", "expires", "ends", "status",
         "messageType", "category", "severity", "certainty", "urgency", "event", "sender", "senderName",
         "headline", "description", "instruction", "response", "parameters", "scope", "code", "language", "web",
         "eventCode", "note"]
for f in af:
    p = f["properties"]
    for k in PROPS:
        check(k in p, f"alerts {p.get('event')}: {k} missing")
sev = {f["properties"]["severity"] for f in af}
check(sev >= {"Extreme", "Severe", "Moderate", "Minor", "Unknown"}, f"alerts: severities {sorted(sev)}")
polys = [f for f in af if f["geometry"] is not None]
check(len(polys) == 3, f"alerts: {len(polys)} polygons, expected 3")
check(all(f["geometry"] is None for f in af if f not in polys), "alerts: non-polygon geometry must be null")
for f in polys:
    g = f["geometry"]
    check(g["type"] == "Polygon", "alerts: geometry must be Polygon")
    for ring in g["coordinates"]:
        check(len(ring) >= 4 and ring[0] == ring[-1], f"alerts {f['properties']['event']}: ring not closed")
        check(all(BOX[1] <= x <= BOX[3] and BOX[0] <= y <= BOX[2] for x, y in ring), f"alerts {f['properties']['event']}: not lon/lat in the west")
check(sum(1 for f in af if iso(f["properties"]["onset"]) > REFERENCE) >= 1, "alerts: no onset in the future")
for k in ("ends", "headline", "instruction"):
    check(sum(1 for f in af if f["properties"][k] is None) >= 1, f"alerts: no {k}: null")
check(any(any(ord(c) > 127 for c in f["properties"]["description"]) for f in af), "alerts: no non-ASCII description")
check(any("* WHAT..." in f["properties"]["description"] for f in af), "alerts: no '* WHAT...' bullets")
states = {u[:2] for f in af for u in f["properties"]["geocode"]["UGC"]}
check(states >= {"UT", "AZ", "NV", "CA", "ID", "OR", "WA", "MT"}, f"alerts: states {sorted(states)}")
check(all(iso(f["properties"]["sent"]) <= REFERENCE for f in af), "alerts: sent after the reference time")

# ------------------------------------------------------------------ PIREPs
pr = doc("awc/pirep_west.json")
check(len(pr) == 20, f"pirep: {len(pr)} reports, expected 20")
MEMBERS = None
for r in pr:
    keys = list(r)
    MEMBERS = MEMBERS or keys
    check(keys == MEMBERS, f"pirep {r.get('rawOb', '')[:20]}: member list differs")
    check(BOX[0] <= r["lat"] <= BOX[2] and BOX[1] <= r["lon"] <= BOX[3], f"pirep {r['rawOb'][:20]}: outside the box")
    check(REF_UNIX - 3 * 3600 <= r["obsTime"] <= REF_UNIX, f"pirep {r['rawOb'][:20]}: not within 3 h before the reference time")
    check(isinstance(r["fltLvl"], int), "pirep: fltLvl must be an integer")
t = [r["obsTime"] for r in pr]
check(t == sorted(t, reverse=True), "pirep: not newest first")
check(sum(1 for r in pr if r["pirepType"] == "Urgent PIREP") == 2, "pirep: expected 2 urgent reports")
check(any(r["pirepType"] == "AIREP" for r in pr), "pirep: no AIREP")
check(min(r["fltLvl"] for r in pr) == 14 and max(r["fltLvl"] for r in pr) == 390, "pirep: flight levels must span 14-390")
tb = {r[k] for r in pr for k in ("tbInt1", "tbInt2")}
check(tb >= {"LGT", "MOD", "MOD-SEV", "SEV"}, f"pirep: turbulence intensities {sorted(tb)}")
check({r[k] for r in pr for k in ("tbType1", "tbType2")} >= {"CHOP", "CAT", "LLWS", "MWAVE"}, "pirep: turbulence types")
check({r[k] for r in pr for k in ("icgInt1", "icgInt2")} >= {"TRC", "LGT", "MOD", "SEV"}, "pirep: icing intensities")
check({r[k] for r in pr for k in ("icgType1", "icgType2")} >= {"RIME", "CLEAR", "MIXED"}, "pirep: icing types")
urgent = [r for r in pr if r["pirepType"] == "Urgent PIREP"]
check(any(r["tbInt1"] == "SEV" for r in urgent) and any(r["icgInt1"] == "SEV" for r in urgent),
      "pirep: urgent reports must be severe turbulence and severe icing")

# ------------------------------------------------------------------ errors
p404 = doc("nws/problem_404.json")
check(p404.get("status") == 404 and all(k in p404 for k in ("type", "title", "detail", "instance", "correlationId")),
      "problem_404: RFC 7807 members")
p301 = doc("nws/points_redirect_problem.json")
check(p301.get("status") == 301 and all(k in p301 for k in ("type", "title", "detail", "instance", "correlationId")),
      "points_redirect_problem: RFC 7807 members")
e400 = doc("awc/error_missing_bbox.json")
check(e400.get("status") == "error" and isinstance(e400.get("error"), str), "error_missing_bbox: shape")

empty_tafs = route_by.get(("aviationweather.gov", "/api/data/taf?bbox=31.0000,-125.0000,32.0000,-124.0000&format=json"))
check(empty_tafs is not None and empty_tafs["status"] == 204 and empty_tafs["file"] is None,
      "routes.json: no 204 row without a file for the TAF box 31,-125,32,-124")
if empty_tafs is not None:
    check(not [t for t in doc("awc/taf_west.json") if 31 <= t["lat"] <= 32 and -125 <= t["lon"] <= -124],
          "taf: a station lies in the box that answers 204")
grid404 = route_by.get(("api.weather.gov", "/gridpoints/SLC/0,0/forecast"))
check(grid404 is not None and grid404["status"] == 404 and grid404["file"] == "nws/problem_grid_404.json"
      and doc("nws/problem_grid_404.json").get("status") == 404, "routes.json: no 404 row for /gridpoints/SLC/0,0/forecast")
check(all(k in doc("nws/problem_grid_404.json") for k in ("type", "title", "detail", "instance", "correlationId")),
      "problem_grid_404: RFC 7807 members")

# ------------------------------------------------------------------ TAFs
TAF_MEMBERS = ["icaoId", "dbPopTime", "bulletinTime", "issueTime", "validTimeFrom", "validTimeTo", "rawTAF",
               "mostRecent", "remarks", "lat", "lon", "elev", "prior", "name", "fcsts"]
FCST_MEMBERS = ["timeGroup", "timeFrom", "timeTo", "timeBec", "fcstChange", "probability", "wdir", "wspd", "wgst",
                "wshearHgt", "wshearDir", "wshearSpd", "visib", "altim", "vertVis", "wxString", "notDecoded",
                "clouds", "icgTurb", "temp"]


def awc_time(text):
    """Both forms of AWC issue times: "2026-11-20T17:20:00.000Z" and "2026-11-20 17:20:00.000Z"."""
    return datetime.datetime.fromisoformat(text.replace(" ", "T").replace("Z", "+00:00"))


tafs = doc("awc/taf_west.json")
check(isinstance(tafs, list) and 15 <= len(tafs) <= 25, f"taf: {len(tafs)} records, expected 15-25")
check(len({t["icaoId"] for t in tafs}) == len(tafs), "taf: more than one TAF per station")
issue_forms = set()
changes, visibs = set(), set()
for t in tafs:
    w = f"taf {t.get('icaoId')}"
    check(list(t) == TAF_MEMBERS, f"{w}: member list differs")
    m = W.get(t["icaoId"])
    if check(m is not None, f"{w}: station not in metar_west"):
        check((t["lat"], t["lon"], t["elev"]) == (m["lat"], m["lon"], m["elev"]), f"{w}: position differs from the METAR")
        check(m["name"].startswith(t["name"]), f"{w}: name differs from the METAR")
    for k in ("issueTime", "bulletinTime", "dbPopTime"):
        issue_forms.add(" " in t[k])
        check(awc_time(t[k]) <= REFERENCE, f"{w}: {k} after the reference time")
    check(t["issueTime"] == t["bulletinTime"] and (" " in t["issueTime"]) == (" " in t["dbPopTime"]), f"{w}: issue time forms mixed")
    check(t["validTimeFrom"] == REF_UNIX and t["validTimeTo"] in (REF_UNIX + 24 * 3600, REF_UNIX + 30 * 3600),
          f"{w}: valid times must be 2018/2118 or 2018/2124")
    check(t["rawTAF"].startswith(("TAF " + t["icaoId"] + " ", "TAF AMD " + t["icaoId"] + " ")), f"{w}: rawTAF prefix")
    fc = t["fcsts"]
    check(fc and fc[0]["fcstChange"] is None and fc[0]["timeFrom"] == t["validTimeFrom"], f"{w}: first group")
    base_groups = [f for f in fc if f["fcstChange"] in (None, "FM")]
    for a, b in zip(base_groups, base_groups[1:]):
        check(a["timeTo"] == b["timeFrom"], f"{w}: FM groups not contiguous")
    check(base_groups[-1]["timeTo"] == t["validTimeTo"], f"{w}: last FM group does not end with the TAF")
    for i, f in enumerate(fc):
        check(list(f) == FCST_MEMBERS and f["timeGroup"] == i, f"{w} group {i}: members")
        check(t["validTimeFrom"] <= f["timeFrom"] < f["timeTo"] <= t["validTimeTo"], f"{w} group {i}: times")
        check((f["fcstChange"] == "PROB") == (f["probability"] is not None), f"{w} group {i}: probability")
        check((f["fcstChange"] == "BECMG") == (f["timeBec"] is not None), f"{w} group {i}: timeBec")
        check(f["wdir"] is None or f["wdir"] == "VRB" or isinstance(f["wdir"], int), f"{w} group {i}: wdir")
        shear = [f["wshearHgt"], f["wshearDir"], f["wshearSpd"]]
        check(all(v is None for v in shear) or all(isinstance(v, int) for v in shear), f"{w} group {i}: wind shear")
        check(all(set(c) == {"cover", "base", "type"} for c in f["clouds"]), f"{w} group {i}: cloud members")
        changes.add(f["fcstChange"])
        visibs.add(type(f["visib"]).__name__ if f["visib"] != "6+" else "6+")
check(issue_forms == {True, False}, "taf: both issue time forms must occur")
check(changes == {None, "FM", "TEMPO", "BECMG", "PROB"}, f"taf: change groups {changes}")
check(visibs >= {"6+", "int", "float"}, f"taf: visibilities {visibs}")
all_groups = [f for t in tafs for f in t["fcsts"]]
check(any(f["wdir"] == "VRB" for f in all_groups), "taf: no VRB wind")
check(any(f["wshearHgt"] for f in all_groups), "taf: no wind shear")
check(any(c["type"] == "CB" for f in all_groups for c in f["clouds"]), "taf: no CB clouds")
check(any(f["probability"] == 30 for f in all_groups), "taf: no PROB30")
check(any(f["vertVis"] for f in all_groups), "taf: no vertical visibility")
check({t["name"] == W[t["icaoId"]]["name"] for t in tafs if t["icaoId"] in W} == {True, False},
      "taf: names with and without ', ST, US' must occur")

# ------------------------------------------------------------------ hazards
def inside_west(lat, lon):
    return BOX[0] <= lat <= BOX[2] and BOX[1] <= lon <= BOX[3]


sigmets = doc("awc/airsigmet.json")
check(isinstance(sigmets, list) and sigmets, "airsigmet: not a non-empty array")
for s in sigmets:
    w = f"airsigmet {s.get('seriesId')}"
    c = s["coords"]
    check(len(c) >= 4 and c[0] == c[-1], f"{w}: coordinates not a closed ring")
    check(all(isinstance(p["lat"], float) and isinstance(p["lon"], float) for p in c), f"{w}: coordinates must be numbers")
    check(s["airSigmetType"] == "SIGMET", f"{w}: airSigmetType")
    check(s["validTimeFrom"] <= REF_UNIX < s["validTimeTo"], f"{w}: not valid at the reference time")
    check(iso(s["receiptTime"].replace("Z", "+00:00")) <= REFERENCE, f"{w}: received after the reference time")
    check(("altitudeLow1" in s) != ("altitudeLo1" in s), f"{w}: exactly one spelling of the low altitude")
    check(s["rawAirSigmet"].count("\n") >= 3, f"{w}: raw text without line breaks")
check({s["hazard"] for s in sigmets} >= {"CONVECTIVE", "TURB", "ICE", "IFR"}, "airsigmet: hazards")
check(any("altitudeLow1" in s for s in sigmets) and any("altitudeLo1" in s for s in sigmets),
      "airsigmet: both low-altitude spellings must occur")
check(sum(all(inside_west(p["lat"], p["lon"]) for p in s["coords"]) for s in sigmets) >= 5, "airsigmet: fewer than 5 over the West")

gairmets = doc("awc/gairmet.json")
check(isinstance(gairmets, list) and gairmets, "gairmet: not a non-empty array")
for g in gairmets:
    w = f"gairmet {g.get('product')} {g.get('tag')}"
    c = g["coords"]
    check(all(isinstance(p["lat"], str) and isinstance(p["lon"], str) for p in c), f"{w}: coordinates must be strings")
    check(all(inside_west(float(p["lat"]), float(p["lon"])) for p in c), f"{w}: not over the West")
    if g["geometryType"] == "AREA":
        check(len(c) >= 4 and c[0] == c[-1], f"{w}: area not a closed ring")
    else:
        check(g["geometryType"] == "LINE" and len(c) >= 2 and c[0] != c[-1], f"{w}: line")
    check(g["issueTime"] <= REF_UNIX and isinstance(g["receiptTime"], int) and isinstance(g["expireTime"], int), f"{w}: times")
    check(iso(g["validTime"].replace("Z", "+00:00")).timestamp() == g["issueTime"] + 900 + 3600 * g["forecastHour"],
          f"{w}: validTime must be 15:00Z plus forecastHour")
check({g["product"] for g in gairmets} == {"SIERRA", "TANGO", "ZULU"}, "gairmet: products")
check({g["forecastHour"] for g in gairmets} == {0, 3, 6, 9, 12}, "gairmet: forecast hours")
check({g["geometryType"] for g in gairmets} == {"AREA", "LINE"}, "gairmet: geometry types")
check(len({g["hazard"] for g in gairmets}) >= 6, "gairmet: fewer than 6 hazards")
heights = {v for g in gairmets for v in (g["top"], g["base"]) if isinstance(v, str) and v}
check(any(v.startswith("FL") for v in heights) and any(v.isdigit() for v in heights) and "SFC" in heights,
      f"gairmet: top/base forms {sorted(heights)}")
check(any(v == "" for g in gairmets for v in g.values()) and any(v is None for g in gairmets for v in g.values()),
      "gairmet: empty fields must occur both as \"\" and as null")

cwas = doc("awc/cwa.json")
check(isinstance(cwas, list) and cwas, "cwa: not a non-empty array")
for c in cwas:
    w = f"cwa {c.get('cwsu')} {c.get('seriesId')}"
    check(c["validTimeFrom"] <= REF_UNIX < c["validTimeTo"], f"{w}: not valid at the reference time")
    check(c["rawText"].startswith(c["cwsu"]), f"{w}: rawText")
    pts = c["coords"]
    check(all(isinstance(p["lat"], float) and inside_west(p["lat"], p["lon"]) for p in pts), f"{w}: coordinates")
    if c["geom"] == "AREA":
        check(len(pts) >= 4 and pts[0] == pts[-1], f"{w}: area not a closed ring")
    else:
        check(c["geom"] == "LINE" and len(pts) >= 2, f"{w}: line")
check({c["cwsu"] for c in cwas} >= {"ZLC", "ZSE", "ZOA"}, "cwa: centres")
check({c["geom"] for c in cwas} == {"AREA", "LINE"}, "cwa: geometries")

# ------------------------------------------------------------------ 12-hour forecast
fp = doc("nws/forecast_slc.json")["properties"]
fper = fp["periods"]
check(len(fper) == 14 and fper[0]["name"] == "This Afternoon", "forecast: 14 periods from This Afternoon")
check(fp["elevation"] == hp["elevation"] and fp["updateTime"] == hp["updateTime"], "forecast: metadata differs from hourly")
hourly_by_start = {iso(p["startTime"]): p for p in periods}
for i, p in enumerate(fper):
    w = f"forecast period {i + 1} ({p['name']})"
    check(p["number"] == i + 1 and isinstance(p["temperature"], int), f"{w}: number/temperature")
    check(p["isDaytime"] == (i % 2 == 0), f"{w}: day and night must alternate")
    check(p["probabilityOfPrecipitation"]["unitCode"] == "wmoUnit:percent", f"{w}: PoP unit")
    check(p["windGust"] is None or p["windGust"].endswith(" mph"), f"{w}: windGust")
    if i:
        check(iso(p["startTime"]) == iso(fper[i - 1]["endTime"]), f"{w}: not contiguous")
    hours = [h for t, h in hourly_by_start.items() if iso(p["startTime"]) <= t < iso(p["endTime"])]
    if len(hours) == (iso(p["endTime"]) - iso(p["startTime"])).total_seconds() / 3600:
        temps = [h["temperature"] for h in hours]
        check(p["temperature"] == (max(temps) if p["isDaytime"] else min(temps)), f"{w}: temperature differs from hourly")
        pops = [h["probabilityOfPrecipitation"]["value"] for h in hours]
        pop = p["probabilityOfPrecipitation"]["value"]
        check(pop == max(pops) if max(pops) >= 10 else pop is None, f"{w}: PoP differs from hourly")
        check(int(p["windSpeed"].split()[-2]) == max(int(h["windSpeed"].split()[0]) for h in hours),
              f"{w}: top wind speed differs from hourly")
check(iso(fper[0]["startTime"]) == datetime.datetime(2026, 11, 20, 11, tzinfo=datetime.timezone(datetime.timedelta(hours=-7))),
      "forecast: first period must start 2026-11-20T11:00:00-07:00")
check(any(p["probabilityOfPrecipitation"]["value"] is None for p in fper), "forecast: no null PoP")
check(any(p["windGust"] for p in fper) and any(p["windGust"] is None for p in fper), "forecast: windGust forms")
check("Snow" in fper[1]["shortForecast"] and "Windy" in fper[0]["shortForecast"], "forecast: story of windy showers turning to snow")

# ------------------------------------------------------------------ discussion
afd = doc("nws/afd_slc_latest.json")
text = afd["productText"]
check(afd["issuingOffice"] == "KSLC" and afd["productCode"] == "AFD", "afd: office/product code")
check(iso(afd["issuanceTime"]) <= REFERENCE, "afd: issued after the reference time")
check("1011 AM MST Fri Nov 20 2026" in text and iso(afd["issuanceTime"]).strftime("%H%M") == "1711",
      "afd: header time differs from issuanceTime")
positions = [text.find("\n" + name) for name in (".SYNOPSIS...", ".DISCUSSION...", ".AVIATION...", ".FIRE WEATHER...",
                                                  ".SLC WATCHES/WARNINGS/ADVISORIES...")]
check(all(p >= 0 for p in positions) and positions == sorted(positions), "afd: sections missing or out of order")
check(text.count("\n&&\n") == 5 and "\n$$\n" in text and text.index("$$") > positions[-1], "afd: && and $$ markers")

# ------------------------------------------------------------------ winds aloft
LOW_LEVELS = "3000 6000 9000 12000 18000 24000 30000 34000 39000"
for name, code, wmo, valid, use, levels in (
        ("fd1_us1", "FD1US1", "FBUS31", "201800Z", "1400-2100Z", LOW_LEVELS),
        ("fd3_us3", "FD3US3", "FBUS33", "210000Z", "2100-0600Z", LOW_LEVELS),
        ("fd8_us7", "FD8US7", "FBUS37", "201800Z", "1400-2100Z", "45000 53000")):
    fd = doc(f"nws/{name}_latest.json")
    w = f"nws/{name}_latest.json"
    lines = fd["productText"].split("\n")
    check(fd["productCode"] == code[:3] and fd["issuingOffice"] == "KWNO" and fd["wmoCollectiveId"] == wmo, f"{w}: code/office/WMO id")
    check(lines[:5] == ["", "000", f"{wmo} KWNO " + iso(fd["issuanceTime"]).strftime("%d%H%M"), code, "DATA BASED ON 201200Z    "],
          f"{w}: header lines or the issuance time")
    check(lines[5] == f"VALID {valid}   FOR USE {use}. TEMPS NEG ABV 24000" and lines[6] == "", f"{w}: valid line")
    check(lines[7].split() == ["FT"] + levels.split(), f"{w}: FT line")
    ends = [lines[7].index(level) + len(level) for level in levels.split()]
    rows = [line for line in lines[8:] if line]
    check(len(rows) == 60 and [r[:3] for r in rows] == sorted(r[:3] for r in rows), f"{w}: 60 stations in order")
    for row in rows:
        starts = [4] + [e + 1 for e in ends[:-1]]
        cells = [row[a:b].strip() for a, b in zip(starts, ends)]
        check(len(row) <= ends[-1] and all(re.fullmatch(r"(\d{4}([+-]\d\d|\d\d)?)?", c) for c in cells)
              and all(row[e:e + 1] in ("", " ") for e in ends), f"{w}: {row[:3]} cells off their columns")

# ------------------------------------------------------------------ outlooks
for rel, code, header in (("nws/hwo_slc_latest.json", "HWO", "305 AM MST Fri Nov 20 2026"),
                          ("nws/fwf_slc_latest.json", "FWF", "235 AM MST Fri Nov 20 2026")):
    product = doc(rel)
    check(product["issuingOffice"] == "KSLC" and product["productCode"] == code, f"{rel}: office/product code")
    check(iso(product["issuanceTime"]) <= REFERENCE, f"{rel}: issued after the reference time")
    check(header in product["productText"] and f"\n{code}SLC\n" in product["productText"], f"{rel}: header lines")

# ------------------------------------------------------------------ avalanche map layer
layer = doc("avalanche/map_layer.json")
check(layer.get("type") == "FeatureCollection" and isinstance(layer.get("features"), list), "avalanche: not a collection")
levels = set()
for feature in layer["features"]:
    props = feature["properties"]
    where = f"avalanche: {props.get('name')}"
    check(feature["geometry"]["type"] in ("Polygon", "MultiPolygon"), f"{where}: geometry")
    check(props["danger_level"] in (-1, 0, 1, 2, 3, 4, 5), f"{where}: danger_level")
    levels.add(props["danger_level"])
    for member in ("name", "center", "center_id", "center_link", "timezone", "state", "travel_advice", "danger",
                   "color", "stroke", "font_color", "link", "start_date", "end_date", "warning"):
        check(member in props, f"{where}: {member} missing")
    if props["start_date"] is not None:
        check(re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d", props["start_date"]) is not None,
              f"{where}: start_date without an offset, as the service writes it")
check(levels == {-1, 0, 1, 2, 3, 4, 5}, "avalanche: not every danger level")
check({f["properties"]["center_id"] for f in layer["features"]} >= {"UAC", "SAC", "CAIC"}, "avalanche: centres")
expired = [f for f in layer["features"] if f["properties"]["end_date"]
           and datetime.datetime.fromisoformat(f["properties"]["end_date"] + "+00:00") < REFERENCE]
check(len(expired) == 1, "avalanche: one forecast past its end")

# ------------------------------------------------------------------ zones
def inside_ring(ring, lat, lon):
    inside = False
    for (x1, y1), (x2, y2) in zip(ring, ring[1:]):
        if (y1 > lat) != (y2 > lat) and lon < (x2 - x1) * (lat - y1) / (y2 - y1) + x1:
            inside = not inside
    return inside


zone_shapes = {}
for feature in doc("nws/alerts_active.json")["features"]:  # those without a shape of their own
    for url in feature["properties"]["affectedZones"] if feature["geometry"] is None else []:
        u = urlsplit(url)
        r = route_by.get(("api.weather.gov", u.path))
        if not check(r is not None and r["status"] == 200, f"zones: no 200 route for {u.path}"):
            continue
        z = doc(r["file"])
        kind, zid = u.path.split("/")[2:4]
        w = r["file"]
        check(r["file"] == f"nws/zone_{kind}_{zid}.json", f"{w}: file name must be nws/zone_{kind}_{zid}.json")
        check(z.get("type") == "Feature" and z["properties"].get("@type") == "wx:Zone"
              and z["properties"].get("id") == zid and z.get("id") == url, f"{w}: id, type or @type")
        check(isinstance(z["properties"].get("timeZone"), list) and z["properties"]["timeZone"], f"{w}: timeZone list")
        g = z.get("geometry") or {}
        ring = (g.get("coordinates") or [[]])[0]
        if check(g.get("type") == "Polygon" and len(ring) >= 4 and ring[0] == ring[-1], f"{w}: closed Polygon"):
            zone_shapes[zid] = ring
if "UTZ105" in zone_shapes:
    check(inside_ring(zone_shapes["UTZ105"], 40.76, -111.89), "zones: Salt Lake City must lie in UTZ105")
for zid in ("UTZ110", "UTZ111", "UTZ112"):
    check(zid in zone_shapes and not inside_ring(zone_shapes[zid], 40.76, -111.89),
          f"zones: Salt Lake City must lie outside {zid} (a mountain zone)")

if failures:
    print("\n".join("FAIL " + f for f in failures))
    sys.exit(1)
print(f"OK: {len(docs)} documents, {len(routes)} routes")
