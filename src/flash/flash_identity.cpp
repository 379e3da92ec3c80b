#include "flash/flash_identity.h"

#include "catalogue/flash_catalogue.h"
#include "flash/erase_target.h"
#include "flash/jedec_erase.h"
#include "probe/probe_library.h"

#include <algorithm>
#include <array>

namespace {

// Query address of the CFI entry command, and of the "QRY" string.
constexpr uint32_t kCfiEntry = 0x55;
constexpr uint32_t kQry = 0x10;
// Beyond these a table is taken for garbage rather than read on.
constexpr uint32_t kMaxRegions = 16;
constexpr uint32_t kMaxExtendedTable = 0x400;

uint32_t Replicate(uint8_t byte, uint32_t widthBytes)
{
    uint32_t v = 0;
    for (uint32_t i = 0; i < widthBytes; ++i)
        v |= uint32_t(byte) << (8 * i);
    return v;
}

uint32_t Mask(uint32_t widthBytes)
{
    return widthBytes >= 4 ? 0xFFFFFFFFu : (1u << (8 * widthBytes)) - 1;
}

// `byte` in the low byte of every `unit`-byte lane of a bus word.
uint32_t Pattern(uint8_t byte, uint32_t unit, uint32_t busBytes)
{
    uint32_t v = 0;
    for (uint32_t at = 0; at < busBytes; at += unit)
        v |= uint32_t(byte) << (8 * at);
    return v;
}

// Bus cycles of one width at a bank.
class CBus {
public:
    CBus(CProbeLibrary& library, uint32_t widthBytes) : library_(library), width_(widthBytes) {}

    bool Write(uint32_t address, uint32_t value)
    {
        if (status_ != 0)
            return false;
        switch (width_) {
        case 1:
            status_ = library_.TargetWrite8(address, value & 0xFF);
            break;
        case 2:
            status_ = library_.TargetWrite16(address, value & 0xFFFF);
            break;
        default:
            status_ = library_.TargetWrite32(address, value);
            break;
        }
        return status_ == 0;
    }

    uint32_t Read(uint32_t address)
    {
        if (status_ != 0)
            return 0;
        switch (width_) {
        case 1: {
            uint8_t v = 0;
            status_ = library_.TargetRead8(address, v);
            return v;
        }
        case 2: {
            uint16_t v = 0;
            status_ = library_.TargetRead16(address, v);
            return v;
        }
        default: {
            uint32_t v = 0;
            status_ = library_.TargetRead32(address, v);
            return v;
        }
        }
    }

    int Status() const { return status_; }
    uint32_t Width() const { return width_; }

private:
    CProbeLibrary& library_;
    uint32_t width_;
    int status_ = 0;
};

// How one bank is asked.
struct SAsking {
    // Known: the project's device; else the family follows from the CFI
    // table, and until then both reset commands are written.
    bool known = false;
    EEraseFamily family = EEraseFamily::None;
    uint32_t deviceWidth = 1; // as the project has it (the bus width when unknown)
    uint32_t lanes = 1;       // devices side by side, as the project has it
    uint32_t stride = 1;      // device bytes between query addresses
    uint32_t unlock1 = 0;     // JEDEC unlock offsets (device bytes)
    uint32_t unlock2 = 0;

