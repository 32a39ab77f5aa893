"""Radar, satellite and base-map answers made by our own code, for the demo (demo_services.py) and
the test services (tests/fake_services/fake_services.py): the three imagery hosts answer in their
real shapes — the radar's WMS capabilities and GetMap PNGs, the satellite service's DescribeDomains
and GetMap PNGs, the National Map's cached tiles — drawn from numbers chosen here. Radar echoes sit
where the recorded METARs report rain, snow or thunder (tests/data/awc/metar_west.json) in the
newest scan and drift east through the older ones; cloud lies over them; the base map is a shaded relief of a few
made-up western ranges with rivers and lakes. Nothing recorded from the real services is used.

Pictures are drawn with Pillow (Debian's python3-pil); without it the imagery hosts answer 503."""
import datetime
import functools
import io
import json
import math
import os
import re
import zlib

try:
    from PIL import Image, ImageDraw, ImageFilter
except ImportError:  # the weather documents are still served
    Image = None

HOSTS = ("opengeo.ncep.noaa.gov", "gibs.earthdata.nasa.gov", "basemap.nationalmap.gov")
MINUTE = 60
EARTH = 6378137.0
HALF_WORLD = math.pi * EARTH
# The NWS reflectivity colours by their lower dBZ bound (the page's legend shows the same).
DBZ_COLOURS = [(5, "#04e9e7"), (10, "#019ff4"), (15, "#0300f4"), (20, "#02fd02"), (25, "#01c501"),
               (30, "#008e00"), (35, "#fdf802"), (40, "#e5bc00"), (45, "#fd9500"), (50, "#fd0000"),
               (55, "#d40000"), (60, "#bc0000"), (65, "#f800fd"), (70, "#9854c6"), (75, "#fdfdfd")]
# Peak reflectivity by the weather a METAR reports.
PEAK_DBZ = [(r"\+TS|TS", 55), (r"\+(RA|SHRA)", 50), (r"SH", 40), (r"RA", 32), (r"SN", 24)]
DRIFT_KM_PER_HOUR = 25
SATELLITE_LATENCY = 25 * MINUTE
# Western ranges: (lat, lon) ends, height (km), half-width (km).
RANGES = [((49, -121.2), (41.5, -122.0), 2.0, 45), ((40.2, -121.2), (35.4, -118.2), 2.6, 50),
          ((42.2, -111.6), (39.2, -111.6), 2.2, 28), ((40.7, -111.0), (40.7, -109.3), 2.0, 25),
          ((41.0, -105.8), (37.2, -106.0), 2.4, 60), ((48.9, -113.8), (43.2, -110.2), 2.0, 60),
          ((45.5, -117.0), (43.6, -114.5), 1.6, 70), ((42.0, -124.0), (38.5, -123.0), 0.9, 35),
          ((39.5, -116.8), (36.5, -116.0), 1.2, 20), ((38.2, -112.6), (36.0, -111.8), 1.0, 80)]
# Rivers as (lat, lon) lines, lakes as (lat, lon, radius km, squash).
RIVERS = [[(48.9, -118.0), (46.2, -119.1), (45.7, -121.5), (46.2, -123.8)],
          [(43.5, -111.9), (42.6, -114.5), (43.8, -117.0), (45.5, -116.8), (46.4, -117.0)],
          [(40.3, -105.8), (39.1, -108.5), (38.2, -110.0), (36.9, -111.5), (36.1, -113.9),
           (35.1, -114.6), (32.7, -114.6)],
          [(40.6, -122.4), (38.6, -121.5), (38.0, -122.2)], [(37.8, -119.4), (37.1, -120.6), (37.8, -121.3)],
          [(37.0, -106.4), (35.1, -106.6), (32.3, -106.8)], [(45.9, -111.5), (47.5, -111.3), (47.8, -104.0)]]
LAKES = [(41.1, -112.5, 40, 0.7), (39.1, -120.05, 9, 1.4), (36.2, -114.4, 12, 0.6), (47.9, -114.1, 12, 1.6),
         (44.45, -110.35, 12, 1.0), (42.9, -122.1, 6, 1.0), (40.05, -119.55, 14, 1.5)]
DATA = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data"))


def mercator(lat, lon):
    return (lon * HALF_WORLD / 180,
            math.log(math.tan((90 + max(-85, min(85, lat))) * math.pi / 360)) * EARTH)


def geographic(x, y):
    return (math.degrees(2 * math.atan(math.exp(y / EARTH)) - math.pi / 2), x * 180 / HALF_WORLD)


