// The link library against a scripted peer on the other end of a socket
// pair: timeouts, late replies, bad replies, a lost connection, serial line
// time; and the open and serial port checks against real descriptors.

#include "probe/link/fd_transport.h"
#include "probe/link/link_library.h"
#include "probe/probe_status.h"
#include "probe/link/wire_decoder.h"
#include "probe/link/wire_payload.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

Bytes ReplyFrame(const SWirePacket& request, const Bytes& payload, bool checksum, uint8_t op = 0)
{
    Bytes out;
    EncodeWirePacket(op ? op : request.op, kWireFlagReply, request.sequence, payload.data(), payload.size(),
                    checksum, out);
    return out;
}

Bytes TransactReply(const SWirePacket& request, const Bytes& commandReply, bool checksum = false)
{
    CWireWriter w;
    w.I32(0).Bytes(commandReply.data(), commandReply.size());
    return ReplyFrame(request, w.bytes, checksum);
}

// Plays the probe on one end of a socket pair: answers the handshake itself
// and hands every other request to `script`, which writes what it likes.
class CScriptedPeer {
public:
    using Script = std::function<void(CScriptedPeer&, const SWirePacket&)>;

    CScriptedPeer(int fd, bool checksum, Script script) : fd_(fd), checksum_(checksum), script_(std::move(script))
    {
        thread_ = std::thread([this] { Run(); });
    }
    ~CScriptedPeer()
    {
        stop_ = true;
        thread_.join();
        if (fd_ >= 0)
            close(fd_);
    }

    void Send(const Bytes& bytes) { [[maybe_unused]] ssize_t n = write(fd_, bytes.data(), bytes.size()); }
    void CloseNow()
    {
        close(fd_);
        fd_ = -1;
    }
    bool Checksum() const { return checksum_; }
    std::atomic<int> requests{0};

private:
    void Run()
    {
        CWireDecoder decoder(checksum_);
        uint8_t buffer[4096];
        while (!stop_ && fd_ >= 0) {
            pollfd pfd{fd_, POLLIN, 0};
            if (poll(&pfd, 1, 20) <= 0)
                continue;
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                return;
            decoder.Feed(buffer, static_cast<size_t>(n));
            SWirePacket frame;
            while (fd_ >= 0 && decoder.Next(frame)) {
                if (frame.op == kOpHello) {
                    Send(ReplyFrame(frame, CWireWriter().I32(0).U16(kWireProtocolVersion).U8(1).bytes, checksum_));
                    continue;
                }
                ++requests;
                script_(*this, frame);
            }
        }
    }

    int fd_;
    bool checksum_;
    Script script_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A library opened on a socket pair whose other end `script` plays.
struct SPeerLink {
    SPeerLink(CScriptedPeer::Script script, bool checksum = false, long bytesPerSecond = 0,
              CClock& clock = CSystemClock::Instance())
        : library(CLinkLibrary::DefaultSettings(), clock)
    {
        int fds[2];
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds);
        peer = std::make_unique<CScriptedPeer>(fds[1], checksum, std::move(script));
        openStatus = library.LinkOpenTransport(
            std::make_unique<CFdTransport>(fds[0], true, checksum, bytesPerSecond, clock));
    }
    CLinkLibrary library;
    std::unique_ptr<CScriptedPeer> peer;
    int openStatus = 0;
};

TEST(LinkLibrary, ATransactionTimesOutAtItsTimeout)
{
    CManualClock clock;
    SPeerLink link([](CScriptedPeer&, const SWirePacket&) {}, false, 0, clock);
    ASSERT_EQ(link.openStatus, 0);
    clock.SetGrace(10000); // the peer never answers: no need to give it long
    const uint8_t request[1] = {106};
    uint8_t reply[1500];
    for (int timeout : {100, 300, 60000}) {
        const uint64_t start = clock.NowMs();
        EXPECT_EQ(link.library.LinkTransact(1, request, 1500, reply, timeout), kStatusTimeout);
        const uint64_t elapsed = clock.NowMs() - start;
        EXPECT_GE(elapsed, uint64_t(timeout));
        EXPECT_LT(elapsed, uint64_t(timeout) + 150);
    }
}

