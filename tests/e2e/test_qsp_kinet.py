"""QSP and KiNet on the real binary: data in, polls, read-back, discovery."""

import struct

import engine_harness as h

KINET_IN_1 = "SK001000000000001000000000000I\n"  # KiNet input, port 1
GENERATOR = "C000" + "".join("%03d" % (i % 256) for i in range(512)) + "\n"


def kinet_header(ptype, sequence):
    return b"\x04\x01\xdc\x4a" + struct.pack("<HHI", 1, ptype, sequence)


class QspTest(h.EngineTestCase):
    def test_poll_is_broadcast_read_back_goes_to_port_4000_and_data_is_matched(self):
        self.start_engine(config="V\n" + GENERATOR, rules="")
        cap = self.capture()
        self.send(b"QSPP", 3333)
        got = cap.first(5, lambda p: p[4][:4] == b"QSPR")
        self.assertIsNotNone(got, "no poll reply")
        self.assertEqual(got[1:4], (3333, "255.255.255.255", 3333))
        listener = self.peer(4000, timeout=5)
        self.send(b"QDSP\x01\x00", 3333)
        self.assertEqual(listener.recvfrom(2048), (b"QDSR\x01\x00" + bytes(range(256)) * 2,
                                                   (h.DEVICE_IP, 3333)))
        self.send(b"QSDD\x09\x00\x00\x00\x14" + bytes(20), 3333)  # no stream takes universe 9
        self.assert_file("/tmp/unmatched_stats.dat", "2,9\n")


class KinetTest(h.EngineTestCase):
    def test_discovery_is_answered_to_the_senders_port_and_data_forwarded_to_qsp_out(self):
        self.start_engine(config=KINET_IN_1 + "SE007127000000003O\n", rules="F000 001\n")
        cap = self.capture()
        peer = self.peer(timeout=5)
        peer.sendto(kinet_header(0x0001, 7), (h.DEVICE_IP, 6038))
        reply, source = peer.recvfrom(2048)
        self.assertEqual(source, (h.DEVICE_IP, 6038))
        self.assertEqual(reply[6:12], b"\x02\x00\x07\x00\x00\x00")  # the reply to sequence 7
        frame = bytes((3 * i + 2) & 0xFF for i in range(512))
        self.send(kinet_header(0x0101, 1) + bytes([1]) + bytes(7) + frame, 6038)
        self.assertIsNotNone(cap.first(5.0, lambda p: p[2:4] == (h.PEER_IP, 3333)
                                       and p[4] == b"QSDD\x07\x00\x00\x02\x00" + frame),
                             "the frame never left on QSP universe 7")


if __name__ == "__main__":
    h.main()
