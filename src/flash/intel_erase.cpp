#include "flash/intel_erase.h"

#include "common/text_format.h"

// x8 devices fill the bus; x16 and x32 devices take commands on their low
// byte only.
uint32_t CIntelErase::LaneMask(uint32_t busWidthBytes, uint32_t deviceWidth)
{
    switch (busWidthBytes) {
    case 1:
        return 0xFF;
    case 2:
        return deviceWidth == 2 ? 0x00FF : 0xFFFF;
    default:
        if (deviceWidth == 4)
            return 0xFF;
        return deviceWidth == 2 ? 0x00FF00FF : 0xFFFFFFFF;
    }
}

// Codes 5, 6, 29, 30, 34 under the lane mask, code 49 with 16-bit cycles and
// bank 0's selection for every bank.
bool CIntelErase::Plan(const SEraseTarget& t, uint32_t bankSize, CErasePlan& plan, std::string& error)
{
    const bool bank0 = plan.family == EEraseFamily::IntelBank0;
    const uint32_t lanes = t.busWidthBytes / t.deviceWidth;
    if (bank0) {
        if (t.busWidthBytes != 2 || t.deviceWidth != 2) {
            error = Format("Erase algorithm %u needs a 16-bit device on a 16-bit data bus!", t.eraseAlgorithm);
            return false;
        }
        plan.accessWidth = 2;
        plan.laneWidth = 2;
        plan.laneMask = 0xFFFF;
        plan.pollRule = EPollRule::Intel16Status;
        plan.finishRule = EFinishRule::AlwaysCounted;
    } else {
        plan.accessWidth = t.busWidthBytes;
        plan.laneWidth = t.deviceWidth;
        plan.laneMask = LaneMask(t.busWidthBytes, t.deviceWidth);
        plan.pollRule = EPollRule::IntelStatus;
        plan.finishRule = EFinishRule::Always;
    }
    const uint32_t m = plan.laneMask;
    const uint32_t width = plan.accessWidth;

    const uint32_t sectors = static_cast<uint32_t>(t.sectorStarts.size());
    for (uint32_t bank = 0; bank < t.banks; ++bank) {
        const uint32_t bankStart = t.base + bank * bankSize;
        for (uint32_t sector = 0; sector < sectors; ++sector) {
            if (!t.eraseAll && !t.IsSelected(bank0 ? 0 : bank, sector))
                continue;
            SErasePass pass;
            pass.bank = bank;
            pass.sector = static_cast<int>(sector);
            const uint32_t address = bankStart + t.sectorStarts[sector] * lanes;
            pass.pollAddress = address;
            pass.timeoutMs = CErasePlan::kSectorTimeoutMs;
            if (bank0) {
                pass.commands = {{false, address, 0x20}, {false, address, 0xD0}};
                pass.finish = {{false, address, 0x50}, {false, address, 0xFFFF}};
                pass.namesBank = false;
            } else {
                pass.commands = {{false, address, CErasePlan::Replicate(0x20, width) & m}, {false, address, CErasePlan::Replicate(0xD0, width) & m}};
                pass.finish = {{false, address, CErasePlan::Replicate(0x50, width) & m}, {false, address, m}, {true, address, 0}};
            }
            pass.progressStep = 1;
            plan.progressTotal += 1;
            plan.passes.push_back(std::move(pass));
        }
    }
    return true;
}

EPollOutcome CIntelErase::Poll(const CErasePlan& plan, const SErasePass& pass, uint64_t startMs, CErasePollBus& bus,
                                int& status)
{
    const uint32_t ready = plan.laneMask & 0x80808080u;
    const uint32_t errors = plan.laneMask & 0x78787878u;
    for (;;) {
        uint32_t value = 0;
        if ((status = bus.Read(pass.pollAddress, plan.accessWidth, value)) != 0)
            return EPollOutcome::LibraryError;
        if (plan.pollRule == EPollRule::Intel16Status) {
            if ((value & 0x80) && (value & 0x20))
                return EPollOutcome::Failed;
            if (value & 0x80)
                return EPollOutcome::Done;
        } else if ((value & ready) == ready) {
            return (value & errors) ? EPollOutcome::Failed : EPollOutcome::Done;
        }
        if (bus.TimedOut(startMs, pass.timeoutMs))
            return EPollOutcome::TimedOut;
        bus.NoteStop();
    }
}
