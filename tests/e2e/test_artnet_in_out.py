"""Art-Net and jumbo frames on the real binary: ArtDmx in, ArtPoll replies, unmatched
universes."""

import artnet_frames as f
import engine_harness as h

ART_IN_1 = "SA001000000000000I\n"
ART_OUT_2 = "SA002255255255255O\n"   # to the device's broadcast address


class ArtnetIn(h.EngineTestCase):
    def test_poll_reply_carries_the_identity_file_and_the_stream_table(self):
        # Only the running engine fills the port block from its streams and
        # the rest from serial.dat; the second reply is a unit test's.
        self.start_engine(config=ART_IN_1 + "V\n" + ART_OUT_2 + "SA300000000000000I\n", rules="")
        cap = self.capture()
        self.send(f.art_poll(), 6454)
        reply = cap.first(5.0, lambda p: p[4][:10] == f.HEADER + b"\x00\x21")
        self.assertIsNotNone(reply, "no ArtPollReply")
        self.assertEqual(reply[:4], (h.DEVICE_IP, 6454, h.BROADCAST_IP, 6454))
        expected = bytearray(240)
        expected[0:26] = (f.HEADER + b"\x00\x21" + bytes([127, 0, 0, 2]) + b"\x36\x19"
                          + bytes([1, 2, 0, 0, 0x7A, 0x31, 0, 2, 0x4B, 0x57]))
        name = b"Test Gateway\n"  # as read from the identity file, line end kept
        expected[26:26 + len(name)] = name
        expected[44:44 + len(name)] = name
        expected[172:194] = bytes([0, 3,                    # NumPorts
                                   0x80, 0x40, 0x80, 0,     # PortTypes: in 1, out 2, in 300
                                   0x80, 0, 0, 0,           # GoodInput
                                   0x80, 0x80, 0, 0,        # GoodOutput
                                   2, 0, 0, 0,              # SwIn
                                   1, 44, 0, 0])            # SwOut: 300 as its low byte
        expected[201:213] = bytes([0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 127, 0, 0, 2, 0, 5])
        self.assertEqual(reply[4], bytes(expected))

    def test_frames_and_jumbo_slots_reach_their_streams_and_others_are_unmatched(self):
        self.start_engine(config=ART_IN_1 + ART_OUT_2 + "SA003000000000000I\n", rules="")
        for packet in (f.art_dmx(1, [(3 * i) & 0xFF for i in range(512)]),
                       f.art_dmx(2, [1] * 512),    # an output: unmatched
                       f.art_dmx(0x0407, [1] * 512), f.art_dmx(0x0407, [2] * 512)):
            self.send(packet, 6454)
        # Jumbo frames have a socket and thread of their own.
        self.send(f.jumbo(530, [f.art_dmx(3, [7] * 512), f.art_dmx(1, [8] * 512)]), 3332)
        self.assert_file("/tmp/stats.dat", f.stats_lines((2, 2), (0, 0), (1, 1)))
        self.assert_file("/tmp/unmatched_stats.dat", "1,2\n1,1031\n")


if __name__ == "__main__":
    h.main()
