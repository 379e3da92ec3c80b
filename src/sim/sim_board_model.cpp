#include "sim/sim_board_model.h"

#include "common/text_format.h"
#include "sim/sim_board_steady_clock.h"
#include "sim/sim_flash_algorithm.h"
#include "sim/sim_flash_array.h"
#include "sim/sim_flash_geometry.h"
#include "sim/sim_flash_programmer.h"
#include "sim/sim_qemu_flash.h"
#include "sim/sim_ram.h"

namespace {

constexpr uint64_t kAddressSpace = 0x100000000ULL;

std::string LinePrefix(int line)
{
    return line > 0 ? Format("line %d: ", line) : std::string();
}

std::string Span(uint32_t base, uint64_t size)
{
    return Format("0x%08X..0x%08X", base, uint32_t(base + size - 1));
}

} // namespace

CSimBoardModel::CSimBoardModel(std::shared_ptr<CClock> clock)
    : clock_(clock ? std::move(clock) : std::make_shared<CSimBoardSteadyClock>()),
      programmer_(std::make_unique<CSimFlashProgrammer>(*this))
{
}

CSimBoardModel::~CSimBoardModel() = default;

bool CSimBoardModel::Build(const CBoardFile& file, std::string& error)
{
    std::lock_guard lock(mutex_);
    name_ = file.name;
    for (const auto& ram : file.rams)
        if (!AddRam(ram, error))
            return false;
    for (const auto& flash : file.flashes)
        if (!AddFlash(flash, error))
            return false;
    for (const auto& flash : file.qemuFlashes)
        if (!AddQemuFlash(flash, error))
            return false;
    for (const auto& fault : file.faults)
        if (!AddFault(fault, error))
            return false;
    return true;
}

bool CSimBoardModel::AddRegion(CRegion region, const CBoardFile::CChipSelectDef& chipSelect, std::string& error)
{
    const std::string prefix = LinePrefix(region.line);
    if (region.size == 0 || region.base + region.size > kAddressSpace) {
        error = prefix + region.what + " runs past the end of the address space";
        return false;
    }
    for (const CRegion& other : regions_) {
        if (region.base < other.base + other.size && other.base < region.base + region.size) {
            error = prefix + region.what + " overlaps " + other.what;
            return false;
        }
    }
    int registerIndex = -1;
    if (chipSelect.used) {
        for (const CRegion& other : regions_)
            if (other.kind == EKind::Register && other.base == chipSelect.address)
                registerIndex = int(other.index);
        if (registerIndex < 0) {
            CRegion reg{EKind::Register, chipSelect.address, 4, registers_.size()};
            reg.what = Format("chip-select register 0x%08X", chipSelect.address);
            if (chipSelect.address % 4 != 0) {
                error = prefix + reg.what + " must be aligned to 4 bytes";
                return false;
            }
            if (chipSelect.address < region.base + region.size && region.base < uint64_t(chipSelect.address) + 4) {
                error = prefix + reg.what + " lies inside " + region.what;
                return false;
            }
            for (const CRegion& other : regions_) {
                if (chipSelect.address < other.base + other.size && other.base < uint64_t(chipSelect.address) + 4) {
                    error = prefix + reg.what + " overlaps " + other.what;
                    return false;
                }
            }
            registerIndex = int(registers_.size());
            registers_.push_back(0);
            regions_.push_back(reg);
        }
        region.chipSelect = registerIndex;
        region.csValue = chipSelect.value;
        region.csMask = chipSelect.mask;
    }
    regions_.push_back(std::move(region));
    return true;
}

bool CSimBoardModel::AddRam(const CBoardFile::CRamDef& ram, std::string& error)
{
    std::lock_guard lock(mutex_);
    CRegion region{EKind::Ram, ram.base, ram.size, rams_.size()};
    region.line = ram.line;
    region.what = "ram " + (ram.base + ram.size <= kAddressSpace && ram.size ? Span(ram.base, ram.size)
                                                                             : Format("0x%08X", ram.base));
    if (!AddRegion(region, ram.chipSelect, error))
        return false;
    rams_.push_back(std::make_unique<CSimRam>(ram.base, ram.size));
    return true;
}

