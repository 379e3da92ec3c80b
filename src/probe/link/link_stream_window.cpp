#include "probe/link/link_stream_window.h"

#include "probe/probe_status.h"
#include "probe/link/wire_payload.h"

#include <algorithm>

namespace {

// Bytes of a stream block's ack on the line (status and address).
constexpr size_t kAckPayload = 8;
constexpr uint64_t kAckTimeoutMicros = uint64_t(CLinkStreamWindow::kAckTimeoutMs) * 1000;
constexpr uint64_t kStopPatienceMicros = uint64_t(CLinkStreamWindow::kStopPatienceMs) * 1000;
// A stopped wait looks at the stop check this often.
constexpr uint64_t kStopSliceMicros = 50 * 1000;
// The rate is measured over the acks of the last second, once they span
// this long.
constexpr uint64_t kRateSpanMicros = 1000 * 1000;
constexpr uint64_t kMinRateSpanMicros = 20 * 1000;

} // namespace

CLinkStreamWindow::CLinkStreamWindow(CLinkRequestEngine& engine) : engine_(engine) {}

void CLinkStreamWindow::Open()
{
    Reset();
    state_ = EState::Open;
    lastAck_ = engine_.Clock().NowMicros();
    ackedBytes_ = 0;
    sentBytes_ = lookedAt_ = 0;
    // The acks of the stream before do not follow on from this one's.
    samples_.clear();
}

void CLinkStreamWindow::Measure(uint64_t now, size_t wireBytes)
{
    ackedWireBytes_ += wireBytes;
    samples_.emplace_back(now, ackedWireBytes_);
    while (samples_.size() > 2 && now - samples_[1].first >= kRateSpanMicros)
        samples_.pop_front();
    const uint64_t span = now - samples_.front().first;
    if (span >= kMinRateSpanMicros)
        measuredRate_ = static_cast<double>(ackedWireBytes_ - samples_.front().second) * 1e6 / static_cast<double>(span);
}

size_t CLinkStreamWindow::WindowBytes(size_t packetBytes) const
{
    if (windowBytes_ != 0)
        return windowBytes_;
    const long perSecond = engine_.BytesPerSecond();
    if (perSecond > 0)
        return std::clamp<size_t>(static_cast<size_t>(perSecond) / 4, 2048, 65536);
    // A quarter second of what the acks show, between a few packets and
    // the window of a fast line.
    const size_t least = std::max<size_t>(kMinWindowPackets * packetBytes, 4096);
    if (measuredRate_ <= 0)
        return std::max(least, kFirstWindowBytes);
    const size_t quarter = static_cast<size_t>(measuredRate_ / 4);
    return std::clamp(quarter, least, std::max(least, kTcpWindowBytes));
}

void CLinkStreamWindow::Reset()
{
    state_ = EState::Idle;
    status_ = kStatusOk;
    failAddress_ = 0;
    inFlight_.clear();
    inFlightBytes_ = 0;
    unsent_ = 0;
    engine_.DiscardQueued();
}

void CLinkStreamWindow::Fail(int status, uint32_t address)
{
    if (state_ != EState::Open)
        return;
    state_ = EState::Failed;
    status_ = status;
    failAddress_ = address;
}

void CLinkStreamWindow::CarrierLost()
{
    Fail(kStatusConnectionLost, 0);
    inFlight_.clear();
    inFlightBytes_ = 0;
    unsent_ = 0;
}

bool CLinkStreamWindow::Awaits(uint32_t sequence) const
{
    return std::any_of(inFlight_.begin(), inFlight_.end(),
                       [sequence](const SInFlight& block) { return block.sequence == sequence; });
}

bool CLinkStreamWindow::TakeAck(const SWirePacket& packet)
{
    // Only a block that has been written can be answered.
    const auto sent = inFlight_.end() - static_cast<std::ptrdiff_t>(unsent_);
    auto it = std::find_if(inFlight_.begin(), sent,
                           [&packet](const SInFlight& block) { return block.sequence == packet.sequence; });
    if (it == sent)
        return false;
    inFlightBytes_ -= it->wireBytes;
    ackedBytes_ += it->length;
    lastAck_ = engine_.Clock().NowMicros();
    Measure(lastAck_, it->wireBytes + WirePacketSize(kAckPayload, engine_.UsesChecksum()));
    inFlight_.erase(it);
    CWireReader in(packet.payload);
    int32_t status = in.I32();
    const uint32_t failAddress = in.U32();
    if (packet.op != kOpStreamBlock || !in.Done())
        status = kStatusUnexpectedReply;
    if (status != kStatusOk)
        Fail(status, failAddress);
    return true;
}

uint64_t CLinkStreamWindow::AckDeadline(const SInFlight& block) const
{
    return std::max(block.deadline, lastAck_ + kAckTimeoutMicros +
                                        engine_.LineTime(block.wireBytes +
                                                         WirePacketSize(kAckPayload, engine_.UsesChecksum())));
}

int CLinkStreamWindow::Flush()
{
    if (unsent_ == 0)
        return kStatusOk;
    const uint64_t now = engine_.Clock().NowMicros();
    const int status = engine_.Flush(now + kAckTimeoutMicros);
    if (status != kStatusOk) {
        // The blocks of the failed write are not awaited (a lost carrier has
        // already forgotten every block).
        for (; unsent_ > 0; --unsent_) {
            inFlightBytes_ -= inFlight_.back().wireBytes;
            inFlight_.pop_back();
        }
        Fail(status, 0);
        return status_;
    }
    // The ack may come only after everything on its way has crossed the line.
    for (size_t i = inFlight_.size() - unsent_; i < inFlight_.size(); ++i)
        inFlight_[i].deadline = now + kAckTimeoutMicros + engine_.LineTime(inFlight_[i].ahead);
    unsent_ = 0;
    return kStatusOk;
}

