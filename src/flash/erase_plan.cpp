#include "flash/erase_plan.h"

#include "common/text_format.h"

namespace {

// A command byte in every byte of a bus word of `widthBytes`.
uint32_t Replicate(uint8_t command, uint32_t widthBytes)
{
    uint32_t value = 0;
    for (uint32_t i = 0; i < widthBytes; ++i)
        value |= uint32_t(command) << (8 * i);
    return value;
}

bool IsValidWidth(uint32_t bytes)
{
    return bytes == 1 || bytes == 2 || bytes == 4;
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

// The Intel lane mask M: on each bus byte that carries a device's low byte,
// 0xFF (x8 devices fill the bus; x16 and x32 devices take commands on their
// low byte only).
uint32_t IntelLaneMask(uint32_t busWidthBytes, uint32_t deviceWidth)
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

// Checks the geometry every family relies on.
bool CheckGeometry(const SEraseTarget& t, uint32_t& bankSize, std::string& error)
{
    if (!IsValidWidth(t.busWidthBytes) || !IsValidWidth(t.deviceWidth) || t.deviceWidth > t.busWidthBytes) {
        error = Format("A device of %u bits does not fit a data bus of %u bits!", t.deviceWidth * 8, t.busWidthBytes * 8);
        return false;
    }
    if (t.banks < 1 || t.banks > SEraseTarget::kMaxBanks) {
        error = Format("Invalid number of banks (%u)!", t.banks);
        return false;
    }
    const std::vector<uint32_t>& starts = t.sectorStarts;
    bool tableOk = !starts.empty() && starts.front() == 0 && starts.back() < t.deviceSizeBytes;
    for (size_t i = 1; tableOk && i < starts.size(); ++i)
        tableOk = starts[i] > starts[i - 1];
    if (!tableOk) {
        error = "Invalid sector table of the memory device!";
        return false;
    }
    const uint64_t lanes = t.busWidthBytes / t.deviceWidth;
    const uint64_t size = uint64_t(t.deviceSizeBytes) * lanes;
    if (uint64_t(t.base) + size * t.banks > 0x100000000ull) {
        error = "The flash array does not fit the address space!";
        return false;
    }
    bankSize = static_cast<uint32_t>(size);
    return true;
}

// The JEDEC families: a whole-bank pass per bank with erase all, else one
// pass per selected sector.
bool PlanJedec(const SEraseTarget& t, uint32_t bankSize, CErasePlan& plan, std::string& error)
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

    const uint32_t sectors = static_cast<uint32_t>(t.sectorStarts.size());
    for (uint32_t bank = 0; bank < t.banks; ++bank) {
        const uint32_t bankStart = t.base + bank * bankSize;
        const uint32_t u1 = bankStart + u1Offset * lanes;
        const uint32_t u2 = bankStart + u2Offset * lanes;
        auto unlock = [&](std::vector<SBusCycle>& cycles) {
            cycles.push_back({false, u1, Replicate(0xAA, width)});
            cycles.push_back({false, u2, Replicate(0x55, width)});
        };
        auto addPass = [&](int sector) {
            SErasePass pass;
            pass.bank = bank;
            pass.sector = sector;
            const uint32_t sectorAddress = bankStart + t.sectorStarts[sector < 0 ? 0 : sector] * lanes;
            unlock(pass.commands);
            pass.commands.push_back({false, u1, Replicate(0x80, width)});
            unlock(pass.commands);
            if (sector < 0)
                pass.commands.push_back({false, u1, Replicate(0x10, width)});
            else
                pass.commands.push_back({false, sectorAddress, Replicate(0x30, width)});
            pass.pollAddress = sectorAddress;
            pass.dummyReadAddress = sectorAddress ^ 4u;
            unlock(pass.finish);
            pass.finish.push_back({false, u1, Replicate(0xF0, width)});
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

// Intel block erase, sector by sector: codes 5, 6, 29, 30, 34 under the lane
// mask, code 49 with 16-bit cycles and bank 0's selection for every bank.
bool PlanIntel(const SEraseTarget& t, uint32_t bankSize, CErasePlan& plan, std::string& error)
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
        plan.laneMask = IntelLaneMask(t.busWidthBytes, t.deviceWidth);
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
                pass.commands = {{false, address, Replicate(0x20, width) & m}, {false, address, Replicate(0xD0, width) & m}};
                pass.finish = {{false, address, Replicate(0x50, width) & m}, {false, address, m}, {true, address, 0}};
            }
            pass.progressStep = 1;
            plan.progressTotal += 1;
            plan.passes.push_back(std::move(pass));
        }
    }
    return true;
}

