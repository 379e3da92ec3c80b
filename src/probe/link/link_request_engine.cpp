#include "probe/link/link_request_engine.h"

#include "probe/probe_status.h"

#include <random>

void CLinkRequestEngine::SetStream(FTakeReply take, FAwaits awaits, FLost lost)
{
    take_ = std::move(take);
    awaits_ = std::move(awaits);
    lost_ = std::move(lost);
}

void CLinkRequestEngine::Attach(std::unique_ptr<CLinkTransport> transport)
{
    transport_ = std::move(transport);
    decoder_ = CWireDecoder(transport_ && transport_->UsesChecksum());
    std::random_device random;
    nextSequence_ = random() | 1;
}

void CLinkRequestEngine::Close()
{
    transport_.reset();
    decoder_.Reset();
    queued_.clear();
}

void CLinkRequestEngine::Drop()
{
    if (lost_)
        lost_();
    Close();
}

uint64_t CLinkRequestEngine::LineTime(size_t bytes) const
{
    const long perSecond = BytesPerSecond();
    if (perSecond <= 0)
        return 0;
    return static_cast<uint64_t>(bytes) * 1000000 / static_cast<uint64_t>(perSecond);
}

int CLinkRequestEngine::Queue(uint8_t op, const uint8_t* payload, size_t length, uint32_t& sequence,
                              size_t& wireBytes)
{
    if (!transport_)
        return kStatusLinkNotOpen;
    sequence = nextSequence_++;
    if (nextSequence_ == 0)
        nextSequence_ = 1;
    const size_t before = queued_.size();
    EncodeWirePacket(op, 0, sequence, payload, length, transport_->UsesChecksum(), queued_);
    wireBytes = queued_.size() - before;
    return kStatusOk;
}

int CLinkRequestEngine::Flush(uint64_t deadline)
{
    if (queued_.empty())
        return kStatusOk;
    if (!transport_) {
        queued_.clear();
        return kStatusLinkNotOpen;
    }
    const size_t size = queued_.size();
    const long written = transport_->Write(queued_.data(), size, deadline + LineTime(size));
    queued_.clear(); // keeps its capacity for the next requests
    if (written < 0) {
        Drop();
        return kStatusConnectionLost;
    }
    if (static_cast<size_t>(written) < size) {
        // Part of a packet went out. A serial line finds the next packet by its
        // checksum; a TCP stream would stay out of step, so it is ended.
        if (written > 0 && !transport_->UsesChecksum())
            Drop();
        return kStatusTimeout;
    }
    return kStatusOk;
}

int CLinkRequestEngine::Send(uint8_t op, const std::vector<uint8_t>& payload, uint64_t deadline,
                             uint32_t& sequence, size_t& wireBytes)
{
    if (const int status = Queue(op, payload.data(), payload.size(), sequence, wireBytes); status != kStatusOk)
        return status;
    return Flush(deadline);
}

int CLinkRequestEngine::WaitReply(uint32_t sequence, uint64_t deadline, SWirePacket& reply)
{
    return WaitFor(sequence, deadline, &reply);
}

int CLinkRequestEngine::WaitStreamReply(uint32_t sequence, uint64_t deadline)
{
    return WaitFor(sequence, deadline, nullptr);
}

int CLinkRequestEngine::WaitFor(uint32_t sequence, uint64_t deadline, SWirePacket* reply)
{
    const auto streamAwaits = [this](uint32_t number) { return awaits_ && awaits_(number); };
    const size_t skippedBefore = decoder_.SkippedBytes();
    // Nothing is waited for that has not been sent.
    if (const int status = Flush(deadline); status != kStatusOk)
        return status;
    for (;;) {
        if (!transport_)
            return kStatusLinkNotOpen;
        SWirePacket packet;
        while (decoder_.Next(packet)) {
            if (!packet.IsReply()) {
                ++droppedReplies_;
                continue;
            }
            if (reply && packet.sequence == sequence) {
                *reply = std::move(packet);
                return kStatusOk;
            }
            if (take_ && take_(packet)) {
                if (!reply && packet.sequence == sequence)
                    return kStatusOk;
                continue;
            }
            ++droppedReplies_;
        }
        if (!reply && !streamAwaits(sequence))
            return kStatusOk;
        // A serial line lengthens the wait by the line time of the awaited
        // packet once its header is in (a header's time while one may be
        // coming). Noise and packets that are not awaited lengthen nothing,
        // so the wait never ends later than the deadline plus the line time
        // of one longest packet.
        bool headerIn = false;
        uint32_t arriving = 0;
        size_t awaitedBytes = decoder_.PendingFrame(headerIn, arriving);
        if (headerIn && !(reply ? arriving == sequence : streamAwaits(arriving)))
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

int CLinkRequestEngine::Call(uint8_t op, const std::vector<uint8_t>& payload, int timeoutMs, SWirePacket& reply)
{
    if (!transport_)
        return kStatusLinkNotOpen;
    const uint64_t start = clock_.NowMicros();
    const uint64_t timeout = uint64_t(timeoutMs) * 1000;
    uint32_t sequence = 0;
    size_t wireBytes = 0;
    if (const int status = Send(op, payload, start + timeout, sequence, wireBytes); status != kStatusOk)
        return status;
    const int status = WaitReply(sequence, start + timeout + LineTime(wireBytes), reply);
    if (status != kStatusOk)
        return status;
    if (reply.op != op)
        return kStatusUnexpectedReply;
    return kStatusOk;
}
