#pragma once

#include "common/clock.h"
#include "probe/link/link_transport.h"
#include "probe/link/wire_decoder.h"
#include "probe/link/wire_packet.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The request side of the link: packets out with a sequence number each,
// replies in, every wait bounded by its deadline on the link's clock.
// Requests may be queued and written together (Queue, Flush); a wait or a
// Send writes what is queued first, so no wait is for a request not sent.
//
// A reply that comes after its call has timed out is recognised by its
// number and dropped. Replies that no call waits for are first offered to
// the stream (acks of streamed blocks, see SetStream). On a serial line a
// wait is lengthened by the line time of the awaited packet while it arrives,
// never by noise or by packets nobody waits for.
class CLinkRequestEngine {
public:
    // Offered every reply that is not the awaited one: true when taken.
    using FTakeReply = std::function<bool(const SWirePacket&)>;
    // Whether the stream still waits for the reply numbered `sequence`.
    using FAwaits = std::function<bool(uint32_t sequence)>;
    // Told that the carrier failed and the link ended.
    using FLost = std::function<void()>;

    explicit CLinkRequestEngine(CClock& clock) : clock_(clock) {}
    CLinkRequestEngine(const CLinkRequestEngine&) = delete;
    CLinkRequestEngine& operator=(const CLinkRequestEngine&) = delete;

    void SetStream(FTakeReply take, FAwaits awaits, FLost lost);

    // Takes a connected transport; sequence numbers start anywhere, so that
    // a late reply from an earlier session on the same line cannot match a
    // request of this one.
    void Attach(std::unique_ptr<CLinkTransport> transport);
    void Close();
    bool IsOpen() const { return transport_ != nullptr; }
    bool UsesChecksum() const { return transport_ && transport_->UsesChecksum(); }
    long BytesPerSecond() const { return transport_ ? transport_->BytesPerSecond() : 0; }
    CClock& Clock() { return clock_; }
    // Microseconds that `bytes` need on a serial line (0 on TCP).
    uint64_t LineTime(size_t bytes) const;
    // Replies thrown away because no call was waiting for them (late ones).
    uint64_t DroppedReplies() const { return droppedReplies_; }

    // Sends a request before `deadline`, after any queued ones; its sequence
    // number in `sequence`, its size on the line in `wireBytes`.
    int Send(uint8_t op, const std::vector<uint8_t>& payload, uint64_t deadline, uint32_t& sequence,
             size_t& wireBytes);
    // Numbers a request and queues it to go out with the next Flush (or the
    // next Send or wait), so that a stream's blocks take one write for many.
    int Queue(uint8_t op, const uint8_t* payload, size_t length, uint32_t& sequence, size_t& wireBytes);
    // Writes the queued requests before `deadline` (lengthened by their line
    // time on a serial line). Whatever happens, nothing stays queued.
    int Flush(uint64_t deadline);
    size_t QueuedBytes() const { return queued_.size(); }
    // Forgets the queued requests unsent (a stream given up).
    void DiscardQueued() { queued_.clear(); }
    // Waits until `deadline` for the reply to `sequence` (moved into `reply`).
    int WaitReply(uint32_t sequence, uint64_t deadline, SWirePacket& reply);
    // Waits until `deadline` until the stream no longer waits for `sequence`
    // (its ack has come).
    int WaitStreamReply(uint32_t sequence, uint64_t deadline);
    // One request and its reply within `timeoutMs`: kStatusUnexpectedReply
    // when the reply is of another operation.
    int Call(uint8_t op, const std::vector<uint8_t>& payload, int timeoutMs, SWirePacket& reply);

private:
    // The wait of WaitReply (with `reply`) and WaitStreamReply (without).
    int WaitFor(uint32_t sequence, uint64_t deadline, SWirePacket* reply);
    // Ends the link after the carrier failed.
    void Drop();

    CClock& clock_;
    std::unique_ptr<CLinkTransport> transport_;
    CWireDecoder decoder_{false};
    uint32_t nextSequence_ = 1;
    uint64_t droppedReplies_ = 0;
    std::array<uint8_t, 8192> readBuffer_{};
    std::vector<uint8_t> queued_; // encoded requests not yet written
    FTakeReply take_;
    FAwaits awaits_;
    FLost lost_;
};
