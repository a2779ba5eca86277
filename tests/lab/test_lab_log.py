"""The lab's log file holds the scrambled PIN, so only its owner may read it."""

import os
import stat
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "lab"))

from dialdeck_lab.server import Logger  # noqa: E402


class LabLogTest(unittest.TestCase):
    def test_log_file_is_private_new_or_left_wide(self):
        with tempfile.TemporaryDirectory() as folder:
            old_umask = os.umask(0o022)
            try:
                for name, existing_mode in (("new.log", None), ("old.log", 0o644)):
                    with self.subTest(name=name):
                        path = os.path.join(folder, name)
                        if existing_mode is not None:
                            with open(path, "w") as handle:
                                handle.write("earlier\n")
                            os.chmod(path, existing_mode)
                        log = Logger(path, quiet=True)
                        log("Rx[127.0.0.2:2427]: NTFY 1 aaln/0 MGCP 1.0")
                        log.close()
                        self.assertEqual(stat.S_IMODE(os.stat(path).st_mode), 0o600)
                        with open(path) as handle:
                            self.assertIn("NTFY 1", handle.read())
            finally:
                os.umask(old_umask)


if __name__ == "__main__":
    unittest.main()