bool CSimBoardModel::AddFlash(const CBoardFile::CFlashDef& flash, std::string& error)
{
    std::lock_guard lock(mutex_);
    const std::string prefix = LinePrefix(flash.line);
    const char* name = flash.device.c_str();
    CSimFlashGeometry geometry;
    if (!LookupSimFlashGeometry(flash.device, geometry)) {
        error = prefix + Format("unknown flash device \"%s\"", name);
        return false;
    }
    const CSimFlashAlgorithm* algorithm = FindSimFlashAlgorithm(geometry.programAlgorithm);
    if (!algorithm) {
        error = prefix + Format("\"%s\" uses program algorithm %u, which the simulator does not model", name,
                                geometry.programAlgorithm);
        return false;
    }
    const uint32_t busBytes = flash.busBits / 8;
    if (busBytes != 1 && busBytes != 2 && busBytes != 4) {
        error = prefix + "bus must be 8, 16 or 32";
        return false;
    }
    if (algorithm->fixedBusWidth && busBytes != algorithm->fixedBusWidth) {
        error = prefix + Format("\"%s\" sits on a %u-bit bus", name, algorithm->fixedBusWidth * 8);
        return false;
    }
    if (busBytes < geometry.deviceWidth) {
        error = prefix + Format("a x%u device needs a bus of at least %u bits", geometry.deviceWidth * 8,
                                geometry.deviceWidth * 8);
        return false;
    }
    if (flash.banks < 1 || flash.banks > 16) {
        error = prefix + "banks must be 1 to 16";
        return false;
    }
    if (algorithm->fixedBusWidth && flash.banks != 1) {
        error = prefix + Format("\"%s\" is a single bank", name);
        return false;
    }
    const uint64_t bankSize = uint64_t(geometry.size) * (busBytes / geometry.deviceWidth);
    const uint64_t size = bankSize * flash.banks;
    bool masked = algorithm->commandSet == ESimCommandSet::Jedec || algorithm->commandSet == ESimCommandSet::PageWrite;
    if (masked && flash.base % bankSize != 0) {
        error = prefix + Format("base 0x%08X must be a multiple of the bank size 0x%X (the firmware finds a "
                                "bank's start by masking the address)",
                                flash.base, uint32_t(bankSize));
        return false;
    }
    CSimFlashTiming timing;
    timing.sectorEraseMicros = flash.sectorEraseMicros;
    timing.chipEraseMicros =
        flash.chipEraseMicros ? *flash.chipEraseMicros : flash.sectorEraseMicros * geometry.sectorStarts.size();
    timing.programMicrosPerByte = flash.programMicrosPerByte;

    CRegion region{EKind::Flash, flash.base, size, flashes_.size()};
    region.line = flash.line;
    region.what = Format("flash \"%s\" ", name) +
                  (flash.base + size <= kAddressSpace ? Span(flash.base, size) : Format("at 0x%08X", flash.base));
    if (!AddRegion(region, flash.chipSelect, error))
        return false;
    flashes_.push_back(std::make_unique<CSimFlashArray>(geometry, *algorithm, flash.base, busBytes, flash.banks,
                                                        timing, *clock_));
    return true;
}

bool CSimBoardModel::AddQemuFlash(const CBoardFile::CQemuFlashDef& flash, std::string& error)
{
    std::lock_guard lock(mutex_);
    const std::string prefix = LinePrefix(flash.line);
    std::string why;
    std::unique_ptr<CSimQemuFlash> qemu = CSimQemuFlash::Check(flash, why);
    if (!qemu) {
        error = prefix + why;
        return false;
    }
    CRegion region{EKind::Qemu, flash.base, qemu->Size(), qemuFlashes_.size()};
    region.line = flash.line;
    region.what = Format("qemu-flash \"%s\" ", flash.device.c_str()) + Span(flash.base, qemu->Size());
    if (!AddRegion(region, {}, error))
        return false;
    if (!qemu->Start(why)) {
        regions_.pop_back();
        error = prefix + why;
        return false;
    }
    qemuFlashes_.push_back(std::move(qemu));
    return true;
}

