#include "probe/link/link_library.h"

#include "probe/init_list_walker.h"
#include "probe/link/link_channel.h"
#include "probe/probe_status.h"
#include "probe/link/serial_port.h"
#include "probe/link/tcp_connector.h"
#include "probe/link/wire_payload.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsTransportFailure(int status)
{
    return status == kStatusTimeout || status == kStatusConnectionLost || status == kStatusFramingError ||
           status == kStatusLinkNotOpen;
}

// True when address .. address+length-1 stays inside the 32-bit space.
bool FitsAddressSpace(uint32_t address, uint32_t length)
{
    return length == 0 || uint64_t(address) + length <= 0x100000000ull;
}

// A plain byte loop: GCC 12 warns falsely (-Warray-bounds) on memcpy from a
// payload vector here.
void CopyBytes(const uint8_t* from, size_t length, uint8_t* to)
{
    for (size_t i = 0; i < length; ++i)
        to[i] = from[i];
}

// The probe's status at the start of a reply: kStatusOk when it says
// success (the fields of the success follow in `in`), else the failure.
int ReplyStatus(CWireReader& in)
{
    const int32_t probeStatus = in.I32();
    return in.Ok() ? probeStatus : kStatusUnexpectedReply;
}

} // namespace

CLinkLibrary::CLinkLibrary(const CSettings& settings, CClock& clock) : settings_(settings), engine_(clock)
{
    engine_.SetStream([this](const SWirePacket& packet) { return window_.TakeAck(packet); },
                      [this](uint32_t sequence) { return window_.Awaits(sequence); },
                      [this] { window_.CarrierLost(); });
}

CLinkLibrary::~CLinkLibrary() = default;

CSettings CLinkLibrary::DefaultSettings()
{
    return CSettings(nullptr, [](const char*) -> const char* { return nullptr; });
}

std::string CLinkLibrary::SerialDevice(int comNumber) const
{
    std::string device = settings_.SerialDevicePath(comNumber);
    return device.empty() ? "/dev/ttyS" + std::to_string(comNumber - 1) : device;
}

// ---------------------------------------------------------------- the link

int CLinkLibrary::LinkOpen(const std::string& channelText)
{
    LinkClose();
    SLinkChannel channel;
    if (const int status = ParseLinkChannel(channelText, channel); status != kStatusOk)
        return status;
    std::unique_ptr<CLinkTransport> transport;
    int status = kStatusOk;
    if (channel.kind == SLinkChannel::EKind::Serial) {
        linkTarget_ = SerialDevice(channel.comNumber);
        status = CSerialPort::Open(linkTarget_, channel.baud, Clock(), transport);
    } else {
        const uint16_t port = channel.port ? channel.port : DefaultTcpPort();
        linkTarget_ = channel.host + ":" + std::to_string(port);
        status = CTcpConnector::Connect(channel.host, port, kTcpConnectTimeoutMs, Clock(), transport);
    }
    if (status != kStatusOk)
        return status;
    return LinkOpenTransport(std::move(transport));
}

int CLinkLibrary::LinkOpenTransport(std::unique_ptr<CLinkTransport> transport)
{
    LinkClose();
    if (!transport)
        return kStatusInvalidArgument;
    engine_.Attach(std::move(transport));
    const int status = Handshake();
    if (status != kStatusOk)
        LinkClose();
    return status;
}

int CLinkLibrary::Handshake()
{
    SWirePacket reply;
    const int status = Call(kOpHello, CWireWriter().U16(kWireProtocolVersion).bytes, kHelloTimeoutMs, reply);
    if (status != kStatusOk)
        return status;
    CWireReader in(reply.payload);
    // The open step answers 0 or a negative code: a positive status is no
    // code of ours, and would read as success to a caller that tests for < 0.
    if (const int probeStatus = ReplyStatus(in); probeStatus != kStatusOk)
        return probeStatus < 0 ? probeStatus : kStatusUnexpectedReply;
    const uint16_t version = in.U16();
    const uint8_t running = in.U8();
    if (!in.Done())
        return kStatusUnexpectedReply;
    if (version != kWireProtocolVersion)
        return kStatusProtocolMismatch;
    loaderRunning_ = running == 0;
    return kStatusOk;
}

