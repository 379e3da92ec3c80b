#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

// Runs qemu-system-arm with its qtest protocol on a socket of its own and
// puts single bus cycles on the guest's address space through it: one text
// line per command ("writew 0xfe00aaaa 0xaa", "readw 0xfe000000"), one reply
// line per command ("OK", "OK 0x..."). The guest CPU runs (TCG) parked in a
// wait-for-interrupt loop, so QEMU's virtual clock follows the wall clock and
// its devices' timers fire on their own.
//
// Writes are sent without waiting for their replies: consecutive cycles go
// back to back, at most kMaxPending unanswered at a time (both sides block on
// full socket buffers otherwise); a read, Flush or the bound collects the
// outstanding replies. Any failure (QEMU gone, a reply that is not "OK", no
// reply within kReplyTimeoutMs) makes the client dead: every later cycle
// fails at once, and Error() says why.
//
// QEMU does not end when the socket closes: Stop (and the destructor)
// terminates it and removes the socket's folder.
class CQemuQtestClient {
public:
    static constexpr const char* kProgram = "qemu-system-arm";
    static constexpr int kMaxPending = 64;
    static constexpr int kReplyTimeoutMs = 5000;
    static constexpr int kStartTimeoutMs = 10000;

    CQemuQtestClient() = default;
    ~CQemuQtestClient();
    CQemuQtestClient(const CQemuQtestClient&) = delete;
    CQemuQtestClient& operator=(const CQemuQtestClient&) = delete;

    // The full path of qemu-system-arm on PATH, or "" when it is not there.
    static std::string FindProgram();

    // Starts `program` with `arguments` plus the qtest options, and waits for
    // QEMU to connect. On failure returns false with the reason (QEMU's own
    // last words included when it ended).
    bool Start(const std::string& program, const std::vector<std::string>& arguments, std::string& error);
    void Stop();

    // Waits (at most kStartTimeoutMs) until QEMU answers a read at
    // `address`: a machine that is slow to come up must not make the first
    // real cycle late.
    bool AwaitReady(uint64_t address, int widthBytes, std::string& error);

    // One bus cycle of 1, 2 or 4 bytes at a guest physical address.
    bool Write(uint64_t address, int widthBytes, uint32_t value);
    bool Read(uint64_t address, int widthBytes, uint32_t& value);
    // Several reads sent back to back, their values in order.
    bool ReadMany(const std::vector<uint64_t>& addresses, int widthBytes, std::vector<uint32_t>& values);
    // Collects the replies of every write sent so far.
    bool Flush();

    bool Alive() const { return fd_ >= 0 && error_.empty(); }
    const std::string& Error() const { return error_; }
    // Cycles sent since Start (for benchmarks and diagnostics).
    uint64_t Cycles() const { return cycles_; }

private:
    bool Fail(const std::string& why);
    bool Send(const std::string& line);
    // Reads one reply line; false on timeout or a closed socket.
    bool ReceiveLine(std::string& line);
    // Collects replies until `keep` remain outstanding; the values of the
    // read replies (in order) go to `values` when given.
    bool Collect(int keep, std::vector<uint32_t>* values);
    std::string QemuLastWords() const;

    pid_t pid_ = -1;
    int fd_ = -1;
    std::string folder_;
    std::string out_;     // commands not yet written to the socket
    std::string in_;      // bytes read but not yet taken as lines
    std::vector<bool> pendingReads_; // per outstanding reply: whether it carries a value
    std::string error_;
    uint64_t cycles_ = 0;
    int replyTimeoutMs_ = kReplyTimeoutMs;
};
