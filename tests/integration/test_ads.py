"""The advertisement area against the lab's pictures, over HTTPS (the lab's
CA) and plain HTTP; the rotation is walked by tests/app/ads."""

import os
import struct
import subprocess

from harness import EndToEndTest, built_program



class AdsTest(EndToEndTest):
    block = 95

    def setUp(self):
        super().setUp()
        self.program = built_program("ads_probe", "ADS_PROBE")
        self.address = self.network.lab_address(0)
        self.https = "https://%s:2743/ads/" % self.address
        self.http = "http://%s:2780/ads/" % self.address
        self.tls = os.path.join(self.folder, "tls")
        self.ca = os.path.join(self.tls, "ca.pem")

    def lab(self, *extra):
        return self.start_lab(extra=["--tls-dir", self.tls] + list(extra))

    def probe(self, *args, code=0):
        done = subprocess.run([self.program] + list(args), capture_output=True, text=True,
                              timeout=150, cwd=self.folder)
        self.assertEqual(done.returncode, code, done.stdout + done.stderr)
        return done.stdout.splitlines()

    def show(self, url, ca=None, *picture):
        lines = self.probe("show", url, self.ca if ca is None else ca, *picture)
        return dict(line.split("=", 1) for line in lines)

    def test_lab_pictures(self):
        lab = self.lab()
        png = os.environ.get("ADS_SCREENSHOT") or os.path.join(self.folder, "ad.png")
        os.makedirs(os.path.dirname(os.path.abspath(png)), exist_ok=True)
        rows = [
            # picture, frames, size, how long each frame shows (ms)
            (self.https + "animated.gif", "3", "160x60", "100,500,2000"),
            (self.http + "animated.gif", "3", "160x60", "100,500,2000"),
            (self.https + "still.bmp", "1", "160x60", "0"),
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
            (self.https + "missing.gif", None, "not found"),
            (self.https + "animated.gif", "", "certificate"),  # the lab's CA not trusted
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
