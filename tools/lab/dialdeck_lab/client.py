"""A client of the lab's control port, for scripts and people."""

import json
import socket


class LabClient:
    def __init__(self, host="127.0.0.1", port=2730, timeout=5.0):
        self._sock = socket.create_connection((host, port), timeout=timeout)
        self._reader = self._sock.makefile("r", encoding="utf-8")

    def command(self, line):
        self._sock.sendall((line.strip() + "\n").encode("utf-8"))
        answer = self._reader.readline()
        if not answer:
            raise ConnectionError("the lab closed the control connection")
        return json.loads(answer)

    def close(self):
        self._reader.close()
        self._sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()
