#include "sim/sim_loader.h"

#include "probe/probe_frames.h"

#include <algorithm>
#include <cstdio>

namespace {

const uint8_t kStartMarker[4] = {0xAA, 0x55, 0x55, 0xAA};

uint32_t Be32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void PutBe16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void PutBe32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

// The signature fuses of a logic version: "B6001E8" and three digits, as
// 15 bytes (zero padded), most significant bit first.
std::array<uint8_t, CSimLoader::kUesFuses> SignatureFuses(uint16_t version)
{
    std::array<uint8_t, CSimLoader::kUesFuses> fuses{};
    if (version == 0 || version > 255)
        return fuses;
    char text[16] = {};
    std::snprintf(text, sizeof text, "B6001E8%03u", static_cast<unsigned>(version));
    for (size_t i = 0; i < CSimLoader::kUesFuses; ++i)
        fuses[i] = (static_cast<uint8_t>(text[i / 8]) >> (7 - i % 8)) & 1;
    return fuses;
}

} // namespace

CSimLoader::CSimLoader(const SSimLoaderConfig& config) : config_(config), flash_(kFlashSize, 0xFF)
{
    // The loader's own code: any recognisable bytes.
    for (uint32_t i = 0; i < 0x8000; ++i)
        flash_[i] = static_cast<uint8_t>(i * 7 + 3);
    // A firmware that can be started: its header and the start marker.
    const std::string name = "QX7ARMFW";
    std::copy(name.begin(), name.end(), flash_.begin() + (kFirmwareHeader - kFlashBase));
    flash_[kFirmwareHeader - kFlashBase + 8] = static_cast<uint8_t>(config_.firmwareVersion >> 8);
    flash_[kFirmwareHeader - kFlashBase + 9] = static_cast<uint8_t>(config_.firmwareVersion);
    std::copy(kStartMarker, kStartMarker + 4, flash_.begin() + (kMarkerAddress - kFlashBase));
    for (auto& row : rows_)
        row.fill(1);
    ues_ = SignatureFuses(config_.logicVersion);
}

const CSimLoader::SSector* CSimLoader::SectorAt(uint32_t address)
{
    static const SSector sectors[] = {
        {0x01000000, 0x4000, true},   {0x01004000, 0x4000, true},   {0x01008000, 0x4000, false},
        {0x0100C000, 0x34000, false}, {0x01040000, 0x40000, false}, {0x01080000, 0x40000, false},
        {0x010C0000, 0x40000, false},
    };
    for (const SSector& sector : sectors) {
        if (address >= sector.address && address - sector.address < sector.size)
            return &sector;
    }
    return nullptr;
}

bool CSimLoader::FirmwareStartable() const
{
    return std::equal(kStartMarker, kStartMarker + 4, flash_.begin() + (kMarkerAddress - kFlashBase));
}

uint16_t CSimLoader::FirmwareVersion() const
{
    const auto header = flash_.begin() + (kFirmwareHeader - kFlashBase);
    if (!FirmwareStartable() || std::string(header, header + 8) != "QX7ARMFW")
        return 0;
    return static_cast<uint16_t>((header[8] << 8) | header[9]);
}

