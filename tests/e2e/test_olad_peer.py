"""olad, a standard Art-Net node, sending a universe of three channels, as a short ArtDmx
(Length 4, 22 bytes), to the real engine. olad gets a network namespace of its own, joined to
the engine's by a veth pair, so that the two Art-Net sockets on UDP 6454 never share a host; it
refuses root, so it runs as nobody, with a private configuration folder."""

import os
import re
import shutil
import subprocess

import artnet_frames as f
import engine_harness as h

ENGINE_SIDE = "10.77.0.2"
OLAD_SIDE = "10.77.0.3"
OLA_CONFIG = "/tmp/ola"
NOBODY = "65534"
# Every plugin of olad but Art-Net stays off: none of them may take a port
# or a device of the test.
OTHER_PLUGINS = ("dummy e131 espnet ftdidmx gpio karate kinet milinst opendmx openpixelcontrol "
                 "osc pathport renard sandnet shownet spi stageprofi uartdmx usbdmx usbserial")
ARTNET_CONFIG = ("enabled = true\nip = %s\nalways_broadcast = true\nuse_limited_broadcast = false\n"
                 "use_loopback = false\nnet = 0\nsubnet = 0\noutput_ports = 4\n"
                 "short_name = olad peer\nlong_name = olad peer\n" % OLAD_SIDE)

# Universe 1 in from olad, forwarded to universe 2 towards the test peer.
CONFIG = "SA001000000000000I\nSA002127000000003O\n"
RULES = "F000 001\n"


def run(cmd):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)


def stop(process):
    process.kill()
    process.wait()


class OladPeer(h.EngineTestCase):
    def setUp(self):
        super().setUp()
        if not (shutil.which("olad") and shutil.which("ola_set_dmx")):
            self.skipTest("no olad (Debian package ola; tools/install-deps.sh installs it)")

    def in_olad_net(self, cmd, user=None):
        prefix = ["nsenter", "--net=/proc/%d/ns/net" % self.holder.pid]
        if user is not None:
            prefix += ["setpriv", "--reuid=" + user, "--regid=" + user, "--clear-groups"]
        return prefix + cmd

    def start_olad(self):
        """olad on its side of a veth pair; returns its Art-Net device id."""
        self.holder = subprocess.Popen(["unshare", "--net", "sleep", "infinity"])
        self.addCleanup(stop, self.holder)
        own = os.readlink("/proc/self/ns/net")
        self.assertTrue(h.poll(lambda: os.readlink("/proc/%d/ns/net" % self.holder.pid) != own),
                        "olad's namespace never appeared")
        run(["ip", "link", "add", "vengine", "type", "veth", "peer", "name", "volad",
             "netns", str(self.holder.pid)])
        run(["ip", "addr", "add", ENGINE_SIDE + "/24", "brd", "+", "dev", "vengine"])
        run(["ip", "link", "set", "vengine", "up"])
        run(self.in_olad_net(["ip", "link", "set", "lo", "up"]))
        run(self.in_olad_net(["ip", "addr", "add", OLAD_SIDE + "/24", "brd", "+", "dev", "volad"]))
        run(self.in_olad_net(["ip", "link", "set", "volad", "up"]))

        os.makedirs(OLA_CONFIG)
        for plugin in OTHER_PLUGINS.split():
            h.write_file("%s/ola-%s.conf" % (OLA_CONFIG, plugin), "enabled = false\n")
        h.write_file(OLA_CONFIG + "/ola-artnet.conf", ARTNET_CONFIG)
        run(["chown", "-R", NOBODY + ":" + NOBODY, OLA_CONFIG])
        with open("/tmp/olad.log", "w") as log:
            olad = subprocess.Popen(
                self.in_olad_net(["olad", "-c", OLA_CONFIG, "--no-http",
                                  "--no-register-with-dns-sd"], user=NOBODY),
                stdout=log, stderr=log, cwd="/tmp")
        self.addCleanup(stop, olad)

        def device():
            self.assertIsNone(olad.poll(), h.read_file("/tmp/olad.log"))
            info = subprocess.run(self.in_olad_net(["ola_dev_info"]), capture_output=True,
                                  text=True).stdout
            found = re.search(r"Device (\d+): ArtNet", info)
            return found and found.group(1)
        found = h.poll(device)
        self.assertIsNotNone(found, "olad's Art-Net device never appeared:\n"
                             + (h.read_file("/tmp/olad.log") or ""))
        return found

    def test_three_channels_from_olad_reach_the_engine(self):
        self.start_engine(config=CONFIG, rules=RULES)
        cap = self.capture()
        device = self.start_olad()

        # A full frame first, from a plain peer: olad's short frame must
        # change its own channels only.
        held = bytes([5] * 512)
        self.send(f.art_dmx(1, held), 6454)
        self.assertIsNotNone(cap.first(5.0, f.artdmx_out(2, held)), "the full frame never left")

        run(self.in_olad_net(["ola_patch", "-d", device, "-p", "0", "-u", "1"]))
        run(self.in_olad_net(["ola_set_dmx", "-u", "1", "-d", "10,20,30"]))
        # olad pads three channels to four, so channel 4 becomes 0.
        expected = bytes([10, 20, 30, 0]) + held[4:]
        self.assertIsNotNone(cap.first(10.0, f.artdmx_out(2, expected)),
                             "olad's three channels never reached the engine")


if __name__ == "__main__":
    h.main()