TEST(LinkLibrary, ALateReplyIsDroppedAndNeverTakenForTheNextFramesReply)
{
    SPeerLink link([](CScriptedPeer& peer, const SWirePacket& frame) {
        if (peer.requests == 1) {
            std::this_thread::sleep_for(milliseconds(250));
            peer.Send(TransactReply(frame, {106, 0xAA}));
        } else {
            peer.Send(TransactReply(frame, {106, 0xBB}));
        }
    });
    ASSERT_EQ(link.openStatus, 0);
    const uint8_t request[1] = {106};
    uint8_t reply[1500] = {};
    EXPECT_EQ(link.library.LinkTransact(1, request, 1500, reply, 100), kStatusTimeout);
    ASSERT_EQ(link.library.LinkTransact(1, request, 1500, reply, 1000), 2);
    EXPECT_EQ(reply[1], 0xBB);
    EXPECT_EQ(link.library.DroppedReplies(), 1u);
}

TEST(LinkLibrary, ALateReplyAmongTheAcksOfABurstIsTakenForNeitherAnAckNorTheNextReply)
{
    // A burst of blocks is streamed; a transaction after it times out, and
    // its reply comes late, in the middle of the acks of a second burst.
    // The stream ends soundly and the next transaction gets its own reply.
    SWirePacket late;
    std::atomic<int> blocks{0};
    SPeerLink link([&](CScriptedPeer& peer, const SWirePacket& frame) {
        switch (frame.op) {
        case kOpTransact:
            if (late.sequence == 0)
                late = frame; // answered later
            else
                peer.Send(TransactReply(frame, {106, 0xBB}));
            break;
        case kOpStreamBegin:
            peer.Send(ReplyFrame(frame, CWireWriter().I32(0).bytes, false));
            break;
        case kOpStreamBlock:
            if (++blocks == 100 + 40)
                peer.Send(TransactReply(late, {106, 0xAA}));
            [[fallthrough]];
        default:
            peer.Send(ReplyFrame(frame, CWireWriter().I32(0).U32(0).bytes, false));
            break;
        }
    });
    ASSERT_EQ(link.openStatus, 0);
    const Bytes block(1024, 0x5A);
    auto burst = [&] {
        ASSERT_EQ(link.library.StreamBegin(kStreamProgram, 1), 0);
        for (uint32_t i = 0; i < 100; ++i)
            ASSERT_EQ(link.library.StreamBlock(i * 1024, 1024, block.data()), 0);
        uint32_t failAddress = 1;
        EXPECT_EQ(link.library.StreamEnd(failAddress), 0);
        EXPECT_EQ(failAddress, 0u);
    };
    burst();
    const uint8_t request[1] = {106};
    uint8_t reply[1500] = {};
    EXPECT_EQ(link.library.LinkTransact(1, request, 1500, reply, 100), kStatusTimeout);
    burst();
    EXPECT_EQ(blocks, 200);
    ASSERT_EQ(link.library.LinkTransact(1, request, 1500, reply, 1000), 2);
    EXPECT_EQ(reply[1], 0xBB);
    EXPECT_EQ(link.library.DroppedReplies(), 1u);
}

// A probe that takes `blockMs` for each streamed block before it acks it (a
// slow link or slow flash), and acks nothing more once `answered` blocks
// are done (a probe that stopped answering; 0: it always answers).
struct SSlowProbe {
    explicit SSlowProbe(int blockMs, int answered = 0)
        : link([this, blockMs, answered](CScriptedPeer& peer, const SWirePacket& frame) {
              switch (frame.op) {
              case kOpStreamBlock:
                  if (answered != 0 && blocks >= answered)
                      return;
                  std::this_thread::sleep_for(milliseconds(blockMs));
                  acked += frame.payload.size() - 4;
                  ++blocks;
                  peer.Send(ReplyFrame(frame, CWireWriter().I32(0).U32(0).bytes, false));
                  break;
              case kOpStreamEnd:
                  peer.Send(ReplyFrame(frame, CWireWriter().I32(0).U32(0).bytes, false));
                  break;
              default:
                  peer.Send(ReplyFrame(frame, CWireWriter().I32(0).bytes, false));
                  break;
              }
          })
    {
    }
    std::atomic<uint64_t> acked{0};
    std::atomic<int> blocks{0};
    SPeerLink link;
};

