"""The advertisement area against the lab's pictures, over HTTPS (the lab's
CA) and plain HTTP; the rotation is walked by tests/app/ads."""

import os
import struct

from harness import EndToEndTest


class AdsTest(EndToEndTest):
    block = 95

    def show(self, url, ca=None, *picture):
        ca = os.path.join(self.folder, "ca.pem") if ca is None else ca
        lines = self.run_probe("ads_probe", "ADS_PROBE", "show", url, ca, *picture, timeout=150)
        return dict(line.split("=", 1) for line in lines)

    def test_lab_pictures(self):
        lab = self.start_lab(extra=["--tls-dir", self.folder])
        https, http = ("%s://%s:%d/ads/" % (scheme, self.network.lab_address(), port)
                       for scheme, port in (("https", 2743), ("http", 2780)))
        png = os.environ.get("ADS_SCREENSHOT") or os.path.join(self.folder, "ad.png")
        os.makedirs(os.path.dirname(os.path.abspath(png)), exist_ok=True)
        rows = [
            # picture, frames, size, how long each frame shows (ms)
            (https + "animated.gif", "3", "160x60", "100,500,2000"),
            (http + "animated.gif", "3", "160x60", "100,500,2000"),
            (https + "still.bmp", "1", "160x60", "0"),
        ]
        for url, frames, size, delays in rows:
            with self.subTest(url=url):
                shown = self.show(url, None, *([png] if url == rows[0][0] else []))
                self.assertEqual((shown["ok"], shown["frames"], shown["size"], shown["delays"]),
                                 ("1", frames, size, delays), shown["error"])
        # A screenshot of the animation, at its size.
        with open(png, "rb") as handle:
            head = handle.read(24)
        self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(struct.unpack(">II", head[16:24]), (160, 60))
        failing = [
            (https + "missing.gif", None, "not found"),
            (https + "animated.gif", "", "certificate"),  # the lab's CA not trusted
        ]
        for url, ca, why in failing:
            with self.subTest(url=url, ca=ca):
                shown = self.show(url, ca)
                self.assertEqual((shown["ok"], shown["frames"]), ("0", "0"))
                self.assertIn(why, shown["error"].lower())
        served = [(r["scheme"], r["path"], r["status"])
                  for r in lab.command("web-requests")["requests"]]
        self.assertEqual(served, [("https", "/ads/animated.gif", 200),
                                  ("http", "/ads/animated.gif", 200),
                                  ("https", "/ads/still.bmp", 200),
                                  ("https", "/ads/missing.gif", 404)])
