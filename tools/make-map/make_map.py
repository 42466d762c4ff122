#!/usr/bin/env python3
"""Draws the world map of the server details dialog and its two location pins.

Writes, under the resources folder:
- images/world.png (800 x 400) and images/world@2x.png (1600 x 800): the land of
  the whole globe in an equirectangular projection, x = (lon + 180) * W / 360 and
  y = (90 - lat) * H / 180, so that the program can place a pin with the same
  formula;
- images/location_pin.png (the server) and images/location_pin2.png (the user),
  30 x 30 with the tip 15 px right of and 27 px below the top-left corner, and
  their @2x versions at 60 x 60.

The land comes from Natural Earth's 1:50m land polygons (public domain,
naturalearthdata.com), as TopoJSON in the npm package world-atlas 2.x
(ISC licence, Copyright Michael Bostock). Without a file named on the command
line the script fetches the package with `npm pack world-atlas@2` into a
temporary folder and reads land-50m.json from the tarball; a path to that file
(or to land-110m.json, countries-*.json) works offline.

Only the standard library is used: the polygons are filled with an even-odd
scanline rule, four sub-scanlines per pixel and exact horizontal coverage, and
the PNG files are written with zlib by make_images.py's writer. The output is deterministic, so running
the script again changes nothing. The build does not run it; the pictures are
kept in the repository.

    python3 tools/make-map/make_map.py [--json land-50m.json] [resources folder]
"""

import argparse
import json
import math
import os
import subprocess
import sys
import tarfile
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "make-images"))
from make_images import rgb, write_png_rows  # noqa: E402

PACKAGE = "world-atlas@2"
MEMBER = "package/land-50m.json"

MAP_SIZE = (800, 400)
PIN_SIZE = 30
# The tip is pixel (15, 27): the program puts that pixel on the place.
PIN_TIP = (15.5, 27.5)
SUB_SCANLINES = 4
PIN_SAMPLES = 6  # per axis and pixel


OCEAN = rgb("f4f7fa")
LAND = rgb("c9d5e2")
# The server pin in the program's accent blue, the user's in a warm orange.
SERVER_PIN = (rgb("2f85de"), rgb("1c60a8"))
USER_PIN = (rgb("f08a24"), rgb("b85f0c"))
WHITE = rgb("ffffff")


# --- TopoJSON ----------------------------------------------------------------

def decode_arcs(topology):
    """The arcs as lists of (lon, lat): quantized arcs are delta-encoded."""
    transform = topology.get("transform")
    arcs = []
    for arc in topology["arcs"]:
        points = []
        if transform:
            (sx, sy), (tx, ty) = transform["scale"], transform["translate"]
            x = y = 0
            for dx, dy, *_ in arc:
                x += dx
                y += dy
                points.append((x * sx + tx, y * sy + ty))
        else:
            points = [(p[0], p[1]) for p in arc]
        arcs.append(points)
    return arcs


def ring_points(indices, arcs):
    """A ring from its arcs; ~i is arc i reversed, and each arc after the first
    repeats the last point of the one before."""
    points = []
    for index in indices:
        arc = arcs[index] if index >= 0 else arcs[~index][::-1]
        points.extend(arc[1:] if points else arc)
    return points


def land_rings(topology):
    """Every ring of every polygon in the topology's first object that has any
    ("land" in the land files; in the countries files, "land" is there too)."""
    arcs = decode_arcs(topology)
    objects = topology["objects"]
    name = "land" if "land" in objects else sorted(objects)[0]
    rings = []

    def visit(geometry):
        kind = geometry["type"]
        if kind == "GeometryCollection":
            for child in geometry["geometries"]:
                visit(child)
        elif kind == "Polygon":
            rings.extend(ring_points(ring, arcs) for ring in geometry["arcs"])
        elif kind == "MultiPolygon":
            for polygon in geometry["arcs"]:
                rings.extend(ring_points(ring, arcs) for ring in polygon)

    visit(objects[name])
    return rings


