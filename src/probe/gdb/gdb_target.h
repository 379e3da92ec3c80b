#pragma once

#include "probe/gdb/gdb_remote_session.h"
#include "probe/gdb/gdb_target_description.h"

#include <cstdint>
#include <string>
#include <string_view>

// A halted target behind a GDB server: memory, registers, server commands,
// breakpoints and running to one. Every call answers 0 or a link status
// (probe_status.h): an "E" reply is a target access error, an empty reply
// (the server does not know the packet) kStatusNotSupported.
//
// Memory accesses of 1, 2 or 4 bytes at an address aligned to their size go
// out as one packet each, which a server for an ARM7 or ARM9 core carries
// out as one load or store of that width, and QEMU (after
// UsePhysicalBusCycles) as one bus cycle: flash command cycles reach the chip.
class CGdbTarget {
public:
    static constexpr int kDefaultTimeoutMs = 2000;

    explicit CGdbTarget(CGdbRemoteSession& session, int timeoutMs = kDefaultTimeoutMs);

    // Learns the server's packet size, makes sure the target is halted and
    // reads its register description.
    int Attach();

    int ReadMemory(uint32_t address, uint32_t length, uint8_t* buffer);
    int WriteMemory(uint32_t address, uint32_t length, const uint8_t* bytes);

    // A register by the name the description gives it ("r0", "pc", "cpsr").
    // kStatusInvalidArgument when the target has no such register or it is
    // wider than 32 bits. Values are in the target's byte order on the wire.
    int ReadRegister(std::string_view name, uint32_t& value);
    int WriteRegister(std::string_view name, uint32_t value);

    // A command of the server itself; its console output in `output`.
    int Monitor(std::string_view command, std::string& output);
    // QEMU's server writes memory past the flash models' command logic
    // unless asked to use physical bus accesses; other servers answer
    // kStatusNotSupported, which is harmless for them.
    int UsePhysicalBusCycles();

    int InsertBreakpoint(uint32_t address);
    int RemoveBreakpoint(uint32_t address);
    // Runs the target until it stops (a breakpoint); the stop reply in
    // `stop`. When it has not stopped within `timeoutMs`, it is stopped and
    // the call answers kStatusTimeout.
    int Continue(int timeoutMs, std::string& stop);

    void SetBigEndian(bool bigEndian) { bigEndian_ = bigEndian; }
    const CGdbTargetDescription& Description() const { return description_; }
    // The most data bytes one memory packet carries.
    uint32_t MaxBlock() const { return maxBlock_; }

private:
    int Exchange(const std::string& request, std::string& reply);
    int ExpectOk(const std::string& request);
    int ReadDescriptionFile(const std::string& annex, std::string& text);
    int RegisterOf(std::string_view name, uint32_t& number);

    CGdbRemoteSession& session_;
    int timeoutMs_;
    uint32_t maxBlock_ = 256;
    bool bigEndian_ = false;
    CGdbTargetDescription description_;
};
