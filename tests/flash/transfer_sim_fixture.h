#pragma once

// A simulated probe with a simulated board (board file text), listening on a
// free loopback port, and a probe library that records what passes through
// it, for tests of the target connection, the transfers and the commands.

#include "probe/link/link_library.h"
#include "support/relay_probe_library.h"
#include "probe/probe_status.h"
#include "sim/board_file.h"
#include "sim/probe_sim.h"
#include "sim/sim_board_model.h"
#include "sim/sim_link.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// The demo board: RAM at 0x40000000 (256 KiB), a 2 MiB x16 JEDEC chip at
// 0x80000000 on a 16-bit bus, erased.
inline constexpr const char* kDemoDevice = "AMD  Am29LV160MB (1M x 16)";
inline constexpr uint32_t kDemoFlashBase = 0x80000000;
inline constexpr uint32_t kDemoFlashSize = 0x00200000;
inline constexpr uint32_t kDemoRamBase = 0x40000000;

class CSimBoardUnderTest {
public:
    explicit CSimBoardUnderTest(const std::string& boardText = CBoardFile::DefaultText(),
                                const SProbeSimConfig& config = {}, const SSimFaults& faults = {})
    {
        CBoardFile file;
        std::string error;
        EXPECT_TRUE(CBoardFile::Parse(boardText, file, error)) << error;
        EXPECT_TRUE(board.Build(file, error)) << error;
        probe = std::make_unique<CProbeSim>(board, config);
        link = std::make_unique<CSimLink>(*probe, faults);
        EXPECT_EQ(link->ListenTcp("127.0.0.1", 0), 0);
        EXPECT_EQ(link->Start(), 0);
    }
    ~CSimBoardUnderTest()
    {
        probe->Abort();
        link->Stop();
    }

    std::string Channel() const { return "NETWORK 127.0.0.1:" + std::to_string(link->Port()) + " 1"; }

    std::vector<uint8_t> Peek(uint32_t address, uint32_t length)
    {
        std::vector<uint8_t> bytes(length);
        for (uint32_t i = 0; i < length; ++i)
            EXPECT_TRUE(board.Peek(address + i, bytes[i])) << std::hex << address + i;
        return bytes;
    }

    CSimBoardModel board;
    std::unique_ptr<CProbeSim> probe;
    std::unique_ptr<CSimLink> link;
};

// The link library, recording the calls that matter to the tests.
class CRecordingLibrary final : public CRelayProbeLibrary {
public:
    // The link measures its timeouts on `clock`.
    explicit CRecordingLibrary(CClock& clock = CSystemClock::Instance())
        : CRelayProbeLibrary(link), link(CLinkLibrary::DefaultSettings(), clock)
    {
    }

    struct SBlock {
        uint32_t address;
        uint32_t length;
    };

    int LinkOpen(const std::string& channelText) override
    {
        ++opens;
        linkOpen = true;
        const int status = link.LinkOpen(channelText);
        linkOpen = status == 0;
        return status;
    }
    void LinkClose() override
    {
        linkOpen = false;
        link.LinkClose();
    }
    int LinkTransact(int requestLength, const uint8_t* request, int replyCapacity, uint8_t* reply,
                     int timeoutMs) override
    {
        if (requestLength > 0)
            commands.push_back(request[0]);
        return link.LinkTransact(requestLength, request, replyCapacity, reply, timeoutMs);
    }
    int StreamBegin(int mode, int flag) override
    {
        streamModes.push_back(mode);
        return link.StreamBegin(mode, flag);
    }
    int StreamBlock(uint32_t address, uint32_t length, const uint8_t* bytes) override
    {
        blocks.push_back({address, length});
        return link.StreamBlock(address, length, bytes);
    }
    int TargetConnect(SProbeIdentification& identification) override
    {
        const int status = link.TargetConnect(identification);
        targetConnected = status == 0;
        return status;
    }
    void TargetDisconnect() override
    {
        ++disconnects;
        targetConnected = false;
        link.TargetDisconnect();
    }
    int TargetWriteRegisters(int count, const SProbeRegisterId* ids, const uint32_t* values) override
    {
        for (int i = 0; i < count; ++i)
            registerWrites.push_back({ids[i], values[i]});
        return link.TargetWriteRegisters(count, ids, values);
    }
    int TargetLoadInitList(int reserved, uint32_t targetOptions, int count, const SInitListRecord* records) override
    {
        loadedLists.emplace_back(records, records + count);
        loadedOptions = targetOptions;
        return link.TargetLoadInitList(reserved, targetOptions, count, records);
    }
    int TargetWrite8(uint32_t address, uint32_t value) override { return Write(address, value, 8); }
    int TargetWrite16(uint32_t address, uint32_t value) override { return Write(address, value, 16); }
    int TargetWrite32(uint32_t address, uint32_t value) override { return Write(address, value, 32); }

    struct SWrite {
        uint32_t address;
        uint32_t value;
        int width;
    };
    struct SRegisterWrite {
        SProbeRegisterId id;
        uint32_t value;
    };

    CLinkLibrary link;
    int opens = 0;
    int disconnects = 0;
    bool linkOpen = false;
    bool targetConnected = false;
    std::vector<uint8_t> commands;  // first byte of every command frame
    std::vector<int> streamModes;
    std::vector<SBlock> blocks;
    std::vector<SWrite> writes;
    std::vector<SRegisterWrite> registerWrites;
    std::vector<std::vector<SInitListRecord>> loadedLists;
    uint32_t loadedOptions = 0;

private:
    int Write(uint32_t address, uint32_t value, int width)
    {
        writes.push_back({address, value, width});
        return width == 8 ? link.TargetWrite8(address, value)
               : width == 16 ? link.TargetWrite16(address, value)
                             : link.TargetWrite32(address, value);
    }
};
