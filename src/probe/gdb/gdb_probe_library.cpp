#include "probe/gdb/gdb_probe_library.h"

#include "probe/firmware/firmware_bus.h"
#include "probe/firmware/flash_program_cycles.h"
#include "probe/firmware/init_list_runner.h"
#include "probe/link/link_channel.h"
#include "probe/link/tcp_connector.h"
#include "probe/probe_frames.h"
#include "probe/probe_status.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kProgramFailed = kStatusCompareFailed;
constexpr int kNoSession = kStatusInvalidMode;

// A core register's name in the target description: ARM's general
// registers by number, as GDB servers for ARM cores name them.
const char* GeneralRegisterName(uint16_t number)
{
    static const char* const kNames[] = {"r0", "r1", "r2", "r3",  "r4",  "r5", "r6", "r7",
                                         "r8", "r9", "r10", "r11", "r12", "sp", "lr", "pc"};
    return number < 16 ? kNames[number] : nullptr;
}

// The probe library's bus for the init list runner.
class CGdbFirmwareBus final : public CFirmwareBus {
public:
    explicit CGdbFirmwareBus(CGdbProbeLibrary& library) : library_(library) {}
    bool BusRead(uint32_t address, int widthBytes, uint32_t& value) override
    {
        return library_.BusRead(address, widthBytes, value);
    }
    bool BusWrite(uint32_t address, int widthBytes, uint32_t value) override
    {
        return library_.BusWrite(address, widthBytes, value);
    }
    int WriteRegister(uint16_t regClass, uint16_t number, uint32_t value) override
    {
        return library_.WriteRegister(regClass, number, value);
    }
    int Execute(uint32_t address, uint32_t ms) override { return library_.Execute(address, ms); }
    void Delay(uint32_t ms) override { CSystemClock::Instance().SleepMs(ms); }

private:
    CGdbProbeLibrary& library_;
};

// Bus cycles of one width, as the program loops take them.
class CGdbCycles {
public:
    CGdbCycles(CGdbProbeLibrary& library, int widthBytes) : library_(library), width_(widthBytes) {}
    bool Read(uint32_t address, uint32_t& value) { return library_.BusRead(address, width_, value); }
    bool Write(uint32_t address, uint32_t value) { return library_.BusWrite(address, width_, value); }

private:
    CGdbProbeLibrary& library_;
    int width_;
};

uint32_t Be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

bool IsPowerOfTwo(uint64_t v)
{
    return v != 0 && (v & (v - 1)) == 0;
}

} // namespace

CGdbProbeLibrary::CGdbProbeLibrary(CClock& clock) : clock_(clock) {}

CGdbProbeLibrary::~CGdbProbeLibrary()
{
    LinkClose();
}

bool CGdbProbeLibrary::ChannelTextOf(const std::string& hostPort, std::string& channelText)
{
    const size_t colon = hostPort.rfind(':');
    if (colon == std::string::npos || colon == 0 || hostPort.find(' ') != std::string::npos)
        return false;
    const std::string port = hostPort.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long value = std::strtoul(port.c_str(), nullptr, 10);
    if (value == 0 || value > 65535)
        return false;
    channelText = std::string("GDB ").append(hostPort);
    return true;
}

