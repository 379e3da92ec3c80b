#pragma once

// A simulated probe in this process, on a board built from board file text
// (docs/boards.md), served over a socket pair, with a CLinkLibrary whose link
// is open to it: what a test needs to drive the real library against a
// simulated target.
//
//     CSimFixture sim(R"(ram 0x40000000 64K
//                        flash "AMD  Am29F040" base=0x01000000 bus=8)");
//     ASSERT_TRUE(sim.Ok()) << sim.Error();
//     sim.Library().TargetWrite8(...);
//     sim.PeekByte(0x01000000);

#include "probe/link/link_library.h"
#include "sim/board_file.h"
#include "sim/probe_sim.h"
#include "common/clock.h"
#include "sim/sim_board_model.h"
#include "sim/sim_faults.h"
#include "sim/sim_link.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CSimFixture {
public:
    struct SOptions {
        // The board's time base; null: the steady clock (busy times pass in
        // real time). A manual clock keeps a busy device busy until moved.
        std::shared_ptr<CClock> clock;
        // The link library's clock; null: the system clock. A manual clock
        // makes a reply that never comes time out at once.
        CClock* linkClock = nullptr;
        // Link faults; request numbers count from the first frame of the
        // open handshake (see HandshakeRequests).
        SSimFaults faults;
        SProbeSimConfig config;
        // Also listen on a free loopback port, so that code which opens its
        // own link (on ChannelText()) reaches this probe.
        bool tcp = false;
    };

    explicit CSimFixture(const std::string& boardText);
    CSimFixture(const std::string& boardText, const SOptions& options);
    ~CSimFixture();
    CSimFixture(const CSimFixture&) = delete;
    CSimFixture& operator=(const CSimFixture&) = delete;

    // True when the board was built and the link opened; otherwise Error()
    // says what failed.
    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

    CSimBoardModel& Board() { return *board_; }
    CLinkLibrary& Library() { return library_; }
    CSimLink& Link() { return *link_; }
    CProbeSim& Probe() { return *probe_; }
    // With SOptions::tcp: the channel text of the loopback port ("" without).
    std::string ChannelText() const { return channelText_; }
    // Request frames the simulator has received so far.
    uint32_t RequestsReceived() const { return link_->RequestsReceived(); }
    // Request frames that opening a link takes (the handshake), so that a
    // fault can name "the k-th request after the open": HandshakeRequests() + k.
    static uint32_t HandshakeRequests();

    // Bytes stored on the board, without bus cycles (a busy flash still shows
    // its cells); false when an address is neither RAM nor flash.
    bool Peek(uint32_t address, uint32_t length, std::vector<uint8_t>& bytes);
    // One stored byte; 0 (and a test failure) when there is none.
    uint8_t PeekByte(uint32_t address);
    // Whether every stored byte of [address, address + length) equals `value`.
    bool AllBytesAre(uint32_t address, uint32_t length, uint8_t value);

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
    std::string error_;
    std::string channelText_;
    std::unique_ptr<CSimBoardModel> board_;
    std::unique_ptr<CProbeSim> probe_;
    std::unique_ptr<CSimLink> link_;
    CLinkLibrary library_; // declared last: closes its link before the simulator stops
};
