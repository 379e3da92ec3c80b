// The simulated probe's side of the wire: bytes from a host, cut into frames
// by the decoder (with and without checksums) and answered by the probe on a
// RAM board. Every reply must encode within the protocol's limits.
#include "probe/link/wire_decoder.h"
#include "probe/link/wire_packet.h"
#include "sim/probe_sim.h"
#include "sim/probe_sim_ram_board.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the line kind and whether the probe starts in its loader.
    const bool withChecksum = data[0] & 1;
    SProbeSimConfig config;
    config.startInLoader = (data[0] & 2) != 0;
    CProbeSimRamBoard board;
    board.AddRegion(0x00000000, 0x2000, 0xFF);
    board.AddRegion(0x40000000, 0x1000, 0x00);
    CProbeSim probe(board, config);
    // An init list's DELAY waits in real time; stopped, the probe refuses to
    // run lists instead of sleeping through the fuzzer's time.
    probe.Abort();

    CWireDecoder decoder(withChecksum);
    // Fed in two pieces, as a stream arrives.
    const size_t half = (size - 1) / 2;
    decoder.Feed(data + 1, half);
    SWirePacket frame;
    int frames = 0;
    auto drain = [&] {
        while (decoder.Next(frame) && frames < 64) {
            ++frames;
            if (frame.payload.size() > kMaxWirePayload)
                std::abort();
            const SWirePacket reply = probe.Handle(frame);
            if (reply.payload.size() > kMaxWirePayload || reply.sequence != frame.sequence || !reply.IsReply())
                std::abort();
        }
    };
    drain();
    decoder.Feed(data + 1 + half, size - 1 - half);
    drain();
    return 0;
}