int CGdbProbeLibrary::LinkOpen(const std::string& channelText)
{
    LinkClose();
    // Any other channel is the QDX7000's own (its loader's serial port, a
    // project's channel): this library cannot open it.
    if (channelText.rfind("GDB ", 0) != 0)
        return kStatusNotSupported;
    const std::string hostPort = channelText.substr(4);
    const size_t colon = hostPort.rfind(':');
    std::string checked;
    if (!ChannelTextOf(hostPort, checked))
        return kStatusBadChannel;
    linkTarget_ = hostPort;
    std::unique_ptr<CLinkTransport> transport;
    int status = CTcpConnector::Connect(hostPort.substr(0, colon),
                                        static_cast<uint16_t>(std::strtoul(hostPort.c_str() + colon + 1, nullptr, 10)),
                                        kConnectTimeoutMs, clock_, transport);
    if (status != kStatusOk)
        return status;
    session_ = std::make_unique<CGdbRemoteSession>(std::move(transport), clock_);
    target_ = std::make_unique<CGdbTarget>(*session_, kPacketTimeoutMs);
    status = target_->Attach();
    if (status == kStatusOk) {
        // QEMU's server writes memory past the flash models unless asked for
        // bus cycles; other servers do not know the packet.
        const int mode = target_->UsePhysicalBusCycles();
        qemuClock_ = mode == kStatusOk;
        if (mode != kStatusOk && mode != kStatusNotSupported && mode != kStatusUnexpectedReply)
            status = mode;
    }
    if (status != kStatusOk) {
        target_.reset();
        session_.reset();
    }
    return status;
}

int CGdbProbeLibrary::LinkCheckSerialPort(int, int)
{
    return kStatusNotSupported;
}

int32_t CGdbProbeLibrary::LinkParseAddress(const std::string& ipText)
{
    uint32_t address = 0;
    if (!ParseIpv4(ipText, address))
        return -1;
    return static_cast<int32_t>(address);
}

void CGdbProbeLibrary::LinkClose()
{
    if (session_) {
        // Detach: the server lets the target go on and closes its side.
        std::string reply;
        session_->Transact("D", reply, 500);
    }
    target_.reset();
    session_.reset();
    stream_ = EStream::None;
    algorithm_ = nullptr;
    verifySession_ = false;
}

std::string CGdbProbeLibrary::LinkErrorText(int status)
{
    if (status == kStatusNotSupported)
        return std::string("Not supported by this probe: a GDB server (")
            .append(linkTarget_)
            .append(") is no QDX7000. The probe information, the probe update, its network setup and the "
                    "on-chip flash algorithms need a QDX7000.");
    std::string text = ProbeStatusText(status);
    if (!linkTarget_.empty())
        text.append(" (GDB server ").append(linkTarget_).append(")");
    return text;
}

int CGdbProbeLibrary::LinkTransact(int requestLength, const uint8_t* request, int replyCapacity, uint8_t* reply,
                                   int)
{
    if (!Connected())
        return kStatusLinkNotOpen;
    if (requestLength <= 0 || !request || replyCapacity < 6 || !reply)
        return kStatusInvalidArgument;
    const uint8_t code = request[0];
    switch (code) {
    case kCmdStartProgramming:
        stream_ = EStream::None;
        reply[0] = code;
        reply[1] = 0;
        return 2;
    case kCmdFlashSetup: {
        if (requestLength != 15) {
            reply[0] = code;
            reply[1] = 4;
            return 2;
        }
        const int status = FlashSetup(request[1], request[2], Be32(request + 3));
        if (status < 0)
            return status;
        reply[0] = code;
        reply[1] = static_cast<uint8_t>(status);
        return 2;
    }
    case kCmdFlashErase:
        // Only the on-chip algorithms erase through the probe; a GDB server
        // has none of them.
        return kStatusNotSupported;
    case kCmdFlashEraseStatus:
        reply[0] = code;
        for (int i = 1; i < 6; ++i)
            reply[i] = 0;
        return 6;
    default:
        return kStatusNotSupported;
    }
}

int CGdbProbeLibrary::FlashSetup(uint8_t algorithm, uint8_t busWidth, uint32_t p1)
{
    if (algorithm == 0) {
        algorithm_ = nullptr;
        verifySession_ = false;
        return 0;
    }
    if (algorithm == 1) {
        algorithm_ = nullptr;
        verifySession_ = true;
        return 0;
    }
    algorithm_ = nullptr;
    verifySession_ = false;
    const SFirmwareAlgorithm* a = FindFirmwareAlgorithm(algorithm);
    if (!a)
        return 1;
    if (a->commandSet == EFirmwareCommandSet::OnChip)
        return kStatusNotSupported;
    if ((busWidth != 1 && busWidth != 2 && busWidth != 4) || busWidth < a->deviceWidth ||
        (a->fixedBusWidth && busWidth != a->fixedBusWidth))
        return 4;
    if (a->commandSet == EFirmwareCommandSet::Jedec || a->commandSet == EFirmwareCommandSet::PageWrite) {
        const uint64_t bankSize = (uint64_t(~p1) + 1) & 0xFFFFFFFFULL;
        if (!IsPowerOfTwo(bankSize) || bankSize < busWidth)
            return 4;
    }
    // The loops run here on the host: no code goes into the workspace.
    algorithm_ = a;
    busBytes_ = busWidth;
    bankMask_ = p1;
    return 0;
}

