"""Start-up, the two ways out, and the status files, on the real binary."""

import contextlib
import os
import subprocess

import engine_harness as h

ART_IN = "SA001000000000000I\n"       # Art-Net input, universe 1
ART_OUT = "SA002255255255255 \n"      # Art-Net output, universe 2, broadcast
VIRTUAL = "V\n"


class StartUp(h.EngineTestCase):
    def test_banner_status_files_and_ctrl_c_without_a_rules_file(self):
        eng = self.start_engine(config=ART_IN + ART_OUT + VIRTUAL, rules=None)
        log = eng.stderr()
        self.assertIn("Corvanta Mk2 Engine Starting ", log)
        self.assertIn("Version CORVANTA MK2 V1.8-0008", log)
        self.assertIn("Serial: 12345678 12345678", log)
        self.assertIn("Mac: 00:1a:2b:3c:4d:5e\n 0 26 43 60 77 94", log)
        self.assertIn("Found:3 streams and :0rules", log)
        self.assert_file("/tmp/stats.dat", "0,0,0,0 Kb\n1,0,0,0 Kb\n2,0,0,0 Kb\n")
        self.assert_file("/tmp/unmatched_stats.dat", "")
        self.assertEqual(eng.interrupt(), 0)
        self.assertEqual(eng.stdout(), "Quitting because of ctrl-c....\n")
        self.assertFalse(os.path.exists("/tmp/panic.dat"))

    def test_each_fatal_start_up(self):
        six = "".join(h.DEFAULT_SERIAL.splitlines(True)[:6])
        ports = "".join("P%03dO\n" % n for n in range(33))
        # The preload without its folder serves no device, as on a board without
        # the driver: each port open's way out runs here, on the binary.
        no_folder = {k: v for k, v in h.xuart_env("/tmp/none").items() if k != "XUART_SIM_DIR"}
        cases = [
            ("Missing serial.dat", dict(serial=None, config=VIRTUAL)),
            ("Missing serial.dat (Board type number)", dict(serial=six, config=VIRTUAL)),
            ("couldn't open config", dict(config=None)),
            # Every config refusal is pinned in ConfigParse.UnusableLinesAreRefused;
            # here the way out, once for a plain line and once with ports built.
            ("Unknown Config x123", dict(config=VIRTUAL + "x123\n")),
            ("Unkown Rule x000", dict(config=VIRTUAL, rules="F000 000\nx000\n")),
            ("Rule 0 refers  to non existent stream, total streams: 1",
             dict(config=VIRTUAL, rules="F000 001\n")),
            ("Too many Ports in config", dict(config=ports, xuart="/tmp/xuart")),
            ("Failed to open Send port/dev/xuart0", dict(config="P000O\n", env=no_folder)),
            ("Failed to open RX port/dev/xuart4", dict(config="P004I\n", env=no_folder)),
            ("Failed to open Send port /dev/xuart2", dict(config="L002\n", env=no_folder)),
        ]
        for message, files in cases:
            with self.subTest(message):
                self.assert_fatal(message, **files)

    def test_status_file_paths(self):
        """A link at a status file's path is followed and stays; a path that cannot take a new
        file ends the engine as a file that cannot be opened does."""
        files = (("stats.dat", "Can't open Stats Log", "0,0,0,0 Kb\n"),
                 ("unmatched_stats.dat", "Can't open Unmatched Stats Log", ""))
        # What stands at /tmp/NAME before the engine starts, and the file that must then get the
        # contents (None: the engine must end).
        cases = (
            ("a folder", "mkdir /tmp/NAME", None),
            ("a link into a missing folder", "ln -s /tmp/gone/NAME /tmp/NAME", None),
            ("a link to a file in another folder",
             "mkdir /tmp/front && echo old >/tmp/front/NAME && ln -s /tmp/front/NAME /tmp/NAME",
             "/tmp/front/NAME"),
            ("nothing", "true", "/tmp/NAME"),
        )
        for name, message, contents in files:
            for what, prepare, lands_in in cases:
                # Each row's engine is gone before the next one binds the same ports.
                with self.subTest(name + ": " + what), contextlib.ExitStack() as rows:
                    rows.callback(self.doCleanups)
                    subprocess.run("rm -rf /tmp/front /tmp/stats.dat /tmp/unmatched_stats.dat",
                                   shell=True, check=True)
                    run = dict(config=VIRTUAL, command=[
                        "sh", "-c", prepare.replace("NAME", name) + ' && exec "$0"', h.ENGINE])
                    if lands_in is None:
                        self.assert_fatal(message, beside_start_up=True, **run)
                        continue
                    eng = self.start_engine(**run)
                    target = lands_in.replace("NAME", name)
                    self.assert_file(target, contents)
                    self.assertEqual(os.path.islink("/tmp/" + name), target != "/tmp/" + name)
                    self.assertNotIn(name + ".new", os.listdir(os.path.dirname(target)))
                    self.assertEqual(eng.interrupt(), 0)

    def test_full_table_and_full_port_list_are_accepted(self):
        ports = "".join("P%03dO\n" % n for n in range(32))
        eng = self.start_engine(config=ports + VIRTUAL * 224, rules="", xuart="/tmp/xuart")
        self.assertIn("Found:256 streams", eng.stderr())
        self.assertEqual(eng.interrupt(), 0)


if __name__ == "__main__":
    h.main()