TEST(LinkLibrary, WhatProgressMayShowIsWhatTheProbeAcknowledgedAndWhatIsInFlightIsBoundedByTime)
{
    // 1 KiB blocks acked every 25 ms: about 40 kB/s.
    SSlowProbe probe(25);
    CLinkLibrary& library = probe.link.library;
    ASSERT_EQ(probe.link.openStatus, 0);
    ASSERT_EQ(library.StreamBegin(kStreamProgram, 1), 0);
    const Bytes block(1024, 0x5A);
    uint64_t sent = 0;
    for (uint32_t i = 0; i < 60; ++i) {
        ASSERT_EQ(library.StreamBlock(i * 1024, 1024, block.data()), 0);
        sent += 1024;
        const uint64_t shown = library.StreamAcknowledged(sent);
        EXPECT_LE(shown, probe.acked.load()) << "block " << i;
        // In flight: the first window until the rate is known, never more.
        EXPECT_LE(sent - shown, CLinkStreamWindow::kFirstWindowBytes + 1024) << "block " << i;
    }
    // Once measured, a quarter second of ~40 kB/s, and never fewer than a few packets.
    const double rate = library.StreamWindow().MeasuredRate();
    EXPECT_GT(rate, 20000.0);
    EXPECT_LT(rate, 80000.0);
    const size_t window = library.StreamWindow().WindowBytes(WirePacketSize(4 + 1024, false));
    EXPECT_LE(window, 20u * 1024);
    EXPECT_GE(window, CLinkStreamWindow::kMinWindowPackets * 1024);
    uint32_t failAddress = 1;
    EXPECT_EQ(library.StreamEnd(failAddress), 0);
    EXPECT_EQ(library.StreamAcknowledged(sent), sent);
    EXPECT_EQ(probe.acked.load(), sent);
}

TEST(LinkLibrary, AStopAt20kBPerSecondTakesEffectWithinASecond)
{
    // 1 KiB blocks acked every 50 ms: 20 kB/s.
    SSlowProbe probe(50);
    CLinkLibrary& library = probe.link.library;
    ASSERT_EQ(probe.link.openStatus, 0);
    std::atomic<bool> stop{false};
    library.SetStopCheck([&stop] { return stop.load(); });
    ASSERT_EQ(library.StreamBegin(kStreamProgram, 1), 0);
    const Bytes block(1024, 0x5A);
    uint64_t sent = 0;
    int status = kStatusOk;
    for (uint32_t i = 0; i < 1000 && status == kStatusOk; ++i) {
        if (i == 30)
            stop = true;
        status = library.StreamBlock(i * 1024, 1024, block.data());
        if (status == kStatusOk)
            sent += 1024;
    }
    // The stop is taken at the first wait for room: what the probe still has
    // to do is what was in flight, a quarter second of the measured rate.
    ASSERT_EQ(status, kStatusStopped);
    EXPECT_LE(sent, 31u * 1024 + CLinkStreamWindow::kFirstWindowBytes);
    const uint64_t behind = sent - library.StreamAcknowledged(sent);
    EXPECT_LE(static_cast<double>(behind), library.StreamWindow().MeasuredRate() / 4 + 4 * 1100);
    CClock& clock = library.Clock();
    const uint64_t stopped = clock.NowMs();
    uint32_t failAddress = 1;
    EXPECT_EQ(library.StreamEnd(failAddress), 0);
    EXPECT_LE(clock.NowMs() - stopped, uint64_t{CLinkStreamWindow::kStopPatienceMs});
    EXPECT_EQ(probe.acked.load(), sent) << "every block sent was done";
}

TEST(LinkLibrary, AStopWithAProbeThatStoppedAnsweringEndsWithinTheStopPatience)
{
    SSlowProbe probe(1, 4);
    CLinkLibrary& library = probe.link.library;
    ASSERT_EQ(probe.link.openStatus, 0);
    std::atomic<bool> stop{false};
    library.SetStopCheck([&stop] { return stop.load(); });
    ASSERT_EQ(library.StreamBegin(kStreamProgram, 1), 0);
    const Bytes block(1024, 0x5A);
    CClock& clock = library.Clock();
    uint64_t stopAt = 0;
    int status = kStatusOk;
    std::thread person([&] {
        std::this_thread::sleep_for(milliseconds(300));
        stopAt = clock.NowMs();
        stop = true;
    });
    for (uint32_t i = 0; i < 1000 && status == kStatusOk; ++i)
        status = library.StreamBlock(i * 1024, 1024, block.data());
    person.join();
    const uint64_t taken = clock.NowMs();
    EXPECT_EQ(status, kStatusStopped) << "the wait for room ends on the stop, not on the ack timeout";
    EXPECT_LE(taken - stopAt, 200u);
    uint32_t failAddress = 1;
    EXPECT_EQ(library.StreamEnd(failAddress), kStatusTimeout);
    EXPECT_LE(clock.NowMs() - taken, uint64_t{CLinkStreamWindow::kStopPatienceMs} + 100);
}

