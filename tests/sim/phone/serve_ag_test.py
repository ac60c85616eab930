"""kobalt-phone serve-ag end to end: a hands-free unit on the gateway's socket, the phone driven
by kobalt-phone commands through the control socket, and the gateway's log.

Usage: serve_ag_test.py KOBALT_PHONE. Every gateway runs in a private folder (socket, log, runtime
folder for the control socket) and is stopped by its process id, also when a test fails.
"""

import os
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import time
import unittest

KOBALT_PHONE = None
WAIT = 10.0  # the longest any step waits, in seconds


class Gateway:
    """One `kobalt-phone serve-ag` in a folder of its own."""

    def __init__(self, folder, *extra):
        self.folder = folder
        self.socket = os.path.join(folder, "ag.sock")
        self.log = os.path.join(folder, "ag.log")
        runtime = os.path.join(folder, "run")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
        self.env.pop("KOBALT_TIME_SCALE", None)
        self.process = subprocess.Popen(
            [KOBALT_PHONE, "serve-ag", "--log", self.log, *extra, self.socket],
            env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.ready = self.process.stdout.readline()  # written once both sockets listen

    def phone(self, *command):
        return subprocess.run([KOBALT_PHONE, *command], env=self.env, capture_output=True,
                              text=True, timeout=WAIT)

    def stop(self, sig=signal.SIGTERM):
        if self.process.poll() is None:
            self.process.send_signal(sig)
        try:
            return self.process.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise

    def log_lines(self):
        with open(self.log, encoding="ascii") as file:
            return file.read().splitlines()


class Link:
    """The hands-free side: sends AT lines, reads the gateway's framed lines."""

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.settimeout(WAIT)
        self.sock.connect(path)
        self.pending = b""

    def close(self):
        self.sock.close()

    def line(self):
        while True:
            while self.pending.startswith(b"\r\n"):
                self.pending = self.pending[2:]
            end = self.pending.find(b"\r\n")
            if end >= 0:
                text, self.pending = self.pending[:end], self.pending[end + 2:]
                return text.decode("ascii")
            chunk = self.sock.recv(4096)
            if not chunk:
                raise EOFError("the gateway closed the link")
            self.pending += chunk

    def until(self, last):
        """The lines up to and including the first that is `last`."""
        lines = []
        while not lines or lines[-1] != last:
            lines.append(self.line())
        return lines

    def command(self, text):
        """Sends `text`; the answer lines up to the final result."""
        self.sock.sendall(text.encode("ascii") + b"\r")
        lines = []
        while not lines or not (lines[-1] in ("OK", "ERROR") or
                                lines[-1].startswith("+CME ERROR")):
            lines.append(self.line())
        return lines


OFONO_STARTUP = [
    ("AT+BRSF=511", ["+BRSF: 999", "OK"]),
    ("AT+BAC=1", ["OK"]),
    ("AT+CIND=?", None),
    ("AT+CIND?", ["+CIND: 1,0,0,0,5,0,5", "OK"]),
    ("AT+CMER=3,0,0,1", ["OK"]),
    ("AT+CHLD=?", ["+CHLD: (0,1,1x,2,2x,3,4)", "OK"]),
    ("AT+CMEE=1", ["OK"]),
    ("AT+CLIP=1", ["OK"]),
    ("AT+CCWA=1", ["OK"]),
    ("AT+XAPL=0000-0000-0100,10", ["ERROR"]),
    ("AT+COPS=3,0", ["OK"]),
    ("AT+COPS?", ['+COPS: 0,0,"KOBALT Mobile"', "OK"]),
]


def is_subsequence(wanted, lines):
    it = iter(lines)
    return all(any(line == want for line in it) for want in wanted)


class ServeAgTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix="kobalt-serve-ag-")
        self.gateways = []
        self.links = []

    def tearDown(self):
        for link in self.links:
            link.close()
        for gateway in self.gateways:
            if gateway.process.poll() is None:
                gateway.process.kill()
            gateway.process.wait()
            gateway.process.stdout.close()
            gateway.process.stderr.close()
        self.folder.cleanup()

    def start(self, *extra):
        gateway = Gateway(self.folder.name, *extra)
        self.gateways.append(gateway)
        self.assertIn("at " + gateway.socket, gateway.ready)
        return gateway

    def connect(self, gateway):
        link = Link(gateway.socket)
        self.links.append(link)
        return link

    def wait_for_log(self, gateway, line):
        deadline = time.monotonic() + WAIT
        while line not in gateway.log_lines():
            self.assertLess(time.monotonic(), deadline, "no '%s' in the log" % line)
            time.sleep(0.02)

    def slc(self, link):
        for command, answer in OFONO_STARTUP:
            lines = link.command(command)
            if answer is not None:
                self.assertEqual(lines, answer, command)

    def test_a_call_rings_is_answered_and_hung_up_over_the_link(self):
        gateway = self.start()
        self.assertEqual(stat.S_IMODE(os.lstat(gateway.socket).st_mode), 0o600)
        link = self.connect(gateway)
        self.slc(link)

        ring = gateway.phone("ring", "0123456789")
        self.assertEqual((ring.returncode, ring.stdout), (0, "ringing 0123456789 as call 1\n"))
        self.assertEqual(link.until('+CLIP: "0123456789",129'),
                         ["+CIEV: 3,1", "RING", '+CLIP: "0123456789",129'])
        self.assertEqual(link.command("ATA"), ["OK"])
        self.assertEqual([link.line(), link.line()], ["+CIEV: 2,1", "+CIEV: 3,0"])
        state = gateway.phone("state").stdout.splitlines()
        self.assertIn("call 1 incoming active 0123456789", state)
        self.assertIn("connected 66:55:44:33:22:11 hf", state)

        self.assertEqual(link.command("AT+CHUP"), ["OK"])
        self.assertEqual(link.line(), "+CIEV: 2,0")
        link.close()
        self.wait_for_log(gateway, "# link closed")
        self.assertEqual(gateway.stop(), 0)
        self.assertFalse(os.path.exists(gateway.socket))

        log = gateway.log_lines()
        self.assertTrue(is_subsequence([
            "# link opened", "< AT+BRSF=511", "> +BRSF: 999", "> OK", "< AT+CMER=3,0,0,1",
            "> OK", "> +CIEV: 3,1", "> RING", '> +CLIP: "0123456789",129', "< ATA", "> OK",
            "> +CIEV: 2,1", "> +CIEV: 3,0", "< AT+CHUP", "> OK", "> +CIEV: 2,0", "# link closed",
        ], log), log)

    def test_one_link_at_a_time_and_hostile_bytes_keep_it_working(self):
        gateway = self.start()
        first = self.connect(gateway)
        self.assertEqual(first.command("AT"), ["OK"])
        second = self.connect(gateway)
        self.assertEqual(second.sock.recv(16), b"")  # closed at once
        first.sock.sendall(b"\x00\x01garbage\r" + b"A" * 5000 + b"\r")
        self.assertEqual([first.line(), first.line()], ["ERROR", "ERROR"])
        self.assertEqual(first.command("AT+BRSF=0"), ["+BRSF: 999", "OK"])
        first.close()
        self.assertEqual(gateway.stop(signal.SIGINT), 0)
        log = gateway.log_lines()
        self.assertIn("# second link refused", log)
        self.assertIn("< \\x00\\x01garbage", log)
        self.assertTrue(all(0x20 <= ord(c) < 0x7F for line in log for c in line))

    def test_calls_outlive_the_link_and_the_next_link_finds_them(self):
        gateway = self.start()
        link = self.connect(gateway)
        self.slc(link)
        self.assertEqual(gateway.phone("ring", "+441632960123").returncode, 0)
        link.until('+CLIP: "+441632960123",145')
        self.assertEqual(link.command("ATA"), ["OK"])
        link.close()
        self.wait_for_log(gateway, "# link closed")
        self.assertIn("call 1 incoming active +441632960123", gateway.phone("state").stdout)

        again = self.connect(gateway)
        self.assertEqual(again.command("AT+CLCC"),
                         ['+CLCC: 1,1,0,0,0,"+441632960123",145', "OK"])

    def test_the_phone_ends_the_link_by_disconnect_or_going_out_of_range(self):
        gateway = self.start()
        for command in (("disconnect", "66:55:44:33:22:11", "hf"),
                        ("range", "66:55:44:33:22:11", "out")):
            link = self.connect(gateway)
            self.slc(link)
            self.assertEqual(gateway.phone(*command).returncode, 0, command)
            with self.assertRaises(EOFError, msg=command):
                while True:
                    link.line()
            self.wait_for_log(gateway, "# link closed: the phone ended it")
            self.assertNotIn("connected 66:55:44:33:22:11 hf", gateway.phone("state").stdout)
            gateway.phone("range", "66:55:44:33:22:11", "in")
        self.assertEqual(gateway.log_lines().count("# link closed: the phone ended it"), 2)

    def test_stale_socket_is_replaced_and_removing_the_socket_ends_the_gateway(self):
        path = os.path.join(self.folder.name, "ag.sock")
        stale = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        stale.bind(path)
        stale.close()  # the file stays, nothing listens
        gateway = self.start()
        self.assertEqual(self.connect(gateway).command("AT"), ["OK"])
        os.unlink(gateway.socket)
        self.assertEqual(gateway.process.wait(timeout=WAIT), 0)

    def test_a_file_or_a_live_gateway_at_the_path_is_refused(self):
        path = os.path.join(self.folder.name, "ag.sock")
        with open(path, "w", encoding="ascii") as file:
            file.write("keep me")
        refused = Gateway(self.folder.name)
        self.gateways.append(refused)
        self.assertEqual(refused.process.wait(timeout=WAIT), 2)
        self.assertIn("not a socket", refused.process.stderr.read())
        with open(path, encoding="ascii") as file:
            self.assertEqual(file.read(), "keep me")
        os.unlink(path)

        live = self.start()
        second = Gateway(os.path.dirname(live.socket))
        self.gateways.append(second)
        self.assertEqual(second.process.wait(timeout=WAIT), 2)
        self.assertIn("in use", second.process.stderr.read())
        self.assertEqual(self.connect(live).command("AT"), ["OK"])

    def test_a_fifo_as_log_is_refused_without_waiting(self):
        fifo = os.path.join(self.folder.name, "log.fifo")
        os.mkfifo(fifo)
        result = subprocess.run(
            [KOBALT_PHONE, "serve-ag", "--log", fifo, os.path.join(self.folder.name, "ag.sock")],
            capture_output=True, text=True, timeout=WAIT)
        self.assertEqual(result.returncode, 2)
        self.assertIn("log.fifo: ", result.stderr)

    def test_usage_problems_exit_2(self):
        for args in (["serve-ag"], ["serve-ag", "--device", "nonsense", "x"],
                     ["serve-ag", "--device", "00:19:5D:24:8E:01",
                      os.path.join(self.folder.name, "obd.sock")]):
            result = subprocess.run([KOBALT_PHONE, *args], capture_output=True, text=True,
                                    timeout=WAIT)
            self.assertEqual(result.returncode, 2, args)


if __name__ == "__main__":
    KOBALT_PHONE = sys.argv.pop(1)
    unittest.main()
