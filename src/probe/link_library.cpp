#include "probe/link_library.h"

#include "probe/init_list_walker.h"
#include "probe/link_channel.h"
#include "probe/probe_status.h"
#include "probe/serial_port.h"
#include "probe/tcp_connector.h"
#include "probe/wire_payload.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace {

// Bytes of a stream block's ack on the line (status and address).
constexpr size_t kAckPayload = 8;
constexpr uint64_t kStreamBlockTimeoutMicros = uint64_t(CLinkLibrary::kStreamBlockTimeoutMs) * 1000;

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

CLinkLibrary::CLinkLibrary(const CSettings& settings, CClock& clock) : clock_(clock), settings_(settings) {}

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
    if (channel.kind == SLinkChannel::EKind::Serial)
        status = CSerialPort::Open(SerialDevice(channel.comNumber), channel.baud, clock_, transport);
    else
        status = CTcpConnector::Connect(channel.host, channel.port ? channel.port : DefaultTcpPort(),
                                        kTcpConnectTimeoutMs, clock_, transport);
    if (status != kStatusOk)
        return status;
    return LinkOpenTransport(std::move(transport));
}

int CLinkLibrary::LinkOpenTransport(std::unique_ptr<CLinkTransport> transport)
{
    LinkClose();
    if (!transport)
        return kStatusInvalidArgument;
    transport_ = std::move(transport);
    decoder_ = CWireDecoder(transport_->UsesChecksum());
    // Numbers start anywhere, so that a late reply from an earlier session
    // on the same line cannot match a request of this one.
    std::random_device random;
    nextSequence_ = random() | 1;
    const int status = Handshake();
    if (status != kStatusOk)
        LinkClose();
    return status;
}

int CLinkLibrary::Handshake()
{
    SWireFrame reply;
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
    transport_.reset();
    decoder_.Reset();
    ResetStream();
    loaderRunning_ = false;
}

void CLinkLibrary::Drop()
{
    if (stream_ == EStream::Open)
        FailStream(kStatusConnectionLost, 0);
    inFlight_.clear();
    inFlightBytes_ = 0;
    transport_.reset();
    decoder_.Reset();
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
    return ProbeStatusText(status);
}

uint64_t CLinkLibrary::LineTime(size_t bytes) const
{
    const long perSecond = transport_ ? transport_->BytesPerSecond() : 0;
    if (perSecond <= 0)
        return 0;
    return static_cast<uint64_t>(bytes) * 1000000 / static_cast<uint64_t>(perSecond);
}

// ---------------------------------------------------------------- frames

int CLinkLibrary::SendRequest(uint8_t op, const std::vector<uint8_t>& payload, uint64_t deadline,
                              uint32_t& sequence, size_t& wireBytes)
{
    if (!transport_)
        return kStatusLinkNotOpen;
    sequence = nextSequence_++;
    if (nextSequence_ == 0)
        nextSequence_ = 1;
    std::vector<uint8_t> bytes;
    EncodeWireFrame(op, 0, sequence, payload.data(), payload.size(), transport_->UsesChecksum(), bytes);
    wireBytes = bytes.size();
    const long written = transport_->Write(bytes.data(), bytes.size(), deadline + LineTime(bytes.size()));
    if (written < 0) {
        Drop();
        return kStatusConnectionLost;
    }
    if (static_cast<size_t>(written) < bytes.size()) {
        // Half a frame went out. A serial line finds the next frame by its
        // checksum; a TCP stream would stay out of step, so it is ended.
        if (written > 0 && !transport_->UsesChecksum())
            Drop();
        return kStatusTimeout;
    }
    return kStatusOk;
}

