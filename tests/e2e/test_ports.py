"""Serial DMX and LED ports on the real binary, with the simulated UART
driver preloaded: what the devices see in xuartN.log, and frames fed to
them through xuartN.rx."""

import os
import struct

import artnet_frames as f
import engine_harness as h

SIM = "/tmp/xuart"
# Verbose lines from several threads at once: with TZ unset every log line's
# time conversion re-reads the zone under a libc lock ThreadSanitizer cannot
# see, which it reports (and sometimes trips over).
VERBOSE = {"GLOG_v": "2", "TZ": "UTC"}


def frame_hex(data):
    return bytes(data).hex()


def log_lines(port):
    """The lines of xuartN.log as [word, data...], time stamps dropped."""
    text = h.read_file("%s/xuart%d.log" % (SIM, port)) or ""
    return [line.split(" ")[1:] for line in text.splitlines()]


def wait_for_log(eng, port, predicate, timeout=10.0):
    """The log of port once predicate holds for one of its lines, or None."""
    found = eng.wait_for_file("%s/xuart%d.log" % (SIM, port),
                              lambda text: any(predicate(l.split(" ")[1:])
                                               for l in text.splitlines()), timeout)
    return None if found is None else log_lines(port)


class PortsCase(h.EngineTestCase):
    def setUp(self):
        super().setUp()
        os.makedirs(SIM, exist_ok=True)
        for name in os.listdir(SIM):
            os.unlink(os.path.join(SIM, name))

    def start_ports(self, config, rules="", confs=None, env=None):
        for port, text in (confs or {}).items():
            h.write_file("%s/xuart%d.conf" % (SIM, port), text)
        return self.start_engine(config=config, rules=rules, xuart=SIM, env=env)


class SerialOut(PortsCase):
    def test_artdmx_forwarded_to_a_port_is_written_as_one_frame(self):
        eng = self.start_ports("SA001000000000000I\nP000O\n", "F000,001\n")
        data = [(7 * i + 1) & 0xFF for i in range(512)]
        self.peer().sendto(f.art_dmx(1, data), (h.DEVICE_IP, 6454))
        want = ["write", "00" + frame_hex(data)]
        log = wait_for_log(eng, 0, lambda l: l == want)
        self.assertIsNotNone(log, log_lines(0))
        # Start-up first: the device opened, the default timing, an empty frame.
        self.assertEqual(log[0:3], [["open", "wronly"], ["params", "160002000300000001000000"],
                                    ["write", "00" * 513]])

    def test_a_k_line_switches_output_ports_to_one_shot(self):
        eng = self.start_ports("P000O050008800080024\nP001I\nL002001002044\n", "K001005\n",
                               confs={2: "led\n"}, env=VERBOSE)
        log = wait_for_log(eng, 0, lambda l: l == ["params", "160002000000000000000000"])
        self.assertIsNotNone(log, log_lines(0))
        self.assertEqual(log_lines(1), [["open", "rdonly"],
                                        ["params", "160002000300000001000000"]])
        # The set-up lines run their pieces together, as the front end's
        # log readers know them.
        for text in ("DMX port /dev/xuart0Refresh: 50Id: 0 B: 22 MaB: 2 Channels: 24\n",
                     "Opening DMX port /dev/xuart0\n", "Output Port: Write Only /dev/xuart0\n",
                     "DMX port /dev/xuart1Refresh: 35Id: 3 B: 22 MaB: 2 Channels: 513\n",
                     "Input Port: Read Only /dev/xuart1\n",
                     "Ledrunner port /dev/xuart2 LED strip protocol: 1 Output pixel order: 2"
                     " Pixel group size: ,\n",
                     "Opening Ledrunner output port /dev/xuart2\n",
                     "Setting One shot sending on stream : 0\n"):
            self.assertIn(text, eng.stderr())
        self.assertNotIn("Setting One shot sending on stream : 1", eng.stderr())


class SerialIn(PortsCase):
    def test_a_received_frame_is_routed_to_artdmx(self):
        self.start_ports("P001I\nSA002127000000003O\n", "F000,001\n")
        cap = self.capture()
        with open(SIM + "/xuart1.rx", "a") as rx:
            rx.write("CC 01 02\n")          # RDM: not channel data
            rx.write("00 0A 0B 0C\n")
        got = cap.first(10.0, lambda p: p[4][:8] == f.HEADER and p[2] == h.PEER_IP)
        self.assertIsNotNone(got, "no ArtDmx out")
        src, sport, dst, dport, payload = got
        self.assertEqual((src, sport, dport), (h.DEVICE_IP, 6454, 6454))
        self.assertEqual(struct.unpack("<H", payload[14:16])[0], 2)
        self.assertEqual(payload[18:22], bytes([0x0A, 0x0B, 0x0C, 0]))
        self.assertIn(["read", "000a0b0c"], log_lines(1))


class LedOut(PortsCase):
    def test_ledrunner_b_fills_the_pixel_frame_from_two_universes(self):
        eng = self.start_ports("SA001000000000000I\nSA002000000000000I\nL003001002300\n",
                               "QB002000001\n", confs={3: "led\n"})
        peer = self.peer()
        first = [(i * 3) & 0xFF for i in range(512)]
        second = [(255 - i) & 0xFF for i in range(512)]
        peer.sendto(f.art_dmx(1, first), (h.DEVICE_IP, 6454))
        peer.sendto(f.art_dmx(2, second), (h.DEVICE_IP, 6454))
        want = ["write", frame_hex(first[:510] + second[:510])]
        log = wait_for_log(eng, 3, lambda l: l == want)
        self.assertIsNotNone(log, [l[:1] + [x[:40] for x in l[1:]] for l in log_lines(3)])
        self.assertEqual(log[0:3], [["open", "wronly"], ["params", "2c"],
                                    ["write", "00" * 1020]])


class MissingDevice(h.EngineTestCase):
    def test_a_port_without_its_device_ends_start_up(self):
        for config, fatal in (("P000O\n", "Failed to open Send port/dev/xuart0"),
                              ("P004I\n", "Failed to open RX port/dev/xuart4"),
                              ("L002\n", "Failed to open Send port /dev/xuart2")):
            eng = self.start_engine(config=config, wait=False)
            self.assertEqual(eng.wait_exit(), 1, eng.stderr())
            self.assertIn(fatal, eng.stderr())
            self.assertTrue(os.path.exists("/tmp/panic.dat"))

    def test_the_preload_without_a_folder_changes_nothing(self):
        if h.XUART_SIM is None:
            self.skipTest("no libxuart_sim.so given")
        env = h.xuart_env("/tmp/none")
        del env["XUART_SIM_DIR"]
        eng = self.start_engine(config="P000O\n", wait=False, env=env)
        self.assertEqual(eng.wait_exit(), 1, eng.stderr())
        self.assertIn("Failed to open Send port/dev/xuart0", eng.stderr())


if __name__ == "__main__":
    h.main()