    bool Jedec() const { return family != EEraseFamily::IntelBlock; }
};

enum class EResetKind { Jedec, Intel, Both };

bool IntelCommandSet(uint16_t commandSet)
{
    return commandSet == 0x0001 || commandSet == 0x0003 || commandSet == 0x0200;
}

// Back to reading the array: F0 for JEDEC chips, FF for Intel chips (each
// family ignores the other's command).
void WriteReset(CBus& bus, uint32_t start, EResetKind kind)
{
    if (kind != EResetKind::Intel)
        bus.Write(start, Replicate(0xF0, bus.Width()));
    if (kind != EResetKind::Jedec)
        bus.Write(start, Replicate(0xFF, bus.Width()));
}

EResetKind ResetOf(const SAsking& a)
{
    return !a.known ? EResetKind::Both : a.Jedec() ? EResetKind::Jedec : EResetKind::Intel;
}

// Reads the CFI table of one bank with query addresses `step` bus bytes
// apart. False when no "QRY" answered (the chip is reset either way).
bool ReadCfi(CBus& bus, const SAsking& a, uint32_t start, uint32_t step, SFlashIdentity& id)
{
    const uint32_t busBytes = bus.Width();
    const auto at = [&](uint32_t index) { return start + index * step; };
    bus.Write(at(kCfiEntry), Replicate(0x98, busBytes));
    const uint32_t q = bus.Read(at(kQry));
    const uint32_t r = bus.Read(at(kQry + 1));
    const uint32_t y = bus.Read(at(kQry + 2));
    // The width of the devices that answered: "Q" in the low byte of every
    // lane of that width and 0 in the rest of it.
    uint32_t unit = 0;
    for (uint32_t u : {1u, 2u, 4u})
        if (u <= busBytes && unit == 0 && q == Pattern('Q', u, busBytes) && r == Pattern('R', u, busBytes) &&
            y == Pattern('Y', u, busBytes))
            unit = u;
    const bool agree = unit != 0;
    if (!agree && (q & 0xFF) == 'Q' && (r & 0xFF) == 'R' && (y & 0xFF) == 'Y')
        unit = a.deviceWidth; // the first device answered; the others not alike
    if (unit == 0 || bus.Status() != 0) {
        WriteReset(bus, start, ResetOf(a));
        return false;
    }
    id.cfi = true;
    id.lanesAgree = agree;
    id.devices = busBytes / unit;
    id.deviceWidth = unit;
    const auto byteAt = [&](uint32_t index) {
        const uint32_t w = bus.Read(at(index));
        const uint8_t b = uint8_t(w & 0xFF);
        if (w != Pattern(b, unit, busBytes))
            id.lanesAgree = false;
        return b;
    };
    const auto word = [&](uint32_t index) { return uint16_t(byteAt(index) | byteAt(index + 1) << 8); };
    id.commandSet = word(0x13);
    const uint32_t extended = word(0x15);
    const uint8_t sizeCode = byteAt(0x27);
    id.interface = word(0x28);
    const uint32_t regions = byteAt(0x2C);
    if (sizeCode < 8 || sizeCode > 31 || regions == 0 || regions > kMaxRegions) {
        id.garbled = true;
    } else {
        id.deviceSize = 1u << sizeCode;
        uint64_t total = 0;
        for (uint32_t i = 0; i < regions && bus.Status() == 0; ++i) {
            SFlashEraseRegion region;
            region.count = uint32_t(word(0x2D + 4 * i)) + 1;
            const uint32_t z = word(0x2F + 4 * i);
            region.size = z == 0 ? 128 : z * 256;
            total += uint64_t(region.count) * region.size;
            id.regions.push_back(region);
        }
        id.garbled = total != id.deviceSize;
        // The JEDEC extended table says where the boot blocks are (version
        // 1.1 on); a top-boot chip lists its regions from the small ones up.
        const bool amd = id.commandSet == 0x0002 || id.commandSet == 0x0004;
        if (amd && !id.garbled && extended >= 0x2D + 4 * regions && extended < kMaxExtendedTable) {
            const uint8_t p = byteAt(extended), ri = byteAt(extended + 1), i = byteAt(extended + 2);
            const uint8_t major = byteAt(extended + 3), minor = byteAt(extended + 4);
            if (p == 'P' && ri == 'R' && i == 'I' && (major > '1' || (major == '1' && minor >= '1')))
                id.bootFlag = byteAt(extended + 0xF);
            if (id.bootFlag == 3)
                std::reverse(id.regions.begin(), id.regions.end());
        }
    }
    // The reset of the family the table names: a chip of another family
    // than the project's ignores the project's reset.
    WriteReset(bus, start, IntelCommandSet(id.commandSet) ? EResetKind::Intel : EResetKind::Jedec);
    return true;
}

// The asking of a catalogue device; false when it cannot be asked on this bus.
bool AskingFor(const SFlashDevice& device, uint32_t busBytes, SAsking& a)
{
    std::string why;
    if (!CFlashIdentify::Supported(device, why) || device.deviceWidth == 0 || device.deviceWidth > busBytes)
        return false;
    a.known = true;
    a.family = CFlashAlgorithms::Find(device.eraseAlgorithm).eraseFamily;
    a.deviceWidth = device.deviceWidth;
    a.lanes = busBytes / device.deviceWidth;
    switch (a.family) {
    case EEraseFamily::JedecX8:
        a.stride = 1;
        break;
    case EEraseFamily::JedecByteWord:
        a.stride = 2; // x16 words, or the byte mode of x8/x16 chips
        break;
    case EEraseFamily::JedecX16X32:
        a.stride = 4;
        break;
    default:
        // Intel: device words; the x8 form of the J3 chips is in byte mode.
        a.stride = device.deviceWidth != 1 ? device.deviceWidth : device.programAlgorithm == 29 ? 2 : 1;
        break;
    }
    return !a.Jedec() || CJedecErase::UnlockOffsets(a.family, device.deviceWidth, a.unlock1, a.unlock2);
}

} // namespace

std::vector<uint32_t> SFlashIdentity::SectorStarts() const
{
    std::vector<uint32_t> starts;
    uint64_t at = 0;
    for (const SFlashEraseRegion& r : regions)
        for (uint32_t k = 0; k < r.count && at < 0x100000000ull; ++k, at += r.size)
            starts.push_back(uint32_t(at));
    return starts;
}