int CLinkLibrary::WaitFor(uint32_t sequence, uint64_t deadline, SWireFrame* reply)
{
    const size_t skippedBefore = decoder_.SkippedBytes();
    for (;;) {
        if (!transport_)
            return kStatusLinkNotOpen;
        SWireFrame frame;
        while (decoder_.Next(frame)) {
            if (!frame.IsReply()) {
                ++droppedReplies_;
                continue;
            }
            if (reply && frame.sequence == sequence) {
                *reply = std::move(frame);
                return kStatusOk;
            }
            if (TakeStreamAck(frame)) {
                if (!reply && frame.sequence == sequence)
                    return kStatusOk;
                continue;
            }
            ++droppedReplies_;
        }
        if (!reply && !InFlight(sequence))
            return kStatusOk;
        // A serial line lengthens the wait by the line time of the awaited
        // frame once its header is in (a header's time while one may be
        // coming). Noise and frames that are not awaited lengthen nothing,
        // so the wait never ends later than the deadline plus the line time
        // of one longest frame.
        bool headerIn = false;
        uint32_t arriving = 0;
        size_t awaitedBytes = decoder_.PendingFrame(headerIn, arriving);
        if (headerIn && !(reply ? arriving == sequence : InFlight(arriving)))
            awaitedBytes = 0;
        const long n = transport_->Read(readBuffer_.data(), readBuffer_.size(), deadline + LineTime(awaitedBytes));
        if (n > 0) {
            decoder_.Feed(readBuffer_.data(), static_cast<size_t>(n));
            continue;
        }
        if (n == 0)
            return decoder_.SkippedBytes() > skippedBefore ? kStatusFramingError : kStatusTimeout;
        Drop();
        return kStatusConnectionLost;
    }
}

int CLinkLibrary::Call(uint8_t op, const std::vector<uint8_t>& payload, int timeoutMs, SWireFrame& reply)
{
    if (!transport_)
        return kStatusLinkNotOpen;
    if (!inFlight_.empty())
        DrainStream();
    if (!transport_)
        return kStatusLinkNotOpen;
    const uint64_t start = clock_.NowMicros();
    const uint64_t timeout = uint64_t(timeoutMs) * 1000;
    uint32_t sequence = 0;
    size_t wireBytes = 0;
    if (const int status = SendRequest(op, payload, start + timeout, sequence, wireBytes); status != kStatusOk)
        return status;
    const int status = WaitFor(sequence, start + timeout + LineTime(wireBytes), &reply);
    if (status != kStatusOk)
        return status;
    if (reply.op != op)
        return kStatusUnexpectedReply;
    return kStatusOk;
}

