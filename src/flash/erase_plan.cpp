#include "flash/erase_plan.h"

#include "flash/intel_erase.h"
#include "flash/jedec_erase.h"

#include "common/text_format.h"

namespace {

bool IsValidWidth(uint32_t bytes)
{
    return bytes == 1 || bytes == 2 || bytes == 4;
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
        return CJedecErase::Plan(target, bankSize, plan, error);
    case EEraseFamily::IntelBlock:
    case EEraseFamily::IntelBank0:
        return CIntelErase::Plan(target, bankSize, plan, error);
    case EEraseFamily::OnChip:
        return PlanOnChip(target, plan, error);
    case EEraseFamily::None:
        break;
    }
    return true;
}

uint32_t CErasePlan::Replicate(uint8_t command, uint32_t widthBytes)
{
    uint32_t value = 0;
    for (uint32_t i = 0; i < widthBytes; ++i)
        value |= uint32_t(command) << (8 * i);
    return value;
}