TEST(LinkLibrary, BusCyclesGoOutBackToBackAndTheFirstFailureIsReported)
{
    // The peer answers only once it holds all four accesses: a library that
    // waited for each answer before the next access would time out. The
    // third fails; the fourth is answered all the same and is not left over
    // for the next call.
    std::vector<SWirePacket> held;
    SPeerLink link([&](CScriptedPeer& peer, const SWirePacket& frame) {
        if (frame.op == kOpTargetRead32 && held.empty() && peer.requests > 4) {
            peer.Send(ReplyFrame(frame, CWireWriter().I32(0).U32(0x12345678).bytes, false));
            return;
        }
        held.push_back(frame);
        if (held.size() < 4)
            return;
        for (size_t i = 0; i < held.size(); ++i) {
            CWireWriter w;
            w.I32(i == 2 ? kStatusTargetAccessError : 0);
            if (held[i].op == kOpTargetRead16)
                w.U32(0xBEEF);
            peer.Send(ReplyFrame(held[i], w.bytes, false));
        }
        held.clear();
    });
    ASSERT_EQ(link.openStatus, 0);
    const SProbeBusCycle cycles[] = {
        {0x80000AAA, 0xAA, 2, false}, {0x80000554, 0x55, 2, false}, {0x80000AAA, 0x80, 2, false}, {0x80000000, 0, 2, true}};
    int failed = -1;
    EXPECT_EQ(link.library.TargetCycles(4, cycles, failed), kStatusTargetAccessError);
    EXPECT_EQ(failed, 2);
    uint32_t value = 0;
    EXPECT_EQ(link.library.TargetRead32(0x40000000, value), 0);
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_EQ(link.library.DroppedReplies(), 0u);
}

TEST(LinkLibrary, BlockReadsGoOutBackToBackAndTheFirstFailureIsReported)
{
    // As with the bus cycles: the peer answers once it holds all three
    // reads; the second fails, the first and third bring their bytes.
    std::vector<SWirePacket> held;
    SPeerLink link([&](CScriptedPeer& peer, const SWirePacket& frame) {
        held.push_back(frame);
        if (held.size() < 3)
            return;
        for (size_t i = 0; i < held.size(); ++i) {
            CWireReader in(held[i].payload);
            const uint32_t address = in.U32();
            const uint32_t length = in.U32();
            CWireWriter w;
            w.I32(i == 1 ? kStatusTargetAccessError : 0);
            if (i != 1)
                w.Bytes(Bytes(length, static_cast<uint8_t>(address)).data(), length);
            peer.Send(ReplyFrame(held[i], w.bytes, false));
        }
        held.clear();
    });
    ASSERT_EQ(link.openStatus, 0);
    std::vector<uint8_t> a(16), b(8), c(1000);
    const SProbeReadBlock blocks[] = {{0x100, 16, a.data()}, {0x200, 8, b.data()}, {0x333, 1000, c.data()}};
    int failed = -1;
    EXPECT_EQ(link.library.TargetReadBlocks(3, blocks, failed), kStatusTargetAccessError);
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(a, Bytes(16, 0x00));
    EXPECT_EQ(c, Bytes(1000, 0x33));
    EXPECT_EQ(link.library.DroppedReplies(), 0u);
}

TEST(LinkLibrary, BadRepliesAreRecognised)
{
    // Request 1: the right sequence number with another operation; 2: longer
    // than the caller's buffer; 3: a status without its fields; 4: fine.
    SPeerLink link([](CScriptedPeer& peer, const SWirePacket& frame) {
        switch (peer.requests) {
        case 1:
            peer.Send(ReplyFrame(frame, CWireWriter().I32(0).U32(5).bytes, false, kOpTargetRead16));
            break;
        case 2:
            peer.Send(TransactReply(frame, Bytes(20, 1)));
            break;
        case 3:
            peer.Send(ReplyFrame(frame, CWireWriter().I32(0).bytes, false));
            break;
        default:
            peer.Send(ReplyFrame(frame, CWireWriter().I32(0).U32(0x12345678).bytes, false));
            break;
        }
    });
    ASSERT_EQ(link.openStatus, 0);
    uint32_t value = 0;
    EXPECT_EQ(link.library.TargetRead32(0, value), kStatusUnexpectedReply);
    const uint8_t request[1] = {101};
    uint8_t reply[10];
    EXPECT_EQ(link.library.LinkTransact(1, request, 10, reply, 500), kStatusReplyTooLong);
    EXPECT_EQ(link.library.TargetRead32(0, value), kStatusUnexpectedReply);
    EXPECT_EQ(link.library.TargetRead32(0, value), kStatusOk);
    EXPECT_EQ(value, 0x12345678u);
}

