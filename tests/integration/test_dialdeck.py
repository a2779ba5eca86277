"""The dialdeck program end to end (real control and engine, virtual audio),
driven on its own Xvfb display; a picture of the window for people."""

import os

from dialdeck_process import Dialdeck, Display, wait_until, write_app_folder
from harness import ROOT, EndToEndTest

ARTIFACT = os.path.join(os.environ.get("BUILD_DIR", os.path.join(ROOT, "build")), "artifacts",
                        "dialdeck-call.png")


class DialdeckTest(EndToEndTest):
    block = 91

    def test_login_call_to_600_timer_and_recent_numbers(self):
        display = Display(self.block)
        self.addCleanup(display.stop)
        app = os.path.join(self.folder, "app")
        os.mkdir(app)
        lab = self.start_lab(extra=["--tls-dir", self.folder])
        write_app_folder(app, self.network.lab_address(), self.folder)
        if os.path.exists(ARTIFACT):
            os.unlink(ARTIFACT)
        program = Dialdeck(display, app, self.network.phone_address(), {"DIALDECK_GRAB": ARTIFACT})
        self.addCleanup(program.stop)
        dialog = display.window("Login to Dialdeck")
        self.assertTrue(dialog, "no login dialog\n" + program.stderr())
        display.type_into(dialog, ("type", "2191001"), ("key", "Tab"), ("type", "1234"),
                          ("key", "Return"))
        endpoint = wait_until(lambda: next((e for e in lab.command("endpoints")["endpoints"]
                                            if e.get("registered")), None), 20)
        self.assertTrue(endpoint, "no registration\n" + program.stderr())
        self.assertEqual((endpoint["account"], endpoint["pin"]), ("2191001", "1234"))

        web = [r["path"] for r in lab.command("web-requests")["requests"]]
        self.assertTrue(any("version.xml" in w for w in web), web)
        self.assertTrue(any("PIN=****" in w for w in web), web)
        codes = [r["code"] for r in lab.command("directory-requests")["requests"]]
        self.assertEqual(codes[:2], [9, 22])

        window = display.window("Dialdeck")
        self.assertTrue(window)
        display.type_into(window, ("type", "600"), ("key", "Return"))
        call = wait_until(lambda: [c for c in lab.command("calls")["calls"]
                                   if c["number"] == "600"], 20)
        self.assertTrue(call, "no call to 600\n" + program.stderr())
        # The caller identity pushed from the directory record goes with the call.
        caller = lab.command("state %s" % endpoint["name"])["endpoint"]
        self.assertEqual((caller["caller_name"], caller["caller_number"]), ("Alma Berg", "7001"))
        saved = wait_until(lambda: "saved " + ARTIFACT in program.stderr(), 20)
        self.assertTrue(saved, program.stderr())
        # The picture comes a few seconds into the call: the timer has counted.
        self.assertRegex(program.stderr(), r"\(Call Duration: 00:00:0[1-9]\)")

        lab.command("hangup %s" % endpoint["name"])
        recent = os.path.join(app, "ayahuasca.dat")
        self.assertTrue(wait_until(lambda: open(recent).read() == "600;\n", 20),
                        open(recent).read())

        self.assertEqual(program.terminate(), 0)
        codes = [r["code"] for r in lab.command("directory-requests")["requests"]]
        self.assertEqual(codes[-1], 21)
        self.assertNotIn("1234", program.stderr())
