"""Art-Net on the real binary: ArtDmx in and out, ArtPoll replies, unmatched
universes."""

import struct

import artnet_frames as f
import engine_harness as h

ART_IN_1 = "SA001000000000000I\n"
ART_OUT_2 = "SA002255255255255O\n"   # to the device's broadcast address
ART_IN_300 = "SA300000000000000I\n"
ART_OUT_5_PEER = "SA005127000000003O\n"  # to the peer itself
VIRTUAL = "V\n"


def is_artnet(opcode, dst=None):
    def match(pkt):
        src, sport, pdst, dport, payload = pkt
        return (sport == 6454 and dport == 6454 and payload[:8] == f.HEADER
                and payload[8:10] == struct.pack("<H", opcode)
                and (dst is None or pdst == dst))
    return match


class PollReply(h.EngineTestCase):
    def test_poll_is_answered_on_the_broadcast_address(self):
        self.start_engine(config=ART_IN_1 + VIRTUAL + ART_OUT_2 + ART_IN_300, rules="")
        cap = self.capture()
        peer = self.peer()
        peer.sendto(f.art_poll(), (h.DEVICE_IP, 6454))
        reply = cap.first(5.0, is_artnet(0x2100))
        self.assertIsNotNone(reply, "no ArtPollReply")
        src, _, dst, _, payload = reply
        self.assertEqual((src, dst), (h.DEVICE_IP, h.BROADCAST_IP))

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
        self.assertEqual(payload, bytes(expected))

    def test_five_ports_give_a_second_virtual_reply(self):
        config = "".join("SA%03d000000000000I\n" % u for u in range(1, 6))
        self.start_engine(config=config, rules="")
        cap = self.capture()
        self.peer().sendto(f.art_poll(), (h.DEVICE_IP, 6454))
        replies = cap.packets(5.0, is_artnet(0x2100), count=2)
        self.assertEqual(len(replies), 2)
        first, second = replies[0][4], replies[1][4]
        self.assertEqual((first[173], first[211], first[212]), (4, 0, 5))
        self.assertEqual((second[173], second[211], second[212]), (1, 1, 4))
        self.assertEqual(second[26:43], b"Test Gateway\n (V)")
        self.assertEqual(second[44:68], b"Test Gateway\n (virtual)\x00")


class ArtDmxIn(h.EngineTestCase):
    def test_frames_reach_the_input_stream_and_others_are_unmatched(self):
        eng = self.start_engine(config=ART_IN_1 + ART_OUT_2, rules="")
        peer = self.peer()
        for packet in (f.art_dmx(1, [(3 * i) & 0xFF for i in range(512)]),
                       f.art_dmx(1, [9] * 2),      # shortest taken
                       f.art_dmx(1, [9] * 1),      # too short: dropped
                       f.art_dmx(2, [1] * 512),    # an output: unmatched
                       f.art_dmx(0x0407, [1] * 512), f.art_dmx(0x0407, [2] * 512)):
            peer.sendto(packet, (h.DEVICE_IP, 6454))
        stats = eng.wait_for_file(
            "/tmp/stats.dat", lambda t: t.startswith(f.stats_line(0, 2, 2) + "\n"))
        self.assertIsNotNone(stats, h.read_file("/tmp/stats.dat"))
        self.assertEqual(stats, f.stats_line(0, 2, 2) + "\n" + f.stats_line(1, 0, 0) + "\n")
        unmatched = eng.wait_for_file("/tmp/unmatched_stats.dat", lambda t: t != "")
        self.assertEqual(unmatched, "1,2\n1,1031\n")


class ArtDmxOut(h.EngineTestCase):
    def test_output_streams_send_530_bytes_from_port_6454(self):
        # Nothing writes these streams, so they go out on the forced pass
        # that follows each unmatched-file dump.
        self.start_engine(config=ART_IN_1 + ART_OUT_2 + ART_OUT_5_PEER, rules="")
        cap = self.capture()
        frames = cap.packets(10.0, is_artnet(0x5000), count=2)
        self.assertEqual(len(frames), 2)
        by_dst = {pkt[2]: pkt for pkt in frames}
        self.assertEqual(set(by_dst), {h.BROADCAST_IP, h.PEER_IP})
        header = f.HEADER + bytes([0x00, 0x50, 0, 14, 0, 0])
        self.assertEqual(by_dst[h.BROADCAST_IP][0], h.DEVICE_IP)
        self.assertEqual(by_dst[h.BROADCAST_IP][4], header + bytes([2, 0, 2, 0]) + bytes(512))
        self.assertEqual(by_dst[h.PEER_IP][4], header + bytes([5, 0, 2, 0]) + bytes(512))


class Routing(h.EngineTestCase):
    def test_artdmx_in_forward_rule_artdmx_out(self):
        self.start_engine(config=ART_IN_1 + ART_OUT_2 + ART_OUT_5_PEER, rules="F000 002\n")
        cap = self.capture()
        frame = bytes((7 * i + 1) & 0xFF for i in range(512))
        # Three channels as a standard node sends them: padded to an even
        # count, Length 4, 22 bytes in all.
        three = f.HEADER + bytes([0x00, 0x50, 0, 14, 0, 0, 1, 0, 0, 4, 10, 20, 30, 0])
        self.assertEqual(len(three), 22)
        steps = [(f.art_dmx(1, frame), frame, "the frame never left on universe 5"),
                 # A short frame changes only its channels; the rest is held.
                 (f.art_dmx(1, [0] * 24), bytes(24) + frame[24:],
                  "the short frame was not merged into the held one"),
                 (three, bytes([10, 20, 30, 0]) + bytes(20) + frame[24:],
                  "the 22-byte frame did not reach the output")]
        for packet, expected, why in steps:
            cap.drain()
            self.peer().sendto(packet, (h.DEVICE_IP, 6454))
            out = cap.first(5.0, lambda p: is_artnet(0x5000, h.PEER_IP)(p) and p[4][18:] == expected)
            self.assertIsNotNone(out, why)
            self.assertEqual(out[4][14:18], bytes([5, 0, 2, 0]))


if __name__ == "__main__":
    h.main()
