"""Runs the real engine with real files and real UDP traffic.

Every test script re-executes itself in its own network and mount namespace, with a private
tmpfs on /tmp and only lo up, so the engine's fixed paths and ports never collide between
parallel tests or with the host. Inside, 127.0.0.2 plays the device's address (its packets
leave from it, as on the board), 127.255.255.255 its broadcast address, 127.0.0.3 the peers.
"""

import contextlib
import os
import select
import signal
import socket
import struct
import subprocess
import sys
import time
import unittest

DEVICE_IP = "127.0.0.2"
BROADCAST_IP = "127.255.255.255"
PEER_IP = "127.0.0.3"
ENGINE = None  # path of corvanta-engine, set by main()
XUART_SIM = None  # path of libxuart_sim.so, set by main() when given

# Serial, address, MAC, broadcast address, name, sACN CID, board type.
DEFAULT_SERIAL = "".join(line + "\n" for line in (
    "12345678", DEVICE_IP, "00:1a:2b:3c:4d:5e", BROADCAST_IP, "Test Gateway",
    "0123456789abcdef0123456789abcdef", "1"))

_NS_MARK = "CORVANTA_E2E_NAMESPACE"

_SETUP = [
    ["mount", "-t", "tmpfs", "tmpfs", "/tmp"],
    ["ip", "link", "set", "lo", "up"],
    ["ip", "link", "set", "lo", "multicast", "on"],
    ["ip", "route", "add", "default", "dev", "lo", "src", DEVICE_IP],
    ["ip", "route", "add", "239.0.0.0/8", "dev", "lo", "src", DEVICE_IP],
    ["ip", "route", "replace", "local", "127.0.0.0/8", "dev", "lo", "src", DEVICE_IP,
     "table", "local"],
    ["ip", "route", "replace", "broadcast", BROADCAST_IP, "dev", "lo", "src", DEVICE_IP,
     "table", "local"],
]


def _run_or_skip(cmd):
    try:
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                       text=True)
    except (OSError, subprocess.CalledProcessError) as e:
        reason = (getattr(e, "stderr", None) or str(e)).strip()
        print("SKIP: end-to-end tests need their own network and mount namespace: %s failed (%s)"
              % (" ".join(cmd), reason), file=sys.stderr)
        sys.exit(77)  # ctest's SKIP_RETURN_CODE


def enter_namespace():
    """Re-runs this script inside fresh namespaces; returns only in there."""
    unshare = ["unshare", "--net", "--mount", "--fork"]
    if os.environ.get(_NS_MARK) == "1":
        for cmd in _SETUP:
            _run_or_skip(cmd)
        return
    _run_or_skip(unshare + ["true"])
    sys.exit(subprocess.call(unshare + [sys.executable] + sys.argv,
                             env=dict(os.environ, **{_NS_MARK: "1"})))


def xuart_env(folder):
    """What runs the engine on the simulated UART driver in `folder`."""
    if XUART_SIM is None:
        raise unittest.SkipTest("no libxuart_sim.so given")
    env = {"LD_PRELOAD": XUART_SIM, "XUART_SIM_DIR": folder}
    # AddressSanitizer wants to be the first library loaded; coming after the preload is harmless.
    options = [o for o in os.environ.get("ASAN_OPTIONS", "").split(":") if o]
    env["ASAN_OPTIONS"] = ":".join(options + ["verify_asan_link_order=0"])
    return env


def poll(check, timeout=10.0):
    """The first result of check() that is neither None nor False, or None after timeout: every
    wait goes through here, so that a slow run (sanitizers, a loaded CI) only ever costs time."""
    deadline = time.monotonic() + timeout
    while True:
        value = check()
        if value is not None and value is not False:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(0.02)


# Art-Net, jumbo, QSP, sACN, KiNet, OSC.
RECEIVE_PORTS = {6454, 3332, 3333, 5568, 6038, 8000}


def bound_udp_ports():
    lines = ((read_file("/proc/net/udp") or "") + (read_file("/proc/net/udp6") or "")).splitlines()
    return {int(line.split()[1].split(":")[1], 16) for line in lines if ":" in line.split()[1]}


def remove_file(path):
    with contextlib.suppress(FileNotFoundError):
        os.unlink(path)


def write_file(path, text):
    with open(path, "w") as f:
        f.write(text)


def read_file(path):
    try:
        with open(path) as f:
            return f.read()
    except FileNotFoundError:
        return None


class Capture:
    """Every UDP datagram that crosses lo, seen once: the engine owns its ports, so what it
    sends is watched with a packet socket rather than by binding the same ports."""

    def __init__(self):
        # Every protocol: a socket bound to IPv4 alone gets only the incoming copy of what
        # crosses lo, and the outgoing copy is the one kept.
        self.sock = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(0x0003))
        self.sock.bind(("lo", 0))

    def packets(self, timeout, match=None, count=None):
        """Datagrams seen within timeout that satisfy match; stops early once `count` are found."""
        found = []
        deadline = time.monotonic() + timeout
        while count is None or len(found) < count:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.sock], [], [], left)[0]:
                break
            data, addr = self.sock.recvfrom(70000)
            pkt = _parse_udp(data) if addr[2] == socket.PACKET_OUTGOING else None
            if pkt is not None and (match is None or match(pkt)):
                found.append(pkt)
        return found

    def first(self, timeout, match=None):
        got = self.packets(timeout, match, count=1)
        return got[0] if got else None


