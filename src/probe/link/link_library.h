#pragma once

#include "common/clock.h"
#include "common/settings.h"
#include "probe/link/link_request_engine.h"
#include "probe/link/link_stream_window.h"
#include "probe/link/link_transport.h"
#include "probe/probe_library.h"
#include "probe/link/wire_packet.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Our probe library: the operations of CProbeLibrary carried by our own wire
// protocol (docs/wire-protocol.md) over TCP ("NETWORK <ip> 1") or a serial
// line ("COM<n> <baud>").
//
// The operations build their requests and read their replies here; the
// request engine numbers, sends and waits (CLinkRequestEngine), and the
// blocks of a stream travel in a window of their own (CLinkStreamWindow).
class CLinkLibrary final : public CProbeLibrary {
public:
    // Timeouts (ms) of the operations whose timeout the caller does not give.
    static constexpr int kTcpConnectTimeoutMs = 3000;
    static constexpr int kHelloTimeoutMs = 1000;
    static constexpr int kTargetCallTimeoutMs = 2000;   // connect, single accesses, registers
    static constexpr int kBlockTimeoutMs = 3000;        // one block read or write
    static constexpr int kStreamBlockTimeoutMs = CLinkStreamWindow::kAckTimeoutMs; // ack of one streamed block
    static constexpr int kStreamEndTimeoutMs = 5000;
    static constexpr int kInitListTimeoutMs = 5000;     // plus the list's own delays
    static constexpr uint64_t kMaxInitListDelayMs = 600000;

    // Longest piece of a block the library puts into one packet.
    static constexpr uint32_t kMaxBlockChunk = 16384;
    // Longest command frame request that LinkTransact sends.
    static constexpr int kMaxTransactRequest = 4096;

    // Serial device paths and the probe's TCP port come from `settings`; by
    // default the built-in values alone (no environment). Every timeout is
    // measured on `clock`, which the transports the library opens share.
    explicit CLinkLibrary(const CSettings& settings = DefaultSettings(), CClock& clock = CSystemClock::Instance());
    ~CLinkLibrary() override;
    CLinkLibrary(const CLinkLibrary&) = delete;
    CLinkLibrary& operator=(const CLinkLibrary&) = delete;

    int LinkOpen(const std::string& channelText) override;
    int LinkCheckSerialPort(int channelIndex, int baudIndex) override;
    int32_t LinkParseAddress(const std::string& ipText) override;
    void LinkClose() override;
    int LinkTransact(int requestLength, const uint8_t* request, int replyCapacity, uint8_t* reply,
                     int timeoutMs) override;

    int StreamBegin(int mode, int flag) override;
    int StreamBlock(uint32_t address, uint32_t length, const uint8_t* bytes) override;
    int StreamEnd(uint32_t& failAddress) override;
    uint64_t StreamAcknowledged(uint64_t sentBytes) override;
    void SetStopCheck(std::function<bool()> check) override { window_.SetStopCheck(std::move(check)); }

    int TargetConnect(SProbeIdentification& identification) override;
    void TargetDisconnect() override;
    int TargetWriteRegisters(int count, const SProbeRegisterId* ids, const uint32_t* values) override;
    int TargetReadBlock(uint32_t address, int reserved, uint32_t length, uint8_t* buffer) override;
    int TargetWriteBlock(uint32_t address, int reserved, uint32_t length, const uint8_t* bytes) override;
    int TargetLoadInitList(int reserved, uint32_t targetOptions, int count,
                           const SInitListRecord* records) override;
    int TargetWrite8(uint32_t address, uint32_t value) override;
    int TargetWrite16(uint32_t address, uint32_t value) override;
    int TargetWrite32(uint32_t address, uint32_t value) override;
    int TargetRead8(uint32_t address, uint8_t& value) override;
    int TargetRead16(uint32_t address, uint16_t& value) override;
    int TargetRead32(uint32_t address, uint32_t& value) override;

    // The status's text; a failure of the link itself (port, connection,
    // timeout) names the device or address the last LinkOpen reached for.
    std::string LinkErrorText(int status) override;
    // The accesses go out in one write and their answers are read after.
    int TargetCycles(int count, const SProbeBusCycle* cycles, int& failed) override;
    // The requests go out in one write and their answers are read after;
    // blocks longer than kMaxBlockChunk are read one after the other.
    int TargetReadBlocks(int count, const SProbeReadBlock* blocks, int& failed) override;

    // Opens the link on a transport that is already connected (a socket pair
    // in tests, another carrier) and runs the handshake. The transport's
    // deadlines must be times of Clock().
    int LinkOpenTransport(std::unique_ptr<CLinkTransport> transport);

    // Settings of the built-in values only, reading no environment.
    static CSettings DefaultSettings();
    // The values the link uses; a change applies from the next open.
    CSettings& Settings() { return settings_; }
    // Device of serial port COM<n>: the setting of COM1 .. COM4, else
    // /dev/ttyS<n-1>.
    std::string SerialDevice(int comNumber) const;
    // TCP port when the channel text names none: the probe port setting.
    uint16_t DefaultTcpPort() const { return settings_.ProbePort(); }

    // Bytes of streamed blocks that may be on their way at once (0: chosen
    // from the line: a quarter second of the measured ack rate on TCP, at
    // most 256 KiB; a quarter second of a serial line).
    void SetStreamWindow(size_t bytes) { window_.SetWindowBytes(bytes); }

    // The stream window's rate measure and bound, for tests and benchmarks.
    const CLinkStreamWindow& StreamWindow() const { return window_; }

    bool IsOpen() const { return engine_.IsOpen(); }
    CClock& Clock() { return engine_.Clock(); }
    // Whether the probe said at the handshake that its loader (not the
    // flash-programming firmware) is running.
    bool LoaderRunning() const { return loaderRunning_; }
    // Replies thrown away because no call was waiting for them (late ones).
    uint64_t DroppedReplies() const { return engine_.DroppedReplies(); }

private:
    int Handshake();
    // One request and its reply within `timeoutMs`, after the acks of a
    // stream on its way.
    int Call(uint8_t op, const std::vector<uint8_t>& payload, int timeoutMs, SWirePacket& reply);
    // A call whose reply is just a status.
    int CallStatus(uint8_t op, const std::vector<uint8_t>& payload, int timeoutMs);
    // A target read of one value; `value` is left as it was on a failure.
    template <class T>
    int ReadValue(uint8_t op, uint32_t address, T& value);

    CSettings settings_;
    CLinkRequestEngine engine_;
    CLinkStreamWindow window_{engine_};
    bool loaderRunning_ = false;
    std::string linkTarget_; // "/dev/ttyS0" or "192.168.1.20:17000": where LinkOpen went
};
