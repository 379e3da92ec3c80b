#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The contract of the probe's library: every exchange with the probe passes
// through one of these operations. A status of 0 is success, a negative value
// an error code (probe_status.h); LinkErrorText gives the text of any code.
// Our implementation is CLinkLibrary (our own wire protocol over TCP or a
// serial port); a Windows build may bind the maker's library by ordinal
// instead, through kProbeLibraryOrdinals.

// One register for TargetWriteRegisters.
struct SProbeRegisterId {
    uint16_t regClass = 0;
    uint16_t number = 0;
};

inline constexpr uint16_t kRegClassGeneral = 600;
inline constexpr uint16_t kRegClassCpsr = 601;
inline constexpr uint16_t kRegClassCp15 = 614;

// One init list entry as handed to TargetLoadInitList: 12 bytes in host order.
struct SInitListRecord {
    uint16_t type = 0;     // action type code 0 (NOP) .. 13 (LOOP)
    uint16_t padding = 0;
    uint32_t address = 0;
    uint32_t value = 0;
};
static_assert(sizeof(SInitListRecord) == 12, "init list records are 12 bytes");

// One bus access of TargetCycles: a write of `value` or a read (its value
// dropped) of `widthBytes` (1, 2 or 4) at `address`.
struct SProbeBusCycle {
    uint32_t address = 0;
    uint32_t value = 0;
    uint8_t widthBytes = 4;
    bool read = false;
};

// One read of TargetReadBlocks: `length` bytes at `address` into `buffer`.
struct SProbeReadBlock {
    uint32_t address = 0;
    uint32_t length = 0;
    uint8_t* buffer = nullptr;
};

// Action type codes of init list entries, as the probe runs them.
enum EInitAction : uint16_t {
    kInitNop = 0,
    kInitDelay = 1,
    kInitWm8 = 2,
    kInitWm16 = 3,
    kInitWm32 = 4,
    kInitWgpr = 5,
    kInitWcpsr = 6,
    kInitWcp15 = 7,
    kInitMmap = 8,
    kInitRm8 = 9,
    kInitRm16 = 10,
    kInitRm32 = 11,
    kInitExec = 12,
    kInitLoop = 13,
};

inline constexpr int kMaxInitListEntries = 128;

// What TargetConnect reports about the program running on the probe.
struct SProbeIdentification {
    uint16_t firmwareKind = 0;  // 10: the flash-programming firmware
    uint16_t firmwareVersion = 0;
    std::string serialNumber;
};

inline constexpr uint16_t kFirmwareKindFlashProgramming = 10;
inline constexpr uint16_t kFirmwareKindLoader = 1;

// Stream modes of StreamBegin.
inline constexpr int kStreamProgram = 0;
inline constexpr int kStreamVerify = 2;

// Every operation, for binding a library by ordinal. Ordinal 0: the maker's
// library has no ordinal of this name that we know of; a binder must not
// guess one.
enum class EProbeOperation {
    LinkOpen,
    LinkCheckSerialPort,
    LinkParseAddress,
    LinkClose,
    LinkTransact,
    StreamBegin,
    StreamBlock,
    StreamEnd,
    TargetDisconnect,
    TargetWriteRegisters,
    TargetReadBlock,
    TargetWriteBlock,
    TargetConnect,
    LinkErrorText,
    TargetLoadInitList,
    TargetWrite8,
    TargetWrite16,
    TargetWrite32,
    TargetRead8,
    TargetRead16,
    TargetRead32,
};

struct SProbeOrdinal {
    EProbeOperation operation;
    const char* name;
    int ordinal;
};

inline constexpr SProbeOrdinal kProbeLibraryOrdinals[] = {
    {EProbeOperation::LinkOpen, "LinkOpen", 0},
    {EProbeOperation::LinkCheckSerialPort, "LinkCheckSerialPort", 0},
    {EProbeOperation::LinkParseAddress, "LinkParseAddress", 2},
    {EProbeOperation::LinkClose, "LinkClose", 5},
    {EProbeOperation::LinkTransact, "LinkTransact", 6},
    {EProbeOperation::StreamBegin, "StreamBegin", 8},
    {EProbeOperation::StreamBlock, "StreamBlock", 9},
    {EProbeOperation::StreamEnd, "StreamEnd", 10},
    {EProbeOperation::TargetDisconnect, "TargetDisconnect", 12},
    {EProbeOperation::TargetWriteRegisters, "TargetWriteRegisters", 14},
    {EProbeOperation::TargetReadBlock, "TargetReadBlock", 15},
    {EProbeOperation::TargetWriteBlock, "TargetWriteBlock", 16},
    {EProbeOperation::TargetConnect, "TargetConnect", 26},
    {EProbeOperation::LinkErrorText, "LinkErrorText", 31},
    {EProbeOperation::TargetLoadInitList, "TargetLoadInitList", 32},
    {EProbeOperation::TargetWrite8, "TargetWrite8", 34},
    {EProbeOperation::TargetWrite16, "TargetWrite16", 35},
    {EProbeOperation::TargetWrite32, "TargetWrite32", 36},
    {EProbeOperation::TargetRead8, "TargetRead8", 37},
    {EProbeOperation::TargetRead16, "TargetRead16", 38},
    {EProbeOperation::TargetRead32, "TargetRead32", 39},
};

