"""Single-linkage clusters on the sphere against the all-pairs definition.

Random stop sets in a city, around a pole and across the 180th meridian, at
radii from 0 to larger than the set: the grid must link exactly the pairs that
a plain union over every pair within the radius links.
"""

import math
import os
import random
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))

from gtfs import proximity  # noqa: E402


def all_pairs(points, radius):
    label = list(range(len(points)))
    for i in range(len(points)):
        for j in range(i + 1, len(points)):
            if proximity.great_circle_m(points[i], points[j]) <= radius:
                old, new = max(label[i], label[j]), min(label[i], label[j])
                label = [new if x == old else x for x in label]
    return label


class Clusters(unittest.TestCase):
    def test_grid_links_exactly_the_pairs_within_the_radius(self):
        rng = random.Random(7)
        areas = [(52.0, 4.0, 0.05, 0.08), (89.99, 0.0, 0.005, 180.0), (-0.5, 179.995, 0.005, 0.01)]
        for lat, lon, dlat, dlon in areas:
            points = []
            for _ in range(150):
                lon_i = lon + rng.uniform(-dlon, dlon)
                points.append((min(90.0, lat + rng.uniform(-dlat, dlat)),
                               (lon_i + 180) % 360 - 180))
            points += points[:5]  # coincident stops
            for radius in (0.0, 50.0, 150.0, 400.0, 2e7):
                with self.subTest(area=(lat, lon), radius=radius):
                    self.assertEqual(proximity.clusters(points, radius), all_pairs(points, radius))

    def test_great_circle_distance(self):
        # One degree of latitude, and a quarter of the equator.
        self.assertAlmostEqual(proximity.great_circle_m((52, 4), (53, 4)), 111195.08, places=1)
        self.assertAlmostEqual(proximity.great_circle_m((0, 179.5), (0, -90.5)),
                               math.pi / 2 * proximity.EARTH_RADIUS_M, places=3)


if __name__ == "__main__":
    unittest.main()