void CLinkLibrary::LinkClose()
{
    engine_.Close();
    window_.Reset();
    window_.ForgetRate(); // the next link may reach another probe
    loaderRunning_ = false;
}

int CLinkLibrary::LinkCheckSerialPort(int channelIndex, int baudIndex)
{
    if (channelIndex < 0 || channelIndex > 3)
        return kStatusBadChannel;
    const long baud = BaudOfIndex(baudIndex);
    if (baud == 0)
        return kStatusBaudNotSupported;
    return CSerialPort::Check(SerialDevice(channelIndex + 1), baud);
}

int32_t CLinkLibrary::LinkParseAddress(const std::string& ipText)
{
    uint32_t address = 0;
    if (!ParseIpv4(ipText, address))
        return -1;
    return static_cast<int32_t>(address);
}

std::string CLinkLibrary::LinkErrorText(int status)
{
    std::string text = ProbeStatusText(status);
    switch (status) {
    case kStatusPortOpenFailed:
    case kStatusConnectionRefused:
    case kStatusHostUnreachable:
    case kStatusTimeout:
    case kStatusConnectionLost:
    case kStatusBaudNotSupported:
        if (!linkTarget_.empty() && !text.empty() && text.back() == '.')
            text.insert(text.size() - 1, " (" + linkTarget_ + ")");
        break;
    default:
        break;
    }
    return text;
}

// ---------------------------------------------------------------- calls

int CLinkLibrary::Call(uint8_t op, const std::vector<uint8_t>& payload, int timeoutMs, SWirePacket& reply)
{
    if (!engine_.IsOpen())
        return kStatusLinkNotOpen;
    window_.Drain();
    return engine_.Call(op, payload, timeoutMs, reply);
}

int CLinkLibrary::CallStatus(uint8_t op, const std::vector<uint8_t>& payload, int timeoutMs)
{
    SWirePacket reply;
    if (const int status = Call(op, payload, timeoutMs, reply); status != kStatusOk)
        return status;
    CWireReader in(reply.payload);
    const int probeStatus = ReplyStatus(in);
    // A failure may come without the fields of a success.
    return probeStatus != kStatusOk || in.Done() ? probeStatus : kStatusUnexpectedReply;
}

int CLinkLibrary::LinkTransact(int requestLength, const uint8_t* request, int replyCapacity, uint8_t* reply,
                               int timeoutMs)
{
    if (requestLength < 1 || requestLength > kMaxTransactRequest || !request || replyCapacity < 0 ||
        (replyCapacity > 0 && !reply) || timeoutMs <= 0)
        return kStatusInvalidArgument;
    CWireWriter out;
    out.U16(static_cast<uint16_t>(std::min(replyCapacity, 65535)));
    out.Bytes(request, static_cast<size_t>(requestLength));
    SWirePacket packet;
    if (const int status = Call(kOpTransact, out.bytes, timeoutMs, packet); status != kStatusOk)
        return status;
    CWireReader in(packet.payload);
    if (const int probeStatus = ReplyStatus(in); probeStatus < 0)
        return probeStatus;
    const size_t length = in.Remaining();
    if (length > static_cast<size_t>(replyCapacity))
        return kStatusReplyTooLong;
    if (const uint8_t* bytes = in.Bytes(length); bytes && length > 0)
        CopyBytes(bytes, length, reply);
    return static_cast<int>(length);
}

// ---------------------------------------------------------------- target

int CLinkLibrary::TargetConnect(SProbeIdentification& identification)
{
    SWirePacket reply;
    if (const int status = Call(kOpTargetConnect, {}, kTargetCallTimeoutMs, reply); status != kStatusOk)
        return status;
    CWireReader in(reply.payload);
    if (const int probeStatus = ReplyStatus(in); probeStatus != kStatusOk)
        return probeStatus;
    SProbeIdentification id;
    id.firmwareKind = in.U16();
    id.firmwareVersion = in.U16();
    id.serialNumber = in.Text8();
    if (!in.Done())
        return kStatusUnexpectedReply;
    identification = id;
    return kStatusOk;
}

void CLinkLibrary::TargetDisconnect()
{
    if (!engine_.IsOpen())
        return;
    if (!window_.IsIdle()) {
        window_.Drain();
        window_.Reset();
    }
    CallStatus(kOpTargetDisconnect, {}, kTargetCallTimeoutMs);
}