// The ordinal of an operation (0 when it has none).
int ProbeOrdinal(EProbeOperation operation);

class CProbeLibrary {
public:
    virtual ~CProbeLibrary() = default;

    // Opens the link on a channel text: "COM<n> <baud>" or "NETWORK <ip> 1".
    // 0 or a negative code. LinkClose may be called after any attempt.
    virtual int LinkOpen(const std::string& channelText) = 0;
    // Checks that serial port `channelIndex` (0..3 = COM1..COM4) can be opened
    // at baud index `baudIndex` (0..4 = 9600..115200): 0, -1202 when the host
    // cannot set that baud rate, another negative code when the port cannot
    // be opened.
    virtual int LinkCheckSerialPort(int channelIndex, int baudIndex) = 0;
    // -1 when `ipText` is no valid IP address; otherwise the address, first
    // group in the most significant byte.
    virtual int32_t LinkParseAddress(const std::string& ipText) = 0;
    virtual void LinkClose() = 0;
    // One command frame: sends `requestLength` bytes, waits at most
    // `timeoutMs` for the reply and copies it into `reply` (at most
    // `replyCapacity` bytes). The reply length, or a negative code.
    virtual int LinkTransact(int requestLength, const uint8_t* request, int replyCapacity,
                             uint8_t* reply, int timeoutMs) = 0;

    // Program (mode 0) or verify (mode 2) stream. Blocks may be pipelined: a
    // failure is reported as -1206 by a later StreamBlock or by StreamEnd,
    // which gives the first failing address.
    virtual int StreamBegin(int mode, int flag) = 0;
    virtual int StreamBlock(uint32_t address, uint32_t length, const uint8_t* bytes) = 0;
    virtual int StreamEnd(uint32_t& failAddress) = 0;
    // Bytes of the stream's blocks that the probe has acknowledged, of the
    // `sentBytes` passed to StreamBlock so far: what progress may show. A
    // library that answers each block before StreamBlock returns has all
    // of them acknowledged.
    virtual uint64_t StreamAcknowledged(uint64_t sentBytes) { return sentBytes; }
    // A question the library asks while it waits for a stream's acks (empty:
    // none). When it answers true, StreamBlock returns kStatusStopped
    // without sending its block, and StreamEnd waits only a short while for
    // the blocks on their way, so that a stop takes effect promptly at any
    // link rate and with a probe that stopped answering.
    virtual void SetStopCheck(std::function<bool()> check) { (void)check; }

    virtual int TargetConnect(SProbeIdentification& identification) = 0;
    virtual void TargetDisconnect() = 0;
    virtual int TargetWriteRegisters(int count, const SProbeRegisterId* ids, const uint32_t* values) = 0;
    virtual int TargetReadBlock(uint32_t address, int reserved, uint32_t length, uint8_t* buffer) = 0;
    virtual int TargetWriteBlock(uint32_t address, int reserved, uint32_t length, const uint8_t* bytes) = 0;
    virtual int TargetLoadInitList(int reserved, uint32_t targetOptions, int count,
                                   const SInitListRecord* records) = 0;
    virtual int TargetWrite8(uint32_t address, uint32_t value) = 0;
    virtual int TargetWrite16(uint32_t address, uint32_t value) = 0;
    virtual int TargetWrite32(uint32_t address, uint32_t value) = 0;
    virtual int TargetRead8(uint32_t address, uint8_t& value) = 0;
    virtual int TargetRead16(uint32_t address, uint16_t& value) = 0;
    virtual int TargetRead32(uint32_t address, uint32_t& value) = 0;

    virtual std::string LinkErrorText(int status) = 0;

    // Bus accesses whose answers decide nothing in between (a flash command
    // sequence): the status of the first that fails, with its index in
    // `failed` (`count` when none fails). Here one TargetWrite or TargetRead
    // after the other, stopping at the first failure; a library may instead
    // send them back to back and read the answers after, so that a long round
    // trip is waited for once, and the probe then carries out the accesses
    // after a failing one as well.
    virtual int TargetCycles(int count, const SProbeBusCycle* cycles, int& failed);
    // Block reads whose requests need not wait for one another (the spans
    // of a dump, a read back): the status of the first that fails, with its
    // index in `failed` (`count` when none fails). Here one TargetReadBlock
    // after the other, stopping at the first failure; a library may instead
    // send the requests back to back and read the answers after, so that a
    // long round trip is waited for once, not once per block.
    virtual int TargetReadBlocks(int count, const SProbeReadBlock* blocks, int& failed);
};