int CGdbProbeLibrary::StreamBegin(int mode, int)
{
    if (!Connected())
        return kStatusLinkNotOpen;
    if (mode != kStreamProgram && mode != kStreamVerify)
        return kStatusInvalidArgument;
    stream_ = mode == kStreamProgram ? EStream::Program : EStream::Verify;
    streamStatus_ = kStatusOk;
    streamFailAddress_ = 0;
    return kStatusOk;
}

int CGdbProbeLibrary::StreamBlock(uint32_t address, uint32_t length, const uint8_t* bytes)
{
    if (stream_ == EStream::None)
        return kStatusStreamState;
    // After a failure the stream stops: later blocks are not programmed.
    if (streamStatus_ != kStatusOk)
        return streamStatus_;
    if (length == 0)
        return kStatusOk;
    if (!bytes || uint64_t(address) + length > 0x100000000ULL) {
        streamStatus_ = kProgramFailed;
        streamFailAddress_ = address;
        return streamStatus_;
    }
    uint32_t failAddress = 0;
    int status = kStatusOk;
    if (verifySession_)
        status = VerifyBlock(address, length, bytes, failAddress);
    else if (algorithm_)
        status = ProgramBlock(address, length, bytes, failAddress);
    else
        status = kNoSession;
    if (status != kStatusOk) {
        streamStatus_ = status;
        streamFailAddress_ = status == kProgramFailed ? failAddress : 0;
    }
    return streamStatus_;
}

int CGdbProbeLibrary::StreamEnd(uint32_t& failAddress)
{
    if (stream_ == EStream::None)
        return kStatusStreamState;
    stream_ = EStream::None;
    failAddress = streamFailAddress_;
    return streamStatus_;
}

int CGdbProbeLibrary::ProgramBlock(uint32_t address, uint32_t length, const uint8_t* bytes, uint32_t& failAddress)
{
    const CFlashProgramCycles cycles(*algorithm_, busBytes_, bankMask_, clock_);
    CGdbCycles bus(*this, int(busBytes_));
    int status = kNoSession;
    switch (algorithm_->commandSet) {
    case EFirmwareCommandSet::Jedec: {
        uint32_t unlock1 = 0, unlock2 = 0;
        cycles.UnlockOffsets(unlock1, unlock2);
        status = cycles.ProgramJedec(bus, unlock1, unlock2, address, bytes, length, failAddress);
        break;
    }
    case EFirmwareCommandSet::Intel:
        status = cycles.ProgramIntel(bus, address, bytes, length, failAddress);
        break;
    case EFirmwareCommandSet::PageWrite:
        status = cycles.ProgramPages(bus, address, bytes, length, failAddress);
        break;
    case EFirmwareCommandSet::OnChip:
        break;
    }
    // A connection that broke in the middle is that, not a flash failure.
    if (status != kStatusOk && lastStatus_ != kStatusOk && lastStatus_ != kStatusTargetAccessError)
        return lastStatus_;
    return status;
}

