#pragma once

#include "probe/link/wire_decoder.h"
#include "sim/probe_sim.h"
#include "sim/sim_faults.h"

#include <atomic>
#include <chrono>
#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The link side of the simulated probe: carries request and reply packets
// between hosts and a CProbeSim on its own thread. It listens on TCP and
// serves any number of descriptors handed to it (one end of a socket pair,
// the master of a pseudo-terminal). Serial lines (pseudo-terminals) carry
// checksums.
//
// As a network service it serves one TCP host at a time and drops, with a
// log line, whatever would hold it up: a second host while one is connected
// is refused (closed at once); a host that sends bytes that start no packet
// (a TCP stream has no noise: garbage, a declared length above the limit),
// that sends no packet within the hello time, that leaves a packet unfinished
// for the stall time or that stays silent for the idle time is dropped. The
// next host is then served as usual.
//
// The link can be made slow and faulty (SSimFaults): limited bandwidth each
// way and a round-trip time, replies dropped, late or spoilt, connections
// refused.
class CSimLink {
public:
    explicit CSimLink(CProbeSim& probe, const SSimFaults& faults = {});
    ~CSimLink();
    CSimLink(const CSimLink&) = delete;
    CSimLink& operator=(const CSimLink&) = delete;

    // The following set-up calls come before Start.
    // Listens on `address` (IPv4) at `port` (0: a free port, see Port()).
    // 0 or a negative errno. With refuseConnection the port is taken but
    // every connection is refused.
    int ListenTcp(const std::string& address, uint16_t port);
    uint16_t Port() const { return port_; }
    // Serves a connected descriptor and takes it over.
    void ServeFd(int fd, bool withChecksum);
    // Creates a pseudo-terminal and serves it as a serial line; the path of
    // the terminal a host opens, or "" when none could be made.
    std::string OpenPty();

    // Time limits for TCP hosts, in milliseconds (set before Start).
    struct SLimits {
        uint32_t helloMs = 10000;  // from connecting to the first packet
        uint32_t stallMs = 10000;  // a packet begun and not finished
        uint32_t idleMs = 900000;  // nothing received (longer than any wait a host makes between requests)
    };
    void SetLimits(const SLimits& limits) { limits_ = limits; }
    // Where the service's log lines go (set before Start); none by default.
    void SetLog(std::function<void(const std::string&)> log) { log_ = std::move(log); }

    int Start();
    void Stop();

    // Holds the probe still while a test looks at it.
    std::unique_lock<std::mutex> LockProbe() { return std::unique_lock<std::mutex>(probeMutex_); }
    uint32_t RequestsReceived() const { return requests_; }
    // Ends the request faults (dropped, late, spoilt replies, a cut, a probe
    // that stops answering): every request from now on is answered soundly,
    // and a port that refused connections accepts them.
    // The link's speed stays. For a test that checks a probe recovers once a
    // fault is over, whether or not the fault's request was ever reached.
    void EndFaults();

    // Back-pressure: a connection is not read while this many requests wait
    // to be answered, and no request is answered while this many reply bytes
    // wait to be sent, so a host that sends and never reads is held back by
    // its own transport instead of growing the simulator's queues.
    static constexpr size_t kMaxQueuedRequests = 64;
    static constexpr size_t kMaxQueuedReplyBytes = 1 << 20;
    // The most bytes (requests, replies, undecoded input) that one connection
    // has held queued at any time.
    size_t PeakQueuedBytes() const { return peakQueued_; }

    using Clock = std::chrono::steady_clock;
    // How many bytes of a reply of `size` bytes a serial line has delivered
    // by `now` when its first byte is complete at `firstByteAt` and each
    // further one takes `byteTime` (zero: all at once).
    static size_t DueBytes(Clock::time_point firstByteAt, Clock::duration byteTime, size_t size,
                           Clock::time_point now);

private:

    struct SInbound {
        SWirePacket packet;
        Clock::time_point deliverAt;
    };
    // A reply on its way. Like a real line, the link hands the host its
    // bytes one after another: the first when its own line time has passed
    // (sendAt), each further one a byte time later, so that a reply's
    // header arrives long before a long reply's end on a slow line.
    struct SOutbound {
        std::vector<uint8_t> bytes;
        Clock::time_point sendAt;
        Clock::duration byteTime{}; // zero: the whole reply at sendAt
        size_t written = 0;
        // When the next unwritten byte may leave.
        Clock::time_point NextByteAt() const
        {
            return written == 0 ? sendAt : sendAt + byteTime * static_cast<long>(written);
        }
        size_t DueBytes(Clock::time_point now) const
        {
            return std::max(written, CSimLink::DueBytes(sendAt, byteTime, bytes.size(), now));
        }
    };
    struct SConnection {
        int fd = -1;
        int keepFd = -1;  // pseudo-terminal: our own handle on the terminal side
        std::string ptyPath;  // pseudo-terminal: the terminal side's path
        // Pseudo-terminal: the line is cut (a cable pulled). Nothing is
        // answered and whatever arrives is dropped until the host lets go of
        // the terminal (closes it: watchFd, an inotify descriptor on its
        // path, tells); the line is then whole again for the next host.
        bool lineCut = false;
        int watchFd = -1;
        bool isSocket = false;
        bool fromListener = false;
        CWireDecoder decoder{false};
        std::deque<SInbound> inbound;
        std::deque<SOutbound> outbound;
        size_t inboundBytes = 0;  // payload bytes of the requests in `inbound`
        size_t outboundBytes = 0; // reply bytes in `outbound` not yet written
        Clock::time_point upFree{};
        Clock::time_point downFree{};
        Clock::time_point lastSendAt{};
        bool withChecksum = false;
        bool closed = false;
        std::string peer;               // a TCP host's address, for the log
        bool spoke = false;             // a whole packet has arrived
        bool busy = false;              // another host is served: the first request is answered "busy"
        Clock::time_point lastInput{};  // connected, or bytes last received
    };

    void Run();
    void Accept();
    // Drops TCP hosts past their time limits; the earliest time a limit can
    // next pass.
    Clock::time_point DropOverdue();
    void Drop(SConnection& connection, const std::string& why);
    void Log(const std::string& line) const;
    static bool PeerGone(int fd);
    void ReadFrom(SConnection& connection);
    void ProcessDue(SConnection& connection);
    void WriteDue(SConnection& connection);
    Clock::duration LineTime(size_t bytes) const;
    static void Close(SConnection& connection);
    // Cuts a pseudo-terminal's line instead of closing it, so that its path
    // stays valid for the next host.
    void CutLine(SConnection& connection);
    // A cut line: mends it once the host has closed the terminal (the close
    // is queued, so a host that opens it again at once is not missed), and
    // drops what arrives while it is cut.
    void WatchCutLine(SConnection& connection, short revents);
    static bool CanRead(const SConnection& connection);
    static bool CanAnswer(const SConnection& connection);
    void NoteQueued(const SConnection& connection);

    CProbeSim& probe_;
    CSimFaults faults_;
    SLimits limits_;
    std::function<void(const std::string&)> log_;
    std::mutex probeMutex_;
    int listenFd_ = -1;
    uint16_t port_ = 0;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::vector<std::unique_ptr<SConnection>> connections_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<uint32_t> requests_{0};
    std::atomic<bool> faultsEnded_{false};
    std::atomic<size_t> peakQueued_{0};
};