std::vector<CSimQemuFlash*> CSimBoardModel::QemuFlashes()
{
    std::lock_guard lock(mutex_);
    std::vector<CSimQemuFlash*> out;
    for (auto& flash : qemuFlashes_)
        out.push_back(flash.get());
    return out;
}

bool CSimBoardModel::AddFault(const CBoardFile::CFaultDef& fault, std::string& error)
{
    std::lock_guard lock(mutex_);
    const std::string prefix = LinePrefix(fault.line);
    CRegion* region = Find(fault.address, 1);
    if (!region || region->kind != EKind::Flash) {
        error = prefix + Format("fault address 0x%08X is not inside a flash", fault.address);
        return false;
    }
    CSimFlashArray& array = *flashes_[region->index];
    uint32_t offset = 0;
    CSimFlashDevice& device = array.Locate(fault.address - array.Base(), offset);
    if (fault.kind == CBoardFile::EFaultKind::StuckBit) {
        device.SetStuckBit(offset, fault.bit, fault.value);
        return true;
    }
    if (array.Geometry().eraseAlgorithm == 0) {
        error = prefix + Format("\"%s\" has no separate erase", array.Geometry().name.c_str());
        return false;
    }
    int sector = array.Geometry().SectorOf(offset);
    if (fault.kind == CBoardFile::EFaultKind::EraseFail)
        device.SetEraseFailure(sector);
    else
        device.SetEraseHang(sector);
    return true;
}

void CSimBoardModel::ClearFaults()
{
    std::lock_guard lock(mutex_);
    for (auto& array : flashes_)
        for (uint32_t bank = 0; bank < array->Banks(); ++bank)
            for (uint32_t lane = 0; lane < array->Lanes(); ++lane)
                array->Device(bank, lane).ClearFaults();
}

CSimBoardModel::CRegion* CSimBoardModel::Find(uint32_t address, uint64_t size)
{
    // Regions never overlap: the one that holds the access is the only one.
    const auto holds = [address, size](const CRegion& region) {
        return address >= region.base && uint64_t(address) + size <= region.base + region.size;
    };
    if (lastFound_ < regions_.size() && holds(regions_[lastFound_]))
        return &regions_[lastFound_];
    for (size_t i = 0; i < regions_.size(); ++i) {
        if (holds(regions_[i])) {
            lastFound_ = i;
            return &regions_[i];
        }
    }
    return nullptr;
}

bool CSimBoardModel::Answers(const CRegion& region) const
{
    if (region.chipSelect < 0)
        return true;
    return (registers_[region.chipSelect] & region.csMask) == (region.csValue & region.csMask);
}

bool CSimBoardModel::Peek(uint32_t address, uint8_t& value)
{
    std::lock_guard lock(mutex_);
    CRegion* region = Find(address, 1);
    if (!region)
        return false;
    const uint64_t offset = address - region->base;
    switch (region->kind) {
    case EKind::Ram:
        value = uint8_t(rams_[region->index]->Read(offset, 1));
        return true;
    case EKind::Register:
        value = uint8_t(registers_[region->index] >> (8 * offset));
        return true;
    case EKind::Flash: {
        uint32_t deviceOffset = 0;
        CSimFlashDevice& device = flashes_[region->index]->Locate(offset, deviceOffset);
        value = device.Peek(deviceOffset);
        return true;
    }
    case EKind::Qemu:
        return qemuFlashes_[region->index]->Peek(offset, value);
    }
    return false;
}

bool CSimBoardModel::RegisterValue(uint16_t regClass, uint16_t number, uint32_t& value) const
{
    auto it = coreRegisters_.find({regClass, number});
    if (it == coreRegisters_.end())
        return false;
    value = it->second;
    return true;
}

bool CSimBoardModel::IsRam(uint32_t address, uint32_t size)
{
    std::lock_guard lock(mutex_);
    CRegion* region = Find(address, size);
    return region && region->kind == EKind::Ram && Answers(*region);
}

CSimFlashArray* CSimBoardModel::FlashAt(uint32_t address)
{
    std::lock_guard lock(mutex_);
    CRegion* region = Find(address, 1);
    if (!region || region->kind != EKind::Flash || !Answers(*region))
        return nullptr;
    return flashes_[region->index].get();
}

