#pragma once

// A link library that records the calls the tests of the target connection,
// the transfers and the commands look at, and passes every call on.

#include "common/clock.h"
#include "probe/link/link_library.h"
#include "probe/probe_status.h"
#include "support/relay_probe_library.h"

#include <cstdint>
#include <string>
#include <vector>

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
