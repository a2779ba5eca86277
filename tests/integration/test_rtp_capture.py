"""A call's RTP as a packet analyser sees it on lo. Needs root and dumpcap,
else says why and is skipped."""

import os
import re
import shutil
import signal
import subprocess
import time

from harness import EndToEndTest, skip_loudly
from lab_process import wait_until

PACKET_MS = 20  # --pack 4 of G.711


def tshark(capture, *args):
    return subprocess.run(["tshark", "-n", "-r", capture, "-d", "udp.port==3400,rtp"] +
                          list(args), capture_output=True, text=True, timeout=60).stdout


class RtpCaptureTest(EndToEndTest):
    block = 80

    def test_a_call_to_the_echo_line_is_clean_on_the_wire(self):
        if os.geteuid() != 0:
            skip_loudly("RTP capture", "needs root to capture on lo")
        for tool in ("dumpcap", "tshark"):
            if not shutil.which(tool):
                skip_loudly("RTP capture", "%s is not installed" % tool)
        self.start_lab()
        capture = os.path.join(self.folder, "call.pcapng")
        address = "127.0.%d.2" % self.block
        dumpcap = subprocess.Popen(
            # The NAT mapping query leaves from port 3400 too; it is no RTP.
            ["dumpcap", "-q", "-i", "lo", "-f",
             "udp and host %s and port 3400 and not port 2829" % address,
             "-w", capture], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)

        def stop():
            if dumpcap.poll() is None:
                dumpcap.send_signal(signal.SIGINT)
                try:
                    dumpcap.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    dumpcap.kill()
                    dumpcap.wait(timeout=5)
            dumpcap.stderr.close()

        self.addCleanup(stop)
        # The file appears once dumpcap captures; a moment more for the filter.
        wait_until(lambda: os.path.exists(capture) or dumpcap.poll() is not None, 10, 0.05)
        if dumpcap.poll() is not None:
            skip_loudly("RTP capture", "dumpcap cannot capture on lo: %s"
                        % dumpcap.stderr.read().strip()[:200])
        time.sleep(0.5)
        phone = self.echo_call(["--qos", "184", "--codec", "g711u", "--pack", "4",
                                "--audio=virtual:mic=tone:440,speaker=discard"], 4)
        self.assertEqual(phone.address, address)
        stop()

        streams = tshark(capture, "-q", "-z", "rtp,streams")
        rows = [line for line in streams.splitlines() if re.search(r"\b0x[0-9A-Fa-f]{8}\b", line)]
        self.assertEqual(len(rows), 2, streams)  # one each way
        for row in rows:
            # ... Payload Pkts Lost (Lost%) Min/Mean/Max Delta, Min/Mean/Max Jitter, Problems?
            self.assertIn("g711U", row, streams)
            self.assertFalse(row.rstrip().endswith("X"), "problem flag:\n" + streams)
            numbers = [float(n) for n in re.findall(r"\d+(?:\.\d+)?", row.split("g711U", 1)[1])]
            packets, lost, mean_delta = numbers[0], numbers[1], numbers[4]
            self.assertTrue(packets > 3000 // PACKET_MS and lost == 0, row)
            self.assertAlmostEqual(mean_delta, PACKET_MS, delta=2, msg=row)

        sent = tshark(capture, "-Y", "rtp && ip.src==%s" % address, "-T", "fields",
                      "-e", "ip.dsfield", "-e", "rtp.timestamp", "-e", "rtp.seq").split("\n")
        fields = [line.split("\t") for line in sent if line]
        self.assertGreater(len(fields), 3000 // PACKET_MS)
        self.assertEqual({int(f[0], 16) for f in fields}, {0xB8})
        steps = {(int(b[1]) - int(a[1])) % 2**32 for a, b in zip(fields, fields[1:])}
        self.assertEqual(steps, {8 * PACKET_MS})
