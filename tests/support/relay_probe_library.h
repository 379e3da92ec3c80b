#pragma once

#include "probe/probe_library.h"

#include <string>
#include <utility>

// The base of the stand-ins that watch a real library: every call goes on to
// `inner` unchanged. A stand-in overrides the calls it records, times or
// alters, and calls the base for the rest of the work.
class CRelayProbeLibrary : public CProbeLibrary {
public:
    explicit CRelayProbeLibrary(CProbeLibrary& inner) : inner_(inner) {}

    int LinkOpen(const std::string& channelText) override { return inner_.LinkOpen(channelText); }
    int LinkCheckSerialPort(int channelIndex, int baudIndex) override
    {
        return inner_.LinkCheckSerialPort(channelIndex, baudIndex);
    }
    int32_t LinkParseAddress(const std::string& ipText) override { return inner_.LinkParseAddress(ipText); }
    void LinkClose() override { inner_.LinkClose(); }
    int LinkTransact(int requestLength, const uint8_t* request, int replyCapacity, uint8_t* reply,
                     int timeoutMs) override
    {
        return inner_.LinkTransact(requestLength, request, replyCapacity, reply, timeoutMs);
    }
    int StreamBegin(int mode, int flag) override { return inner_.StreamBegin(mode, flag); }
    int StreamBlock(uint32_t address, uint32_t length, const uint8_t* bytes) override
    {
        return inner_.StreamBlock(address, length, bytes);
    }
    int StreamEnd(uint32_t& failAddress) override { return inner_.StreamEnd(failAddress); }
    uint64_t StreamAcknowledged(uint64_t sentBytes) override { return inner_.StreamAcknowledged(sentBytes); }
    void SetStopCheck(std::function<bool()> check) override { inner_.SetStopCheck(std::move(check)); }
    int TargetConnect(SProbeIdentification& identification) override { return inner_.TargetConnect(identification); }
    void TargetDisconnect() override { inner_.TargetDisconnect(); }
    int TargetWriteRegisters(int count, const SProbeRegisterId* ids, const uint32_t* values) override
    {
        return inner_.TargetWriteRegisters(count, ids, values);
    }
    int TargetReadBlocks(int count, const SProbeReadBlock* blocks, int& failed) override
    {
        return inner_.TargetReadBlocks(count, blocks, failed);
    }
    int TargetReadBlock(uint32_t address, int reserved, uint32_t length, uint8_t* buffer) override
    {
        return inner_.TargetReadBlock(address, reserved, length, buffer);
    }
    int TargetWriteBlock(uint32_t address, int reserved, uint32_t length, const uint8_t* bytes) override
    {
        return inner_.TargetWriteBlock(address, reserved, length, bytes);
    }
    int TargetLoadInitList(int reserved, uint32_t targetOptions, int count, const SInitListRecord* records) override
    {
        return inner_.TargetLoadInitList(reserved, targetOptions, count, records);
    }
    int TargetWrite8(uint32_t address, uint32_t value) override { return inner_.TargetWrite8(address, value); }
    int TargetWrite16(uint32_t address, uint32_t value) override { return inner_.TargetWrite16(address, value); }
    int TargetWrite32(uint32_t address, uint32_t value) override { return inner_.TargetWrite32(address, value); }
    int TargetRead8(uint32_t address, uint8_t& value) override { return inner_.TargetRead8(address, value); }
    int TargetRead16(uint32_t address, uint16_t& value) override { return inner_.TargetRead16(address, value); }
    int TargetRead32(uint32_t address, uint32_t& value) override { return inner_.TargetRead32(address, value); }
    std::string LinkErrorText(int status) override { return inner_.LinkErrorText(status); }

private:
    CProbeLibrary& inner_;
};
