"""The phone control in kestrel-host against the lab, end to end (a refused
log-on and its retry are walked by tests/control)."""

import json
import os
import struct

import audio_check
from harness import EndToEndTest, Host, built_program  # noqa: F401 (Host: bench/control)
from lab_process import wait_until

E_FAIL = 0x80004005 - (1 << 32)
# The initial Layout on the 275x190 window: left, top, right, bottom.
MAIN_BUTTON = (0, 0, 67, 23)
KEY_5 = (161, 81, 211, 111)
KEY_6 = (218, 81, 268, 111)
KEY_0 = (161, 154, 211, 184)


def read_bmp(path):
    """Rows of (r, g, b) of an uncompressed 24- or 32-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    assert data[:2] == b"BM" and bits in (24, 32) and compression in (0, 3), path
    step, stride = bits // 8, (width * (bits // 8) + 3) & ~3
    starts = [offset + stride * (abs(height) - 1 - y if height > 0 else y)
              for y in range(abs(height))]
    return [[tuple(data[row + x * step + 2 - c] for c in range(3)) for x in range(width)]
            for row in starts]


def centre(rect):
    return (rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2


class KestrelHostTest(EndToEndTest):
    block = 89

    def click(self, host, rect, up=True):
        x, y = centre(rect)
        self.assertEqual(host.command("mouse down %d %d" % (x, y)), "ok null")
        if up:
            self.assertEqual(host.command("mouse up %d %d" % (x, y)), "ok null")

    def start_measuring(self, host):
        """The answer to "mic start" once the control has configured its engine."""
        return wait_until(lambda: (lambda answer: answer if answer != "ok %d" % E_FAIL else None)(
            host.command("mic start")), 10, 0.2)

    def test_a_session_of_level_calls_keys_and_an_incoming_call(self):
        lab = self.start_lab()
        # A square wave's mean absolute amplitude is its peak.
        square = os.path.join(self.folder, "square.wav")
        audio_check.write_wav(square, [(10000, -10000)[(i // 4) % 2] for i in range(160000)])
        host = self.start_host(microphone=square)
        self.expect_state(host, 2)
        self.assertEqual(host.states()[:2], [1, 2])

        self.assertEqual(self.start_measuring(host), "ok 0")
        # Mean amplitude 10000: (10000 - 4000) / 235 * 60 / 100 + 40 = 55.
        self.assertEqual(host.wait_line("event MicLevel"), "event MicLevel [55]",
                         host.describe())
        self.assertEqual(host.command("mic stop"), "ok 0")

        for key in (KEY_6, KEY_0, KEY_0):
            self.click(host, key)
        self.assertEqual(host.state()["display"], "600")
        self.click(host, MAIN_BUTTON)
        for state in (3, 4):
            self.expect_state(host, state)
        self.assertEqual(host.state()["callState"], 4)
        self.click(host, MAIN_BUTTON)  # now Hangup
        self.expect_state(host, 5)
        self.expect_state(host, 2)
        for number, state in (("601", 7), ("5550000", 8)):
            with self.subTest(number=number):
                host.command("call %s" % number)
                self.expect_state(host, state)
                host.command("hangup")
                self.expect_state(host, 2)
        self.assertEqual(host.command("lastten"), 'ok "600;601;5550000;;;;;;;;"')

        # A held key shows the skin's down picture inside its rectangle only.
        skins = os.path.join(os.path.dirname(built_program("kestrel-host", "KESTREL_HOST")),
                             "..", "share", "dialdeck", "skins")
        down = read_bmp(os.path.join(skins, "Voxline_dn.bmp"))
        background = read_bmp(os.path.join(skins, "Voxline_bg.bmp"))
        held = os.path.join(self.folder, "held.bmp")
        self.click(host, KEY_5, up=False)
        self.assertEqual(host.command("grab %s" % held), "ok null")
        host.command("mouse up %d %d" % centre(KEY_5))
        shot = read_bmp(held)
        self.assertEqual((len(shot[0]), len(shot)), (275, 190))

        def differing(rect, rows, other):
            return sum(rows[y][x] != other[y][x]
                       for y in range(rect[1], rect[3]) for x in range(rect[0], rect[2]))

        self.assertEqual(differing(KEY_5, shot, down), 0)
        # The key beside it is not pressed: the background there, which differs from down.
        self.assertEqual(differing(KEY_6, shot, background), 0)
        self.assertGreater(differing(KEY_6, down, background), 0)
        self.assertEqual(host.state()["display"], "5")

        caller = self.start_phone(["--caller-id-number", "5551234"], interactive=True)
        self.call(lab, caller, host, "2001")
        self.expect_state(host, 6)
        self.assertEqual(host.command("key down Return"), "ok null")
        host.command("key up Return")
        self.expect_state(host, 9)
        self.expect_state(host, 4)
        self.expect(caller, "event Answered")

        # End of input logs off gracefully and ends the host with 0.
        host.process.stdin.close()
        self.assertEqual(host.process.wait(timeout=15), 0, host.describe())

    def test_bag_before_sets_grab_and_the_session_end_closing_the_window(self):
        self.start_lab()
        bag = os.path.join(self.folder, "phone.bag")
        with open(bag, "w") as out:
            # Nothing answers at .250: logging on proves the --set came after.
            # AllowSimultaneous=true ends the session (and the window) on hang-up.
            out.write("CallManager=127.0.%d.250\nCallerIDName=From the bag\n"
                      "AllowSimultaneous=true\n" % self.block)
        host = self.start_host(sets={"CallManager": self.network.lab_address(0)},
                               args=["--params", bag, "--size", "320x240"])
        self.expect_state(host, 2)
        self.assertEqual(host.command("get calleridname"), 'ok "From the bag"')

        picture = os.path.join(self.folder, "phone.png")
        self.assertEqual(host.command("grab %s" % picture), "ok null")
        with open(picture, "rb") as image:
            head = image.read(24)
        self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(struct.unpack(">II", head[16:24]), (320, 240))

        host.command("hangup")
        self.assertIsNotNone(host.wait_line("closed"), host.describe())
        self.assertEqual(host.process.wait(timeout=15), 0, host.describe())

    def test_a_busy_speaker_opens_the_dialog_and_no_microphone_measures_nothing(self):
        lab = self.start_lab()
        host = self.start_host("2003", env={"VOXLINE_AUDIO": "virtual:fail=busy:out"})
        self.expect_state(host, 2)
        self.call(lab, self.start_phone(interactive=True), host, "2003")
        self.expect_state(host, 6)
        line = host.wait_line("dialog ")
        self.assertIsNotNone(line, host.describe())
        dialog = json.loads(line[len("dialog "):])
        self.assertEqual((dialog["name"], dialog["title"], dialog["choices"]),
                         ("audio_in_use", "Audio device in use", ["OK"]))
        self.assertTrue(dialog["text"].startswith("The audio device is currently in use."))
        self.assertEqual(host.command("dialog-accept"), "ok null")
        self.assertEqual(host.command("dialog-accept"), 'error "no dialog open"')

        # Without a microphone the phone does not log on, but its engine answers:
        # no input device (0x80040202), and no level ever.
        host = self.start_host(microphone=os.path.join(self.folder, "missing.wav"))
        self.assertEqual(self.start_measuring(host), "ok %d" % (0x80040202 - (1 << 32)))
        self.assertIsNone(host.wait_line("event MicLevel", timeout=1.0), host.describe())
