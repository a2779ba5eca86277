"""The application's web requests against the lab's HTTPS and HTTP services
(the version check's outcomes are walked by tests/app/web)."""

import os
import time

from harness import EndToEndTest

ALMA = "Alma,Berg,7001,0,alma@lab.invalid,1,,K7001,lab,2191001,%s,127.0.0.1,2740"
UNREACHABLE = "box=error caption=Error text=An error occured trying to reach your web service."


class WebServicesTest(EndToEndTest):
    block = 87

    def setUp(self):
        super().setUp()
        self.address = self.network.lab_address(0)
        self.https = "%s:2743" % self.address
        self.http = "%s:2780" % self.address
        self.ca = os.path.join(self.folder, "ca.pem")

    def lab(self, variant="good"):
        return self.start_lab(extra=["--tls-dir", self.folder, "--tls-variant", variant])

    def probe(self, *args):
        return [line for line in self.run_probe("web_probe", "WEB_PROBE", *args)
                if not line.startswith("elapsed_ms=")]

    def pin(self, record, owner="DialdeckLab", ca=None):
        return self.probe("pin", record, owner, self.https, "verify/pin.asp",
                          self.ca if ca is None else ca)[0]

    def check(self, url_update, answers=""):
        return self.probe("check", url_update, answers, self.ca)

    def test_pin_page(self):
        lab = self.lab()
        rows = [
            # record, owner key, trusted CA file, verdict
            (ALMA % "1234", "DialdeckLab", None, "verdict=valid"),
            (ALMA % "9999", "DialdeckLab", None, "verdict=invalid"),
            (ALMA % "1234", "SomeoneElse", None, "verdict=invalid"),
            ("2191001", "DialdeckLab", None, "verdict=valid"),  # a one-field record
            ("2199999", "DialdeckLab", None, "verdict=invalid"),
            (ALMA % "1234", "DialdeckLab", "", "verdict=failed"),  # system CAs only
        ]
        for record, owner, ca, verdict in rows:
            with self.subTest(record=record, owner=owner, ca=ca):
                self.assertEqual(self.pin(record, owner, ca), verdict)
        self.assertTrue(lab.command("web-pin false")["ok"])
        self.assertEqual(self.pin(ALMA % "1234"), "verdict=invalid")
        # Plain HTTP never checks a PIN.
        lines = self.probe("get", "http://%s/verify/pin.asp&PIN=2191001&ownerKey=DialdeckLab"
                           % self.http)
        self.assertEqual(lines[:2], ["ok=0", "status=403"])
        requests = lab.command("web-requests")["requests"]
        self.assertEqual(len(requests), 7)  # the untrusted handshake never reached the page
        self.assertTrue(all("PIN=****&ownerKey=" in r["path"] for r in requests))
        self.assertFalse(any("1234" in r["path"] for r in requests))

    def test_bad_certificates_refused(self):
        for variant in ("expired", "wrong-name", "unknown-ca"):
            with self.subTest(variant=variant):
                lab = self.lab(variant)
                self.assertEqual(self.pin(ALMA % "1234")[:len("verdict=failed")],
                                 "verdict=failed")
                lines = self.check("https://%s;version.xml" % self.https)
                self.assertEqual(lines, [UNREACHABLE, "outcome=go_on"])
                self.assertEqual(lab.command("web-requests")["requests"], [])
                lab.stop()
                self.labs.remove(lab)

    def test_version_answers(self):
        lab = self.lab()
        url = "https://%s;version.xml" % self.https
        rows = [
            # lab command, answers, expected lines
            ("web-version 2.0.0.10", "y", ["box=ask caption=New Version Available answer=yes",
                                           "open=http://download.invalid/get",
                                           "outcome=exit_for_download"]),
            ("web-version 2.0.0.6 false other", "n",
             ["box=ask caption=New Flavor Available answer=no", "outcome=go_on"]),
        ]
        for command, answers, expected in rows:
            with self.subTest(command=command, answers=answers):
                self.assertTrue(lab.command(command)["ok"])
                self.assertEqual(self.check(url, answers), expected)
        # Plain HTTP when the host says so.
        lab.command("web-version 2.0.0.6")
        self.assertEqual(self.check("http://%s;version.xml" % self.http), ["outcome=go_on"])
        self.assertEqual(lab.command("web-requests")["requests"][-1]["scheme"], "http")

    def test_a_hanging_service_and_a_closed_port_show_one_error(self):
        lab = self.lab()
        self.assertTrue(lab.command("web-mode version hang")["ok"])
        started = time.monotonic()
        self.assertEqual(self.check("https://%s;version.xml" % self.https),
                         [UNREACHABLE, "outcome=go_on"])
        self.assertTrue(14 <= time.monotonic() - started < 25)  # the 15 s time-out
        self.assertEqual(self.check("http://%s:9;version.xml" % self.address),  # nothing listens
                         [UNREACHABLE, "outcome=go_on"])
