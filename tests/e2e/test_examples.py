"""The set-ups of examples/, each started by tools/run-example.sh as a user
starts it, show what their README says they show."""

import os
import struct
import subprocess

import artnet_frames as f
import engine_harness as h
from test_ports import SIM, log_lines

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


def universe_frame(universe, channels):
    return f.artdmx_out(universe, channels, dst="127.0.0.1")


def device_wrote(port, hex_start):
    return any(line[0] == "write" and line[1].startswith(hex_start) for line in log_lines(port))


class Examples(h.EngineTestCase):
    def run_example(self, name):
        env = {"CORVANTA_ENGINE": h.ENGINE, "CORVANTA_XUART_SIM": h.XUART_SIM or ""}
        script = os.path.join(ROOT, "tools", "run-example.sh")
        eng = self.start_engine(serial=None, config=None, rules=None, env=env,
                                command=[script, "--no-build", name])
        readme = h.read_file(os.path.join(ROOT, "examples", name, "README.md"))
        self.assertTrue(eng.stdout().startswith(readme), eng.stdout())
        return eng

    def test_artnet_sends_the_generator_values_on_universe_1(self):
        cap = self.capture()
        eng = self.run_example("artnet")
        self.assertIsNotNone(cap.first(8.0, universe_frame(1, [255, 128, 64])))
        self.assertEqual(h.poll(lambda: eng.stats(0)), [0, 0, 0, 0])

    def test_serial_frames_reach_the_port_the_leds_and_art_net_and_rdm_finds_two(self):
        if h.XUART_SIM is None:
            self.skipTest("no libxuart_sim.so given")
        cap = self.capture()
        eng = self.run_example("serial")
        with open(SIM + "/xuart1.rx", "a") as rx:
            rx.write("00 ff 80 40\n")
        self.assertTrue(h.poll(lambda: device_wrote(0, "00ff8040") and device_wrote(2, "ff8040")))
        self.assertIsNotNone(cap.first(5.0, universe_frame(1, [255, 128, 64])))

        listener = self.peer(4000, timeout=30)
        self.send(b"QSRD\x00\x01" + bytes(10), 3333, to="127.0.0.1")
        reply = listener.recv(2048)
        count = struct.unpack("<H", reply[12:14])[0]
        uids = {reply[14 + 6 * i:20 + 6 * i].hex() for i in range(count)}
        self.assertEqual(uids, {"4a5b00000001", "4a5b00000002"})

    def test_show_changes_output_after_an_osc_go(self):
        cap = self.capture()
        self.run_example("show")
        self.assertIsNotNone(cap.first(8.0, universe_frame(1, [0, 0, 0, 0])))
        subprocess.run(["oscsend", "127.0.0.1", "8000", "/vpro/cuelist/0/command/go", "f", "1"],
                       check=True)
        # Channel 3 fades up to 64 at every entry: rising, there, rising again.
        for channel3 in (range(1, 64), [64], range(1, 64)):
            self.assertIsNotNone(cap.first(5.0, lambda p: universe_frame(1, [])(p)
                                           and p[4][20] in channel3 and max(p[4][18:20]) > 0))
        subprocess.run(["oscsend", "127.0.0.1", "8000", "/cvmk2/0", "f", "255"], check=True)
        self.assertIsNotNone(cap.first(5.0, universe_frame(2, [255])))


if __name__ == "__main__":
    h.main()
