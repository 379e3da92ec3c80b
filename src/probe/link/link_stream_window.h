#pragma once

#include "probe/link/link_request_engine.h"
#include "probe/link/wire_packet.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

// The blocks of a program or verify stream on their way: StreamBlock packets
// go out without waiting for each ack, as long as the bytes in flight stay
// inside the window; acks are taken as they come (the request engine hands
// them over). The first failure (a failing ack, a lost ack, a lost carrier)
// ends the stream, and its status and address are kept for StreamEnd.
//
// What may be in flight is bounded by time as well as bytes: about a quarter
// of a second at the rate the probe's acks come (measured over the last
// second), never fewer than a few packets, at most kTcpWindowBytes. So
// progress, which counts acknowledged bytes, never runs far ahead of the
// probe, and a stop ends the stream within about a second at any link rate.
//
// Blocks are written in batches (an eighth of the window, at most 32 KiB):
// a batch goes out once it is full, before any wait and when the stream
// drains, and the acks that have come are taken once per batch. A full
// window is waited on until a whole batch fits again, so that one wake-up
// takes many acks. The system calls per block thus fall with the batch,
// while the window keeps the line busy.
class CLinkStreamWindow {
public:
    // Time within which a block's ack is due (see AckDeadline).
    static constexpr int kAckTimeoutMs = 5000;
    // Window on TCP: what a fast line (100 Mbit/s) carries in 20 ms, so that
    // round trips of a few milliseconds leave the line busy.
    static constexpr size_t kTcpWindowBytes = 256 * 1024;
    // Most bytes of blocks written at once.
    static constexpr size_t kMaxBatchBytes = 32 * 1024;
    // Window before any ack has been measured, and the fewest packets a
    // window holds whatever the rate.
    static constexpr size_t kFirstWindowBytes = 16 * 1024;
    static constexpr size_t kMinWindowPackets = 4;
    // How long the acks of a stream may take once it was stopped.
    static constexpr int kStopPatienceMs = 1000;

    explicit CLinkStreamWindow(CLinkRequestEngine& engine);
    CLinkStreamWindow(const CLinkStreamWindow&) = delete;
    CLinkStreamWindow& operator=(const CLinkStreamWindow&) = delete;

    // Bytes of blocks that may be on their way at once (0: chosen from the
    // line: kTcpWindowBytes on TCP, a quarter second of a serial line).
    void SetWindowBytes(size_t bytes) { windowBytes_ = bytes; }

    // Asked while waiting for acks; true stops the stream (see Send, Drain).
    void SetStopCheck(std::function<bool()> check) { stopCheck_ = std::move(check); }
    // Takes the acks that have come (what is queued goes out first), at
    // most every few milliseconds, so that a caller's progress is current.
    void TakeArrivedNow();
    // Bytes of this stream's blocks the probe has acknowledged.
    uint64_t AcknowledgedBytes() const { return ackedBytes_; }
    // The rate at which acks came over the last second (bytes on the line
    // per second), 0 before it is known.
    double MeasuredRate() const { return measuredRate_; }
    // Bytes that may be in flight for packets of `packetBytes` now.
    size_t WindowBytes(size_t packetBytes) const;

    bool IsIdle() const { return state_ == EState::Idle; }
    bool HasFailed() const { return state_ == EState::Failed; }
    // The failure that ended the stream (0 while it has none) and its address.
    int Status() const { return status_; }
    uint32_t FailAddress() const { return failAddress_; }

    // The probe accepted the start of a stream.
    void Open();
    // Back to no stream, nothing in flight.
    void Reset();
    // Forgets the measured rate (a new link).
    void ForgetRate()
    {
        samples_.clear();
        ackedWireBytes_ = 0;
        measuredRate_ = 0;
    }
    // Sends `length` bytes (checked by the caller) in blocks of at most
    // `maxBlock` bytes: 0, or the status that ended the stream, or
    // kStatusStopped when the stop check said so while the window was full
    // (the blocks not yet sent are not sent; the stream stays open).
    int Send(uint32_t address, uint32_t length, const uint8_t* bytes, uint32_t maxBlock);
    // Waits for the acks of all blocks on their way: 0, or the failure of
    // the wait (which ends the stream). After a stop it waits at most
    // kStopPatienceMs.
    int Drain();

    // What the request engine offers: the ack of a block in flight (true
    // when `packet` is one), whether an ack is still awaited, a lost carrier.
    bool TakeAck(const SWirePacket& packet);
    bool Awaits(uint32_t sequence) const;
    void CarrierLost();

private:
    struct SInFlight {
        uint32_t sequence;
        uint32_t address;
        uint32_t length;   // bytes of the block's data
        size_t wireBytes;
        size_t ahead;      // bytes that cross the line before its ack can (itself and earlier blocks and acks)
        uint64_t deadline; // of its ack; set when the block is written
    };

    // A probe works through its blocks one after the other: a block's ack is
    // due within the timeout of its sending, or of the ack before it when
    // the probe was still busy with earlier blocks then.
    uint64_t AckDeadline(const SInFlight& block) const;
    void Fail(int status, uint32_t address);
    // Waits for the oldest block's ack (at most until `limit`, when not 0);
    // on a failure ends the stream and forgets what is in flight. With a
    // stop check it waits in slices and answers kStatusStopped, the stream
    // left as it is, once the check says so.
    int WaitOldest(uint64_t limit = 0, bool stoppable = false);
    // Takes one ack's time and size into the measured rate.
    void Measure(uint64_t now, size_t wireBytes);
    bool StopAsked() const { return stopCheck_ && stopCheck_(); }
    // Writes the queued blocks and starts their acks' time: 0 or the
    // failure that ended the stream.
    int Flush();
    // Takes the acks that have come, without waiting.
    int TakeArrived();

    enum class EState { Idle, Open, Failed };
    CLinkRequestEngine& engine_;
    size_t windowBytes_ = 0;
    EState state_ = EState::Idle;
    int status_ = 0;
    uint32_t failAddress_ = 0;
    std::deque<SInFlight> inFlight_; // the last `unsent_` of them still queued in the engine
    size_t inFlightBytes_ = 0;
    size_t unsent_ = 0;
    std::vector<uint8_t> payload_; // one block's payload, reused
    uint64_t lastAck_ = 0;
    uint64_t ackedBytes_ = 0;
    uint64_t lastLook_ = 0; // when TakeArrivedNow last read
    uint64_t sentBytes_ = 0; // bytes of this stream's blocks queued so far
    uint64_t lookedAt_ = 0;  // and at the last look
    std::function<bool()> stopCheck_;
    // Ack samples of the last second: time and the link's acked bytes so far.
    std::deque<std::pair<uint64_t, uint64_t>> samples_;
    uint64_t ackedWireBytes_ = 0;
    double measuredRate_ = 0;
};
