"""The advertisement area and its rotation against the lab's pictures, over
HTTPS (the lab's CA) and plain HTTP."""

import os
import struct
import subprocess
import tempfile
import unittest

from harness import EndToEndTest


def probe_program():
    program = os.environ.get("ADS_PROBE")
    if not program or not os.path.exists(program):
        raise unittest.SkipTest("ads_probe not built (set ADS_PROBE)")
    return program


def gif_screen(width, height, frames):
    """A GIF of 1x1 frames on a screen of the given size."""
    gif = b"GIF89a" + struct.pack("<HHBBB", width, height, 0x80, 0, 0) + b"\0\0\0\xff\xff\xff"
    frame = b"\x21\xf9\x04\x00\x0a\x00\x00\x00" + b"\x2c\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0"
    return gif + frame * frames + b";"


class AdsTest(EndToEndTest):
    block = 95

    def setUp(self):
        super().setUp()
        self.program = probe_program()
        self.address = self.network.lab_address(0)
        self.https = "https://%s:2743/ads/" % self.address
        self.http = "http://%s:2780/ads/" % self.address
        self.work = tempfile.TemporaryDirectory()
        self.addCleanup(self.work.cleanup)
        self.tls = os.path.join(self.work.name, "tls")
        self.ca = os.path.join(self.tls, "ca.pem")

    def lab(self, *extra):
        return self.start_lab(extra=["--tls-dir", self.tls] + list(extra))

    def probe(self, *args, code=0):
        done = subprocess.run([self.program] + list(args), capture_output=True, text=True,
                              timeout=150, cwd=self.work.name)
        self.assertEqual(done.returncode, code, done.stdout + done.stderr)
        return done.stdout.splitlines()

    def show(self, url, ca=None):
        lines = self.probe("show", url, self.ca if ca is None else ca)
        return dict(line.split("=", 1) for line in lines)

    def test_lab_pictures(self):
        lab = self.lab()
        rows = [
            # picture, frames, size, how long each frame shows (ms)
            (self.https + "animated.gif", "3", "160x60", "100,500,2000"),
            (self.http + "animated.gif", "3", "160x60", "100,500,2000"),
            (self.https + "still.bmp", "1", "160x60", "0"),
        ]
        for url, frames, size, delays in rows:
            with self.subTest(url=url):
                shown = self.show(url)
                self.assertEqual((shown["ok"], shown["frames"], shown["size"], shown["delays"]),
                                 ("1", frames, size, delays), shown["error"])
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

    def test_ads_folder(self):
        folder = os.path.join(self.work.name, "ads")
        os.mkdir(folder)
        with open(os.path.join(folder, "five.gif"), "wb") as handle:
            handle.write(gif_screen(2, 2, 5))
        lab = self.lab("--ads-dir", folder)
        self.assertEqual(self.show(self.https + "five.gif")["frames"], "5")
        # Only the folder's own files: the lab's pictures and paths out of it are not there.
        for name in ("animated.gif", "..%2Ftls%2Fca.pem"):
            with self.subTest(name=name):
                self.assertIn("Not Found", self.show(self.https + name)["error"])
        statuses = [r["status"] for r in lab.command("web-requests")["requests"]]
        self.assertEqual(statuses, [200, 404, 404])

    def test_rotation_skips_a_failing_picture(self):
        lab = self.lab()
        with open(os.path.join(self.work.name, "local.gif"), "wb") as handle:
            handle.write(gif_screen(2, 2, 2))
        lines = self.probe("rotate", self.ca,
                           self.https + "animated.gif,1,http://lab.invalid/rates",
                           self.https + "missing.gif,1,http://lab.invalid/none",
                           self.http + "still.bmp,1",
                           "local.gif,1,http://lab.invalid/local")
        self.assertEqual(lines, ["entry=0 frames=3 link=http://lab.invalid/rates",
                                 "entry=1 frames=0 link=",
                                 "entry=2 frames=1 link=",
                                 "entry=3 frames=2 link=http://lab.invalid/local"])
        paths = [r["path"] for r in lab.command("web-requests")["requests"]]
        self.assertEqual(paths[:3], ["/ads/animated.gif", "/ads/missing.gif", "/ads/still.bmp"])

    def test_screenshot_of_the_animation(self):
        self.lab()
        png = os.environ.get("ADS_SCREENSHOT") or os.path.join(self.work.name, "ad.png")
        os.makedirs(os.path.dirname(os.path.abspath(png)), exist_ok=True)
        shown = dict(line.split("=", 1) for line in
                     self.probe("show", self.https + "animated.gif", self.ca, png))
        self.assertEqual(shown["ok"], "1", shown["error"])
        with open(png, "rb") as handle:
            head = handle.read(24)
        self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(struct.unpack(">II", head[16:24]), (160, 60))


if __name__ == "__main__":
    unittest.main()