int CGdbProbeLibrary::VerifyBlock(uint32_t address, uint32_t length, const uint8_t* bytes, uint32_t& failAddress)
{
    std::vector<uint8_t> read(std::min<uint32_t>(length, 64 * 1024));
    uint32_t done = 0;
    while (done < length) {
        const uint32_t part = std::min<uint32_t>(length - done, uint32_t(read.size()));
        const int status = target_->ReadMemory(address + done, part, read.data());
        if (status != kStatusOk) {
            if (status != kStatusTargetAccessError)
                return status;
            failAddress = address + done;
            return kProgramFailed;
        }
        for (uint32_t i = 0; i < part; ++i) {
            if (read[i] != bytes[done + i]) {
                failAddress = address + done + i;
                return kProgramFailed;
            }
        }
        done += part;
    }
    return kStatusOk;
}

int CGdbProbeLibrary::TargetConnect(SProbeIdentification& identification)
{
    if (!Connected())
        return kStatusLinkNotOpen;
    identification.firmwareKind = kFirmwareKindFlashProgramming;
    identification.firmwareVersion = 0;
    identification.serialNumber = std::string("GDB ").append(linkTarget_);
    return kStatusOk;
}

void CGdbProbeLibrary::TargetDisconnect()
{
    stream_ = EStream::None;
}

int CGdbProbeLibrary::WriteRegister(uint16_t regClass, uint16_t number, uint32_t value)
{
    if (!Connected())
        return kStatusLinkNotOpen;
    if (regClass == kRegClassGeneral) {
        const char* name = GeneralRegisterName(number);
        if (!name)
            return kStatusInvalidArgument;
        int status = target_->WriteRegister(name, value);
        if (status == kStatusInvalidArgument && number >= 13) {
            // Some descriptions number the last three as r13..r15.
            const std::string plain = std::string("r").append(std::to_string(number));
            status = target_->WriteRegister(plain, value);
        }
        return status;
    }
    if (regClass == kRegClassCpsr)
        return target_->WriteRegister("cpsr", value);
    if (regClass == kRegClassCp15) {
        // The selector: op1 in bits 12-15, CRn 8-11, CRm 4-7, op2 0-3, as
        // the server's coprocessor command takes them.
        char command[80];
        std::snprintf(command, sizeof command, "arm mcr 15 %u %u %u %u 0x%08x", (number >> 12) & 0xFu,
                      (number >> 8) & 0xFu, (number >> 4) & 0xFu, number & 0xFu, value);
        std::string output;
        const int status = target_->Monitor(command, output);
        if (status != kStatusOk)
            return status;
        // A server that knows no such command says so in its output.
        if (output.find("invalid") != std::string::npos || output.find("unknown") != std::string::npos ||
            output.find("not supported") != std::string::npos)
            return kStatusNotSupported;
        return kStatusOk;
    }
    return kStatusInvalidArgument;
}

int CGdbProbeLibrary::TargetWriteRegisters(int count, const SProbeRegisterId* ids, const uint32_t* values)
{
    if (count <= 0 || !ids || !values)
        return kStatusInvalidArgument;
    for (int i = 0; i < count; ++i) {
        if (const int status = WriteRegister(ids[i].regClass, ids[i].number, values[i]); status != kStatusOk)
            return status;
    }
    return kStatusOk;
}

int CGdbProbeLibrary::Execute(uint32_t address, uint32_t ms)
{
    if (!Connected())
        return kStatusLinkNotOpen;
    if (const int status = target_->WriteRegister("pc", address); status != kStatusOk)
        return status;
    std::string stop;
    const int status = target_->Continue(static_cast<int>(ms), stop);
    // Running the whole time is what EXEC asks; stopping earlier ends it.
    return status == kStatusTimeout ? kStatusOk : status;
}

int CGdbProbeLibrary::TargetReadBlock(uint32_t address, int, uint32_t length, uint8_t* buffer)
{
    if (!Connected())
        return kStatusLinkNotOpen;
    if (!buffer || uint64_t(address) + length > 0x100000000ULL)
        return kStatusInvalidArgument;
    return target_->ReadMemory(address, length, buffer);
}

int CGdbProbeLibrary::TargetWriteBlock(uint32_t address, int, uint32_t length, const uint8_t* bytes)
{
    if (!Connected())
        return kStatusLinkNotOpen;
    if (!bytes || uint64_t(address) + length > 0x100000000ULL)
        return kStatusInvalidArgument;
    return target_->WriteMemory(address, length, bytes);
}

