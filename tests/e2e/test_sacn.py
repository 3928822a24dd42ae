"""sACN on the real binary: output packets on their multicast group, and more input universes
than one socket may join, one routed on through a Forward rule."""

import shutil
import struct
import subprocess

import engine_harness as h
from sacn_frames import e131_packet

ANY_CID = "00000000-0000-0000-0000-000000000000"
DEVICE_CID = bytes.fromhex("0123456789abcdef0123456789abcdef")  # from the harness's serial.dat
SOURCE_CID = bytes.fromhex("5ac0000000000000000000000000c1d5")
SACN_PORT = 5568


def sacn_line(universe, priority, direction, cid=ANY_CID):
    return "SS%03d%03d%s%s%s\n" % (universe, priority, "0" * 12, cid, direction)


def group(universe):
    return "239.255.%d.%d" % (universe >> 8 & 0xFF, universe & 0xFF)


def pcap(frames):
    """A capture file of raw IPv4 datagrams."""
    return struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 101) + b"".join(
        struct.pack("<IIII", 0, 0, len(frame), len(frame)) + frame for frame in frames)


class Output(h.EngineTestCase):
    def test_output_stream_on_its_group(self):
        cap = self.capture()
        self.start_engine(config=sacn_line(300, 120, " "), rules="")
        got = cap.packets(6.0, lambda p: p[3] == SACN_PORT, count=2)
        self.assertEqual(len(got), 2, "no sACN output seen")
        src, _, dst, dport, payload = got[0]
        self.assertEqual((src, dst, dport), (h.DEVICE_IP, "239.255.1.44", SACN_PORT))
        # Every header byte is pinned by the stream send unit test; here
        # what only the running engine decides: identity, sequence, data.
        self.assertEqual(payload[22:38], DEVICE_CID)
        self.assertEqual(payload[126:], bytes(512))  # nothing feeds it
        # A send lost on a loaded host still leaves a step every receiver takes.
        self.assertIn((got[1][4][111] - payload[111]) % 256, range(1, 20))
        # And as an independent dissector reads them.
        tshark = shutil.which("tshark")
        if tshark is None:
            self.skipTest("tshark not installed")
        out = subprocess.run(
            [tshark, "-r", "-", "-o", "acn.heuristic_acn:TRUE", "-o", "acn.dmx_enable:TRUE",
             "--enable-heuristic", "acn", "-V"],
            input=pcap([p.raw for p in got]), capture_output=True, timeout=60)
        self.assertEqual(out.returncode, 0, out.stderr)
        text = out.stdout.decode()
        self.assertIn("Architecture for Control Networks", text)
        self.assertIn("CVMk2 U:300", text)
        self.assertIn("Universe: 300", text)
        for bad in ("Malformed", "Expert Info (Error", "Expert Info (Warning"):
            self.assertNotIn(bad, text)


class Input(h.EngineTestCase):
    def feed_until(self, universe, packet, done, timeout=8.0):
        """Sends from a multicast source at the peer address until done() holds, as the receiver
        joins its groups only once the configuration is read; returns what done() gave."""
        def step():
            self.send(packet, SACN_PORT, to=group(universe))
            return done()
        return h.poll(step, timeout)

    def test_forty_input_universes_and_one_routed_to_an_output(self):
        config = "".join(sacn_line(u, 100, "I") for u in range(1, 41)) + sacn_line(300, 90, " ")
        eng = self.start_engine(config=config, rules="F006 040\n")
        for universe in (40, 21, 1):
            fed = self.feed_until(universe, e131_packet(universe, 100, b"\x80" * 512, SOURCE_CID),
                                  lambda: (eng.stats(universe - 1) or [0, 0, 0])[2] >= 1)
            self.assertTrue(fed, "universe %d not received\n%s" % (universe, eng.stderr()))
        cap = self.capture()
        slots = bytes(range(1, 201))
        routed = self.feed_until(7, e131_packet(7, 100, slots, SOURCE_CID), lambda: cap.first(
            0.05, lambda p: p[2:4] == (group(300), SACN_PORT) and p[4][126:] == slots + bytes(312)))
        self.assertIsNotNone(routed, "universe 7's slots never left on universe 300")
        self.assertIsNone(eng.proc.poll())


if __name__ == "__main__":
    h.main()