int CLinkLibrary::TargetWriteRegisters(int count, const SProbeRegisterId* ids, const uint32_t* values)
{
    if (count < 1 || count > 64 || !ids || !values)
        return kStatusInvalidArgument;
    CWireWriter out;
    out.U16(static_cast<uint16_t>(count));
    for (int i = 0; i < count; ++i)
        out.U16(ids[i].regClass).U16(ids[i].number).U32(values[i]);
    return CallStatus(kOpTargetWriteRegisters, out.bytes, kTargetCallTimeoutMs);
}

int CLinkLibrary::TargetReadBlock(uint32_t address, int /*reserved*/, uint32_t length, uint8_t* buffer)
{
    if (length == 0)
        return kStatusOk;
    if (!buffer || !FitsAddressSpace(address, length))
        return kStatusInvalidArgument;
    for (uint32_t done = 0; done < length;) {
        const uint32_t chunk = std::min(kMaxBlockChunk, length - done);
        SWirePacket reply;
        const int status = Call(kOpTargetReadBlock, CWireWriter().U32(address + done).U32(chunk).bytes,
                                kBlockTimeoutMs, reply);
        if (status != kStatusOk)
            return status;
        CWireReader in(reply.payload);
        if (const int probeStatus = ReplyStatus(in); probeStatus != kStatusOk)
            return probeStatus;
        const uint8_t* data = in.Remaining() == chunk ? in.Bytes(chunk) : nullptr;
        if (!data)
            return kStatusUnexpectedReply;
        CopyBytes(data, chunk, buffer + done);
        done += chunk;
    }
    return kStatusOk;
}

int CLinkLibrary::TargetWriteBlock(uint32_t address, int /*reserved*/, uint32_t length, const uint8_t* bytes)
{
    if (length == 0)
        return kStatusOk;
    if (!bytes || !FitsAddressSpace(address, length))
        return kStatusInvalidArgument;
    for (uint32_t done = 0; done < length;) {
        const uint32_t chunk = std::min(kMaxBlockChunk, length - done);
        CWireWriter out;
        out.U32(address + done).Bytes(bytes + done, chunk);
        if (const int status = CallStatus(kOpTargetWriteBlock, out.bytes, kBlockTimeoutMs); status != kStatusOk)
            return status;
        done += chunk;
    }
    return kStatusOk;
}

int CLinkLibrary::TargetLoadInitList(int /*reserved*/, uint32_t targetOptions, int count,
                                     const SInitListRecord* records)
{
    if (count < 0 || count > kMaxInitListEntries || (count > 0 && !records))
        return kStatusInvalidArgument;
    CWireWriter out;
    out.U32(targetOptions).U16(static_cast<uint16_t>(count));
    for (int i = 0; i < count; ++i)
        out.U16(records[i].type).U32(records[i].address).U32(records[i].value);
    const uint64_t delayMs = CInitListWalker::PlannedDelayMs(records, count, kMaxInitListDelayMs);
    return CallStatus(kOpTargetLoadInitList, out.bytes, kInitListTimeoutMs + static_cast<int>(delayMs));
}

