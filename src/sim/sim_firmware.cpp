#include "sim/sim_firmware.h"

#include "probe/firmware/firmware_bus.h"
#include "probe/firmware/init_list_runner.h"
#include "probe/probe_frames.h"
#include "probe/probe_status.h"
#include "probe/link/wire_packet.h"

#include <chrono>
#include <functional>
#include <thread>

namespace {

uint32_t Be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

int WidthOfOp(uint8_t op)
{
    switch (op) {
    case kOpTargetWrite8:
    case kOpTargetRead8:
        return 1;
    case kOpTargetWrite16:
    case kOpTargetRead16:
        return 2;
    default:
        return 4;
    }
}

} // namespace

CSimFirmware::CSimFirmware(CSimBoard& board, const SSimFirmwareConfig& config, const std::atomic<bool>& abort)
    : board_(board), config_(config), abort_(abort)
{
}

void CSimFirmware::Reset()
{
    streamOpen_ = false;
    streamStatus_ = 0;
    streamFailAddress_ = 0;
    targetOptions_ = 0;
    initList_.clear();
}

void CSimFirmware::Wait(uint32_t ms) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!abort_ && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(10), end - std::chrono::steady_clock::now()));
}

bool CSimFirmware::HandleCommand(const uint8_t* request, size_t length, std::vector<uint8_t>& reply)
{
    if (length == 0)
        return false;
    const uint8_t code = request[0];
    switch (code) {
    case kCmdStartProgramming:
        streamOpen_ = false;
        reply = {code, 0};
        return true;
    case kCmdFlashSetup:
        if (length != 15) {
            reply = {code, 4};
            return true;
        }
        reply = {code, static_cast<uint8_t>(board_.FlashSetup(request[1], request[2], Be32(request + 3),
                                                              Be32(request + 7), Be32(request + 11)))};
        return true;
    case kCmdFlashErase:
        if (length != 19) {
            reply = {code, 4};
            return true;
        }
        reply = {code, static_cast<uint8_t>(board_.FlashErase(request[1], request[2], Be32(request + 3),
                                                              Be32(request + 7), Be32(request + 11),
                                                              Be32(request + 15)))};
        return true;
    case kCmdFlashEraseStatus: {
        uint8_t state = 0;
        uint32_t value = 0;
        board_.FlashEraseStatus(state, value);
        reply = {code, state, static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                 static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
        return true;
    }
    default:
        return false;
    }
}

namespace {

// The simulated board as the init list runner reaches it: it has no core, so
// EXEC waits its milliseconds as DELAY does.
class CSimFirmwareBus final : public CFirmwareBus {
public:
    CSimFirmwareBus(CSimBoard& board, const std::atomic<bool>& abort, std::function<void(uint32_t)> wait)
        : board_(board), abort_(abort), wait_(std::move(wait))
    {
    }
    bool BusRead(uint32_t address, int widthBytes, uint32_t& value) override
    {
        return board_.BusRead(address, widthBytes, value);
    }
    bool BusWrite(uint32_t address, int widthBytes, uint32_t value) override
    {
        return board_.BusWrite(address, widthBytes, value);
    }
    int WriteRegister(uint16_t regClass, uint16_t number, uint32_t value) override
    {
        board_.WriteRegister(regClass, number, value);
        return kStatusOk;
    }
    int Execute(uint32_t, uint32_t ms) override
    {
        wait_(ms);
        return kStatusOk;
    }
    void Delay(uint32_t ms) override { wait_(ms); }
    bool Stopping() const override { return abort_; }

private:
    CSimBoard& board_;
    const std::atomic<bool>& abort_;
    std::function<void(uint32_t)> wait_;
};

} // namespace

int CSimFirmware::RunInitList()
{
    CSimFirmwareBus bus(board_, abort_, [this](uint32_t ms) { Wait(ms); });
    return CInitListRunner::Run(initList_, bus);
}

int CSimFirmware::ReadBlock(uint32_t address, uint32_t length, CWireWriter& out)
{
    std::vector<uint8_t> data;
    data.reserve(length);
    uint32_t i = 0;
    while (i < length) {
        const uint32_t at = address + i;
        uint32_t value = 0;
        // Whole aligned words where they fit, bytes at the edges.
        if (at % 4 == 0 && length - i >= 4) {
            if (!board_.BusRead(at, 4, value))
                return kStatusTargetAccessError;
            for (int b = 0; b < 4; ++b)
                data.push_back(static_cast<uint8_t>(value >> (8 * b)));
            i += 4;
        } else {
            if (!board_.BusRead(at, 1, value))
                return kStatusTargetAccessError;
            data.push_back(static_cast<uint8_t>(value));
            ++i;
        }
    }
    out.I32(kStatusOk).Bytes(data.data(), data.size());
    return kStatusOk;
}

int CSimFirmware::WriteBlock(uint32_t address, const uint8_t* data, size_t length)
{
    size_t i = 0;
    while (i < length) {
        const uint32_t at = address + static_cast<uint32_t>(i);
        if (at % 4 == 0 && length - i >= 4) {
            const uint32_t value = uint32_t(data[i]) | (uint32_t(data[i + 1]) << 8) | (uint32_t(data[i + 2]) << 16) |
                                   (uint32_t(data[i + 3]) << 24);
            if (!board_.BusWrite(at, 4, value))
                return kStatusTargetAccessError;
            i += 4;
        } else {
            if (!board_.BusWrite(at, 1, data[i]))
                return kStatusTargetAccessError;
            ++i;
        }
    }
    return kStatusOk;
}

bool CSimFirmware::HandleOperation(uint8_t op, CWireReader& in, CWireWriter& out)
{
    switch (op) {
    case kOpTargetConnect:
        if (!in.Done()) {
            out.I32(kStatusInvalidArgument);
            return true;
        }
        out.I32(kStatusOk).U16(config_.firmwareKind).U16(config_.firmwareVersion).Text8(config_.serialNumber);
        return true;
    case kOpTargetDisconnect:
        streamOpen_ = false;
        out.I32(kStatusOk);
        return true;
    case kOpTargetWriteRegisters: {
        const uint16_t count = in.U16();
        struct SReg {
            uint16_t regClass, number;
            uint32_t value;
        };
        std::vector<SReg> regs;
        for (uint16_t i = 0; i < count && in.Ok(); ++i)
            regs.push_back({in.U16(), in.U16(), in.U32()});
        if (!in.Done() || count == 0) {
            out.I32(kStatusInvalidArgument);
            return true;
        }
        for (const SReg& r : regs)
            board_.WriteRegister(r.regClass, r.number, r.value);
        out.I32(kStatusOk);
        return true;
    }
    case kOpTargetReadBlock: {
        const uint32_t address = in.U32();
        const uint32_t length = in.U32();
        if (!in.Done() || length > kMaxWirePayload - 4 || uint64_t(address) + length > 0x100000000ull) {
            out.I32(kStatusInvalidArgument);
            return true;
        }
        CWireWriter data;
        if (const int status = ReadBlock(address, length, data); status != kStatusOk)
            out.I32(status);
        else
            out = std::move(data);
        return true;
    }
    case kOpTargetWriteBlock: {
        const uint32_t address = in.U32();
        const size_t length = in.Remaining();
        const uint8_t* data = in.Bytes(length);
        if (!in.Ok() || uint64_t(address) + length > 0x100000000ull) {
            out.I32(kStatusInvalidArgument);
            return true;
        }
        out.I32(WriteBlock(address, data, length));
        return true;
    }
    case kOpTargetLoadInitList: {
        const uint32_t options = in.U32();
        const uint16_t count = in.U16();
        std::vector<SInitListRecord> list;
        for (uint16_t i = 0; i < count && in.Ok(); ++i) {
            SInitListRecord record;
            record.type = in.U16();
            record.address = in.U32();
            record.value = in.U32();
            list.push_back(record);
        }
        if (!in.Done() || count > kMaxInitListEntries) {
            out.I32(kStatusInvalidArgument);
            return true;
        }
        targetOptions_ = options;
        initList_ = std::move(list);
        out.I32(RunInitList());
        return true;
    }
    case kOpTargetWrite8:
    case kOpTargetWrite16:
    case kOpTargetWrite32: {
        const uint32_t address = in.U32();
        const uint32_t value = in.U32();
        if (!in.Done()) {
            out.I32(kStatusInvalidArgument);
            return true;
        }
        out.I32(board_.BusWrite(address, WidthOfOp(op), value) ? kStatusOk : kStatusTargetAccessError);
        return true;
    }
    case kOpTargetRead8:
    case kOpTargetRead16:
    case kOpTargetRead32: {
        const uint32_t address = in.U32();
        uint32_t value = 0;
        if (!in.Done()) {
            out.I32(kStatusInvalidArgument);
            return true;
        }
        if (!board_.BusRead(address, WidthOfOp(op), value)) {
            out.I32(kStatusTargetAccessError);
            return true;
        }
        out.I32(kStatusOk).U32(value);
        return true;
    }
    case kOpStreamBegin: {
        const uint8_t mode = in.U8();
        in.U8();  // flag
        if (!in.Done() || (mode != kStreamProgram && mode != kStreamVerify)) {
            out.I32(kStatusInvalidArgument);
            return true;
        }
        streamOpen_ = true;
        streamStatus_ = kStatusOk;
        streamFailAddress_ = 0;
        out.I32(kStatusOk);
        return true;
    }
    case kOpStreamBlock: {
        const uint32_t address = in.U32();
        const size_t length = in.Remaining();
        const uint8_t* data = in.Bytes(length);
        if (!streamOpen_) {
            out.I32(kStatusStreamState).U32(0);
            return true;
        }
        // After a failure the stream stops: later blocks are not programmed.
        if (streamStatus_ == kStatusOk && in.Ok()) {
            uint32_t failAddress = 0;
            const int status = board_.FlashProgram(address, data, static_cast<uint32_t>(length), failAddress);
            if (status != kStatusOk) {
                streamStatus_ = status;
                streamFailAddress_ = status == kStatusCompareFailed ? failAddress : 0;
            }
        } else if (!in.Ok() && streamStatus_ == kStatusOk) {
            streamStatus_ = kStatusInvalidArgument;
        }
        out.I32(streamStatus_).U32(streamFailAddress_);
        return true;
    }
    case kOpStreamEnd:
        if (!streamOpen_) {
            out.I32(kStatusStreamState).U32(0);
            return true;
        }
        streamOpen_ = false;
        out.I32(streamStatus_).U32(streamFailAddress_);
        return true;
    default:
        return false;
    }
}
