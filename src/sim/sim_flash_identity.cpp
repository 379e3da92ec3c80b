#include "sim/sim_flash_identity.h"

#include "catalogue/flash_catalogue.h"

#include <algorithm>
#include <bit>
#include <string_view>
#include <utility>

namespace {

struct SMaker {
    std::string_view prefix;
    uint16_t code;
};

// JEDEC manufacturer codes of the makers the catalogue names.
constexpr SMaker kMakers[] = {
    {"AMD ", 0x01}, {"Spansion ", 0x01}, {"Intel ", 0x89}, {"Atmel ", 0x1F},
    {"ST ", 0x20},  {"SST ", 0xBF},      {"Sharp ", 0xB0},
};

// Runs of equal sectors in address order: {count, size}.
std::vector<std::pair<uint32_t, uint32_t>> Runs(const CSimFlashGeometry& g)
{
    std::vector<std::pair<uint32_t, uint32_t>> runs;
    for (int s = 0; s < int(g.sectorStarts.size()); ++s) {
        const uint32_t size = g.SectorEnd(s) - g.SectorStart(s);
        if (!runs.empty() && runs.back().second == size)
            ++runs.back().first;
        else
            runs.emplace_back(1, size);
    }
    return runs;
}

void Put16(std::vector<uint8_t>& t, size_t at, uint32_t v)
{
    t[at] = uint8_t(v);
    t[at + 1] = uint8_t(v >> 8);
}

} // namespace

CSimFlashIdentity DefaultSimFlashIdentity(const CSimFlashGeometry& geometry)
{
    CSimFlashIdentity id;
    for (const SMaker& m : kMakers)
        if (std::string_view(geometry.name).starts_with(m.prefix))
            id.manufacturer = m.code;
    const int row = CFlashCatalogue::FlashDeviceIndex(CFlashCatalogue::FindFlashDevice(geometry.name));
    id.device = uint16_t(row < 0 ? 0 : row);
    return id;
}

std::vector<uint8_t> BuildSimCfiTable(const CSimFlashGeometry& geometry, const CSimFlashAlgorithm& algorithm)
{
    if (geometry.size == 0 || !std::has_single_bit(geometry.size) || geometry.sectorStarts.empty())
        return {};
    auto runs = Runs(geometry);
    for (const auto& [count, size] : runs)
        if (size % 256 != 0 || size / 256 > 0xFFFF || count > 0x10000)
            return {};
    const bool jedec = algorithm.commandSet == ESimCommandSet::Jedec;
    uint8_t boot = 0; // 0: no boot block (uniform or both ends alike)
    if (runs.size() > 1 && runs.front().second != runs.back().second) {
        boot = runs.front().second < runs.back().second ? 2 : 3;
        if (jedec && boot == 3)
            std::reverse(runs.begin(), runs.end());
    }
    const size_t primary = 0x2D + 4 * runs.size();
    std::vector<uint8_t> t(primary + 0x10, 0x00);
    t[0x10] = 'Q';
    t[0x11] = 'R';
    t[0x12] = 'Y';
    Put16(t, 0x13, jedec ? 0x0002 : 0x0001);
    Put16(t, 0x15, uint32_t(primary));
    t[0x1B] = 0x27; // Vcc 2.7 V to 3.6 V
    t[0x1C] = 0x36;
    t[0x1F] = 0x04; // typical word program 16 us
    t[0x21] = 0x0A; // typical block erase 1 s
    t[0x23] = 0x05;
    t[0x25] = 0x04;
    t[0x27] = uint8_t(std::countr_zero(geometry.size));
    // Interface: x8 only, x16 / x32 parts, else x8/x16.
    uint16_t interface = 2;
    if (algorithm.family == ESimUnlockFamily::X16X32)
        interface = 5;
    else if (algorithm.family == ESimUnlockFamily::X8 || algorithm.code == 5)
        interface = 0;
    Put16(t, 0x28, interface);
    t[0x2C] = uint8_t(runs.size());
    for (size_t i = 0; i < runs.size(); ++i) {
        Put16(t, 0x2D + 4 * i, runs[i].first - 1);
        Put16(t, 0x2F + 4 * i, runs[i].second / 256);
    }
    t[primary] = 'P';
    t[primary + 1] = 'R';
    t[primary + 2] = 'I';
    t[primary + 3] = '1';
    t[primary + 4] = jedec ? '3' : '1';
    if (jedec)
        t[primary + 0xF] = boot;
    return t;
}
