"""The lab's PIN page: which records it accepts, and PINs kept out of its records."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "lab"))

from dialdeck_lab.subscribers import SubscriberStore  # noqa: E402
from dialdeck_lab.web import WebState, mask_pin, pin_query  # noqa: E402

ALMA = "Alma,Berg,7001,0,alma@lab.invalid,1,,K7001,lab,2191001,%s,127.0.0.1,2740"


class LabWebTest(unittest.TestCase):
    def test_pin_answers(self):
        state = WebState(SubscriberStore(), "DialdeckLab", lambda text: None)
        rows = [
            ("/p&PIN=%s&ownerKey=DialdeckLab" % (ALMA % "1234"), True),
            ("/p&PIN=%s&ownerKey=DialdeckLab" % (ALMA % "1235"), False),
            ("/p&PIN=%s&ownerKey=Other" % (ALMA % "1234"), False),
            ("/p&PIN=2191001&ownerKey=DialdeckLab", True),  # one field: the account
            ("/p&PIN=2191009&ownerKey=DialdeckLab", False),
            ("/p&PIN=Alma,Berg,7001&ownerKey=DialdeckLab", False),  # too short for 9 and 10
            ("/p&ownerKey=DialdeckLab", False),
            ("/p&PIN=2191001&ownerKey=Dialdeck%4Cab", True),  # percent-decoded
        ]
        for path, valid in rows:
            with self.subTest(path=path):
                self.assertEqual(state.pin_valid(*pin_query(path)), valid)
        state.control("web-pin", ["false"])
        self.assertFalse(state.pin_valid(*pin_query(rows[0][0])))

    def test_pin_masked(self):
        self.assertEqual(mask_pin("/p&PIN=a,b,1234&ownerKey=K&PIN=99"),
                         "/p&PIN=****&ownerKey=K&PIN=****")
        state = WebState(SubscriberStore(), "K", lambda text: logged.append(text))
        logged = []
        state.record("https", "/p&PIN=2191001,1234&ownerKey=K", "pin", "valid")
        self.assertNotIn("1234", logged[0] + str(state.control("web-requests", [])))


if __name__ == "__main__":
    unittest.main()
