"""Bursts of ArtDmx on many universes forwarded to Art-Net out: every frame that leaves is one a
sender sent, never a mix of two, and each burst's last frame leaves within two passes, not on
the forced pass seconds later. Passes are counted with a probe universe: once probe 1, sent
after a burst, has left, a pass has taken all the burst sent; once probe 2 has left, a second
pass has run. A final frame not out by then was lost."""

import random
import socket
import struct
import time

import artnet_frames as f
import engine_harness as h

UNIVERSES = 60
BURSTS = 100
FRAMES_PER_BURST = 2
OUT_BASE = 501           # output universe of input universe u is OUT_BASE + u - 1
PROBE_IN, PROBE_OUT = 300, 700
PEER = "SA%03d127000000003O\n"
INPUT = "SA%03d000000000000I\n"
SO_RCVBUFFORCE = 33  # Linux; the socket module does not name it


def config_and_rules():
    # Outputs come first in the table: their sends run between the rule pass
    # and the end of the pass, where a late input frame must keep its flag.
    outputs = [OUT_BASE + k for k in range(UNIVERSES)] + [PROBE_OUT]
    inputs = list(range(1, UNIVERSES + 1)) + [PROBE_IN]
    config = "".join([PEER % u for u in outputs] + [INPUT % u for u in inputs])
    return config, "".join("F%03d %03d\n" % (len(outputs) + k, k) for k in range(len(inputs)))


def frame(universe, burst, k):
    """A frame of its own for every universe, burst and step."""
    seed = (universe * 7 + burst * FRAMES_PER_BURST + k) * 131
    return bytes([(seed + i * 3 + (seed >> 8)) & 0xFF for i in range(512)])


class BurstsEndOnTheirLastFrame(h.EngineTestCase):
    def test_last_frames_leave_within_two_passes_and_whole(self):
        config, rules = config_and_rules()
        self.start_engine(config=config, rules=rules)
        cap = self.capture()
        # The capture sees every datagram of a burst twice before it is read.
        cap.sock.setsockopt(socket.SOL_SOCKET, SO_RCVBUFFORCE, 16 << 20)
        peer = self.peer()
        sent = {OUT_BASE + k: {bytes(512)} for k in range(UNIVERSES)}
        probe = 0
        late = []
        foreign = []

        def send_probe_and_collect(finals):
            """Sends one probe, returns once it left; notes finals seen."""
            nonlocal probe
            probe += 1
            value = bytes([probe & 0xFF]) * 512
            peer.sendto(f.art_dmx(PROBE_IN, value), (h.DEVICE_IP, 6454))
            deadline = time.monotonic() + 10.0
            while True:
                pkt = cap.first(max(0.0, deadline - time.monotonic()), f.artdmx_out())
                self.assertIsNotNone(pkt, "probe %d never left" % probe)
                universe, data = struct.unpack("<H", pkt[4][14:16])[0], pkt[4][18:530]
                if universe == PROBE_OUT:
                    if data == value:
                        return
                    continue
                if data not in sent.get(universe, ()):
                    foreign.append(universe)
                if finals.get(universe) == data:
                    del finals[universe]

        # The bursts start at random points of the engine's 25 ms pass, not
        # always just after the pass that sent the last probe.
        jitter = random.Random(14)
        for burst in range(BURSTS):
            time.sleep(jitter.uniform(0.0, 0.025))
            finals = {}
            for k in range(FRAMES_PER_BURST):
                for u in range(1, UNIVERSES + 1):
                    data = frame(u, burst, k)
                    sent[OUT_BASE + u - 1].add(data)
                    finals[OUT_BASE + u - 1] = data
                    peer.sendto(f.art_dmx(u, data), (h.DEVICE_IP, 6454))
            send_probe_and_collect(finals)
            send_probe_and_collect(finals)
            late += [(burst, u) for u in sorted(finals)]

        self.assertEqual(foreign, [], "frames no sender sent left on these universes")
        self.assertEqual(late, [], "last frames of a burst not out within two passes")


if __name__ == "__main__":
    h.main()
