"""The phone control under the mouse in kestrel-host against the lab: keys
6, 0, 0 and the main button clicked call the echo, and a key held shows the
down picture of the skin inside its rectangle only."""

import os
import shutil
import struct
import tempfile

from harness import EndToEndTest, built_program
from test_kestrel_host import Host

# The initial Layout on the 275x190 window: left, top, right, bottom.
MAIN_BUTTON = (0, 0, 67, 23)
KEY_5 = (161, 81, 211, 111)
KEY_6 = (218, 81, 268, 111)
KEY_0 = (161, 154, 211, 184)


def read_bmp(path):
    """(width, height, rows of (r, g, b)) of an uncompressed 24- or 32-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:2] == b"BM", path
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    assert bits in (24, 32) and compression in (0, 3), (path, bits, compression)
    step = bits // 8
    stride = (width * step + 3) & ~3
    rows = []
    for y in range(abs(height)):
        row = offset + stride * (abs(height) - 1 - y if height > 0 else y)
        rows.append([tuple(data[row + x * step + 2 - c] for c in range(3))
                     for x in range(width)])
    return width, abs(height), rows


def centre(rect):
    return (rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2


class KestrelMouseTest(EndToEndTest):
    block = 90

    def start_host(self, extension="2001"):
        host = Host(self.network.phone_address(), self.network.lab_address(0), extension)
        self.addCleanup(host.stop)
        return host

    def expect_state(self, host, state, timeout=10.0):
        if not host.wait_state(state, timeout):
            self.fail("state %d not shown within %.0f s; states %s\n%s"
                      % (state, timeout, host.states(), host.describe()))

    def click(self, host, rect):
        x, y = centre(rect)
        self.assertEqual(host.command("mouse down %d %d" % (x, y)), "ok null")
        self.assertEqual(host.command("mouse up %d %d" % (x, y)), "ok null")

    def test_clicked_keys_call_the_echo(self):
        self.start_lab()
        host = self.start_host()
        self.expect_state(host, 2)
        for key in (KEY_6, KEY_0, KEY_0):
            self.click(host, key)
        self.assertEqual(host.state()["display"], "600")
        self.click(host, MAIN_BUTTON)
        for state in (3, 4):
            self.expect_state(host, state)
        self.click(host, MAIN_BUTTON)  # now Hangup
        self.expect_state(host, 2)

    def test_a_held_key_shows_the_down_picture_inside_its_rectangle(self):
        skins = os.path.join(os.path.dirname(built_program("kestrel-host", "KESTREL_HOST")),
                             "..", "share", "dialdeck", "skins")
        _, _, down = read_bmp(os.path.join(skins, "Voxline_dn.bmp"))
        _, _, background = read_bmp(os.path.join(skins, "Voxline_bg.bmp"))
        folder = tempfile.mkdtemp(prefix="kestrel-mouse-")
        self.addCleanup(shutil.rmtree, folder, True)
        self.start_lab()
        host = self.start_host()
        self.expect_state(host, 2)

        x, y = centre(KEY_5)
        held = os.path.join(folder, "held.bmp")
        host.command("mouse down %d %d" % (x, y))
        self.assertEqual(host.command("grab %s" % held), "ok null")
        host.command("mouse up %d %d" % (x, y))
        width, height, shot = read_bmp(held)
        self.assertEqual((width, height), (275, 190))

        def differing(rect, rows, other):
            return sum(rows[y][x] != other[y][x]
                       for y in range(rect[1], rect[3]) for x in range(rect[0], rect[2]))

        self.assertEqual(differing(KEY_5, shot, down), 0)
        # The key beside it is not pressed: the background there, which differs from down.
        self.assertEqual(differing(KEY_6, shot, background), 0)
        self.assertGreater(differing(KEY_6, down, background), 0)
        self.assertEqual(host.state()["display"], "5")