// The on-chip families: FlashErase requests for the probe's firmware, with
// the sector selection of bank 0.
bool PlanOnChip(const SEraseTarget& t, CErasePlan& plan, std::string& error)
{
    const uint32_t code = t.eraseAlgorithm;
    const SFlashAlgorithm& algorithm = CFlashAlgorithms::Find(code);
    const uint32_t lanes = t.busWidthBytes / t.deviceWidth;
    const uint32_t sectors = static_cast<uint32_t>(t.sectorStarts.size());
    auto chosen = [&](uint32_t sector) { return t.eraseAll || t.IsSelected(0, sector); };
    auto sectorAddress = [&](uint32_t sector) { return t.base + t.sectorStarts[sector] * lanes; };

    switch (algorithm.onChipErase) {
    case EOnChipErase::SectorRequests:
        plan.onChipPoll = EOnChipPoll::Once;
        plan.onChipTime = EOnChipTime::Sum;
        plan.failureNamesAddress = true;
        if (t.eraseAll && algorithm.eraseAllInOneRequest) {
            plan.requests.push_back({0, 0, sectorAddress(0), t.workspace, 0});
            break;
        }
        for (uint32_t sector = 0; sector < sectors; ++sector)
            if (chosen(sector))
                plan.requests.push_back({1, 0, sectorAddress(sector), t.workspace, 0});
        break;
    case EOnChipErase::SectorMask:
    case EOnChipErase::SectorMaskTimed: {
        const bool timed = algorithm.onChipErase == EOnChipErase::SectorMaskTimed;
        plan.onChipPoll = EOnChipPoll::WhileBusy;
        plan.onChipTime = timed ? EOnChipTime::Last : EOnChipTime::None;
        // One bit per sector; the timed kind puts the bits of devices with
        // fewer than 3 sectors at bit 16 upwards.
        const uint32_t shift = (timed && sectors < 3) ? 16 : 0;
        if (sectors + shift > 32) {
            error = Format("Erase algorithm %u cannot select more than %u sectors!", code, 32 - shift);
            return false;
        }
        uint32_t mask = 0;
        for (uint32_t sector = 0; sector < sectors; ++sector)
            if (chosen(sector))
                mask |= 1u << (sector + shift);
        // Nothing selected: nothing to erase, and no request the probe would refuse.
        if (mask != 0)
            plan.requests.push_back({0, t.deviceSizeBytes, mask, t.workspace, 0});
        break;
    }
    case EOnChipErase::SectorRequestsBusy: {
        plan.onChipPoll = EOnChipPoll::WhileBusy;
        plan.onChipTime = EOnChipTime::None;
        const uint32_t p1 = algorithm.sizeInSetup ? t.deviceSizeBytes : 0;
        if (t.eraseAll) {
            plan.requests.push_back({0, p1, sectorAddress(0), t.workspace, 0});
            break;
        }
        for (uint32_t sector = 0; sector < sectors; ++sector)
            if (chosen(sector))
                plan.requests.push_back({1, p1, sectorAddress(sector), t.workspace, 0});
        break;
    }
    case EOnChipErase::None:
        error = Format("Erase algorithm %u is unknown!", code);
        return false;
    }
    // The on-chip families erase the selection of bank 0 only: with nothing
    // selected there, a selection in other banks would end as "erased"
    // without a single request.
    if (plan.requests.empty()) {
        error = "Erasing failed: no sector of bank 0 is selected (on-chip flash erases the sectors selected in "
                "bank 0) ! \nProcess aborted...";
        return false;
    }
    plan.progressTotal = plan.requests.size();
    return true;
}

} // namespace

EEraseFamily CErasePlan::FamilyOf(uint32_t eraseAlgorithm)
{
    return CFlashAlgorithms::Find(eraseAlgorithm).eraseFamily;
}

bool CErasePlan::Build(const SEraseTarget& target, CErasePlan& plan, std::string& error)
{
    plan = CErasePlan();
    plan.algorithm = target.eraseAlgorithm;
    plan.family = FamilyOf(target.eraseAlgorithm);
    if (plan.family == EEraseFamily::None)
        return true;
    uint32_t bankSize = 0;
    if (!CheckGeometry(target, bankSize, error))
        return false;
    switch (plan.family) {
    case EEraseFamily::JedecX8:
    case EEraseFamily::JedecByteWord:
    case EEraseFamily::JedecX16X32:
        return PlanJedec(target, bankSize, plan, error);
    case EEraseFamily::IntelBlock:
    case EEraseFamily::IntelBank0:
        return PlanIntel(target, bankSize, plan, error);
    case EEraseFamily::OnChip:
        return PlanOnChip(target, plan, error);
    case EEraseFamily::None:
        break;
    }
    return true;
}
