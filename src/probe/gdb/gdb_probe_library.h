#pragma once

#include "common/clock.h"
#include "probe/firmware/firmware_algorithm.h"
#include "probe/gdb/gdb_remote_session.h"
#include "probe/gdb/gdb_target.h"
#include "probe/probe_library.h"

#include <memory>
#include <string>
#include <vector>

// The probe library over a GDB server instead of a QDX7000: a debugger's
// server in front of a JTAG adapter on a real ARM7 or ARM9 board, or QEMU's.
// The probe's side of the contract runs here, on the host, with the
// server's memory accesses as its bus: the main init list
// (CInitListRunner), the flash-programming frames (start programming, flash
// setup, erase status) and the program and verify streams
// (CFlashProgramCycles), the same code the simulated probe's firmware runs.
// Host-side erases (JEDEC and Intel) need nothing of the probe and run as
// they do over the link. What only a QDX7000 has (its loader, logic, network
// setup, the on-chip flash algorithms of its firmware) answers
// kStatusNotSupported, whose text says that a QDX7000 is needed.
//
// Channel text: "GDB HOST:PORT".
class CGdbProbeLibrary final : public CProbeLibrary {
public:
    static constexpr int kConnectTimeoutMs = 3000;
    static constexpr int kPacketTimeoutMs = 3000;

    explicit CGdbProbeLibrary(CClock& clock = CSystemClock::Instance());
    ~CGdbProbeLibrary() override;

    // "GDB HOST:PORT" from "HOST:PORT"; false for an empty host or a bad port.
    static bool ChannelTextOf(const std::string& hostPort, std::string& channelText);

    int LinkOpen(const std::string& channelText) override;
    int LinkCheckSerialPort(int channelIndex, int baudIndex) override;
    int32_t LinkParseAddress(const std::string& ipText) override;
    void LinkClose() override;
    int LinkTransact(int requestLength, const uint8_t* request, int replyCapacity, uint8_t* reply,
                     int timeoutMs) override;

    int StreamBegin(int mode, int flag) override;
    int StreamBlock(uint32_t address, uint32_t length, const uint8_t* bytes) override;
    int StreamEnd(uint32_t& failAddress) override;

    int TargetConnect(SProbeIdentification& identification) override;
    void TargetDisconnect() override;
    int TargetWriteRegisters(int count, const SProbeRegisterId* ids, const uint32_t* values) override;
    int TargetReadBlock(uint32_t address, int reserved, uint32_t length, uint8_t* buffer) override;
    int TargetWriteBlock(uint32_t address, int reserved, uint32_t length, const uint8_t* bytes) override;
    int TargetLoadInitList(int reserved, uint32_t targetOptions, int count, const SInitListRecord* records) override;
    int TargetWrite8(uint32_t address, uint32_t value) override;
    int TargetWrite16(uint32_t address, uint32_t value) override;
    int TargetWrite32(uint32_t address, uint32_t value) override;
    int TargetRead8(uint32_t address, uint8_t& value) override;
    int TargetRead16(uint32_t address, uint16_t& value) override;
    int TargetRead32(uint32_t address, uint32_t& value) override;

    std::string LinkErrorText(int status) override;

    // One bus cycle of `widthBytes` through the server (false: the target
    // did not answer); the bus of the init list runner and the program loops.
    bool BusRead(uint32_t address, int widthBytes, uint32_t& value);
    bool BusWrite(uint32_t address, int widthBytes, uint32_t value);
    int WriteRegister(uint16_t regClass, uint16_t number, uint32_t value);
    int Execute(uint32_t address, uint32_t ms);

private:
    enum class EStream { None, Program, Verify };

    int FlashSetup(uint8_t algorithm, uint8_t busWidth, uint32_t p1);
    int ProgramBlock(uint32_t address, uint32_t length, const uint8_t* bytes, uint32_t& failAddress);
    int VerifyBlock(uint32_t address, uint32_t length, const uint8_t* bytes, uint32_t& failAddress);
    bool Connected() const { return target_ != nullptr; }
    // QEMU's clock stands still while its server holds the guest halted, so
    // a flash model's erase (a timer) never ends there. Before a read that
    // polls a chip found busy (the last two reads of that address differed),
    // the guest runs for a moment: to a breakpoint at its own pc, so that no
    // instruction runs but the clock moves.
    void LetQemuClockRun(uint32_t address);

    CClock& clock_;
    std::string linkTarget_;
    std::unique_ptr<CGdbRemoteSession> session_;
    std::unique_ptr<CGdbTarget> target_;
    int lastStatus_ = 0;  // of the last server exchange, for a failing bus cycle's text
    bool qemuClock_ = false;  // the server is QEMU's (it took the bus-cycle packet)
    // The last two reads, for telling a poll of a busy chip.
    uint32_t pollAddress_ = 0;
    uint32_t pollValues_[2] = {};
    int pollReads_ = 0;

    // The flash-programming session of the last FlashSetup.
    const SFirmwareAlgorithm* algorithm_ = nullptr;
    bool verifySession_ = false;
    uint32_t busBytes_ = 0;
    uint32_t bankMask_ = 0;

    EStream stream_ = EStream::None;
    int streamStatus_ = 0;
    uint32_t streamFailAddress_ = 0;
};
