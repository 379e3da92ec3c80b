#pragma once

// A probe library without a probe, for the erase tests: it records every
// single access and command frame, answers reads from a script, and can fail
// any call with a status.

#include "probe/probe_frames.h"
#include "probe/probe_library.h"
#include "probe/probe_status.h"
#include "support/null_probe_library.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

struct SFakeCall {
    enum class EKind { Write, Read, Frame };
    EKind kind = EKind::Write;
    int width = 0;          // bytes of a single access
    uint32_t address = 0;
    uint32_t value = 0;     // written value, or the value a read returned
    uint8_t command = 0;    // frames: the command code
    std::vector<uint8_t> request;

    bool IsWrite(int w, uint32_t a, uint32_t v) const { return kind == EKind::Write && width == w && address == a && value == v; }
};

class CFakeFlashLibrary final : public CNullProbeLibrary {
public:
    // Value of a read: from `readScript` while it holds values, else from
    // `onRead` when set, else all ones.
    std::deque<uint32_t> readScript;
    std::function<uint32_t(uint32_t address, int width)> onRead;
    // Every on-chip state/value pair FlashEraseStatus answers, in order; the
    // last one repeats. FlashErase answers with status byte `eraseReply`.
    std::deque<std::pair<uint8_t, uint32_t>> eraseStates{{0, 0}};
    uint8_t eraseReply = 0;
    // Call number (from 1, every access and frame counts) that fails with
    // `failStatus`.
    size_t failCall = 0;
    int failStatus = kStatusTimeout;

    std::vector<SFakeCall> calls;
    // The size of every TargetCycles batch, in order: one round trip each.
    std::vector<int> batches;
    // Like a library that sends a batch back to back: the accesses after a
    // failing one are carried out as well (else the batch stops there).
    bool batchGoesOn = false;

    std::vector<SFakeCall> Writes() const { return Only(SFakeCall::EKind::Write); }
    std::vector<SFakeCall> Reads() const { return Only(SFakeCall::EKind::Read); }
    std::vector<SFakeCall> Frames() const { return Only(SFakeCall::EKind::Frame); }

    int LinkOpen(const std::string&) override { return 0; }
    int LinkCheckSerialPort(int, int) override { return 0; }
    int LinkTransact(int requestLength, const uint8_t* request, int replyCapacity, uint8_t* reply, int) override
    {
        SFakeCall call{SFakeCall::EKind::Frame, 0, 0, 0, request[0], {request, request + requestLength}};
        calls.push_back(call);
        if (Failing())
            return failStatus;
        if (request[0] == kCmdFlashErase && replyCapacity >= 2) {
            reply[0] = kCmdFlashErase;
            reply[1] = eraseReply;
            return 2;
        }
        if (request[0] == kCmdFlashEraseStatus && replyCapacity >= 6) {
            const auto [state, value] = eraseStates.front();
            if (eraseStates.size() > 1)
                eraseStates.pop_front();
            reply[0] = kCmdFlashEraseStatus;
            reply[1] = state;
            PutU32(reply, 2, value);
            return 6;
        }
        return kStatusUnexpectedReply;
    }
    int TargetCycles(int count, const SProbeBusCycle* cycles, int& failed) override
    {
        batches.push_back(count);
        if (!batchGoesOn)
            return CProbeLibrary::TargetCycles(count, cycles, failed);
        int first = 0;
        failed = count;
        for (int i = 0; i < count; ++i) {
            int ignored = 0;
            if (const int status = CProbeLibrary::TargetCycles(1, cycles + i, ignored); status != 0 && first == 0) {
                first = status;
                failed = i;
            }
        }
        return first;
    }
    int TargetWrite8(uint32_t address, uint32_t value) override { return Write(1, address, value); }
    int TargetWrite16(uint32_t address, uint32_t value) override { return Write(2, address, value); }
    int TargetWrite32(uint32_t address, uint32_t value) override { return Write(4, address, value); }
    int TargetRead8(uint32_t address, uint8_t& value) override
    {
        uint32_t v = 0;
        const int status = Read(1, address, v);
        value = static_cast<uint8_t>(v);
        return status;
    }
    int TargetRead16(uint32_t address, uint16_t& value) override
    {
        uint32_t v = 0;
        const int status = Read(2, address, v);
        value = static_cast<uint16_t>(v);
        return status;
    }
    int TargetRead32(uint32_t address, uint32_t& value) override { return Read(4, address, value); }

    int unexpectedCalls = 0;

private:
    std::vector<SFakeCall> Only(SFakeCall::EKind kind) const
    {
        std::vector<SFakeCall> out;
        for (const SFakeCall& c : calls)
            if (c.kind == kind)
                out.push_back(c);
        return out;
    }
    bool Failing() const { return failCall != 0 && calls.size() == failCall; }
    // Erasing reaches the target by single accesses and frames only: any
    // other call is counted and refused.
    int Unhandled(const char*) override
    {
        ++unexpectedCalls;
        return kStatusNotSupported;
    }
    int Write(int width, uint32_t address, uint32_t value)
    {
        calls.push_back({SFakeCall::EKind::Write, width, address, value, 0, {}});
        return Failing() ? failStatus : 0;
    }
    int Read(int width, uint32_t address, uint32_t& value)
    {
        const uint32_t ones = width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
        if (!readScript.empty()) {
            value = readScript.front();
            readScript.pop_front();
        } else {
            value = onRead ? onRead(address, width) : ones;
        }
        calls.push_back({SFakeCall::EKind::Read, width, address, value, 0, {}});
        return Failing() ? failStatus : 0;
    }
};