def load_topology(path):
    if path:
        with open(path, "rb") as f:
            return json.load(f)
    with tempfile.TemporaryDirectory() as folder:
        subprocess.run(["npm", "pack", "--silent", PACKAGE], cwd=folder, check=True,
                       stdout=subprocess.DEVNULL)
        tarballs = [name for name in os.listdir(folder) if name.endswith(".tgz")]
        if len(tarballs) != 1:
            sys.exit("npm pack %s left %d tarballs" % (PACKAGE, len(tarballs)))
        with tarfile.open(os.path.join(folder, tarballs[0])) as tarball:
            return json.load(tarball.extractfile(MEMBER))


# --- Filling -----------------------------------------------------------------

def unwrapped_copies(ring):
    """The ring as closed polygons in longitude -180..180 and beyond.

    Natural Earth cuts most land at the antimeridian, but a few rings cross it
    (Chukotka, Wrangel Island, Fiji) and Antarctica's goes once around the pole,
    each with a jump of nearly 360 degrees that would streak across the map.
    The ring is made continuous; one that ends a full turn from its start is
    closed along the nearer pole; then it is repeated one turn to either side,
    where it reaches into the map."""
    points = [ring[0]]
    for lon, lat in ring[1:]:
        previous = points[-1][0]
        lon += 360.0 * round((previous - lon) / 360.0)
        points.append((lon, lat))
    closing = ring[0][0] + 360.0 * round((points[-1][0] - ring[0][0]) / 360.0)
    if closing != ring[0][0]:
        pole = -90.0 if sum(lat for _, lat in ring) < 0 else 90.0
        points += [(closing, ring[0][1]), (closing, pole), (ring[0][0], pole)]
    low = min(lon for lon, _ in points)
    high = max(lon for lon, _ in points)
    return [[(lon + shift, lat) for lon, lat in points]
            for shift in (-360.0, 0.0, 360.0) if low + shift < 180.0 and high + shift > -180.0]


def coverage(rings, width, height):
    """Rows of land coverage (0..1) per pixel, even-odd over all rings."""
    edges = []
    for ring in (copy for ring in rings for copy in unwrapped_copies(ring)):
        projected = [((lon + 180.0) * width / 360.0, (90.0 - lat) * height / 180.0) for lon, lat in ring]
        for (x0, y0), (x1, y1) in zip(projected, projected[1:] + projected[:1]):
            if y0 == y1:
                continue
            if y0 > y1:
                x0, y0, x1, y1 = x1, y1, x0, y0
            edges.append((y0, y1, x0, (x1 - x0) / (y1 - y0)))
    edges.sort()

    rows = []
    active = []
    next_edge = 0
    for row in range(height):
        cells = [0.0] * (width + 1)
        runs = [0] * (width + 2)  # difference array of whole covered pixels
        for sub in range(SUB_SCANLINES):
            y = row + (sub + 0.5) / SUB_SCANLINES
            while next_edge < len(edges) and edges[next_edge][0] <= y:
                active.append(edges[next_edge])
                next_edge += 1
            active = [edge for edge in active if edge[1] > y]
            crossings = sorted(x0 + (y - y0) * slope for y0, y1, x0, slope in active if y0 <= y)
            for a, b in zip(crossings[0::2], crossings[1::2]):
                a, b = max(a, 0.0), min(b, float(width))
                if b <= a:
                    continue
                ia, ib = int(a), int(b)
                if ia == ib:
                    cells[ia] += b - a
                    continue
                cells[ia] += ia + 1 - a
                runs[ia + 1] += 1
                runs[ib] -= 1
                cells[ib] += b - ib
        level = 0
        values = []
        for x in range(width):
            level += runs[x]
            values.append(min(1.0, (cells[x] + level) / SUB_SCANLINES))
        rows.append(values)
    return rows


