"""The lab directory server's answers and its subscriber store (its sockets
and modes are walked with the real client by tests/integration)."""

import json
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "lab"))

from dialdeck_lab.directory import Directory, encode_answer, parse_request  # noqa: E402
from dialdeck_lab.subscribers import SubscriberStore  # noqa: E402


def subscriber(n, first, last, group="lab", contacts=()):
    return {"account": "219%04d" % n, "pin": "p%d" % n, "contacts": list(contacts),
            "fields": [first, last, "70%02d" % n, "0", "", "1", "", "K%d" % n, group]}


class DirectoryAnswerTest(unittest.TestCase):
    def setUp(self):
        self.now = 100.0
        self.store = SubscriberStore([
            subscriber(1, "Alma", "Berg", contacts=["7002"]), subscriber(2, "alba", "Diaz"),
            subscriber(3, "Alma", "Other", group="elsewhere")])
        self.directory = Directory(self.store, clock=lambda: self.now)

    def test_answers_per_code(self):
        rows = [
            ((9, "2190001:undefined", 2),
             (9, "true", ["Alma:Berg:7001:0::1::K1:lab"])),
            ((9, "2199999:undefined", 2), (9, "false", [])),
            ((22, "7001:K1", 2), (22, "true", [])),
            ((22, "7001:K2", 2), (22, "false", [])),
            ((22, "7001", 2), (0, "null", [])),
            ((13, "7001", 1), (13, "true", ["alba:Diaz:7002:0::1::"])),
            ((13, "7999", 1), (13, "false", [])),
            ((11, "7001:612", 2), (11, "true", [])),
            ((11, "7001:6,12", 2), (0, "null", [])),
            ((11, "7999:612", 2), (0, "null", [])),
            ((5, "x", 1), (0, "null", [])),
        ]
        for request, answer in rows:
            self.assertEqual(self.directory.answer(*request), answer, request)
        # The added number is on the list, once.
        self.directory.answer(11, "7001:612", 2)
        self.assertEqual(self.directory.answer(13, "7001", 1)[2][-1], "::612:0::1::")
        self.assertEqual(len(self.directory.answer(13, "7001", 1)[2]), 2)

    def test_search_by_name_prefixes_within_one_group(self):
        def names(text):
            return [item.split(":")[1] for item in self.directory.answer(8, text, 6)[2]]

        self.assertEqual(names("al*:*:lab:K1:500:false"), ["Berg", "Diaz"])
        self.assertEqual(names("*:D*:lab:K1:500:false"), ["Diaz"])
        self.assertEqual(names("ALMA*:*:elsewhere:K1:500:false"), ["Other"])
        self.assertEqual(names("al*:*:lab:K1:1:false"), ["Berg"])
        many = SubscriberStore([subscriber(n, "Al", "X") for n in range(600)])
        found = Directory(many).answer(8, "al*:*:lab:K1:9999:false", 6)[2]
        self.assertEqual(len(found), 500)

    def test_presence_is_recorded_with_times(self):
        self.directory.answer(22, "7001:K1", 2)
        self.now = 130.0
        self.directory.answer(23, "7001", 1)
        self.assertEqual(self.directory.answer(13, "7002", 1)[2], [])
        self.now = 160.0
        self.directory.answer(21, "7001:K1:0", 3)
        self.assertEqual(self.directory.presence["7001"],
                         {"state": "off", "on": 100.0, "seen": 130.0, "off": 160.0})

    def test_requests_that_are_not_requests(self):
        self.assertEqual(parse_request(b"POST / HTTP/1.1\r\n\r\n9|a:undefined|2|[]"),
                         (9, "a:undefined", 2))
        for junk in (b"", b"9|x", b"nine|x|2|[]", b"\xff|\xfe|\x00|[]"):
            self.assertIsNone(parse_request(junk), junk)
        self.assertEqual(encode_answer(8, "true", ["a", "b"]),
                         b"HTTP/1.1 200 OK\r\n\r\n8|true|2|[a,b]")


class SubscriberFileTest(unittest.TestCase):
    def load(self, data):
        with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as handle:
            json.dump(data, handle)
        self.addCleanup(os.unlink, handle.name)
        return SubscriberStore.from_file(handle.name)

    def test_file_and_its_faults(self):
        store = self.load({"subscribers": [subscriber(1, "Alma", "Berg")]})
        self.assertTrue(store.check_pin("2190001", "p1"))
        self.assertFalse(store.check_pin("2190001", "p2"))
        bad_fields = subscriber(1, "Al:ma", "Berg")
        short = dict(subscriber(1, "Alma", "Berg"), fields=["a"] * 8)
        for data in ([bad_fields], [short], {"other": []}, [dict(subscriber(1, "A", "B"),
                                                                 account="")]):
            with self.assertRaises(ValueError, msg=data):
                self.load(data)


if __name__ == "__main__":
    unittest.main()
