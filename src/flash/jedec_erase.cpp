#include "flash/jedec_erase.h"

#include "common/text_format.h"

namespace {

uint32_t AllOnes(uint32_t widthBytes)
{
    return widthBytes >= 4 ? 0xFFFFFFFFu : (1u << (8 * widthBytes)) - 1;
}

// Device byte offsets of the JEDEC unlock addresses of a family and device
// width (before multiplying by the lanes); false for a width the family does
// not define.
bool UnlockOffsets(EEraseFamily family, uint32_t deviceWidth, uint32_t& u1, uint32_t& u2)
{
    switch (family) {
    case EEraseFamily::JedecX8:
        if (deviceWidth != 1)
            return false;
        u1 = 0x5555;
        u2 = 0x2AAA;
        return true;
    case EEraseFamily::JedecByteWord:
        if (deviceWidth == 1) {
            u1 = 0xAAAA;
            u2 = 0x5555;
            return true;
        }
        if (deviceWidth == 2) {
            u1 = 0xAAAA;
            u2 = 0x5554;
            return true;
        }
        return false;
    case EEraseFamily::JedecX16X32:
        if (deviceWidth == 2) {
            u1 = 0x5554;
            u2 = 0xAAA8;
            return true;
        }
        if (deviceWidth == 4) {
            u1 = 0x15554;
            u2 = 0xAAA8;
            return true;
        }
        return false;
    default:
        return false;
    }
}

} // namespace

bool CJedecErase::UnlockOffsets(EEraseFamily family, uint32_t deviceWidth, uint32_t& u1, uint32_t& u2)
{
    return ::UnlockOffsets(family, deviceWidth, u1, u2);
}

bool CJedecErase::Plan(const SEraseTarget& t, uint32_t bankSize, CErasePlan& plan, std::string& error)
{
    uint32_t u1Offset = 0;
    uint32_t u2Offset = 0;
    if (!UnlockOffsets(plan.family, t.deviceWidth, u1Offset, u2Offset)) {
        error = Format("Erase algorithm %u is not defined for devices of %u bits!", t.eraseAlgorithm, t.deviceWidth * 8);
        return false;
    }
    const uint32_t lanes = t.busWidthBytes / t.deviceWidth;
    const uint32_t width = t.busWidthBytes;
    plan.accessWidth = width;
    plan.laneWidth = t.deviceWidth;
    switch (CFlashAlgorithms::Find(t.eraseAlgorithm).jedecPoll) {
    case EJedecPoll::NoFailureBit:
        plan.pollRule = EPollRule::JedecNoFailureBit;
        plan.finishRule = EFinishRule::AfterTimeout;
        break;
    case EJedecPoll::DummyRead:
        plan.pollRule = EPollRule::JedecDummyRead;
        plan.finishRule = EFinishRule::Always;
        break;
    case EJedecPoll::FailureBit:
        plan.pollRule = EPollRule::JedecFailureBit;
        plan.finishRule = EFinishRule::Always;
        break;
    }

    plan.leadFollowsFinish = true;

    const uint32_t sectors = static_cast<uint32_t>(t.sectorStarts.size());
    for (uint32_t bank = 0; bank < t.banks; ++bank) {
        const uint32_t bankStart = t.base + bank * bankSize;
        const uint32_t u1 = bankStart + u1Offset * lanes;
        const uint32_t u2 = bankStart + u2Offset * lanes;
        auto unlock = [&](std::vector<SBusCycle>& cycles) {
            cycles.push_back({false, u1, CErasePlan::Replicate(0xAA, width)});
            cycles.push_back({false, u2, CErasePlan::Replicate(0x55, width)});
        };
        auto addPass = [&](int sector) {
            SErasePass pass;
            pass.bank = bank;
            pass.sector = sector;
            const uint32_t sectorAddress = bankStart + t.sectorStarts[sector < 0 ? 0 : sector] * lanes;
            unlock(pass.commands);
            pass.commands.push_back({false, u1, CErasePlan::Replicate(0x80, width)});
            unlock(pass.commands);
            if (sector < 0)
                pass.commands.push_back({false, u1, CErasePlan::Replicate(0x10, width)});
            else
                pass.commands.push_back({false, sectorAddress, CErasePlan::Replicate(0x30, width)});
            pass.pollAddress = sectorAddress;
            pass.dummyReadAddress = sectorAddress ^ 4u;
            unlock(pass.finish);
            pass.finish.push_back({false, u1, CErasePlan::Replicate(0xF0, width)});
            if (sector < 0) {
                pass.timeoutMs = CErasePlan::kEraseAllTimeoutMs;
                pass.progressStep = sectors;
            } else {
                pass.timeoutMs = CErasePlan::kSectorTimeoutMs;
                pass.progressStep = 1;
            }
            plan.progressTotal += pass.progressStep;
            plan.passes.push_back(std::move(pass));
        };
        if (t.eraseAll) {
            addPass(-1);
            continue;
        }
        for (uint32_t sector = 0; sector < sectors; ++sector)
            if (t.IsSelected(bank, sector))
                addPass(static_cast<int>(sector));
    }
    return true;
}

EPollOutcome CJedecErase::Poll(const CErasePlan& plan, const SErasePass& pass, uint64_t startMs, CErasePollBus& bus,
                                int& status)
{
    const uint32_t width = plan.accessWidth;
    const uint32_t allOnes = AllOnes(width);
    const bool dummyRead = plan.pollRule == EPollRule::JedecDummyRead;
    const bool failureBit = plan.pollRule == EPollRule::JedecFailureBit;
    auto pollRead = [&](uint32_t& value) {
        if (dummyRead) {
            uint32_t dropped = 0;
            if (const int s = bus.Read(pass.dummyReadAddress, width, dropped))
                return s;
        }
        return bus.Read(pass.pollAddress, width, value);
    };

    uint32_t previous = 0;
    if ((status = pollRead(previous)) != 0)
        return EPollOutcome::LibraryError;
    for (;;) {
        if (previous == allOnes)
            return EPollOutcome::Done;
        uint32_t current = 0;
        if ((status = pollRead(current)) != 0)
            return EPollOutcome::LibraryError;
        if (failureBit && LaneFailed(previous, current, plan.laneWidth, width))
            return EPollOutcome::Failed;
        if (bus.TimedOut(startMs, pass.timeoutMs))
            return EPollOutcome::TimedOut;
        bus.NoteStop();
        previous = current;
    }
}

bool CJedecErase::LaneFailed(uint32_t previous, uint32_t current, uint32_t laneWidth, uint32_t busWidth)
{
    const uint32_t laneOnes = AllOnes(laneWidth);
    for (uint32_t lane = 0; lane * laneWidth < busWidth; ++lane) {
        const uint32_t shift = 8 * laneWidth * lane;
        const uint32_t was = (previous >> shift) & laneOnes;
        const uint32_t now = (current >> shift) & laneOnes;
        if (now != laneOnes && (was & 0x20))
            return true;
    }
    return false;
}
