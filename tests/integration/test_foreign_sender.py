"""Only the call agent controls the phone: commands from a third socket, on
another host or on the call agent's host but another port, change nothing
and draw no answer."""

import re
import socket
import time
import unittest

from harness import EndToEndTest

DROPPED = re.compile(r"MGCP datagram from unexpected sender ([\d.]+:\d+) dropped(.*)")


class ForeignSenderTest(EndToEndTest):
    block = 55

    def _stranger(self, address, port):
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(sock.close)
        sock.bind((address, port))
        sock.settimeout(0.2)
        return sock

    def _send_all(self, strangers, phone, texts):
        for text in texts:
            for sock in strangers:
                sock.sendto(text.encode("latin-1") + b"\0", (phone.address, 2427))

    def _audit(self, lab, phone):
        """Datagrams reach the phone in order on one socket: once the call
        agent's audit is answered, everything sent before it was handled."""
        lab.command("auep %s" % phone.address)
        answered = lab.wait_for(
            lambda: (self.endpoint_state(lab, phone).get("audit") or {}).get("code") == 200)
        self.assertTrue(answered, phone.describe())

    def _answers(self, sock):
        try:
            return [sock.recvfrom(2048)]
        except socket.timeout:
            return []

    def test_third_socket_cannot_ring_connect_redirect_or_end_a_call(self):
        lab = self.start_lab()
        phone = self.start_phone(interactive=True)
        self.expect(phone, "event ConnectedToCallAgent")
        name = self.endpoint_state(lab, phone)["name"]
        strangers = [self._stranger("127.0.%d.99" % self.block, 2727),
                     self._stranger(lab.mgcp[0], 0)]
        started = time.monotonic()

        self._send_all(strangers, phone, [
            "RQNT 9001 %s MGCP 1.0\r\nX: 99\r\nS: D/4242-1\r\n" % name,
            "CRCX 9002 %s MGCP 1.0\r\nC: 77\r\nM: sendrecv\r\n" % name,
        ])
        self._audit(lab, phone)
        self.assertFalse([e for e in phone.events() if e.startswith("event Ringing")],
                         phone.describe())

        phone.send("call 600")
        self.expect(phone, "event Answered")
        self._send_all(strangers, phone, [
            "MDCX 9003 %s MGCP 1.0\r\nC: 1\r\nM: sendrecv\r\n\r\nv=0\r\n"
            "c=IN IP4 127.0.%d.99\r\nm=audio 4000 RTP/AVP 0\r\n" % (name, self.block),
            "DLCX 9004 %s MGCP 1.0\r\nC: 1\r\n" % name,
        ])
        self._audit(lab, phone)
        elapsed = time.monotonic() - started
        self.assertNotIn("event Disconnected 0", phone.events())
        self.assertEqual(lab.command("calls")["calls"][-1]["state"], "connected")
        for sock in strangers:
            self.assertEqual(self._answers(sock), [])
        answers = [m["text"] for m in lab.messages(phone.address)
                   if re.match(r"\d{3} 900\d", m["text"])]
        self.assertEqual(answers, [], "a stranger's command was answered")

        # The call agent itself is still obeyed.
        self.assertTrue(lab.command("hangup %s" % phone.address)["ok"])
        self.expect(phone, "event Disconnected 0")

        dropped = [m.groups() for m in map(DROPPED.search, phone.log().splitlines()) if m]
        expected = ["127.0.%d.99:2727" % self.block, "%s:%d" % strangers[1].getsockname()]
        self.assertEqual(sorted({sender for sender, _ in dropped}), sorted(expected))
        if elapsed < 9.0:  # all four within one 10-second window: one line each
            self.assertEqual(sorted(dropped), sorted((sender, "") for sender in expected))


if __name__ == "__main__":
    unittest.main()