uint16_t CSimLoader::LogicVersion() const
{
    char text[16] = {};
    for (size_t i = 0; i < kUesFuses; ++i)
        text[i / 8] = static_cast<char>((text[i / 8] << 1) | ues_[i]);
    if (std::string(text, 7) != "B6001E8")
        return 0;
    unsigned version = 0;
    for (int i = 7; i < 10; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return 0;
        version = version * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return version <= 255 ? static_cast<uint16_t>(version) : 0;
}

bool CSimLoader::ReadFlash(uint32_t address, size_t length, std::vector<uint8_t>& bytes) const
{
    if (address < kFlashBase || address - kFlashBase > kFlashSize || length > kFlashSize - (address - kFlashBase))
        return false;
    bytes.assign(flash_.begin() + (address - kFlashBase), flash_.begin() + (address - kFlashBase + length));
    return true;
}

std::string CSimLoader::LogicRow(int row) const
{
    std::string text;
    if (row >= 0 && row < kRows) {
        for (uint8_t fuse : rows_[static_cast<size_t>(row)])
            text.push_back(fuse ? '1' : '0');
    }
    return text;
}

std::string CSimLoader::LogicUes() const
{
    std::string text;
    for (uint8_t fuse : ues_)
        text.push_back(fuse ? '1' : '0');
    return text;
}

bool CSimLoader::HandleCommand(const uint8_t* request, size_t length, std::vector<uint8_t>& reply)
{
    if (length == 0)
        return false;
    reply.clear();
    switch (request[0]) {
    case kCmdLoaderIdentify:
        Identify(reply);
        return true;
    case kCmdReadProbeMemory:
        ReadMemory(request, length, reply);
        return true;
    case kCmdEraseProbeSector:
        EraseSector(request, length, reply);
        return true;
    case kCmdProgramProbeMemory:
        ProgramMemory(request, length, reply);
        return true;
    case kCmdLogicAccess:
    case kCmdLogicReadId:
    case kCmdLogicReadRow:
    case kCmdLogicProgramRow:
    case kCmdLogicReadUes:
    case kCmdLogicProgramUes:
    case kCmdLogicErase:
        Logic(request, length, reply);
        return true;
    case kCmdStartFirmware:
        // The probe decides about the start; the reply says whether it can.
        reply = {kCmdStartFirmware, static_cast<uint8_t>(FirmwareStartable() ? 0 : 1)};
        return true;
    default:
        return false;
    }
}

void CSimLoader::Identify(std::vector<uint8_t>& reply) const
{
    reply.push_back(kCmdLoaderIdentify);
    PutBe16(reply, config_.loaderVersion);
    PutBe16(reply, FirmwareVersion());
    PutBe16(reply, LogicVersion());
    const size_t n = std::min<size_t>(config_.serialNumber.size(), 255);
    reply.push_back(static_cast<uint8_t>(n));
    reply.insert(reply.end(), config_.serialNumber.begin(), config_.serialNumber.begin() + static_cast<long>(n));
}

void CSimLoader::ReadMemory(const uint8_t* request, size_t length, std::vector<uint8_t>& reply) const
{
    std::vector<uint8_t> bytes;
    if (length != 7 || !ReadFlash(Be32(request + 1), static_cast<size_t>((request[5] << 8) | request[6]), bytes)) {
        reply = {kCmdReadProbeMemory, 1};
        return;
    }
    const uint32_t address = Be32(request + 1);
    if (config_.weakSetupByte >= 0) {
        const uint32_t weak = kSetupSector + static_cast<uint32_t>(config_.weakSetupByte);
        if (weak >= address && weak - address < bytes.size())
            bytes[weak - address] ^= 1;
    }
    reply.assign(request, request + 7);
    reply.insert(reply.end(), bytes.begin(), bytes.end());
}

void CSimLoader::EraseSector(const uint8_t* request, size_t length, std::vector<uint8_t>& reply)
{
    const SSector* sector = length == 5 ? SectorAt(Be32(request + 1)) : nullptr;
    if (!sector || sector->address != Be32(request + 1) || sector->isProtected) {
        reply = {kCmdEraseProbeSector, 1};
        return;
    }
    std::fill_n(flash_.begin() + (sector->address - kFlashBase), sector->size, 0xFF);
    reply = {kCmdEraseProbeSector, 0};
}

void CSimLoader::ProgramMemory(const uint8_t* request, size_t length, std::vector<uint8_t>& reply)
{
    reply = {kCmdProgramProbeMemory};
    if (length < 7 || length != 7u + ((request[5] << 8) | request[6])) {
        reply.push_back(4);
        PutBe32(reply, 0);
        return;
    }
    const uint32_t address = Be32(request + 1);
    const size_t count = length - 7;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t at = address + static_cast<uint32_t>(i);
        const SSector* sector = SectorAt(at);
        if (!sector || sector->isProtected) {
            reply.push_back(1);
            PutBe32(reply, at);
            return;
        }
        uint8_t& byte = flash_[at - kFlashBase];
        byte &= request[7 + i];
        if (byte != request[7 + i]) {
            reply.push_back(2);
            PutBe32(reply, at);
            return;
        }
    }
    reply.push_back(0);
    PutBe32(reply, address + static_cast<uint32_t>(count));
}

bool CSimLoader::ProgramFuses(const uint8_t* chars, size_t count, uint8_t* fuses)
{
    for (size_t i = 0; i < count; ++i) {
        if (chars[i] != '0' && chars[i] != '1')
            return false;
    }
    for (size_t i = 0; i < count; ++i)
        fuses[i] &= static_cast<uint8_t>(chars[i] - '0');
    return true;
}

void CSimLoader::Logic(const uint8_t* request, size_t length, std::vector<uint8_t>& reply)
{
    const uint8_t code = request[0];
    if (code == kCmdLogicAccess) {
        if (length != 2) {
            reply = {code, 1};
            return;
        }
        logicAccess_ = request[1] != 0;
        reply = {code, 0};
        return;
    }
    if (!logicAccess_) {
        reply = {code, 1};
        return;
    }
    auto fuseText = [&reply](const uint8_t* fuses, size_t count) {
        for (size_t i = 0; i < count; ++i)
            reply.push_back(fuses[i] ? '1' : '0');
    };
    switch (code) {
    case kCmdLogicReadId:
        reply = {code, config_.logicDeviceCode};
        return;
    case kCmdLogicReadRow:
        if (length != 2 || request[1] >= kRows) {
            reply = {code, 1};
            return;
        }
        // Two reads of the row: at the programmed and at the erased margin.
        reply = {code};
        fuseText(rows_[request[1]].data(), kRowFuses);
        fuseText(rows_[request[1]].data(), kRowFuses);
        if (config_.weakFuseRow == request[1] && config_.weakFuse >= 0 && size_t(config_.weakFuse) < kRowFuses) {
            char& fuse = reinterpret_cast<char&>(reply[1 + kRowFuses + static_cast<size_t>(config_.weakFuse)]);
            fuse = fuse == '0' ? '1' : '0';
        }
        return;
    case kCmdLogicProgramRow:
        if (length != 2 + kRowFuses || request[1] >= kRows || !ProgramFuses(request + 2, kRowFuses, rows_[request[1]].data())) {
            reply = {code, 1};
            return;
        }
        if (config_.stuckFuseRow == request[1] && config_.stuckFuse >= 0 && size_t(config_.stuckFuse) < kRowFuses)
            rows_[request[1]][static_cast<size_t>(config_.stuckFuse)] = 1;
        reply = {code, 0};
        return;
    case kCmdLogicReadUes:
        reply = {code};
        fuseText(ues_.data(), kUesFuses);
        return;
    case kCmdLogicProgramUes:
        if (length != 1 + kUesFuses || !ProgramFuses(request + 1, kUesFuses, ues_.data())) {
            reply = {code, 1};
            return;
        }
        if (config_.stuckUesFuse >= 0 && size_t(config_.stuckUesFuse) < kUesFuses)
            ues_[static_cast<size_t>(config_.stuckUesFuse)] = 1;
        reply = {code, 0};
        return;
    case kCmdLogicErase:
        for (auto& row : rows_)
            row.fill(1);
        ues_.fill(1);
        reply = {code, 0};
        return;
    default:
        reply = {code, 1};
        return;
    }
}
