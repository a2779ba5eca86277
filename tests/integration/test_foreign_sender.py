"""Only the call agent controls the phone: a third socket's commands change
nothing and draw no answer."""

import re
import socket
import time

from harness import EndToEndTest

DROPPED = re.compile(r"MGCP datagram from unexpected sender ([\d.]+:\d+) dropped(.*)")


class ForeignSenderTest(EndToEndTest):
    block = 55

    def send_all(self, lab, phone, strangers, texts):
        for text in texts:
            for sock in strangers:
                sock.sendto(text.encode("latin-1") + b"\0", (phone.address, 2427))
        # Read in order from one socket: the audit's answer means all before it was handled.
        lab.command("auep %s" % phone.address)
        self.assertTrue(lab.wait_for(lambda: (self.endpoint_state(lab, phone).get(
            "audit") or {}).get("code") == 200), phone.describe())

    def test_third_socket_cannot_ring_connect_redirect_or_end_a_call(self):
        lab = self.start_lab()
        phone = self.start_phone(interactive=True)
        self.expect(phone, "event ConnectedToCallAgent")
        name = self.endpoint_state(lab, phone)["name"]
        strangers = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(2)]
        for sock, address in zip(strangers, [("127.0.55.99", 2727), (lab.mgcp[0], 0)]):
            self.addCleanup(sock.close)
            sock.bind(address)
            sock.settimeout(0.2)
        started = time.monotonic()
        self.send_all(lab, phone, strangers, [
            "RQNT 9001 %s MGCP 1.0\r\nX: 99\r\nS: D/4242-1\r\n" % name,
            "CRCX 9002 %s MGCP 1.0\r\nC: 77\r\nM: sendrecv\r\n" % name])
        self.assertFalse(any(e.startswith("event Ringing") for e in phone.events()),
                         phone.describe())

        phone.send("call 600")
        self.expect(phone, "event Answered")
        self.send_all(lab, phone, strangers, [
            "MDCX 9003 %s MGCP 1.0\r\nC: 1\r\nM: sendrecv\r\n\r\nv=0\r\n"
            "c=IN IP4 127.0.55.99\r\nm=audio 4000 RTP/AVP 0\r\n" % name,
            "DLCX 9004 %s MGCP 1.0\r\nC: 1\r\n" % name])
        elapsed = time.monotonic() - started
        self.assertNotIn("event Disconnected 0", phone.events())
        self.assertEqual(lab.command("calls")["calls"][-1]["state"], "connected")
        for sock in strangers:
            self.assertRaises(socket.timeout, sock.recvfrom, 2048)
        self.assertEqual([m["text"] for m in lab.messages(phone.address)
                          if re.match(r"\d{3} 900\d", m["text"])], [])

        self.assertTrue(lab.command("hangup %s" % phone.address)["ok"])
        self.expect(phone, "event Disconnected 0")
        dropped = [m.groups() for m in map(DROPPED.search, phone.log().splitlines()) if m]
        expected = sorted(["127.0.55.99:2727", "%s:%d" % strangers[1].getsockname()])
        self.assertEqual(sorted({sender for sender, _ in dropped}), expected)
        if elapsed < 9.0:  # all within one 10-second window: one line each
            self.assertEqual(sorted(dropped), [(sender, "") for sender in expected])
