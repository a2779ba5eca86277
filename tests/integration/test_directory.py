"""The directory client against the lab's directory server, in each of the
server's modes (the other request codes are walked by tests/app)."""

from harness import EndToEndTest

LOOKUP = ["9", "2191001:undefined", "2"]
ALMA = "Alma:Berg:7001:0:alma@lab.invalid:1::K7001:lab"


class DirectoryTest(EndToEndTest):
    block = 85

    def exchange(self):
        lines = [line.split("=", 1) for line in self.run_probe(
            "directory_probe", "DIRECTORY_PROBE", self.network.lab_address(), "2740", *LOOKUP)]
        result = {name: value for name, value in lines if name != "item"}
        result["items"] = [value for name, value in lines if name == "item"]
        return result

    def test_each_mode(self):
        lab = self.start_lab()
        rows = [
            # mode, open, result, items, last error
            ("normal", "1", "1", [ALMA], "no error information available."),
            ("split", "1", "1", [ALMA], "no error information available."),
            ("wrong-code", "1", "109", [ALMA], "no error information available."),
            ("garbage", "1", "-3", [], "no error information available."),
            ("refuse", "0", "-1", [], "connect in open_socket"),
            ("silent", "1", "-2", [], "recvfrom in nread_socket_block"),
        ]
        for mode, opened, result, items, error in rows:
            with self.subTest(mode=mode):
                self.assertTrue(lab.command("directory-mode " + mode)["ok"])
                answer = self.exchange()
                self.assertEqual((answer["open"], answer["result"], answer["items"],
                                  answer["error"]), (opened, result, items, error))
                if mode == "silent":  # the 10 s time-out
                    self.assertTrue(9500 <= int(answer["elapsed_ms"]) <= 11000, answer)
        requests = lab.command("directory-requests")["requests"]
        # Every mode but refuse saw the request, byte for byte.
        self.assertEqual([r["mode"] for r in requests],
                         ["normal", "split", "wrong-code", "garbage", "silent"])
        self.assertTrue(all(r["request"] == "POST / HTTP/1.1\r\n\r\n9|2191001:undefined|2|[]"
                            for r in requests))