int CLinkLibrary::TargetCycles(int count, const SProbeBusCycle* cycles, int& failed)
{
    failed = 0;
    if (!engine_.IsOpen())
        return kStatusLinkNotOpen;
    window_.Drain();
    if (count <= 0 || !cycles)
        return kStatusOk;
    struct SSent {
        uint8_t op;
        uint32_t sequence;
    };
    std::vector<SSent> sent(static_cast<size_t>(count));
    size_t wireBytes = 0;
    for (int i = 0; i < count; ++i) {
        const SProbeBusCycle& cycle = cycles[i];
        const uint8_t width = cycle.widthBytes == 1 || cycle.widthBytes == 2 ? cycle.widthBytes : 4;
        const uint8_t op = static_cast<uint8_t>((cycle.read ? kOpTargetRead8 : kOpTargetWrite8) + (width == 4 ? 2 : width - 1));
        CWireWriter out;
        out.U32(cycle.address);
        if (!cycle.read)
            out.U32(width == 4 ? cycle.value : cycle.value & ((1u << (8 * width)) - 1));
        size_t bytes = 0;
        if (const int status = engine_.Queue(op, out.bytes.data(), out.bytes.size(), sent[i].sequence, bytes);
            status != kStatusOk) {
            engine_.DiscardQueued();
            return status;
        }
        sent[i].op = op;
        wireBytes += bytes;
    }
    const uint64_t timeout = uint64_t(kTargetCallTimeoutMs) * 1000;
    uint64_t since = Clock().NowMicros();
    if (const int status = engine_.Flush(since + timeout); status != kStatusOk)
        return status;
    // The probe answers one access after the other: each answer is due
    // within the call timeout of the one before it.
    int result = kStatusOk;
    failed = count;
    for (int i = 0; i < count; ++i) {
        SWirePacket reply;
        int status = engine_.WaitReply(sent[i].sequence, since + timeout + engine_.LineTime(wireBytes), reply);
        since = Clock().NowMicros();
        if (status == kStatusOk && reply.op != sent[i].op)
            status = kStatusUnexpectedReply;
        if (status == kStatusOk) {
            CWireReader in(reply.payload);
            status = ReplyStatus(in);
            if (status == kStatusOk && cycles[i].read)
                in.U32();
            if (status == kStatusOk && !in.Done())
                status = kStatusUnexpectedReply;
        }
        if (status == kStatusOk)
            continue;
        if (result == kStatusOk) {
            result = status;
            failed = i;
        }
        // Without the link the rest cannot come; a late one is dropped by
        // its number when it does.
        if (IsTransportFailure(status))
            break;
    }
    return result;
}

int CLinkLibrary::TargetReadBlocks(int count, const SProbeReadBlock* blocks, int& failed)
{
    failed = 0;
    if (!engine_.IsOpen())
        return kStatusLinkNotOpen;
    if (count <= 0 || !blocks)
        return kStatusOk;
    for (int i = 0; i < count; ++i) {
        if (blocks[i].length > kMaxBlockChunk)
            return CProbeLibrary::TargetReadBlocks(count, blocks, failed);
        if (blocks[i].length != 0 && (!blocks[i].buffer || !FitsAddressSpace(blocks[i].address, blocks[i].length))) {
            failed = i;
            return kStatusInvalidArgument;
        }
    }
    window_.Drain();
    std::vector<uint32_t> sequences(static_cast<size_t>(count));
    size_t wireBytes = 0;
    for (int i = 0; i < count; ++i) {
        const std::vector<uint8_t> payload = CWireWriter().U32(blocks[i].address).U32(blocks[i].length).bytes;
        size_t bytes = 0;
        if (const int status = engine_.Queue(kOpTargetReadBlock, payload.data(), payload.size(),
                                             sequences[static_cast<size_t>(i)], bytes);
            status != kStatusOk) {
            engine_.DiscardQueued();
            return status;
        }
        wireBytes += bytes + blocks[i].length; // the request, and the bytes its reply carries
    }
    const uint64_t timeout = uint64_t(kBlockTimeoutMs) * 1000;
    uint64_t since = Clock().NowMicros();
    if (const int status = engine_.Flush(since + timeout); status != kStatusOk)
        return status;
    // The probe answers one read after the other: each answer is due within
    // the block timeout of the one before it.
    int result = kStatusOk;
    failed = count;
    for (int i = 0; i < count; ++i) {
        const SProbeReadBlock& block = blocks[i];
        SWirePacket reply;
        int status = engine_.WaitReply(sequences[static_cast<size_t>(i)], since + timeout + engine_.LineTime(wireBytes),
                                       reply);
        since = Clock().NowMicros();
        if (status == kStatusOk && reply.op != kOpTargetReadBlock)
            status = kStatusUnexpectedReply;
        if (status == kStatusOk) {
            CWireReader in(reply.payload);
            status = ReplyStatus(in);
            if (status == kStatusOk) {
                const uint8_t* data = in.Remaining() == block.length ? in.Bytes(block.length) : nullptr;
                if (data)
                    CopyBytes(data, block.length, block.buffer);
                else
                    status = kStatusUnexpectedReply;
            }
        }
        if (status == kStatusOk)
            continue;
        if (result == kStatusOk) {
            result = status;
            failed = i;
        }
        // Without the link the rest cannot come; a late one is dropped by
        // its number when it does.
        if (IsTransportFailure(status))
            break;
    }
    return result;
}

