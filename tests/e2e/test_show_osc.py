"""The show player and OSC control on the real binary: a show file played into a generator
stream, forwarded to an Art-Net output, steered by a real OSC client; the OSC-driven generator
stream is the show example's."""

import socket
import struct
import subprocess

import artnet_frames as f
import engine_harness as h

SHOW_PATH = "/tmp/show.txt"
# Channel 0 is an intensity (type 2) at 200; channels 1 and 2 (type 0) rise
# to 100 and 50 over 2 s, then hold for 100 s.
SHOW = ("ENDP 1 Cues 0 Cuelists 1 Cues 1 Cue 0 Vals 3 0 200 1 100 2 50 Oscs 0 "
        "Timing 3 0 0 2000 0 100000 0 0 0 0 100000 0 0 0 0 100000 "
        "DefVals 0 ChTypes 3 2 0 0 ChSubtypes 0")

CONFIG = ("C001000" + SHOW_PATH + "\n"     # 0: plays the show, list 0 auto-started
          "SA001127000000003O\n")          # 1: Art-Net universe 1 to the peer


class ShowAndOsc(h.EngineTestCase):
    def test_show_frames_follow_the_show_and_osc_steers_them(self):
        h.write_file(SHOW_PATH, SHOW)
        cap = self.capture()
        eng = self.start_engine(config=CONFIG, rules="F000 001\n", env={"GLOG_v": "1"})

        # The 2 s rise arrives frame by frame at the output, never falling.
        frames = [p[4][18:] for p in cap.packets(3.5, f.artdmx_out(1))]
        rise = [frame[1] for frame in frames]
        self.assertEqual(rise, sorted(rise))
        self.assertGreater(len(set(rise)), 10, rise)
        self.assertEqual(frames[-1][:4], bytes([200, 100, 50, 0]))
        self.assertTrue(all(frame[0] == 200 for frame in frames))

        # No OSC at all; left to the library, an element size of -4 holds its bundle
        # reader on one element for ever, alone or inside a valid bundle, and a blob
        # size far past the end ends the process. All are dropped, and the listener
        # takes the next message: the grand master, which scales intensities only.
        negative = b"#bundle\x00" + bytes(8) + b"\xff\xff\xff\xfc"
        nested = b"#bundle\x00" + bytes(8) + struct.pack(">i", len(negative)) + negative
        blob = bytes.fromhex("2f63766d6b322f35000000002c626200ffff615000194900429b3333")
        for bad in (b"#bundle\x00garbage", negative, nested, blob):
            self.send(bad, 8000)
        subprocess.run(["oscsend", h.DEVICE_IP, "8000", "/vpro/gm", "f", "51"], check=True)
        self.assertIsNotNone(cap.first(5.0, f.artdmx_out(1, [40, 100, 50])), "no grand master")
        self.assertGreaterEqual(eng.stderr().count("OSC Exeception"), 4)

    def test_missing_show_file_and_taken_osc_port_are_fatal(self):
        eng = self.assert_fatal("Generator Vistro Engine can't open file[/tmp/no-show.txt]",
                                config="C001000/tmp/no-show.txt\n", rules="")
        self.assertIn("Error: No such file or directory", eng.stderr())
        blocker = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(blocker.close)
        blocker.bind(("0.0.0.0", 8000))
        self.assert_fatal("Could not bind OSC socket on port 8000: unable to bind udp socket\n",
                          beside_start_up=True, config="", rules="")


if __name__ == "__main__":
    h.main()
