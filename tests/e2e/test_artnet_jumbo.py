"""Jumbo frames on UDP 3332: each ArtDmx slot reaches its stream."""

import artnet_frames as f
import engine_harness as h

CONFIG = "SA001000000000000I\nSA002000000000000I\n"


class Jumbo(h.EngineTestCase):
    def test_two_artnet_packets_reach_two_streams(self):
        eng = self.start_engine(config=CONFIG, rules="")
        peer = self.peer()
        frame = f.jumbo(530, [f.art_dmx(2, [7] * 512), f.art_dmx(1, [8] * 512),
                              f.art_dmx(9, [1] * 512)])
        peer.sendto(frame, (h.DEVICE_IP, 3332))
        expected = f.stats_line(0, 1, 1) + "\n" + f.stats_line(1, 1, 1) + "\n"
        self.assertEqual(eng.wait_for_file("/tmp/stats.dat", lambda t: t == expected), expected)
        self.assertEqual(eng.wait_for_file("/tmp/unmatched_stats.dat", lambda t: t != ""),
                         "1,9\n")


if __name__ == "__main__":
    h.main()
