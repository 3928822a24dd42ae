"""RDM over QSP on the real binary, with the simulated UART driver preloaded:
"QSRD" discovery, GET and SET reach the simulated responders on a serial
port, the replies come back to port 4000, and DMX keeps flowing around the
transactions."""

import struct
import threading

import artnet_frames as f
import engine_harness as h
from test_ports import SIM, PortsCase, log_lines

PORT = 2
CONFIG = "SA001000000000000I\nP002O\n"  # Art-Net universe 1 forwarded to port 2
RULES = "F000,001\n"
RESPONDERS = ("responder 4a5b00000001 label=Par_64 address=17\n"
              "responder 4a5b00000002\n"
              "responder 4a5b00000003 fault=nomute\n")
PAR = bytes.fromhex("4a5b00000001")
OWN_UID = bytes.fromhex("574b") + struct.pack(">I", 12345678)  # the serial number
RDM_TIMING = "32000a000000000000000000"
CONTINUOUS = "160002000300000001000000"


def qsrd(command, uid=PAR, pid=0, data=b""):
    return (b"QSRD" + bytes([PORT, command]) + uid + struct.pack("<H", pid)
            + bytes([0, len(data)]) + data)


def rdm_request(transaction, command_class, pid, data=b""):
    frame = (bytes([0xCC, 0x01, 24 + len(data)]) + PAR + OWN_UID
             + bytes([transaction & 0xFF, 1, 0, 0, 0, command_class])
             + struct.pack(">H", pid) + bytes([len(data)]) + data)
    return frame + struct.pack(">H", sum(frame) & 0xFFFF)


class ArtDmxStream:
    """Changing ArtDmx frames for universe 1, so that the port has frames to
    write while RDM runs."""

    def __init__(self, sock):
        self.sock = sock
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self.run)
        self.thread.start()

    def run(self):
        n = 0
        while not self.stop.wait(0.01):
            n += 1
            self.sock.sendto(f.art_dmx(1, [n & 0xFF] * 512), (h.DEVICE_IP, 6454))

    def close(self):
        self.stop.set()
        self.thread.join()


class QspRdm(PortsCase):
    def ask(self, listener, asker, request, size):
        asker.sendto(request, (h.DEVICE_IP, 3333))
        reply, source = listener.recvfrom(2048)
        self.assertEqual(source, (h.DEVICE_IP, 3333))
        self.assertEqual(len(reply), size)
        return reply

    def test_discovery_get_and_set_over_udp(self):
        eng = self.start_ports(CONFIG, RULES, {PORT: RESPONDERS})
        listener = self.peer(4000)
        listener.settimeout(30)
        asker = self.peer()
        frames = ArtDmxStream(self.peer())
        self._closers.insert(0, frames.close)

        reply = self.ask(listener, asker, qsrd(1), 1214)
        self.assertEqual(reply[:6], b"QSDR\x00\x01")
        # The mute-deaf device is never recorded; the search still ends.
        self.assertEqual(struct.unpack("<H", reply[12:14])[0], 2)
        self.assertEqual(reply[14:26], bytes.fromhex("4a5b00000002" "4a5b00000001"))
        self.assertEqual(reply[26:], bytes(1214 - 26))

        rdm_before = sum(1 for l in log_lines(PORT) if l[0] == "rdm")
        reply = self.ask(listener, asker, qsrd(3, pid=0x0082), 242)
        self.assertEqual(reply, b"QSRP\x00\x03\x00" + PAR + b"\x06Par 64" + bytes(242 - 20))
        # Every request of the port took the next transaction number.
        rdm = [l for l in log_lines(PORT) if l[0] == "rdm"]
        self.assertEqual(len(rdm), rdm_before + 1)
        self.assertEqual(rdm[-1][1], rdm_request(len(rdm), 0x20, 0x0082).hex())

        reply = self.ask(listener, asker, qsrd(4, pid=0x00F0, data=b"\x01\x2c"), 242)
        self.assertEqual(reply, b"QSRP\x00\x04\x00" + PAR + bytes(242 - 13))
        reply = self.ask(listener, asker, qsrd(4, pid=0x00F0, data=b"\x02\x01"), 242)
        self.assertEqual(reply, b"QSRP\x00\x04\x02" + PAR + b"\x02\x00\x06" + bytes(242 - 16))
        reply = self.ask(listener, asker, qsrd(3, pid=0x00F0), 242)
        self.assertEqual(reply, b"QSRP\x00\x03\x00" + PAR + b"\x02\x01\x2c" + bytes(242 - 16))
        reply = self.ask(listener, asker, qsrd(3, uid=bytes.fromhex("4a5b000000ff"), pid=0x82),
                         242)
        self.assertEqual(reply, b"QSRP\x00\x03\x04" + bytes.fromhex("4a5b000000ff")
                         + bytes(242 - 13))
        # DMX goes on after the last transaction: wait for a frame written
        # after it before the sender stops.
        def written_after_last_rdm(text):
            kinds = [line.split(" ")[1] for line in text.splitlines()]
            return "write" in kinds[len(kinds) - kinds[::-1].index("rdm"):]
        self.assertIsNotNone(eng.wait_for_file("%s/xuart%d.log" % (SIM, PORT),
                                               written_after_last_rdm))
        frames.close()
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