std::vector<CSimFlashArray*> CSimBoardModel::FlashArrays()
{
    std::lock_guard lock(mutex_);
    std::vector<CSimFlashArray*> out;
    for (auto& array : flashes_)
        out.push_back(array.get());
    return out;
}

CSimBoardModel::CRegion* CSimBoardModel::BusRegion(uint32_t address, int widthBytes)
{
    if (widthBytes != 1 && widthBytes != 2 && widthBytes != 4)
        return nullptr;
    CRegion* region = Find(address, uint64_t(widthBytes));
    return region && Answers(*region) ? region : nullptr;
}

bool CSimBoardModel::BusRead(uint32_t address, int widthBytes, uint32_t& value)
{
    std::lock_guard lock(mutex_);
    return HeldBusRead(address, widthBytes, value);
}

bool CSimBoardModel::HeldBusRead(uint32_t address, int widthBytes, uint32_t& value)
{
    CRegion* region = BusRegion(address, widthBytes);
    if (!region)
        return false;
    const uint64_t offset = address - region->base;
    switch (region->kind) {
    case EKind::Ram:
        value = rams_[region->index]->Read(offset, widthBytes);
        return true;
    case EKind::Register:
        if (address % widthBytes)
            return false;
        value = uint32_t(uint64_t(registers_[region->index]) >> (8 * offset));
        if (widthBytes < 4)
            value &= (1u << (8 * widthBytes)) - 1;
        return true;
    case EKind::Flash:
        if (address % widthBytes)
            return false;
        value = flashes_[region->index]->Read(offset, widthBytes);
        return true;
    case EKind::Qemu:
        return address % widthBytes == 0 && qemuFlashes_[region->index]->Read(offset, widthBytes, value);
    }
    return false;
}

bool CSimBoardModel::BusWrite(uint32_t address, int widthBytes, uint32_t value)
{
    std::lock_guard lock(mutex_);
    return HeldBusWrite(address, widthBytes, value);
}

bool CSimBoardModel::HeldBusWrite(uint32_t address, int widthBytes, uint32_t value)
{
    CRegion* region = BusRegion(address, widthBytes);
    if (!region)
        return false;
    const uint64_t offset = address - region->base;
    if (widthBytes < 4)
        value &= (1u << (8 * widthBytes)) - 1;
    switch (region->kind) {
    case EKind::Ram:
        rams_[region->index]->Write(offset, widthBytes, value);
        return true;
    case EKind::Register: {
        if (address % widthBytes)
            return false;
        uint32_t mask = widthBytes == 4 ? 0xFFFFFFFF : ((1u << (8 * widthBytes)) - 1) << (8 * offset);
        uint32_t& reg = registers_[region->index];
        reg = (reg & ~mask) | ((value << (8 * offset)) & mask);
        return true;
    }
    case EKind::Flash:
        if (address % widthBytes)
            return false;
        flashes_[region->index]->Write(offset, widthBytes, value);
        return true;
    case EKind::Qemu:
        return address % widthBytes == 0 && qemuFlashes_[region->index]->Write(offset, widthBytes, value);
    }
    return false;
}

void CSimBoardModel::WriteRegister(uint16_t regClass, uint16_t number, uint32_t value)
{
    std::lock_guard lock(mutex_);
    coreRegisters_[{regClass, number}] = value;
}

int CSimBoardModel::FlashSetup(uint8_t algorithm, uint8_t busWidth, uint32_t p1, uint32_t p2, uint32_t p3)
{
    std::lock_guard lock(mutex_);
    return programmer_->Setup(algorithm, busWidth, p1, p2, p3);
}

int CSimBoardModel::FlashProgram(uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress)
{
    std::lock_guard lock(mutex_);
    return programmer_->Program(address, data, length, failAddress);
}

int CSimBoardModel::FlashErase(uint8_t algorithm, uint8_t mode, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4)
{
    std::lock_guard lock(mutex_);
    return programmer_->Erase(algorithm, mode, p1, p2, p3, p4);
}

void CSimBoardModel::FlashEraseStatus(uint8_t& state, uint32_t& value)
{
    std::lock_guard lock(mutex_);
    programmer_->EraseStatus(state, value);
}
