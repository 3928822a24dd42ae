"""Serial DMX and LED ports on the real binary, with the simulated UART driver preloaded: what
the devices see in xuartN.log (a frame fed to a port through xuartN.rx is the serial example's)."""

import os
import shutil

import artnet_frames as f
import engine_harness as h

SIM = "/tmp/xuart"
# Verbose lines from several threads at once: with TZ unset every log line's
# time conversion re-reads the zone under a libc lock ThreadSanitizer cannot
# see, which it reports (and sometimes trips over).
VERBOSE = {"GLOG_v": "2", "TZ": "UTC"}


def log_lines(port):
    """The lines of xuartN.log as [word, data...], time stamps dropped."""
    text = h.read_file("%s/xuart%d.log" % (SIM, port)) or ""
    return [line.split(" ")[1:] for line in text.splitlines()]


class PortsCase(h.EngineTestCase):
    def setUp(self):
        super().setUp()
        shutil.rmtree(SIM, ignore_errors=True)
        os.makedirs(SIM)

    def start_ports(self, config, rules="", confs=None, env=None):
        for port, text in (confs or {}).items():
            h.write_file("%s/xuart%d.conf" % (SIM, port), text)
        return self.start_engine(config=config, rules=rules, xuart=SIM, env=env)

    def assert_logged(self, port, line):
        """Waits for the device of `port` to log `line` ([word, data...])."""
        found = h.poll(lambda: line in log_lines(port))
        self.assertTrue(found, [l[:1] + [x[:40] for x in l[1:]] for l in log_lines(port)])


class SerialPorts(PortsCase):
    def test_artdmx_is_written_to_a_port_as_one_frame_and_to_a_ledrunner_from_two_universes(self):
        self.start_ports("SA001000000000000I\nSA002000000000000I\nP000O\nL003001002300\n",
                         "F000,002\nQB003000001\n", confs={3: "led\n"})
        first = [(7 * i + 1) & 0xFF for i in range(512)]
        second = [(255 - i) & 0xFF for i in range(512)]
        self.send(f.art_dmx(1, first), 6454)
        self.send(f.art_dmx(2, second), 6454)
        self.assert_logged(0, ["write", "00" + bytes(first).hex()])
        self.assert_logged(3, ["write", bytes(first[:510] + second[:510]).hex()])

    def test_a_k_line_switches_output_ports_to_one_shot(self):
        eng = self.start_ports("P000O050008800080024\nP001I\nL002001002044\n", "K001005\n",
                               confs={2: "led\n"}, env=VERBOSE)
        self.assert_logged(0, ["params", "160002000000000000000000"])
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


if __name__ == "__main__":
    h.main()