TEST(LinkLibrary, ALostConnectionEndsTheLink)
{
    SPeerLink link([](CScriptedPeer& peer, const SWirePacket&) { peer.CloseNow(); });
    ASSERT_EQ(link.openStatus, 0);
    EXPECT_EQ(link.library.TargetWrite8(0, 1), kStatusConnectionLost);
    EXPECT_FALSE(link.library.IsOpen());
    EXPECT_EQ(link.library.TargetWrite8(0, 1), kStatusLinkNotOpen);
}

TEST(LinkLibrary, NoiseWithoutAReplyIsAFramingError)
{
    SPeerLink link([](CScriptedPeer& peer, const SWirePacket& frame) {
        Bytes spoilt = TransactReply(frame, {106, 19}, true);
        spoilt[13] ^= 0x01;
        peer.Send(spoilt);
    }, true);
    ASSERT_EQ(link.openStatus, 0);
    const uint8_t request[1] = {106};
    uint8_t reply[1500];
    EXPECT_EQ(link.library.LinkTransact(1, request, 1500, reply, 150), kStatusFramingError);
}

TEST(LinkLibrary, ASerialReplyIsFoundAfterACorruptedOne)
{
    SPeerLink link([](CScriptedPeer& peer, const SWirePacket& frame) {
        Bytes spoilt = TransactReply(frame, {106, 7}, true);
        spoilt[spoilt.size() - 3] ^= 0x40;
        Bytes both = spoilt;
        const Bytes good = TransactReply(frame, {106, 19}, true);
        both.insert(both.end(), good.begin(), good.end());
        peer.Send(both);
    }, true);
    ASSERT_EQ(link.openStatus, 0);
    const uint8_t request[1] = {106};
    uint8_t reply[1500];
    ASSERT_EQ(link.library.LinkTransact(1, request, 1500, reply, 500), 2);
    EXPECT_EQ(reply[1], 19);
}

// A serial line on a manual clock that answers the handshake and then
// carries nothing but `noise`, repeated at the line's rate for a minute,
// and never a reply.
class CNoisyLine final : public CLinkTransport {
public:
    static constexpr long kBytesPerSecond = 960; // 9600 baud
    static constexpr size_t kBurst = 16;

    CNoisyLine(CManualClock& clock, Bytes noise) : clock_(clock), noise_(std::move(noise)) {}

    long Write(const uint8_t* data, size_t length, uint64_t) override
    {
        decoder_.Feed(data, length);
        SWirePacket frame;
        while (decoder_.Next(frame)) {
            if (frame.op == kOpHello) {
                pending_ = ReplyFrame(frame, CWireWriter().I32(0).U16(kWireProtocolVersion).U8(1).bytes, true);
            } else if (noiseEnd_ == 0) {
                noiseEnd_ = clock_.NowMicros() + 60000000;
            }
        }
        return static_cast<long>(length);
    }
    long Read(uint8_t* buffer, size_t capacity, uint64_t deadline) override
    {
        if (!pending_.empty()) {
            const size_t n = std::min(capacity, pending_.size());
            std::copy_n(pending_.begin(), n, buffer);
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(n));
            return static_cast<long>(n);
        }
        const uint64_t now = clock_.NowMicros();
        const uint64_t arrives = now + kBurst * 1000000 / kBytesPerSecond;
        if (now >= noiseEnd_ || arrives > deadline) {
            if (deadline > now)
                clock_.AdvanceMicros(deadline - now);
            return 0;
        }
        clock_.AdvanceMicros(arrives - now);
        const size_t n = std::min(capacity, kBurst);
        for (size_t i = 0; i < n; ++i, ++sent_)
            buffer[i] = noise_[sent_ % noise_.size()];
        return static_cast<long>(n);
    }
    bool UsesChecksum() const override { return true; }
    long BytesPerSecond() const override { return kBytesPerSecond; }

private:
    CManualClock& clock_;
    Bytes noise_;
    CWireDecoder decoder_{true};
    Bytes pending_;
    uint64_t noiseEnd_ = 0;
    size_t sent_ = 0;
};

