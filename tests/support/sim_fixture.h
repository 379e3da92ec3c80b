#pragma once

// A simulated probe in this process, on a board, reached over one transport:
// what a test needs to drive the real link library, a front end or tarvel-cli
// against a simulated target.
//
// The board: a board file's text (docs/boards.md; the demo board when none is
// given), or the plain RAM board of OnRamBoard(), whose log of register and
// bus writes a test can read.
//
// The transport (SOptions::transport):
// - SocketPair: Library() is open to the probe over a socket pair when the
//   constructor returns.
// - Tcp: the probe listens on a free loopback port (port 0, so tests running
//   side by side never collide); ChannelText() and Port() name it. Nothing
//   is connected yet: the code under test opens its own link, or the test
//   opens Library() on ChannelText(). The probe serves one TCP host at a
//   time and refuses a second while one is connected, so only one of them
//   may hold the link at once.
// - SerialPair: Library() open over a socket pair that carries a serial
//   line's checksums, at SOptions::bytesPerSecond.
// - Pty: the probe serves a pseudo-terminal (PtyPath()), as a serial line.
//
//     CSimFixture sim(R"(ram 0x40000000 64K
//                        flash "AMD  Am29F040" base=0x01000000 bus=8)");
//     ASSERT_TRUE(sim.Ok()) << sim.Error();
//     sim.Library().TargetWrite8(...);
//     sim.PeekByte(0x01000000);
//
//     CSimFixture sim(CSimFixture::Tcp(faults));   // the demo board
//     CTargetConnection connection(library, box, sim.ChannelText(), clock);

#include "common/clock.h"
#include "probe/link/link_library.h"
#include "sim/board_file.h"
#include "sim/probe_sim.h"
#include "sim/probe_sim_ram_board.h"
#include "sim/sim_board_model.h"
#include "sim/sim_faults.h"
#include "sim/sim_link.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The demo board (CBoardFile::DefaultText()): RAM at 0x40000000 (256 KiB), a
// 2 MiB x16 JEDEC chip at 0x80000000 on a 16-bit bus, erased.
inline constexpr const char* kDemoDevice = "AMD  Am29LV160MB (1M x 16)";
inline constexpr uint32_t kDemoFlashBase = 0x80000000;
inline constexpr uint32_t kDemoFlashSize = 0x00200000;
inline constexpr uint32_t kDemoRamBase = 0x40000000;

// The RAM board of CSimFixture::OnRamBoard(): a region standing in for flash
// (erased, 0xFF) and a region of RAM (0x00).
inline constexpr uint32_t kSimFlashBase = 0x00000000;
inline constexpr uint32_t kSimFlashSize = 0x00100000;
inline constexpr uint32_t kSimRamBase = 0x40000000;
inline constexpr uint32_t kSimRamSize = 0x00010000;

class CSimFixture {
public:
    enum class ETransport { SocketPair, Tcp, SerialPair, Pty };

    struct SOptions {
        ETransport transport = ETransport::SocketPair;
        // The board's time base (board file boards); null: the steady clock
        // (busy times pass in real time). A manual clock keeps a busy device
        // busy until moved.
        std::shared_ptr<CClock> clock;
        // Library()'s clock; null: the system clock. A manual clock makes a
        // reply that never comes time out at once.
        CClock* linkClock = nullptr;
        // Link faults; request numbers count from the first request of the
        // first host's open handshake (see HandshakeRequests).
        SSimFaults faults;
        SProbeSimConfig config;
        // The service's time limits for TCP hosts; none: the simulator's own.
        std::optional<CSimLink::SLimits> limits;
        // Where the service's log lines go; none by default.
        std::function<void(const std::string&)> log;
        // SerialPair: the line's speed (0: as fast as the socket goes).
        long bytesPerSecond = 0;
        // A fixture that cannot start fails the running test; a test of the
        // fixture's own errors turns this off and reads Ok() and Error().
        bool failTestOnError = true;
    };
    // The options of a probe on a loopback port.
    static SOptions Tcp(const SSimFaults& faults = {}, const SProbeSimConfig& config = {});

