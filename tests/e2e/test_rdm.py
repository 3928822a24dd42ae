"""RDM over QSP on the real binary, with the simulated UART driver preloaded: discovery and
SET reach the simulated responders on a serial port, the replies come back to port 4000, and
DMX keeps flowing around the transactions. What the port does on the line for each is the
unit tests' business."""

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

    def test_discovery_and_set_over_udp_while_dmx_flows(self):
        eng = self.start_ports(CONFIG, RULES, {PORT: RESPONDERS})
        listener = self.peer(4000, timeout=30)
        stop = threading.Event()
        sender = threading.Thread(target=stream_artdmx, args=(self.peer(), stop))
        sender.start()
        self.addCleanup(sender.join)
        self.addCleanup(stop.set)

        # The mute-deaf device is never recorded; the search still ends.
        found = bytes.fromhex("4a5b00000002" "4a5b00000001")
        self.assertEqual(self.ask(listener, qsrd(1)),
                         b"QSDR\x00\x01" + bytes(6) + b"\x02\x00" + found + bytes(1214 - 26))
        # A SET's answer is the one RDM line on standard output.
        self.assertEqual(self.ask(listener, qsrd(4, pid=0x00F0, data=b"\x01\x2c")),
                         b"QSRP\x00\x04\x00" + PAR + bytes(242 - 13))
        # Frames are written before, during (discovery takes many
        # transactions) and after the RDM transactions.
        def written_around_rdm():
            kinds = [line[0] for line in log_lines(PORT)]
            first, last = kinds.index("rdm"), len(kinds) - 1 - kinds[::-1].index("rdm")
            return all("write" in part for part in (kinds[:first], kinds[first:last], kinds[last:]))
        self.assertTrue(h.poll(written_around_rdm), [line[0] for line in log_lines(PORT)])
        self.assertIn("Response Received ... 0 bytes", eng.stdout())
        self.assertIsNone(eng.proc.poll())


if __name__ == "__main__":
    h.main()