def iso(seconds, milliseconds=False):
    moment = datetime.datetime.fromtimestamp(seconds, datetime.timezone.utc)
    return moment.strftime("%Y-%m-%dT%H:%M:%S") + (".000Z" if milliseconds else "Z")


def parse_iso(text):
    try:
        return datetime.datetime.fromisoformat(text.replace("Z", "+00:00")).timestamp()
    except ValueError:
        return None


@functools.lru_cache(maxsize=1)
def storm_cells():
    """(lat, lon, peak dBZ, radius km) of each reported shower, rain, snow or thunderstorm."""
    with open(os.path.join(DATA, "awc", "metar_west.json"), encoding="utf-8") as f:
        reports = json.load(f)
    cells = []
    for report in reports:
        weather = report.get("wxString") or ""
        peak = next((dbz for pattern, dbz in PEAK_DBZ if re.search(pattern, weather)), None)
        if peak is None or "lat" not in report:
            continue
        seed = zlib.crc32(report["icaoId"].encode())
        cells.append((report["lat"] + (seed % 7 - 3) * 0.05, report["lon"] + (seed % 5 - 2) * 0.05,
                      peak, 70 + seed % 60))
    return cells


def scan_times(now):
    """About 60 scans 2 minutes apart, a few seconds irregular, the newest 2–4 minutes ago."""
    newest = int(now // (2 * MINUTE)) * 2 * MINUTE - 2 * MINUTE
    return [t + (zlib.crc32(str(t).encode()) % 40) for t in range(newest - 118 * MINUTE, newest + 1, 2 * MINUTE)]


def png(image, kind="PNG"):
    out = io.BytesIO()
    image.save(out, kind, optimize=False) if kind == "PNG" else image.convert("RGB").save(out, kind, quality=85)
    return out.getvalue()


def to_pixels(bbox, size, lat, lon):
    x, y = mercator(lat, lon)
    minx, miny, maxx, maxy = bbox
    return ((x - minx) / (maxx - minx) * size[0], (maxy - y) / (maxy - miny) * size[1])


def km_to_pixels(bbox, size, lat, km):
    return km * 1000 / math.cos(math.radians(lat)) / (bbox[2] - bbox[0]) * size[0]


def moved(cell, hours):
    """A cell drifted east-north-east for `hours` (negative: before the documents' moment)."""
    lat, lon, peak, radius = cell
    km = DRIFT_KM_PER_HOUR * hours
    return lat + km * 0.3 / 111, lon + km * 0.95 / (111 * math.cos(math.radians(lat))), peak, radius


def radar_picture(bbox, size, hours):
    image = Image.new("RGBA", size, (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    for cell in storm_cells():
        lat, lon, peak, radius = moved(cell, hours)
        cx, cy = to_pixels(bbox, size, lat, lon)
        r = km_to_pixels(bbox, size, lat, radius)
        if cx + r < 0 or cy + r < 0 or cx - r > size[0] or cy - r > size[1]:
            continue
        # Rings from the edge in, each a step stronger, around a few cores of their own.
        seed = int(abs(lat * 1000))
        cores = [(cx + r * ((seed >> k) % 7 - 3) / 8, cy + r * ((seed >> (k + 3)) % 5 - 2) / 8,
                  1 - k * 0.15) for k in range(3)]
        for dbz, colour in DBZ_COLOURS:
            if dbz > peak:
                break
            share = 1 - (dbz - 5) / (peak - 5 + 8)
            for px, py, weight in cores:
                rr = r * share * weight
                draw.ellipse([px - rr, py - rr * 0.65, px + rr, py + rr * 0.65], fill=colour + "ff")
    return image


def cloud_picture(bbox, size, hours, geocolor):
    image = Image.new("RGBA", size, (0, 0, 0, 0) if not geocolor else (38, 58, 46, 255))
    draw = ImageDraw.Draw(image)
    for cell in storm_cells():
        lat, lon, peak, radius = moved(cell, hours)
        cx, cy = to_pixels(bbox, size, lat, lon)
        r = km_to_pixels(bbox, size, lat, radius * 3.2)
        grey = 150 + min(100, (peak - 20) * 3)
        draw.ellipse([cx - r, cy - r * 0.6, cx + r, cy + r * 0.6], fill=(grey, grey, grey, 200))
    blur = max(2, int(size[0] / 40))
    return image.filter(ImageFilter.GaussianBlur(blur))


def distance_km(lat, lon, a, b):
    """Distance from (lat, lon) to the segment a–b, in km on a local flat projection."""
    k = math.cos(math.radians(lat))
    px, py = lon * k, lat
    ax, ay, bx, by = a[1] * k, a[0], b[1] * k, b[0]
    dx, dy = bx - ax, by - ay
    t = max(0, min(1, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy) * 111


def elevation(lat, lon):
    edge = lambda value, low, high: 1 / (1 + math.exp(-(value - low) * 2)) / (1 + math.exp((value - high) * 2))
    height = 0.5 + 0.9 * edge(lon, -120, -108) * edge(lat, 34, 45)
    for a, b, peak, width in RANGES:
        d = distance_km(lat, lon, a, b)
        height += peak * math.exp(-(d / width) ** 2)
    return height


@functools.lru_cache(maxsize=2048)
def relief(z, x, y):
    """Shaded relief of one tile: light from the north-west, on a 33×33 grid blown up smoothly."""
    grid = 33
    span = 2 * HALF_WORLD / 2 ** z
    values = []
    for row in range(grid):
        for column in range(grid):
            mx = -HALF_WORLD + (x + column / (grid - 1)) * span
            my = HALF_WORLD - (y + row / (grid - 1)) * span
            values.append(elevation(*geographic(mx, my)))
    step_km = span / (grid - 1) / 1000
    shade = Image.new("L", (grid, grid))
    for row in range(grid):
        for column in range(grid):
            at = lambda r, c: values[min(grid - 1, max(0, r)) * grid + min(grid - 1, max(0, c))]
            dzdx = (at(row, column + 1) - at(row, column - 1)) / (2 * step_km)
            dzdy = (at(row + 1, column) - at(row - 1, column)) / (2 * step_km)
            light = 0.55 + 18 * (-dzdx + -dzdy) * 0.5 + 0.12 * at(row, column)
            shade.putpixel((column, row), int(max(0, min(1, light)) * 255))
    return shade.resize((256, 256), Image.BICUBIC), values


def tile_bbox(z, x, y):
    span = 2 * HALF_WORLD / 2 ** z
    return (-HALF_WORLD + x * span, HALF_WORLD - (y + 1) * span, -HALF_WORLD + (x + 1) * span, HALF_WORLD - y * span)


def hydro_picture(z, x, y):
    image = Image.new("RGBA", (256, 256), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    bbox = tile_bbox(z, x, y)
    width = max(1, z - 4)
    for river in RIVERS:
        draw.line([to_pixels(bbox, (256, 256), lat, lon) for lat, lon in river], fill=(70, 130, 200, 255), width=width)
    for lat, lon, radius, squash in LAKES:
        cx, cy = to_pixels(bbox, (256, 256), lat, lon)
        r = km_to_pixels(bbox, (256, 256), lat, radius)
        draw.ellipse([cx - r, cy - r / squash, cx + r, cy + r / squash], fill=(80, 140, 210, 255))
    return image


def topo_picture(z, x, y):
    shade, values = relief(z, x, y)
    heights = Image.new("L", (33, 33))
    heights.putdata([int(min(255, v * 70)) for v in values])
    heights = heights.resize((256, 256), Image.BICUBIC)
    colours = Image.merge("RGB", (heights.point(lambda v: 200 + v // 5), heights.point(lambda v: 215 - v // 6),
                                   heights.point(lambda v: 170 - v // 3)))
    bands = heights.point(lambda v: 255 if v % 35 < 2 else 0)
    colours.paste((150, 110, 70), mask=bands)
    picture = Image.blend(colours, Image.merge("RGB", (shade, shade, shade)), 0.25).convert("RGBA")
    picture.alpha_composite(hydro_picture(z, x, y))
    return picture


def capabilities(now):
    times = ",".join(iso(t, milliseconds=True) for t in scan_times(now))
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<WMS_Capabilities version="1.3.0" xmlns="http://www.opengis.net/wms" xmlns:xlink="http://www.w3.org/1999/xlink">
<Service><Name>WMS</Name><Title>Demo radar</Title></Service>
<Capability><Request><GetMap><Format>image/png</Format></GetMap></Request>
<Layer><Title>conus</Title><CRS>EPSG:3857</CRS>
<Layer queryable="1" opaque="0"><Name>conus_bref_qcd</Name><Title>Base reflectivity (QC)</Title><CRS>EPSG:3857</CRS>
<Dimension name="time" default="current" units="ISO8601">{times}</Dimension>
</Layer></Layer></Capability></WMS_Capabilities>
""".encode()


def domains(now):
    end = int((now - SATELLITE_LATENCY) // (10 * MINUTE)) * 10 * MINUTE
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<Domains xmlns="http://demo.geo-solutions.it/share/wmts-multidim/wmts_multi_dimensional.xsd" xmlns:ows="http://www.opengis.net/ows/1.1">
<SpaceDomain><BoundingBox CRS="EPSG:3857" minx="-20037508.34" miny="-20037508.34" maxx="20037508.34" maxy="20037508.34"/></SpaceDomain>
<DimensionDomain><ows:Identifier>time</ows:Identifier><Domain>{iso(end - 30 * 86400)}/{iso(end)}/PT10M</Domain><Size>1</Size></DimensionDomain>
</Domains>
""".encode()


EXCEPTION = b"""<?xml version="1.0" encoding="UTF-8"?>
<ServiceExceptionReport version="1.3.0" xmlns="http://www.opengis.net/ogc">
<ServiceException code="InvalidDimensionValue">Time value not available</ServiceException></ServiceExceptionReport>
"""
FRAME_HEADERS = (("Access-Control-Allow-Origin", "*"), ("Cache-Control", "max-age=120"))


def query_of(target):
    query = target.split("?", 1)[1] if "?" in target else ""
    pairs = (part.split("=", 1) for part in query.split("&") if "=" in part)
    from urllib.parse import unquote_plus
    return {key.lower(): unquote_plus(value) for key, value in pairs}


def getmap(query, listed, draw):
    """A GetMap answer: the picture for a listed time, else the exception document with 200."""
    try:
        bbox = tuple(float(n) for n in query["bbox"].split(","))
        size = (min(1024, int(query.get("width", 256))), min(1024, int(query.get("height", 256))))
        moment = parse_iso(query.get("time", ""))
    except (KeyError, ValueError):
        return 200, "application/vnd.ogc.se_xml", EXCEPTION
    if moment is None or not listed(moment) or len(bbox) != 4 or bbox[2] <= bbox[0] or bbox[3] <= bbox[1]:
        return 200, "application/vnd.ogc.se_xml", EXCEPTION
    return 200, "image/png", png(draw(bbox, size, moment))


def answer(host, target, now):
    """(status, content type, body, headers) for a request of an imagery host at `now` (Unix
    seconds), or None for another host. The newest frame shows the weather the METARs report."""
    if host not in HOSTS:
        return None
    if Image is None:
        return 503, "text/plain", b"python3-pil is not installed", FRAME_HEADERS
    query = query_of(target)
    newest_scan = scan_times(now)[-1]
    hours_since = lambda moment: (moment - newest_scan) / 3600
    if host == "opengeo.ncep.noaa.gov" and target.startswith("/geoserver/conus/conus_bref_qcd/ows"):
        if query.get("request", "").lower() == "getcapabilities":
            return 200, "application/vnd.ogc.wms_xml", capabilities(now), FRAME_HEADERS
        listed = set(scan_times(now))
        return (*getmap(query, lambda m: int(m) in listed,
                        lambda bbox, size, m: radar_picture(bbox, size, hours_since(m))), FRAME_HEADERS)
    if host == "gibs.earthdata.nasa.gov" and target.startswith("/wmts/epsg3857/best/wmts.cgi"):
        if query.get("request", "").lower() == "describedomains":
            return 200, "text/xml", domains(now), FRAME_HEADERS
    if host == "gibs.earthdata.nasa.gov" and target.startswith("/wms/epsg3857/best/wms.cgi"):
        end = int((now - SATELLITE_LATENCY) // (10 * MINUTE)) * 10 * MINUTE
        geocolor = "GeoColor" in query.get("layers", "")
        return (*getmap(query, lambda m: m <= end and int(m) % (10 * MINUTE) == 0,
                        lambda bbox, size, m: cloud_picture(bbox, size, hours_since(m), geocolor)), FRAME_HEADERS)
    match = re.match(r"^/arcgis/rest/services/(\w+)/MapServer/tile/(\d+)/(\d+)/(\d+)$", target)
    if host == "basemap.nationalmap.gov" and match:
        service, z, y, x = match[1], int(match[2]), int(match[3]), int(match[4])
        if z > 16 or x >= 2 ** z or y >= 2 ** z:
            return 404, "text/plain", b"Tile not found", FRAME_HEADERS
        if service == "USGSShadedReliefOnly":
            return 200, "image/jpeg", png(relief(z, x, y)[0], "JPEG"), FRAME_HEADERS
        if service == "USGSHydroCached":
            return 200, "image/png", png(hydro_picture(z, x, y)), FRAME_HEADERS
        if service == "USGSTopo":
            return 200, "image/jpeg", png(topo_picture(z, x, y), "JPEG"), FRAME_HEADERS
    return 404, "text/plain", b"Not found", FRAME_HEADERS
