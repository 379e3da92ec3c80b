#pragma once

#include "probe/probe_library.h"
#include "probe/probe_status.h"

#include <string>

// The base of the probe library's stand-ins: every call does nothing. A call
// that answers a status answers Unhandled(call), which is success unless the
// stand-in says otherwise (a fake that must not be reached counts the call
// and fails it). A stand-in overrides only the calls its tests are about.
class CNullProbeLibrary : public CProbeLibrary {
public:
    int LinkOpen(const std::string&) override { return Unhandled("LinkOpen"); }
    int LinkCheckSerialPort(int, int) override { return Unhandled("LinkCheckSerialPort"); }
    int32_t LinkParseAddress(const std::string&) override { return -1; } // no address
    void LinkClose() override {}
    int LinkTransact(int, const uint8_t*, int, uint8_t*, int) override { return Unhandled("LinkTransact"); }
    int StreamBegin(int, int) override { return Unhandled("StreamBegin"); }
    int StreamBlock(uint32_t, uint32_t, const uint8_t*) override { return Unhandled("StreamBlock"); }
    int StreamEnd(uint32_t&) override { return Unhandled("StreamEnd"); }
    int TargetConnect(SProbeIdentification&) override { return Unhandled("TargetConnect"); }
    void TargetDisconnect() override {}
    int TargetWriteRegisters(int, const SProbeRegisterId*, const uint32_t*) override
    {
        return Unhandled("TargetWriteRegisters");
    }
    int TargetReadBlock(uint32_t, int, uint32_t, uint8_t*) override { return Unhandled("TargetReadBlock"); }
    int TargetWriteBlock(uint32_t, int, uint32_t, const uint8_t*) override { return Unhandled("TargetWriteBlock"); }
    int TargetLoadInitList(int, uint32_t, int, const SInitListRecord*) override
    {
        return Unhandled("TargetLoadInitList");
    }
    int TargetWrite8(uint32_t, uint32_t) override { return Unhandled("TargetWrite8"); }
    int TargetWrite16(uint32_t, uint32_t) override { return Unhandled("TargetWrite16"); }
    int TargetWrite32(uint32_t, uint32_t) override { return Unhandled("TargetWrite32"); }
    int TargetRead8(uint32_t, uint8_t&) override { return Unhandled("TargetRead8"); }
    int TargetRead16(uint32_t, uint16_t&) override { return Unhandled("TargetRead16"); }
    int TargetRead32(uint32_t, uint32_t&) override { return Unhandled("TargetRead32"); }
    std::string LinkErrorText(int status) override { return ProbeStatusText(status); }

protected:
    virtual int Unhandled(const char* call)
    {
        (void)call;
        return 0;
    }
};