class Datagram(tuple):
    """(src, sport, dst, dport, payload); .raw is the IPv4 datagram, for tools that dissect it."""


def _parse_udp(data):
    if len(data) < 28 or data[0] >> 4 != 4 or data[9] != 17:
        return None
    ihl = (data[0] & 0x0F) * 4
    sport, dport, length = struct.unpack("!HHH", data[ihl:ihl + 6])
    pkt = Datagram((socket.inet_ntoa(data[12:16]), sport, socket.inet_ntoa(data[16:20]), dport,
                    data[ihl + 8:ihl + length]))
    pkt.raw = data
    return pkt


class Engine:
    """One run of the engine with the given files in /tmp (None: no such file). xuart: a folder
    where the preloaded simulated UART driver serves "/dev/xuartN". command: a script to run in
    place of the engine, that sets up the files and becomes the engine."""

    def __init__(self, serial=DEFAULT_SERIAL, config="", rules=None, env=None, xuart=None,
                 command=None):
        for name in ("panic.dat", "stats.dat", "unmatched_stats.dat"):
            remove_file("/tmp/" + name)
        for name, text in (("serial", serial), ("config", config), ("rules", rules)):
            if text is None:
                remove_file("/tmp/%s.dat" % name)
            else:
                write_file("/tmp/%s.dat" % name, text)
        full_env = dict(os.environ)
        if xuart is not None:
            full_env.update(xuart_env(xuart))
            os.makedirs(xuart, exist_ok=True)
        full_env.update(env or {})
        with open("/tmp/engine.stdout", "w") as out, open("/tmp/engine.stderr", "w") as err:
            self.proc = subprocess.Popen(command or [ENGINE], stdout=out, stderr=err, env=full_env,
                                         cwd="/tmp")

    def stderr(self):
        return read_file("/tmp/engine.stderr") or ""

    def stdout(self):
        return read_file("/tmp/engine.stdout") or ""

    def wait_started(self, timeout=10.0):
        # The receive threads open their sockets while start-up goes on, and a
        # datagram that comes first is lost: started means every one is bound.
        def started():
            return ("Found:" in self.stderr() and RECEIVE_PORTS <= bound_udp_ports()
                    or self.proc.poll() is not None)
        poll(started, timeout)
        if "Found:" not in self.stderr() or self.proc.poll() is not None:
            raise AssertionError("engine did not start (UDP ports bound: %s):\n%s"
                                 % (sorted(bound_udp_ports()), self.stderr()))

    def wait_exit(self, timeout=10.0):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stats(self, index):
        """[id, writes, changes, kb] of stream `index` in /tmp/stats.dat, or None."""
        lines = (read_file("/tmp/stats.dat") or "").splitlines()
        if index >= len(lines):
            return None
        return [int(v) for v in lines[index].split(" ")[0].split(",")]

    def interrupt(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGINT)
        return self.wait_exit()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


class EngineTestCase(unittest.TestCase):
    """Starts engines that are always stopped at the end of the test."""
    _sender = None

    def start_engine(self, wait=True, **kwargs):
        e = Engine(**kwargs)
        self.addCleanup(e.stop)
        if wait:
            e.wait_started()
        return e

    def capture(self):
        c = Capture()
        self.addCleanup(c.sock.close)
        return c

    def peer(self, port=0, timeout=None, address=PEER_IP):
        """A UDP socket of a test peer, bound to 127.0.0.3 unless told otherwise."""
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(s.close)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind((address, port))
        s.settimeout(timeout)
        return s

    def send(self, packet, port, to=DEVICE_IP):
        if self._sender is None:
            self._sender = self.peer()
        self._sender.sendto(packet, (to, port))

    def assert_file(self, path, expected, timeout=10.0):
        if not poll(lambda: read_file(path) == expected, timeout):
            self.assertEqual(read_file(path), expected, path)

    def assert_fatal(self, message, beside_start_up=False, **files):
        """Start-up must end with status 1, the message and an empty panic file, never reaching
        the main loop unless the failing thread runs beside start-up."""
        eng = self.start_engine(wait=False, **files)
        self.assertEqual(eng.wait_exit(), 1, eng.stderr())
        self.assertIn(message, eng.stderr())
        if not beside_start_up:
            self.assertNotIn("Found:", eng.stderr())
        self.assertEqual(read_file("/tmp/panic.dat"), "")
        return eng


def main():
    global ENGINE, XUART_SIM
    if len(sys.argv) < 2:
        sys.exit("usage: %s path/to/corvanta-engine [path/to/libxuart_sim.so]" % sys.argv[0])
    ENGINE = os.path.abspath(sys.argv[1])
    if len(sys.argv) > 2:
        XUART_SIM = os.path.abspath(sys.argv[2])
    enter_namespace()
    unittest.main(argv=[sys.argv[0]], verbosity=2)