bool CFlashIdentify::Supported(const SFlashDevice& device, std::string& why)
{
    const SFlashAlgorithm& program = CFlashAlgorithms::Find(device.programAlgorithm);
    if (program.pageWrite) {
        why = "page-write chips have no CFI query";
        return false;
    }
    switch (CFlashAlgorithms::Find(device.eraseAlgorithm).eraseFamily) {
    case EEraseFamily::JedecX8:
    case EEraseFamily::JedecByteWord:
    case EEraseFamily::JedecX16X32:
    case EEraseFamily::IntelBlock:
        return true;
    case EEraseFamily::OnChip:
    case EEraseFamily::IntelBank0:
        why = "on-chip flash has no CFI query";
        return false;
    case EEraseFamily::None:
        break;
    }
    why = "the device has no command set to ask";
    return false;
}

CFlashIdentify::EOutcome CFlashIdentify::Read(CProbeLibrary& library, const SFlashArray& array,
                                              std::vector<SFlashIdentity>& banks, int& status)
{
    status = 0;
    banks.clear();
    const uint32_t busBytes = array.busWidthBytes;
    if ((busBytes != 1 && busBytes != 2 && busBytes != 4) || array.banks < 1 ||
        array.banks > SEraseTarget::kMaxBanks)
        return EOutcome::Unsupported;
    SAsking a;
    uint32_t bankSize = 0;
    if (array.device) {
        if (!AskingFor(*array.device, busBytes, a))
            return EOutcome::Unsupported;
        bankSize = CFlashCatalogue::BankSize(*array.device, busBytes);
    } else {
        a.deviceWidth = busBytes;
    }
    // Query steps in bus bytes: the device's own first, then those of
    // devices of other widths or counts (whole bus words only).
    std::vector<uint32_t> steps;
    if (a.known)
        steps.push_back(a.stride * a.lanes);
    for (uint32_t s : {1u, 2u, 4u, 8u, 16u})
        if (s >= busBytes && std::find(steps.begin(), steps.end(), s) == steps.end())
            steps.push_back(s);

    CBus bus(library, busBytes);
    for (uint32_t b = 0; b < array.banks; ++b) {
        SFlashIdentity id;
        id.bank = b;
        id.bankStart = uint32_t(array.base + uint64_t(b) * bankSize);
        const uint32_t start = id.bankStart;
        WriteReset(bus, start, ResetOf(a));
        const uint32_t step0 = steps.front();
        const uint32_t before0 = bus.Read(start);
        const uint32_t before1 = bus.Read(start + step0);

        uint32_t step = step0;
        for (uint32_t s : steps) {
            SFlashIdentity tried = id;
            if (ReadCfi(bus, a, start, s, tried)) {
                id = tried;
                step = s;
                break;
            }
            if (bus.Status() != 0)
                break;
        }
        // The codes are asked in the family the CFI table names (the chip
        // on the board may not be the project's), else in the project's;
        // a chip that answered nothing and is not named is not asked.
        SAsking codes = a;
        if (id.cfi) {
            codes.known = true;
            codes.family = IntelCommandSet(id.commandSet) ? EEraseFamily::IntelBlock : EEraseFamily::JedecByteWord;
            // JEDEC chips take their unlock cycles at query addresses 0x555
            // and 0x2AA, except x8/x16 chips in byte mode (two device bytes
            // a query address): byte addresses 0xAAA and 0x555.
            const uint32_t devices = std::max(id.devices, 1u);
            if (id.deviceWidth == 1 && step / devices == 2) {
                codes.unlock1 = 0xAAA * devices;
                codes.unlock2 = 0x555 * devices;
            } else {
                codes.unlock1 = 0x555 * step;
                codes.unlock2 = 0x2AA * step;
            }
            codes.lanes = 1;
        }
        const uint32_t unit = id.cfi ? id.deviceWidth : a.deviceWidth;
        uint32_t code0 = 0, code1 = 0;
        if (codes.known) {
            if (codes.Jedec()) {
                bus.Write(start + codes.unlock1 * codes.lanes, Replicate(0xAA, busBytes));
                bus.Write(start + codes.unlock2 * codes.lanes, Replicate(0x55, busBytes));
                bus.Write(start + codes.unlock1 * codes.lanes, Replicate(0x90, busBytes));
            } else {
                bus.Write(start, Replicate(0x90, busBytes));
            }
            code0 = bus.Read(start);
            code1 = bus.Read(start + step);
            WriteReset(bus, start, ResetOf(codes));
        }

        // Back to the array: the first words read as they did before. Codes
        // that read like the array are none.
        const uint32_t after0 = bus.Read(start);
        const uint32_t after1 = bus.Read(start + step);
        const uint32_t afterStep0 = step == step0 ? after1 : bus.Read(start + step0);
        id.backInReadMode = after0 == before0 && afterStep0 == before1;
        id.codesRead = codes.known && (code0 != after0 || code1 != after1);
        id.manufacturer = uint16_t(code0 & 0xFF);
        id.device = code1 & Mask(unit);
        if (bus.Status() != 0) {
            status = bus.Status();
            return EOutcome::LibraryError;
        }
        banks.push_back(std::move(id));
        if (!array.device)
            break; // without a device there is no bank size: bank 0 alone
    }
    return EOutcome::Read;
}
