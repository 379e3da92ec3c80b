#include "sim/sim_flash_geometry.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

int CSimFlashGeometry::SectorOf(uint32_t offset) const
{
    auto it = std::upper_bound(sectorStarts.begin(), sectorStarts.end(), offset);
    return int(it - sectorStarts.begin()) - 1;
}

uint32_t CSimFlashGeometry::SectorEnd(int sector) const
{
    return size_t(sector + 1) < sectorStarts.size() ? sectorStarts[sector + 1] : size;
}

#if __has_include("target/flash_catalogue.h")

// The device rows come from the flash catalogue.
#include "target/flash_catalogue.h"

bool LookupSimFlashGeometry(const std::string& name, CSimFlashGeometry& out)
{
    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice(name);
    if (!device)
        return false;
    CSimFlashGeometry g;
    g.name = device->name;
    g.deviceWidth = device->deviceWidth;
    g.size = device->DeviceSizeBytes();
    g.pageSize = device->pageSize;
    g.programAlgorithm = device->programAlgorithm;
    g.eraseAlgorithm = device->eraseAlgorithm;
    g.sectorStarts.assign(device->Sectors().begin(), device->Sectors().end());
    out = std::move(g);
    return true;
}

#else

namespace {

constexpr uint32_t K = 1024;

struct CRow {
    const char* name;
    uint32_t width;
    uint32_t sizeKiB;
    uint32_t page;
    uint32_t program;
    uint32_t erase;
    std::initializer_list<std::pair<uint32_t, uint32_t>> runs; // {count, sector size in bytes}
};

// ---------------------------------------------------------------------------
// TEMPORARY: a few device rows transcribed by hand for the simulated boards
// and their tests, used only while the flash catalogue
// (src/target/flash_catalogue.h) is not in the tree. Once it is, the branch
// above takes over; delete this #else branch then.
// ---------------------------------------------------------------------------
const CRow kRows[] = {
    {"AMD  Am29LV001BT", 1, 128, 0, 2, 2, {{7, 16 * K}, {2, 4 * K}, {1, 8 * K}}},
    {"AMD  Am29F010", 1, 128, 0, 2, 2, {{8, 16 * K}}},
    {"AMD  Am29F040", 1, 512, 0, 2, 2, {{8, 64 * K}}},
    {"AMD  Am29F100T (128K x 8)", 1, 128, 0, 11, 11, {{1, 64 * K}, {1, 32 * K}, {2, 8 * K}, {1, 16 * K}}},
    {"AMD  Am29F100T (64K x 16)", 2, 128, 0, 12, 12, {{1, 64 * K}, {1, 32 * K}, {2, 8 * K}, {1, 16 * K}}},
    {"AMD  Am29LV400B (512K x 8)", 1, 512, 0, 11, 11, {{1, 16 * K}, {2, 8 * K}, {1, 32 * K}, {7, 64 * K}}},
    {"AMD  Am29LV400B (256K x 16)", 2, 512, 0, 12, 12, {{1, 16 * K}, {2, 8 * K}, {1, 32 * K}, {7, 64 * K}}},
    {"AMD  Am29LV017M", 1, 2048, 0, 31, 31, {{32, 64 * K}}},
    {"AMD  Am29LV160MB (2M x 8)", 1, 2048, 0, 32, 32, {{1, 16 * K}, {2, 8 * K}, {1, 32 * K}, {31, 64 * K}}},
    {"AMD  Am29LV160MB (1M x 16)", 2, 2048, 0, 33, 33, {{1, 16 * K}, {2, 8 * K}, {1, 32 * K}, {31, 64 * K}}},
    {"AMD  Am29PL320DB (2M x 16)", 2, 4096, 0, 35, 35, {{1, 16 * K}, {2, 8 * K}, {1, 224 * K}, {15, 256 * K}}},
    {"AMD  Am29PL320DB (1M x 32)", 4, 4096, 0, 36, 36, {{1, 16 * K}, {2, 8 * K}, {1, 224 * K}, {15, 256 * K}}},
    {"Atmel  AT29C1024", 2, 128, 256, 28, 0, {{1, 128 * K}}},
    {"Atmel  AT29C020", 1, 256, 256, 27, 0, {{1, 256 * K}}},
    {"Atmel  AT49x040 (512K x 8)", 1, 512, 0, 22, 22, {{1, 512 * K}}},
    {"Atmel  AT49x4096A (512K x 8)", 1, 512, 0, 23, 23, {{1, 16 * K}, {2, 8 * K}, {1, 480 * K}}},
    {"Atmel  AT49x4096A (256K x 16)", 2, 512, 0, 24, 24, {{1, 16 * K}, {2, 8 * K}, {1, 480 * K}}},
    {"SST 39VF400A (256K x 16)", 2, 512, 0, 24, 24, {{128, 4 * K}}},
    {"Intel  28F004B5-T", 1, 512, 0, 5, 5, {{3, 128 * K}, {1, 96 * K}, {2, 8 * K}, {1, 16 * K}}},
    {"Intel  28F400B5-B (256K x 16)", 2, 512, 0, 6, 6, {{1, 16 * K}, {2, 8 * K}, {1, 96 * K}, {3, 128 * K}}},
    {"Intel  28F320J3 (4M x 8)", 1, 4096, 0, 29, 29, {{32, 128 * K}}},
    {"Intel  28F320J3 (2M x 16)", 2, 4096, 0, 30, 30, {{32, 128 * K}}},
    {"MAC7112 Program Flash (256K)", 4, 256, 0, 40, 40, {{64, 4 * K}}},
    {"MAC7100 Data Flash (32K)", 2, 32, 0, 41, 41, {{32, 1 * K}}},
    {"LPC2000 Flash (128K)", 1, 128, 0, 42, 42, {{14, 8 * K}, {1, 16 * K}}},
    {"LPC2138/48 Flash (512K)", 1, 512, 0, 42, 42, {{8, 4 * K}, {14, 32 * K}, {4, 4 * K}, {1, 16 * K}}},
    {"STR71xF Flash (256K)", 4, 256, 0, 43, 43, {{4, 8 * K}, {1, 32 * K}, {3, 64 * K}}},
    {"STR71xF Flash (16K)", 4, 16, 0, 43, 43, {{2, 8 * K}}},
    {"ST30F772 Flash (256K)", 4, 256, 0, 45, 45, {{4, 8 * K}, {1, 32 * K}, {3, 64 * K}}},
    {"ADuC7000 Flash", 2, 62, 0, 44, 44, {{124, 512}}},
    {"AT91SAM7S32 Flash", 4, 32, 0, 46, 46, {{127, 128}, {1, 16512}}},
    {"STR91xF Flash (32K)", 2, 32, 0, 49, 49, {{4, 8 * K}}},
    {"STR91xF Flash (512K+32K)", 2, 544, 0, 49, 49, {{8, 64 * K}, {4, 8 * K}}},
};

} // namespace

bool LookupSimFlashGeometry(const std::string& name, CSimFlashGeometry& out)
{
    for (const CRow& row : kRows) {
        if (name != row.name)
            continue;
        CSimFlashGeometry g;
        g.name = row.name;
        g.deviceWidth = row.width;
        g.size = row.sizeKiB * K;
        g.pageSize = row.page;
        g.programAlgorithm = row.program;
        g.eraseAlgorithm = row.erase;
        uint32_t start = 0;
        for (auto [count, bytes] : row.runs) {
            for (uint32_t i = 0; i < count; ++i) {
                g.sectorStarts.push_back(start);
                start += bytes;
            }
        }
        out = std::move(g);
        return true;
    }
    return false;
}

#endif