def world_rows(rings, width, height):
    rows = []
    for values in coverage(rings, width, height):
        row = bytearray()
        for t in values:
            row.extend(round(o + (l - o) * t) for o, l in zip(OCEAN, LAND))
        rows.append(bytes(row))
    return rows


# --- Pins --------------------------------------------------------------------
# A teardrop in pin units (the 30 px pin): a round head whose sides run as
# tangents down to the tip, with a white dot in the head and a soft shadow
# under the tip.

HEAD = (15.5, 11.5, 9.5)  # centre x, centre y, radius
DOT = 3.6
OUTLINE = 1.1


def teardrop_distance(x, y):
    """Signed distance to the teardrop's edge, negative inside."""
    cx, cy, r = HEAD
    tx, ty = PIN_TIP
    d = math.hypot(x - cx, y - cy) - r
    # The tangents from the tip to the head.
    length = ty - cy
    half_angle = math.asin(r / length)
    ux, uy = (x - tx), (y - ty)
    # Angle of the point seen from the tip, measured from straight up.
    angle = math.atan2(ux, -uy)
    along = math.hypot(ux, uy)
    if abs(angle) <= half_angle and along * math.cos(angle) <= length * math.cos(half_angle) ** 2 + 1e-9:
        side = along * math.sin(abs(angle) - half_angle)
        return min(d, side)
    return d


def pin_colour(x, y, colours):
    fill, edge = colours
    d = teardrop_distance(x, y)
    if d <= 0:
        cx, cy, _ = HEAD
        if math.hypot(x - cx, y - cy) <= DOT:
            return WHITE + (255,)
        if d > -OUTLINE:
            return edge + (255,)
        # A little light from the upper left.
        shade = max(0.0, min(1.0, ((x - cx) + (y - cy)) / 24.0 + 0.5))
        return tuple(min(255, round(c * (1.08 - 0.16 * shade))) for c in fill) + (255,)
    # The shadow: a flat ellipse where the tip meets the ground.
    tx, ty = PIN_TIP
    e = ((x - tx) / 5.0) ** 2 + ((y - ty - 0.5) / 1.8) ** 2
    if e < 1.0:
        return (0, 0, 0, round(70 * (1.0 - e)))
    return None


def pin_rows(colours, scale):
    size = PIN_SIZE * scale
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(PIN_SAMPLES):
                for sx in range(PIN_SAMPLES):
                    x = (px + (sx + 0.5) / PIN_SAMPLES) / scale
                    y = (py + (sy + 0.5) / PIN_SAMPLES) / scale
                    colour = pin_colour(x, y, colours)
                    if colour:
                        weight = colour[3] / 255.0
                        r += colour[0] * weight
                        g += colour[1] * weight
                        b += colour[2] * weight
                        a += weight
            n = PIN_SAMPLES * PIN_SAMPLES
            if a == 0:
                row.extend((0, 0, 0, 0))
            else:
                row.extend((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
        rows.append(bytes(row))
    return rows


# --- Main --------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--json", help="a world-atlas TopoJSON file instead of fetching the package")
    parser.add_argument("resources", nargs="?",
                        default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "resources"))
    args = parser.parse_args()

    images = os.path.join(args.resources, "images")
    os.makedirs(images, exist_ok=True)
    rings = land_rings(load_topology(args.json))
    for scale, suffix in ((1, ""), (2, "@2x")):
        width, height = MAP_SIZE[0] * scale, MAP_SIZE[1] * scale
        write_png_rows(os.path.join(images, "world%s.png" % suffix), width, height,
                  world_rows(rings, width, height), alpha=False)
        for name, colours in (("location_pin", SERVER_PIN), ("location_pin2", USER_PIN)):
            size = PIN_SIZE * scale
            write_png_rows(os.path.join(images, "%s%s.png" % (name, suffix)), size, size,
                      pin_rows(colours, scale), alpha=True)


if __name__ == "__main__":
    main()