TEST(LinkLibrary, NoiseOnASerialLineDoesNotLengthenTheWait)
{
    // Zero bytes; magic bytes whose length field is out of range; a
    // well-formed header of another sequence number whose frame never
    // checks out.
    Bytes otherHeader;
    EncodeWirePacket(kOpTransact, kWireFlagReply, 0x5EEDF00D, Bytes(40, 0x22).data(), 40, true, otherHeader);
    otherHeader.back() ^= 0xFF;
    for (const Bytes& noise : {Bytes(7, 0x00), Bytes{kWireMagic0, kWireMagic1}, otherHeader}) {
        CManualClock clock;
        CLinkLibrary library(CLinkLibrary::DefaultSettings(), clock);
        ASSERT_EQ(library.LinkOpenTransport(std::make_unique<CNoisyLine>(clock, noise)), 0);
        const uint8_t request[1] = {106};
        uint8_t reply[1500];
        const uint64_t start = clock.NowMs();
        EXPECT_EQ(library.LinkTransact(1, request, 1500, reply, 1000), kStatusFramingError);
        const uint64_t elapsed = clock.NowMs() - start;
        EXPECT_GE(elapsed, 1000u);
        // The timeout, the request's own line time and one burst of noise.
        EXPECT_LT(elapsed, 1100u) << noise.size();
    }
}

TEST(LinkLibrary, OnASerialLineTheWaitIsLengthenedByTheLineTimeOfTheReply)
{
    // A 220-byte reply frame at 500 bytes per second takes 440 ms on the
    // line: its first bytes come at 80 ms, the rest at 250 ms, after the
    // 100 ms timeout plus the request's own line time (40 ms).
    auto slowReply = [](CScriptedPeer& peer, const SWirePacket& frame) {
        const Bytes whole = TransactReply(frame, Bytes(200, 0x33), true);
        std::this_thread::sleep_for(milliseconds(80));
        peer.Send(Bytes(whole.begin(), whole.begin() + 20));
        std::this_thread::sleep_for(milliseconds(170));
        peer.Send(Bytes(whole.begin() + 20, whole.end()));
    };
    const uint8_t request[1] = {109};
    uint8_t reply[1500];
    {
        SPeerLink serial(slowReply, true, 500);
        ASSERT_EQ(serial.openStatus, 0);
        EXPECT_EQ(serial.library.LinkTransact(1, request, 1500, reply, 100), 200);
    }
    {
        SPeerLink network(slowReply, true, 0);
        ASSERT_EQ(network.openStatus, 0);
        EXPECT_EQ(network.library.LinkTransact(1, request, 1500, reply, 100), kStatusTimeout);
    }
}

// Opens a library against a peer that answers the handshake with `payload`.
int OpenWithHelloReply(const Bytes& payload, CLinkLibrary& library)
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return 1;
    std::thread peer([fd = fds[1], &payload] {
        CWireDecoder decoder(false);
        uint8_t buffer[256];
        SWirePacket frame;
        while (!decoder.Next(frame)) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0)
                return;
            decoder.Feed(buffer, static_cast<size_t>(n));
        }
        const Bytes reply = ReplyFrame(frame, payload, false);
        [[maybe_unused]] ssize_t n = write(fd, reply.data(), reply.size());
    });
    const int status = library.LinkOpenTransport(std::make_unique<CFdTransport>(fds[0], true, false, 0, library.Clock()));
    peer.join();
    close(fds[1]);
    return status;
}

TEST(LinkLibrary, TheHandshakeReplyDecidesTheOpen)
{
    const struct {
        Bytes payload;
        int status;
    } cases[] = {
        {CWireWriter().I32(0).U16(kWireProtocolVersion).U8(1).bytes, kStatusOk},
        {CWireWriter().I32(0).U16(kWireProtocolVersion + 1).U8(1).bytes, kStatusProtocolMismatch},
        {CWireWriter().I32(kStatusTimeout).bytes, kStatusTimeout},
        // A positive status is no code of the open step; it must not come
        // through as an error number (nor as success).
        {CWireWriter().I32(0xFF00).bytes, kStatusUnexpectedReply},
        {CWireWriter().I32(1).U16(kWireProtocolVersion).U8(1).bytes, kStatusUnexpectedReply},
        {CWireWriter().I32(0).U16(kWireProtocolVersion).bytes, kStatusUnexpectedReply},
    };
    for (const auto& c : cases) {
        CLinkLibrary library;
        EXPECT_EQ(OpenWithHelloReply(c.payload, library), c.status) << c.status;
        EXPECT_EQ(library.IsOpen(), c.status == kStatusOk);
    }
}

// A carrier that answers every request itself with success, until its
// `failAt`-th write (1 = the handshake), which fails or half goes out.
class CFailingTransport final : public CLinkTransport {
public:
    CFailingTransport(int failAt, bool halfWrite, bool checksum)
        : failAt_(failAt), halfWrite_(halfWrite), checksum_(checksum), decoder_(checksum)
    {
    }

