"""RDM over QSP on the real binary, with the simulated UART driver preloaded:
"QSRD" discovery, GET and SET reach the simulated responders on a serial
port, the replies come back to port 4000, and DMX keeps flowing around the
transactions."""

import struct
import threading

import artnet_frames as f
import engine_harness as h
from test_ports import PortsCase, log_lines

PORT = 2
CONFIG = "SA001000000000000I\nP002O\n"  # Art-Net universe 1 forwarded to port 2
RULES = "F000,001\n"
RESPONDERS = ("responder 4a5b00000001 label=Par_64 address=17\n"
              "responder 4a5b00000002\n"
              "responder 4a5b00000003 fault=nomute\n")
PAR = bytes.fromhex("4a5b00000001")
RDM_TIMING = "32000a000000000000000000"
CONTINUOUS = "160002000300000001000000"


def qsrd(command, pid=0, data=b""):
    return b"QSRD" + bytes([PORT, command]) + PAR + struct.pack("<HBB", pid, 0, len(data)) + data


def stream_artdmx(sock, stop):
    """Sends changing ArtDmx frames for universe 1 until stop is set, so that
    the port has frames to write while RDM runs."""
    n = 0
    while not stop.wait(0.01):
        n += 1
        sock.sendto(f.art_dmx(1, [n & 0xFF] * 512), (h.DEVICE_IP, 6454))


class QspRdm(PortsCase):
    def ask(self, listener, request):
        self.send(request, 3333)
        reply, source = listener.recvfrom(2048)
        self.assertEqual(source, (h.DEVICE_IP, 3333))
        return reply

    def test_discovery_and_get_over_udp_while_dmx_flows(self):
        eng = self.start_ports(CONFIG, RULES, {PORT: RESPONDERS})
        listener = self.peer(4000)
        listener.settimeout(30)
        stop = threading.Event()
        sender = threading.Thread(target=stream_artdmx, args=(self.peer(), stop))
        sender.start()
        self._closers.insert(0, sender.join)
        self._closers.insert(0, stop.set)

        # The mute-deaf device is never recorded; the search still ends.
        found = bytes.fromhex("4a5b00000002" "4a5b00000001")
        self.assertEqual(self.ask(listener, qsrd(1)),
                         b"QSDR\x00\x01" + bytes(6) + b"\x02\x00" + found + bytes(1214 - 26))
        self.assertEqual(self.ask(listener, qsrd(3, pid=0x0082)),
                         b"QSRP\x00\x03\x00" + PAR + b"\x06Par 64" + bytes(242 - 20))
        # A SET's answer is the one RDM line on standard output.
        self.assertEqual(self.ask(listener, qsrd(4, pid=0x00F0, data=b"\x01\x2c")),
                         b"QSRP\x00\x04\x00" + PAR + bytes(242 - 13))
        # DMX goes on after the last transaction: wait for a frame written
        # after it before the sender stops.
        def written_after_last_rdm():
            kinds = [line[0] for line in log_lines(PORT)]
            return "write" in kinds[len(kinds) - kinds[::-1].index("rdm"):]
        self.assertTrue(h.poll(written_after_last_rdm))
        stop.set()
        sender.join()
        self.assertIn("Response Received ... 0 bytes", eng.stdout())

        log = log_lines(PORT)
        kinds = [l[0] for l in log]
        first, last = kinds.index("rdm"), len(kinds) - 1 - kinds[::-1].index("rdm")
        self.assertIn("write", kinds[:first])
        self.assertIn("write", kinds[first:last], "no frame written during discovery")
        self.assertIn("write", kinds[last:])
        # Each RDM operation runs on the RDM timing and ends on continuous DMX.
        params = None
        for line in log:
            if line[0] == "params":
                params = line[1]
            elif line[0] == "rdm":
                self.assertEqual(params, RDM_TIMING)
        self.assertEqual(params, CONTINUOUS)
        self.assertIsNone(eng.proc.poll())


if __name__ == "__main__":
    h.main()
