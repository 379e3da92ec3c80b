// Replies from the probe as the command frames check them: every command is
// sent to a library whose replies (length and bytes, or an error status)
// come from the input, and the host's frame decoder reads the same bytes as
// a serial line would deliver them.
#include "probe/probe_frames.h"
#include "probe/probe_library.h"
#include "probe/probe_status.h"
#include "probe/link/wire_decoder.h"
#include "support/null_probe_library.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// A library that answers each LinkTransact with the next reply of the input:
// a length byte (0xFF: a timeout instead), then that many bytes.
class CReplayLibrary final : public CNullProbeLibrary {
public:
    CReplayLibrary(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    int LinkTransact(int requestLength, const uint8_t* request, int replyCapacity, uint8_t* reply,
                     int timeoutMs) override
    {
        if (requestLength <= 0 || !request || replyCapacity <= 0 || !reply || timeoutMs <= 0)
            std::abort(); // the frames never send nothing or wait for no time
        if (pos_ >= size_)
            return kStatusTimeout;
        const uint8_t length = data_[pos_++];
        if (length == 0xFF)
            return kStatusTimeout;
        const size_t n = std::min<size_t>({length, size_ - pos_, static_cast<size_t>(replyCapacity)});
        std::memcpy(reply, data_ + pos_, n);
        pos_ += n;
        return static_cast<int>(n);
    }


private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// A status is 0, a length, or one of the link's negative codes.
void Check(int status)
{
    if (status > 0 || ProbeStatusText(status).empty())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CReplayLibrary library(data, size);
    CProbeFrames frames(library);
    SLoaderIdentity identity;
    Check(frames.LoaderIdentify(identity));
    uint8_t memory[256];
    Check(frames.ReadProbeMemory(0x1000, sizeof memory, memory));
    Check(frames.EraseProbeSector(0x2000));
    uint32_t value = 0;
    Check(frames.ProgramProbeMemory(0x3000, sizeof memory, memory, value));
    Check(frames.LogicAccess(1));
    uint8_t device = 0;
    Check(frames.LogicReadId(device));
    std::string first, second;
    Check(frames.LogicReadRow(5, first, second));
    if (first.size() > 1000 || second.size() > 1000)
        std::abort();
    Check(frames.LogicProgramRow(5, std::string(kLogicRowFuses, '1')));
    std::string ues;
    Check(frames.LogicReadUes(ues));
    Check(frames.LogicProgramUes(std::string(kLogicUesFuses, '0')));
    Check(frames.LogicErase());
    Check(frames.StartFirmware());
    Check(frames.StartProgramming());
    Check(frames.FlashSetup(1, 16, 0x80000000, 0x555, 0x2AA));
    Check(frames.FlashErase(1, 0, 0x80000000, 0x555, 0x2AA, 0));
    uint8_t state = 0;
    Check(frames.FlashEraseStatus(state, value));

    // The same bytes as a serial line delivers them to the host's decoder.
    CWireDecoder decoder(true);
    decoder.Feed(data, size);
    SWirePacket frame;
    while (decoder.Next(frame))
        if (frame.payload.size() > kMaxWirePayload)
            std::abort();
    return 0;
}