int CLinkStreamWindow::TakeArrived()
{
    if (inFlight_.empty())
        return kStatusOk;
    const int status = engine_.WaitStreamReply(inFlight_.back().sequence, engine_.Clock().NowMicros());
    if (status == kStatusConnectionLost || status == kStatusLinkNotOpen) {
        Fail(status, 0);
        return status_;
    }
    return kStatusOk;
}

void CLinkStreamWindow::TakeArrivedNow()
{
    // Often enough for a progress line at every tenth of a transfer, seldom
    // enough to cost the line nothing (a read that finds nothing is cheap).
    constexpr uint64_t kLookEveryMicros = 10 * 1000;
    constexpr size_t kLookEveryBytes = 4096;
    if (state_ != EState::Open || inFlight_.empty())
        return;
    const uint64_t now = engine_.Clock().NowMicros();
    if (now - lastLook_ < kLookEveryMicros && sentBytes_ - lookedAt_ < kLookEveryBytes)
        return;
    lastLook_ = now;
    lookedAt_ = sentBytes_;
    if (Flush() == kStatusOk)
        TakeArrived();
}

int CLinkStreamWindow::WaitOldest(uint64_t limit, bool stoppable)
{
    if (const int status = Flush(); status != kStatusOk)
        return status;
    if (inFlight_.empty())
        return kStatusOk;
    const SInFlight oldest = inFlight_.front();
    uint64_t deadline = AckDeadline(oldest);
    if (limit != 0)
        deadline = std::min(deadline, limit);
    int status = kStatusOk;
    if (stoppable && stopCheck_) {
        for (;;) {
            if (StopAsked())
                return kStatusStopped;
            const uint64_t slice = std::min(deadline, engine_.Clock().NowMicros() + kStopSliceMicros);
            status = engine_.WaitStreamReply(oldest.sequence, slice);
            if (status != kStatusTimeout || slice >= deadline)
                break;
        }
    } else {
        status = engine_.WaitStreamReply(oldest.sequence, deadline);
    }
    if (status != kStatusOk) {
        Fail(status, 0);
        inFlight_.clear();
        inFlightBytes_ = 0;
    }
    return status;
}

int CLinkStreamWindow::Drain()
{
    if (const int status = Flush(); status != kStatusOk)
        return status;
    // A stopped stream waits only a short while for what is on its way: a
    // probe that stopped answering must not hold the stop for the ack timeout.
    const uint64_t limit = StopAsked() ? engine_.Clock().NowMicros() + kStopPatienceMicros : 0;
    while (!inFlight_.empty()) {
        if (const int status = WaitOldest(limit); status != kStatusOk)
            return status;
    }
    return kStatusOk;
}

int CLinkStreamWindow::Send(uint32_t address, uint32_t length, const uint8_t* bytes, uint32_t maxBlock)
{
    const bool checksum = engine_.UsesChecksum();
    for (uint32_t done = 0; done < length;) {
        if (state_ != EState::Open)
            return status_;
        const uint32_t chunk = std::min(maxBlock, length - done);
        const size_t packetBytes = WirePacketSize(4 + chunk, checksum);
        // Taken again for every block: the rate is measured as acks come.
        const size_t window = WindowBytes(packetBytes);
        const size_t batch = std::min(window / 8, kMaxBatchBytes);
        if (!inFlight_.empty() && inFlightBytes_ + packetBytes > window) {
            // The window is full: write what is queued, take the acks that
            // have come, and wait until a whole batch fits again.
            if (Flush() != kStatusOk || TakeArrived() != kStatusOk)
                return status_;
            while (!inFlight_.empty() && inFlightBytes_ + std::max(packetBytes, batch) > window) {
                const int waited = WaitOldest(0, true);
                if (waited == kStatusStopped)
                    return kStatusStopped;
                if (waited != kStatusOk || state_ != EState::Open)
                    return status_;
            }
            if (state_ != EState::Open)
                return status_;
        }
        CWireWriter out;
        out.bytes.swap(payload_);
        out.bytes.clear();
        out.U32(address + done).Bytes(bytes + done, chunk);
        payload_.swap(out.bytes);
        uint32_t sequence = 0;
        size_t wireBytes = 0;
        if (const int status = engine_.Queue(kOpStreamBlock, payload_.data(), payload_.size(), sequence, wireBytes);
            status != kStatusOk) {
            Fail(status, 0);
            return status_;
        }
        const size_t ahead = inFlightBytes_ + wireBytes + (inFlight_.size() + 1) * WirePacketSize(kAckPayload, checksum);
        inFlight_.push_back({sequence, address + done, chunk, wireBytes, ahead, 0});
        inFlightBytes_ += wireBytes;
        sentBytes_ += chunk;
        ++unsent_;
        done += chunk;
        if (engine_.QueuedBytes() >= batch && (Flush() != kStatusOk || TakeArrived() != kStatusOk))
            return status_;
    }
    return state_ == EState::Open ? kStatusOk : status_;
}