int CGdbProbeLibrary::TargetLoadInitList(int, uint32_t, int count, const SInitListRecord* records)
{
    if (!Connected())
        return kStatusLinkNotOpen;
    if (count < 0 || count > kMaxInitListEntries || (count > 0 && !records))
        return kStatusInvalidArgument;
    const std::vector<SInitListRecord> list(records, records + count);
    CGdbFirmwareBus bus(*this);
    const int status = CInitListRunner::Run(list, bus);
    // A bus cycle that failed because the connection did is reported as that.
    if (status == kStatusTargetAccessError && lastStatus_ != kStatusOk && lastStatus_ != kStatusTargetAccessError)
        return lastStatus_;
    return status;
}

void CGdbProbeLibrary::LetQemuClockRun(uint32_t address)
{
    if (!qemuClock_ || pollReads_ < 2 || pollAddress_ != address || pollValues_[0] == pollValues_[1])
        return;
    uint32_t pc = 0;
    std::string stop;
    if (target_->ReadRegister("pc", pc) != kStatusOk || target_->InsertBreakpoint(pc) != kStatusOk)
        return;
    target_->Continue(kPacketTimeoutMs, stop);
    target_->RemoveBreakpoint(pc);
}

bool CGdbProbeLibrary::BusRead(uint32_t address, int widthBytes, uint32_t& value)
{
    lastStatus_ = kStatusLinkNotOpen;
    if (!Connected() || (widthBytes != 1 && widthBytes != 2 && widthBytes != 4))
        return false;
    LetQemuClockRun(address);
    uint8_t bytes[4] = {};
    lastStatus_ = target_->ReadMemory(address, uint32_t(widthBytes), bytes);
    if (lastStatus_ != kStatusOk) {
        pollReads_ = 0;
        return false;
    }
    value = 0;
    for (int i = 0; i < widthBytes; ++i)
        value |= uint32_t(bytes[i]) << (8 * i);
    if (address != pollAddress_)
        pollReads_ = 0;
    pollAddress_ = address;
    pollValues_[0] = pollValues_[1];
    pollValues_[1] = value;
    ++pollReads_;
    return true;
}

bool CGdbProbeLibrary::BusWrite(uint32_t address, int widthBytes, uint32_t value)
{
    lastStatus_ = kStatusLinkNotOpen;
    if (!Connected() || (widthBytes != 1 && widthBytes != 2 && widthBytes != 4))
        return false;
    uint8_t bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = uint8_t(value >> (8 * i));
    lastStatus_ = target_->WriteMemory(address, uint32_t(widthBytes), bytes);
    pollReads_ = 0;
    return lastStatus_ == kStatusOk;
}

int CGdbProbeLibrary::TargetWrite8(uint32_t address, uint32_t value)
{
    return BusWrite(address, 1, value) ? kStatusOk : lastStatus_;
}

int CGdbProbeLibrary::TargetWrite16(uint32_t address, uint32_t value)
{
    return BusWrite(address, 2, value) ? kStatusOk : lastStatus_;
}

int CGdbProbeLibrary::TargetWrite32(uint32_t address, uint32_t value)
{
    return BusWrite(address, 4, value) ? kStatusOk : lastStatus_;
}

int CGdbProbeLibrary::TargetRead8(uint32_t address, uint8_t& value)
{
    uint32_t v = 0;
    if (!BusRead(address, 1, v))
        return lastStatus_;
    value = uint8_t(v);
    return kStatusOk;
}

int CGdbProbeLibrary::TargetRead16(uint32_t address, uint16_t& value)
{
    uint32_t v = 0;
    if (!BusRead(address, 2, v))
        return lastStatus_;
    value = uint16_t(v);
    return kStatusOk;
}

int CGdbProbeLibrary::TargetRead32(uint32_t address, uint32_t& value)
{
    return BusRead(address, 4, value) ? kStatusOk : lastStatus_;
}