    long Write(const uint8_t* data, size_t length, uint64_t) override
    {
        if (++writes_ == failAt_)
            return halfWrite_ ? static_cast<long>(length / 2) : long(kStatusConnectionLost);
        decoder_.Feed(data, length);
        SWirePacket frame;
        while (decoder_.Next(frame)) {
            CWireWriter w;
            w.I32(0);
            if (frame.op == kOpHello)
                w.U16(kWireProtocolVersion).U8(1);
            else if (frame.op == kOpStreamBlock || frame.op == kOpStreamEnd)
                w.U32(0);
            const Bytes reply = ReplyFrame(frame, w.bytes, checksum_);
            pending_.insert(pending_.end(), reply.begin(), reply.end());
        }
        return static_cast<long>(length);
    }
    long Read(uint8_t* buffer, size_t capacity, uint64_t) override
    {
        const size_t n = std::min(capacity, pending_.size());
        std::copy_n(pending_.begin(), n, buffer);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(n));
        return static_cast<long>(n);
    }
    bool UsesChecksum() const override { return checksum_; }
    long BytesPerSecond() const override { return 0; }

private:
    int failAt_;
    bool halfWrite_;
    bool checksum_;
    int writes_ = 0;
    CWireDecoder decoder_;
    Bytes pending_;
};

TEST(LinkLibrary, AFailedWriteInTheMiddleOfAStreamEndsItWithoutWaiting)
{
    CLinkLibrary library;
    // Writes: the handshake, StreamBegin, a first batch of blocks; the
    // second batch fails.
    ASSERT_EQ(library.LinkOpenTransport(std::make_unique<CFailingTransport>(4, false, false)), 0);
    ASSERT_EQ(library.StreamBegin(kStreamProgram, 1), 0);
    const Bytes block(1024, 0);
    uint32_t address = 0;
    int status = kStatusOk;
    for (; status == kStatusOk && address < 1024 * 1024; address += 1024)
        status = library.StreamBlock(address, 1024, block.data());
    EXPECT_EQ(status, kStatusConnectionLost);
    EXPECT_GT(address, 1024u * 2) << "the first batch went out";
    EXPECT_LT(address, 1024u * 1024) << "the failed write ended the stream";
    EXPECT_FALSE(library.IsOpen());
    EXPECT_EQ(library.StreamBlock(address, 1024, block.data()), kStatusConnectionLost);
    uint32_t failAddress = 1;
    EXPECT_EQ(library.StreamEnd(failAddress), kStatusConnectionLost);
    EXPECT_EQ(library.StreamEnd(failAddress), kStatusLinkNotOpen);
}

TEST(LinkLibrary, HalfAFrameSentEndsATcpLinkButNotASerialOne)
{
    for (bool serial : {false, true}) {
        CLinkLibrary library;
        ASSERT_EQ(library.LinkOpenTransport(std::make_unique<CFailingTransport>(2, true, serial)), 0);
        EXPECT_EQ(library.TargetWrite32(0, 1), kStatusTimeout);
        EXPECT_EQ(library.IsOpen(), serial);
        EXPECT_EQ(library.TargetWrite32(0, 1), serial ? int(kStatusOk) : int(kStatusLinkNotOpen));
    }
}

TEST(LinkLibrary, EveryOperationNeedsAnOpenLink)
{
    CLinkLibrary library;
    uint8_t byte = 0;
    uint16_t half = 0;
    uint32_t word = 0;
    SProbeIdentification id;
    const SProbeRegisterId reg{600, 1};
    const SInitListRecord record{};
    EXPECT_EQ(library.LinkTransact(1, &byte, 1, &byte, 100), kStatusLinkNotOpen);
    EXPECT_EQ(library.TargetConnect(id), kStatusLinkNotOpen);
    EXPECT_EQ(library.TargetRead8(0, byte), kStatusLinkNotOpen);
    EXPECT_EQ(library.TargetRead16(0, half), kStatusLinkNotOpen);
    EXPECT_EQ(library.TargetRead32(0, word), kStatusLinkNotOpen);
    EXPECT_EQ(library.TargetWrite32(0, 0), kStatusLinkNotOpen);
    EXPECT_EQ(library.TargetWriteRegisters(1, &reg, &word), kStatusLinkNotOpen);
    EXPECT_EQ(library.TargetReadBlock(0, 0, 1, &byte), kStatusLinkNotOpen);
    EXPECT_EQ(library.TargetWriteBlock(0, 0, 1, &byte), kStatusLinkNotOpen);
    EXPECT_EQ(library.TargetLoadInitList(0, 2, 1, &record), kStatusLinkNotOpen);
    EXPECT_EQ(library.StreamBegin(0, 1), kStatusLinkNotOpen);
    EXPECT_EQ(library.StreamBlock(0, 1, &byte), kStatusLinkNotOpen);
    EXPECT_EQ(library.StreamEnd(word), kStatusLinkNotOpen);
    library.TargetDisconnect();
    library.LinkClose();
}