int CLinkLibrary::CallStatus(uint8_t op, const std::vector<uint8_t>& payload, int timeoutMs)
{
    SWireFrame reply;
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
    SWireFrame frame;
    if (const int status = Call(kOpTransact, out.bytes, timeoutMs, frame); status != kStatusOk)
        return status;
    CWireReader in(frame.payload);
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
    SWireFrame reply;
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
    if (!transport_)
        return;
    if (stream_ != EStream::Idle) {
        DrainStream();
        ResetStream();
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
        SWireFrame reply;
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
    SWireFrame reply;
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

void CLinkLibrary::ResetStream()
{
    stream_ = EStream::Idle;
    streamStatus_ = kStatusOk;
    streamFailAddress_ = 0;
    inFlight_.clear();
    inFlightBytes_ = 0;
}

void CLinkLibrary::FailStream(int status, uint32_t address)
{
    if (stream_ != EStream::Open)
        return;
    stream_ = EStream::Failed;
    streamStatus_ = status;
    streamFailAddress_ = address;
}

bool CLinkLibrary::InFlight(uint32_t sequence) const
{
    return std::any_of(inFlight_.begin(), inFlight_.end(),
                       [sequence](const SInFlight& block) { return block.sequence == sequence; });
}

bool CLinkLibrary::TakeStreamAck(const SWireFrame& frame)
{
    auto it = std::find_if(inFlight_.begin(), inFlight_.end(),
                           [&frame](const SInFlight& block) { return block.sequence == frame.sequence; });
    if (it == inFlight_.end())
        return false;
    inFlightBytes_ -= it->wireBytes;
    inFlight_.erase(it);
    lastAck_ = clock_.NowMicros();
    CWireReader in(frame.payload);
    int32_t status = in.I32();
    const uint32_t failAddress = in.U32();
    if (frame.op != kOpStreamBlock || !in.Done())
        status = kStatusUnexpectedReply;
    if (status != kStatusOk)
        FailStream(status, failAddress);
    return true;
}

uint64_t CLinkLibrary::AckDeadline(const SInFlight& block) const
{
    // A probe works through its blocks one after the other: a block's ack is
    // due within the timeout of its sending, or of the ack before it when the
    // probe was still busy with earlier blocks then.
    const bool checksum = transport_ && transport_->UsesChecksum();
    return std::max(block.deadline, lastAck_ + kStreamBlockTimeoutMicros +
                                        LineTime(block.wireBytes + WireFrameSize(kAckPayload, checksum)));
}

int CLinkLibrary::DrainStream()
{
    while (!inFlight_.empty()) {
        const SInFlight oldest = inFlight_.front();
        const int status = WaitFor(oldest.sequence, AckDeadline(oldest), nullptr);
        if (status != kStatusOk) {
            FailStream(status, 0);
            inFlight_.clear();
            inFlightBytes_ = 0;
            return status;
        }
    }
    return kStatusOk;
}

int CLinkLibrary::StreamBegin(int mode, int flag)
{
    if (!transport_)
        return kStatusLinkNotOpen;
    if (stream_ != EStream::Idle)
        return kStatusStreamState;
    const int status = CallStatus(kOpStreamBegin,
                                  CWireWriter().U8(static_cast<uint8_t>(mode)).U8(static_cast<uint8_t>(flag)).bytes,
                                  kTargetCallTimeoutMs);
    if (status == kStatusOk) {
        ResetStream();
        stream_ = EStream::Open;
        lastAck_ = clock_.NowMicros();
    }
    return status;
}

int CLinkLibrary::StreamBlock(uint32_t address, uint32_t length, const uint8_t* bytes)
{
    if (stream_ == EStream::Failed)
        return streamStatus_;
    if (!transport_)
        return kStatusLinkNotOpen;
    if (stream_ == EStream::Idle)
        return kStatusStreamState;
    if (length == 0)
        return kStatusOk;
    if (!bytes || !FitsAddressSpace(address, length))
        return kStatusInvalidArgument;

    const long perSecond = transport_->BytesPerSecond();
    const size_t window = streamWindow_ != 0 ? streamWindow_
                          : perSecond > 0     ? std::clamp<size_t>(static_cast<size_t>(perSecond) / 4, 2048, 65536)
                                              : 65536;
    const bool checksum = transport_->UsesChecksum();
    for (uint32_t done = 0; done < length;) {
        const uint32_t chunk = std::min(kMaxBlockChunk, length - done);
        // Take the acks that have already come, without waiting.
        if (!inFlight_.empty()) {
            const int status = WaitFor(inFlight_.back().sequence, clock_.NowMicros(), nullptr);
            if (status == kStatusConnectionLost || status == kStatusLinkNotOpen) {
                FailStream(status, 0);
                return streamStatus_;
            }
        }
        if (stream_ != EStream::Open)
            return streamStatus_;
        const size_t frameBytes = WireFrameSize(4 + chunk, checksum);
        while (!inFlight_.empty() && inFlightBytes_ + frameBytes > window) {
            const SInFlight oldest = inFlight_.front();
            if (const int status = WaitFor(oldest.sequence, AckDeadline(oldest), nullptr); status != kStatusOk) {
                FailStream(status, 0);
                inFlight_.clear();
                inFlightBytes_ = 0;
                return streamStatus_;
            }
            if (stream_ != EStream::Open)
                return streamStatus_;
        }
        CWireWriter out;
        out.bytes.reserve(4 + chunk);
        out.U32(address + done).Bytes(bytes + done, chunk);
        const uint64_t now = clock_.NowMicros();
        uint32_t sequence = 0;
        size_t wireBytes = 0;
        const int status = SendRequest(kOpStreamBlock, out.bytes, now + kStreamBlockTimeoutMicros,
                                       sequence, wireBytes);
        if (status != kStatusOk) {
            FailStream(status, 0);
            return streamStatus_;
        }
        // The ack may come only after everything on its way has crossed the line.
        const size_t ahead = inFlightBytes_ + wireBytes + (inFlight_.size() + 1) * WireFrameSize(kAckPayload, checksum);
        inFlight_.push_back({sequence, address + done, wireBytes,
                             now + kStreamBlockTimeoutMicros + LineTime(ahead)});
        inFlightBytes_ += wireBytes;
        done += chunk;
    }
    return stream_ == EStream::Open ? kStatusOk : streamStatus_;
}

int CLinkLibrary::StreamEnd(uint32_t& failAddress)
{
    if (stream_ == EStream::Idle)
        return transport_ ? kStatusStreamState : kStatusLinkNotOpen;
    DrainStream();
    int status = kStatusOk;
    uint32_t address = 0;
    if (stream_ == EStream::Failed) {
        status = streamStatus_;
        address = streamFailAddress_;
    }
    // Tell the probe that the stream is over, unless the link itself failed.
    if (transport_ && !IsTransportFailure(status)) {
        SWireFrame reply;
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
    ResetStream();
    failAddress = address;
    return status;
}