int CLinkLibrary::TargetWrite8(uint32_t address, uint32_t value)
{
    return CallStatus(kOpTargetWrite8, CWireWriter().U32(address).U32(value & 0xFF).bytes, kTargetCallTimeoutMs);
}

int CLinkLibrary::TargetWrite16(uint32_t address, uint32_t value)
{
    return CallStatus(kOpTargetWrite16, CWireWriter().U32(address).U32(value & 0xFFFF).bytes,
                      kTargetCallTimeoutMs);
}

int CLinkLibrary::TargetWrite32(uint32_t address, uint32_t value)
{
    return CallStatus(kOpTargetWrite32, CWireWriter().U32(address).U32(value).bytes, kTargetCallTimeoutMs);
}

template <class T>
int CLinkLibrary::ReadValue(uint8_t op, uint32_t address, T& value)
{
    SWirePacket reply;
    if (const int status = Call(op, CWireWriter().U32(address).bytes, kTargetCallTimeoutMs, reply);
        status != kStatusOk)
        return status;
    CWireReader in(reply.payload);
    if (const int probeStatus = ReplyStatus(in); probeStatus != kStatusOk)
        return probeStatus;
    const uint32_t read = in.U32();
    if (!in.Done())
        return kStatusUnexpectedReply;
    value = static_cast<T>(read);
    return kStatusOk;
}

int CLinkLibrary::TargetRead8(uint32_t address, uint8_t& value)
{
    return ReadValue(kOpTargetRead8, address, value);
}

int CLinkLibrary::TargetRead16(uint32_t address, uint16_t& value)
{
    return ReadValue(kOpTargetRead16, address, value);
}

int CLinkLibrary::TargetRead32(uint32_t address, uint32_t& value)
{
    return ReadValue(kOpTargetRead32, address, value);
}

// ---------------------------------------------------------------- streams

int CLinkLibrary::StreamBegin(int mode, int flag)
{
    if (!engine_.IsOpen())
        return kStatusLinkNotOpen;
    if (!window_.IsIdle())
        return kStatusStreamState;
    const int status = CallStatus(kOpStreamBegin,
                                  CWireWriter().U8(static_cast<uint8_t>(mode)).U8(static_cast<uint8_t>(flag)).bytes,
                                  kTargetCallTimeoutMs);
    if (status == kStatusOk)
        window_.Open();
    return status;
}

int CLinkLibrary::StreamBlock(uint32_t address, uint32_t length, const uint8_t* bytes)
{
    if (window_.HasFailed())
        return window_.Status();
    if (!engine_.IsOpen())
        return kStatusLinkNotOpen;
    if (window_.IsIdle())
        return kStatusStreamState;
    if (length == 0)
        return kStatusOk;
    if (!bytes || !FitsAddressSpace(address, length))
        return kStatusInvalidArgument;
    return window_.Send(address, length, bytes, kMaxBlockChunk);
}

uint64_t CLinkLibrary::StreamAcknowledged(uint64_t sentBytes)
{
    window_.TakeArrivedNow();
    return std::min(sentBytes, window_.AcknowledgedBytes());
}

int CLinkLibrary::StreamEnd(uint32_t& failAddress)
{
    if (window_.IsIdle())
        return engine_.IsOpen() ? kStatusStreamState : kStatusLinkNotOpen;
    window_.Drain();
    int status = kStatusOk;
    uint32_t address = 0;
    if (window_.HasFailed()) {
        status = window_.Status();
        address = window_.FailAddress();
    }
    // Tell the probe that the stream is over, unless the link itself failed.
    if (engine_.IsOpen() && !IsTransportFailure(status)) {
        SWirePacket reply;
        int endStatus = Call(kOpStreamEnd, {}, kStreamEndTimeoutMs, reply);
        uint32_t endAddress = 0;
        if (endStatus == kStatusOk) {
            CWireReader in(reply.payload);
            endStatus = in.I32();
            endAddress = in.U32();
            if (!in.Done())
                endStatus = kStatusUnexpectedReply;
        }
        if (status == kStatusOk) {
            status = endStatus;
            address = endAddress;
        }
    }
    window_.Reset();
    failAddress = address;
    return status;
}