TEST(LinkLibrary, ArgumentsAreCheckedBeforeAnythingIsSent)
{
    SPeerLink link([](CScriptedPeer&, const SWirePacket&) {});
    ASSERT_EQ(link.openStatus, 0);
    uint8_t buffer[8] = {};
    const SInitListRecord records[129] = {};
    EXPECT_EQ(link.library.LinkTransact(0, buffer, 8, buffer, 100), kStatusInvalidArgument);
    EXPECT_EQ(link.library.LinkTransact(1, buffer, 8, buffer, 0), kStatusInvalidArgument);
    EXPECT_EQ(link.library.TargetLoadInitList(0, 2, 129, records), kStatusInvalidArgument);
    EXPECT_EQ(link.library.TargetReadBlock(0xFFFFFFF0, 0, 0x20, buffer), kStatusInvalidArgument);
    EXPECT_EQ(link.library.TargetWriteRegisters(0, nullptr, nullptr), kStatusInvalidArgument);
    EXPECT_EQ(link.peer->requests, 0);
}

TEST(LinkLibrary, OpenReportsBadChannelsRefusalsAndMissingPorts)
{
    CLinkLibrary library;
    EXPECT_EQ(library.LinkOpen("PARALLEL 1"), kStatusBadChannel);
    EXPECT_EQ(library.LinkOpen("COM1"), kStatusBaudNotSupported);

    // A bound port with no listener refuses connections.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    EXPECT_EQ(library.LinkOpen("NETWORK 127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + " 1"),
              kStatusConnectionRefused);
    close(fd);
    EXPECT_EQ(library.LinkOpen("NETWORK no-such-host.invalid:17000 1"), kStatusHostUnreachable);

    CTempDir dir;
    library.Settings().Set(ESetting::SerialDevice2, dir.File("missing"));
    EXPECT_EQ(library.LinkOpen("COM2 9600"), kStatusPortOpenFailed);
    EXPECT_FALSE(library.IsOpen());
}

TEST(LinkLibrary, SerialPortCheck)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    CTempDir dir;
    WriteFileBytes(dir.File("plain"), "not a terminal");

    CLinkLibrary library;
    library.Settings().Set(ESetting::SerialDevice1, ptsname(master));
    library.Settings().Set(ESetting::SerialDevice2, dir.File("plain"));
    library.Settings().Set(ESetting::SerialDevice3, dir.File("missing"));
    for (int baud = 0; baud <= 4; ++baud)
        EXPECT_EQ(library.LinkCheckSerialPort(0, baud), kStatusOk) << baud;
    EXPECT_EQ(library.LinkCheckSerialPort(0, 5), kStatusBaudNotSupported);
    EXPECT_EQ(library.LinkCheckSerialPort(1, 4), kStatusPortOpenFailed);
    EXPECT_EQ(library.LinkCheckSerialPort(2, 4), kStatusPortOpenFailed);
    EXPECT_LT(library.LinkCheckSerialPort(4, 0), 0);
    EXPECT_NE(library.LinkCheckSerialPort(4, 0), kStatusBaudNotSupported);
    close(master);
}

TEST(LinkLibrary, ASerialOpenWithoutAnAnswerTimesOut)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    // The wait on the terminal's descriptor runs on the library's clock.
    CManualClock clock;
    CLinkLibrary library(CLinkLibrary::DefaultSettings(), clock);
    library.Settings().Set(ESetting::SerialDevice1, ptsname(master));
    const uint64_t start = clock.NowMs();
    EXPECT_EQ(library.LinkOpen("COM1 115200"), kStatusTimeout);
    EXPECT_GE(clock.NowMs() - start, uint64_t(CLinkLibrary::kHelloTimeoutMs));
    EXPECT_LT(clock.NowMs() - start, uint64_t(CLinkLibrary::kHelloTimeoutMs) + 300);
    EXPECT_FALSE(library.IsOpen());
    close(master);
}

} // namespace
