#include "sim/probe_sim_ram_board.h"

#include "probe/probe_status.h"

#include <algorithm>

bool CProbeSimRamBoard::AddRegion(uint32_t base, uint32_t size, uint8_t fill)
{
    if (size == 0 || uint64_t(base) + size > 0x100000000ull)
        return false;
    for (const auto& [start, bytes] : regions_) {
        if (base < uint64_t(start) + bytes.size() && start < uint64_t(base) + size)
            return false;
    }
    regions_.emplace(base, std::vector<uint8_t>(size, fill));
    return true;
}

std::pair<const uint32_t, std::vector<uint8_t>>* CProbeSimRamBoard::RegionOf(uint32_t address)
{
    auto it = regions_.upper_bound(address);
    if (it == regions_.begin())
        return nullptr;
    --it;
    if (uint64_t(address) >= uint64_t(it->first) + it->second.size())
        return nullptr;
    return &*it;
}

uint8_t* CProbeSimRamBoard::At(uint32_t address)
{
    auto* region = RegionOf(address);
    return region ? &region->second[address - region->first] : nullptr;
}

const uint8_t* CProbeSimRamBoard::At(uint32_t address) const
{
    return const_cast<CProbeSimRamBoard*>(this)->At(address);
}

bool CProbeSimRamBoard::BusRead(uint32_t address, int widthBytes, uint32_t& value)
{
    if (widthBytes != 1 && widthBytes != 2 && widthBytes != 4)
        return false;
    uint32_t v = 0;
    for (int i = 0; i < widthBytes; ++i) {
        const uint8_t* byte = At(address + static_cast<uint32_t>(i));
        if (!byte)
            return false;
        v |= uint32_t(*byte) << (8 * i);
    }
    value = v;
    return true;
}

bool CProbeSimRamBoard::BusWrite(uint32_t address, int widthBytes, uint32_t value)
{
    if (widthBytes != 1 && widthBytes != 2 && widthBytes != 4)
        return false;
    for (int i = 0; i < widthBytes; ++i) {
        if (!At(address + static_cast<uint32_t>(i)))
            return false;
    }
    for (int i = 0; i < widthBytes; ++i)
        *At(address + static_cast<uint32_t>(i)) = static_cast<uint8_t>(value >> (8 * i));
    if (writes_.size() < kMaxLog)
        writes_.push_back({address, widthBytes, value});
    return true;
}

void CProbeSimRamBoard::WriteRegister(uint16_t regClass, uint16_t number, uint32_t value)
{
    if (registers_.size() < kMaxLog)
        registers_.push_back({{regClass, number}, value});
}

int CProbeSimRamBoard::FlashSetup(uint8_t algorithm, uint8_t busWidth, uint32_t /*p1*/, uint32_t p2,
                                  uint32_t /*p3*/)
{
    if (algorithm == 0) {
        session_ = ESession::None;
        return 0;
    }
    if (algorithm == 1) {
        session_ = ESession::Verify;
        return 0;
    }
    if (busWidth != 1 && busWidth != 2 && busWidth != 4)
        return 4;
    if (p2 != 0xFFFFFFFF) {
        auto* region = RegionOf(p2);
        if (!region || uint64_t(p2) + kWorkspaceSize > uint64_t(region->first) + region->second.size())
            return 3;
    }
    session_ = ESession::Program;
    return 0;
}

int CProbeSimRamBoard::FlashProgram(uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress)
{
    for (uint32_t i = 0; i < length; ++i) {
        uint8_t* byte = At(address + i);
        if (!byte || session_ == ESession::None) {
            failAddress = address + i;
            return kStatusCompareFailed;
        }
        if (session_ == ESession::Program)
            *byte &= data[i];
        if (*byte != data[i]) {
            failAddress = address + i;
            return kStatusCompareFailed;
        }
    }
    return kStatusOk;
}

int CProbeSimRamBoard::FlashErase(uint8_t /*algorithm*/, uint8_t mode, uint32_t /*p1*/, uint32_t p2,
                                  uint32_t /*p3*/, uint32_t /*p4*/)
{
    if (mode > 1)
        return 1;
    auto* region = RegionOf(p2);
    if (!region) {
        eraseState_ = 1;
        eraseValue_ = p2;
        return 0;
    }
    auto& bytes = region->second;
    if (mode == 0) {
        std::fill(bytes.begin(), bytes.end(), 0xFF);
    } else {
        const uint32_t offset = (p2 - region->first) / kEraseBlock * kEraseBlock;
        const uint32_t end = std::min<uint32_t>(offset + kEraseBlock, static_cast<uint32_t>(bytes.size()));
        std::fill(bytes.begin() + offset, bytes.begin() + end, 0xFF);
    }
    eraseState_ = 0;
    eraseValue_ = 0;
    return 0;
}

void CProbeSimRamBoard::FlashEraseStatus(uint8_t& state, uint32_t& value)
{
    state = eraseState_;
    value = eraseValue_;
}

bool CProbeSimRamBoard::Peek(uint32_t address, uint32_t length, std::vector<uint8_t>& bytes) const
{
    bytes.clear();
    for (uint32_t i = 0; i < length; ++i) {
        const uint8_t* byte = At(address + i);
        if (!byte)
            return false;
        bytes.push_back(*byte);
    }
    return true;
}

bool CProbeSimRamBoard::Poke(uint32_t address, const std::vector<uint8_t>& bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (!At(address + static_cast<uint32_t>(i)))
            return false;
    }
    for (size_t i = 0; i < bytes.size(); ++i)
        *At(address + static_cast<uint32_t>(i)) = bytes[i];
    return true;
}

void CProbeSimRamBoard::ClearLog()
{
    registers_.clear();
    writes_.clear();
}
