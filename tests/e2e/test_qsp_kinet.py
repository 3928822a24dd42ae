"""QSP and KiNet on the real binary: data in, polls, read-back, discovery."""

import socket
import struct

import engine_harness as h

QSP_IN_1 = "SE001000000000000I\n"         # QSP input, universe 1
KINET_IN_1 = "SK001000000000001000000000000I\n"  # KiNet input, port 1
ART_OUT_5_PEER = "SA005127000000003O\n"     # Art-Net output, universe 5, to the peer
QSP_OUT_7_PEER = "SE007127000000003O\n"     # QSP output, universe 7, to the peer
GENERATOR = "C000" + "".join("%03d" % (i % 256) for i in range(512)) + "\n"

KINET_MAGIC = b"\x04\x01\xdc\x4a"


def qsdd(universe, channels):
    return b"QSDD" + bytes([universe, 0, 0]) + struct.pack(">H", len(channels)) + channels


def kinet_header(ptype, sequence, version=1):
    return KINET_MAGIC + struct.pack("<HHI", version, ptype, sequence)


def kinet_dmx_out_port_1(channels):
    return kinet_header(0x0101, 1) + bytes([1]) + bytes(7) + channels


class QspTest(h.EngineTestCase):
    def test_stream_data_read_back_goes_to_port_4000(self):
        eng = self.start_engine(config="V\n" + GENERATOR, rules="")
        listener = self.peer(4000)
        listener.settimeout(5)
        asker = self.peer()
        asker.sendto(b"QDSP\x01\x00", (h.DEVICE_IP, 3333))
        reply, source = listener.recvfrom(2048)
        self.assertEqual(source, (h.DEVICE_IP, 3333))
        self.assertEqual(reply, b"QDSR\x01\x00" + bytes(i % 256 for i in range(512)))
        # An index past the table gets no reply; the next good one still does.
        asker.sendto(b"QDSP\x02\x00", (h.DEVICE_IP, 3333))
        asker.sendto(b"QDSP\x00\x00", (h.DEVICE_IP, 3333))
        reply, _ = listener.recvfrom(2048)
        self.assertEqual(reply, b"QDSR\x00\x00" + bytes(512))
        self.assertIsNone(eng.proc.poll())

    def test_poll_is_answered_with_a_broadcast(self):
        self.start_engine(config="V\n", rules="")
        cap = self.capture()
        self.peer().sendto(b"QSPP", (h.DEVICE_IP, 3333))
        got = cap.first(5, lambda p: p[4][:4] == b"QSPR")
        self.assertIsNotNone(got)
        src, sport, dst, dport, payload = got
        self.assertEqual((sport, dst, dport), (3333, "255.255.255.255", 3333))
        self.assertEqual(payload,
                         b"QSPR" + bytes([0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e, 0, 1, 0, 0])
                         + b"Test Gatew" + bytes([0, 0, 0, 0, 1]))

    def test_data_in_is_counted_and_own_data_ignored(self):
        eng = self.start_engine(config=QSP_IN_1, rules="")
        frame = qsdd(1, bytes(range(256)) * 2)
        own = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self._closers.append(own.close)
        own.bind((h.DEVICE_IP, 0))
        own.sendto(frame, (h.DEVICE_IP, 3333))  # the device's own: dropped
        peer = self.peer()
        peer.sendto(frame, (h.DEVICE_IP, 3333))
        self.assertIsNotNone(eng.wait_for_stats(0, lambda c: c == [0, 1, 1, 0]),
                             h.read_file("/tmp/stats.dat"))
        peer.sendto(frame, (h.DEVICE_IP, 3333))  # unchanged: a write, no change
        peer.sendto(qsdd(1, bytes(513)), (h.DEVICE_IP, 3333))  # too long: refused
        peer.sendto(qsdd(9, bytes(20)), (h.DEVICE_IP, 3333))
        self.assertIsNotNone(eng.wait_for_stats(0, lambda c: c == [0, 2, 1, 1]),
                             h.read_file("/tmp/stats.dat"))
        unmatched = eng.wait_for_file("/tmp/unmatched_stats.dat", lambda t: t != "")
        self.assertEqual(unmatched, "2,9\n")


class KinetTest(h.EngineTestCase):
    def test_discovery_is_answered_to_the_senders_port(self):
        self.start_engine(config=KINET_IN_1, rules="")
        peer = self.peer()
        peer.settimeout(5)
        peer.sendto(kinet_header(0x0001, 7), (h.DEVICE_IP, 6038))
        reply, source = peer.recvfrom(2048)
        self.assertEqual(source, (h.DEVICE_IP, 6038))
        expected = (kinet_header(0x0002, 7, version=2) + bytes([127, 0, 0, 2])
                    + bytes([0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e]) + b"\x02\x00"
                    + struct.pack("<I", 12345678) + bytes(4) + b"Corvanta Mk2".ljust(30, b"\0"))
        self.assertEqual(reply, expected)

        peer.sendto(kinet_header(0x000A, 8), (h.DEVICE_IP, 6038))
        reply, _ = peer.recvfrom(2048)
        self.assertEqual(reply, kinet_header(0x000B, 8) + bytes([1, 0, 0, 0])
                         + bytes([1, 2, 0, 0, 0, 0, 0, 0]))

    def test_dmx_out_reaches_its_stream(self):
        eng = self.start_engine(config=KINET_IN_1, rules="")
        self.peer().sendto(kinet_dmx_out_port_1(bytes([255] * 512)), (h.DEVICE_IP, 6038))
        self.assertIsNotNone(eng.wait_for_stats(0, lambda c: c == [0, 1, 1, 0]),
                             h.read_file("/tmp/stats.dat"))


class Routing(h.EngineTestCase):
    def sent_to_peer(self, cap, magic, frame):
        return cap.first(5.0, lambda p: p[0] == h.DEVICE_IP and p[2] == h.PEER_IP
                         and p[4][:len(magic)] == magic and p[4].endswith(frame))

    def test_qsp_in_forward_rule_artnet_out(self):
        self.start_engine(config=QSP_IN_1 + ART_OUT_5_PEER, rules="F000 001\n")
        cap = self.capture()
        frame = bytes((7 * i + 1) & 0xFF for i in range(512))
        self.peer().sendto(qsdd(1, frame), (h.DEVICE_IP, 3333))
        out = self.sent_to_peer(cap, b"Art-Net\x00", frame)
        self.assertIsNotNone(out, "the frame never left on Art-Net universe 5")
        self.assertEqual((out[1], out[3]), (6454, 6454))
        self.assertEqual(out[4][:18], b"Art-Net\x00\x00\x50\x00\x0e\x00\x00\x05\x00\x02\x00")

    def test_kinet_in_forward_rule_qsp_out(self):
        self.start_engine(config=KINET_IN_1 + QSP_OUT_7_PEER, rules="F000 001\n")
        cap = self.capture()
        frame = bytes((3 * i + 2) & 0xFF for i in range(512))
        self.peer().sendto(kinet_dmx_out_port_1(frame), (h.DEVICE_IP, 6038))
        out = self.sent_to_peer(cap, b"QSDD", frame)
        self.assertIsNotNone(out, "the frame never left on QSP universe 7")
        self.assertEqual(out[3], 3333)
        self.assertEqual(len(out[4]), 521)
        self.assertEqual(out[4][:9], b"QSDD\x07\x00\x00\x02\x00")


if __name__ == "__main__":
    h.main()
