"""Single-linkage clusters of points on the Earth within a radius.

Two points are linked when their great-circle distance (haversine formula, on
a sphere of the Earth's mean radius) is at most the radius; clusters are the
connected components of that relation, so a chain of points each close to the
next forms one cluster even when its ends lie far apart.

Instead of comparing all pairs, each point goes into a cube of a 3D grid over
its position on the unit sphere, with cube side the chord that the radius
spans. Two linked points are at most that chord apart in a straight line, so
they lie in the same or in neighbouring cubes; only those pairs are measured.
This works the same at the poles and across the 180th meridian. A union-find
forest with path halving joins the linked points.

Cost: O(n) to bin, then one distance per pair of points in neighbouring cubes;
near O(n) for stops spread over a city, O(n^2) only when all points crowd
into a few cubes (a radius as large as the network).
"""

import math

EARTH_RADIUS_M = 6371008.8


def great_circle_m(a, b):
    """Distance in metres between two (latitude, longitude) pairs in degrees."""
    lat1, lon1 = math.radians(a[0]), math.radians(a[1])
    lat2, lon2 = math.radians(b[0]), math.radians(b[1])
    h = (math.sin((lat2 - lat1) / 2) ** 2
         + math.cos(lat1) * math.cos(lat2) * math.sin((lon2 - lon1) / 2) ** 2)
    return 2 * EARTH_RADIUS_M * math.asin(min(1.0, math.sqrt(h)))


def _unit_vector(point):
    lat, lon = math.radians(point[0]), math.radians(point[1])
    return (math.cos(lat) * math.cos(lon), math.cos(lat) * math.sin(lon), math.sin(lat))


def clusters(points, radius_m):
    """A label per point: the index of the first point of its cluster."""
    parent = list(range(len(points)))

    def root(i):
        while parent[i] != i:
            parent[i] = parent[parent[i]]
            i = parent[i]
        return i

    half_angle = min(radius_m / EARTH_RADIUS_M / 2, math.pi / 2)
    # A little wider than the chord, so rounding cannot push a linked pair
    # two cubes apart; the distance test below decides.
    side = max(2 * math.sin(half_angle) * (1 + 1e-9), 1e-12)
    cubes = {}
    for index, point in enumerate(points):
        x, y, z = _unit_vector(point)
        cubes.setdefault((math.floor(x / side), math.floor(y / side), math.floor(z / side)),
                         []).append(index)
    for (cx, cy, cz), members in cubes.items():
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                for dz in (-1, 0, 1):
                    others = cubes.get((cx + dx, cy + dy, cz + dz))
                    if others is None:
                        continue
                    for i in members:
                        for j in others:
                            if i < j and root(i) != root(j) and \
                                    great_circle_m(points[i], points[j]) <= radius_m:
                                parent[max(root(i), root(j))] = min(root(i), root(j))
    return [root(i) for i in range(len(points))]
