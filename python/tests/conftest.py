"""Shared pieces of the tests of the Python module: where the built programs and the sample
maps are, and real game servers and bots as subprocesses."""
import os
import pathlib
import re
import subprocess
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BIN = pathlib.Path(os.environ.get("REVERSI_BIN", ROOT / "build" / "dev" / "bin"))
MAPS = pathlib.Path(os.environ.get("REVERSI_MAPS", ROOT / "maps"))


def sample_maps():
    return sorted(MAPS.glob("*.map"))


class Server:
    """A reversi-server on a free port, logging into a file."""

    def __init__(self, tmp_path, map_path, *options):
        self.log_path = tmp_path / "server.log"
        self.log = open(self.log_path, "w")
        self.process = subprocess.Popen(
            [str(BIN / "reversi-server"), "--map", str(map_path), "--port", "0", *options],
            stdout=self.log, stderr=subprocess.STDOUT)
        self.port = None
        for _ in range(200):
            found = re.search(r"Listening on port (\d+)", self.log_path.read_text())
            if found:
                self.port = int(found.group(1))
                return
            time.sleep(0.05)
        raise RuntimeError("the server did not start: " + self.log_path.read_text())

    def bot(self, seed=1):
        return subprocess.Popen(
            [str(BIN / "reversi-bot"), "--port", str(self.port), "--seed", str(seed)],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def finish(self):
        """Waits for the end of the game; the server's log."""
        self.process.wait(timeout=120)
        return self.log_path.read_text()

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.log.close()


@pytest.fixture
def server(tmp_path):
    """Starts servers: server(map_path, *options)."""
    started = []

    def start(map_path, *options):
        started.append(Server(tmp_path, map_path, *options))
        return started[-1]

    yield start
    for s in started:
        s.stop()