    // The board from board file text.
    CSimFixture(const std::string& boardText, const SOptions& options);
    explicit CSimFixture(const std::string& boardText);
    // The demo board.
    CSimFixture();
    explicit CSimFixture(const SOptions& options);
    // A RAM board of these regions; without them, the regions of
    // kSimFlashBase and kSimRamBase.
    struct SRegion {
        uint32_t base;
        uint32_t size;
        uint8_t fill;
    };
    static CSimFixture OnRamBoard(const SOptions& options, const std::vector<SRegion>& regions);
    static CSimFixture OnRamBoard(const SOptions& options);
    ~CSimFixture();
    CSimFixture(const CSimFixture&) = delete;
    CSimFixture& operator=(const CSimFixture&) = delete;

    // True when the board was built and the transport is up (and, over a
    // socket pair, the link open); otherwise Error() says what failed.
    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

    // The board; each throws (failing the test) when the fixture runs the
    // other kind.
    CSimBoardModel& Board();
    CProbeSimRamBoard& RamBoard();
    CLinkLibrary& Library() { return library_; }
    CSimLink& Link() { return *link_; }
    CProbeSim& Probe() { return *probe_; }
    // Tcp: the loopback port and its channel text ("NETWORK 127.0.0.1:PORT 1");
    // 0 and "" with the other transports.
    uint16_t Port() const { return tcp_ ? link_->Port() : 0; }
    std::string ChannelText() const;
    // Pty: the terminal a host opens ("" with the other transports).
    const std::string& PtyPath() const { return ptyPath_; }
    // Requests the simulator has received so far.
    uint32_t RequestsReceived() const { return link_->RequestsReceived(); }
    // Requests that opening a link takes (the handshake), so that a fault can
    // name "the k-th request after the open": HandshakeRequests() + k.
    static uint32_t HandshakeRequests();

    // Bytes stored on the board, without bus cycles (a busy flash still shows
    // its cells), read while the probe stands still; false when an address
    // is neither RAM nor flash.
    bool Peek(uint32_t address, uint32_t length, std::vector<uint8_t>& bytes);
    // The same, failing the test when an address holds nothing.
    std::vector<uint8_t> Peek(uint32_t address, uint32_t length);
    // One stored byte; 0 (and a test failure) when there is none.
    uint8_t PeekByte(uint32_t address);
    // Whether every stored byte of [address, address + length) equals `value`.
    bool AllBytesAre(uint32_t address, uint32_t length, uint8_t value);
    // Stores bytes on the RAM board, while the probe stands still.
    void Poke(uint32_t address, const std::vector<uint8_t>& bytes);

    // Programs flash the way the probe's firmware does for a program stream,
    // straight on the board: FlashSetup(algorithm, busBytes, p1, workspace),
    // FlashProgram, FlashSetup(0). p1 is the bank mask (two's complement of
    // the bank size), or the device size for algorithms 42 and 46. The
    // FlashSetup status when it fails, else the FlashProgram status.
    int Program(uint8_t algorithm, uint8_t busBytes, uint32_t p1, uint32_t address, const std::vector<uint8_t>& data,
                uint32_t workspace = 0xFFFFFFFF);
    // A bus cycle on the board, as an init list entry makes it (for example
    // to set a chip-select register).
    bool BusWrite(uint32_t address, int widthBytes, uint32_t value);

private:
    struct SRamBoardTag {};
    CSimFixture(SRamBoardTag, const SOptions& options, const std::vector<SRegion>& regions);
    // Builds the probe and its link on the board and brings the transport
    // up, unless the board could not be built (`boardError`).
    void Start(const SOptions& options, const std::string& boardError);
    void Fail(const std::string& error, const SOptions& options);

    std::string error_;
    bool tcp_ = false;
    std::string ptyPath_;
    std::unique_ptr<CSimBoardModel> model_;
    std::unique_ptr<CProbeSimRamBoard> ramBoard_;
    CSimBoard* board_ = nullptr;
    std::unique_ptr<CProbeSim> probe_;
    std::unique_ptr<CSimLink> link_;
    CLinkLibrary library_; // declared last: closes its link before the simulator stops
};
