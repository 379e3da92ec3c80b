// The flash device catalogue as constant data: the shared sector arrays and
// the 355 rows, checked at compile time (see RowsAreValid below).

#include "catalogue/flash_catalogue.h"

#include <array>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <string_view>

namespace {

constexpr uint32_t KiB = 1024;

// `count` sectors of `size` bytes each.
struct SRun {
    uint32_t count;
    uint32_t size;
};

// The start offsets of a layout given as runs of equal sectors from offset 0.
// N must equal the number of sectors: a mismatch stops the build.
template <std::size_t N>
consteval std::array<uint32_t, N> Sectors(std::initializer_list<SRun> runs)
{
    std::array<uint32_t, N> starts{};
    std::size_t i = 0;
    uint32_t offset = 0;
    for (const SRun& run : runs) {
        for (uint32_t j = 0; j < run.count; ++j) {
            if (i == N)
                throw "more sectors in the runs than declared";
            starts[i++] = offset;
            offset += run.size;
        }
    }
    if (i != N)
        throw "fewer sectors in the runs than declared";
    return starts;
}

// Sector arrays, one per layout, named after the first row that uses it. The
// runs read like the layout list of the catalogue; the size of each layout's
// last sector is given for the reader only (a row's last sector runs to its
// device size). Rows with the same layout share an array, and two arrays also
// serve shorter devices as a prefix: k39VF6401 (2048 starts 4 KiB apart) the
// SST rows of 512, 1024 and 2048 sectors, kLPC2138_48 the five LPC213x rows
// with 8, 9, 11, 15 and 27 sectors.

constexpr auto kAm29LV001BT = Sectors<10>({{7, 16 * KiB}, {2, 4 * KiB}, {1, 8 * KiB}});
constexpr auto kAm29LV001BB = Sectors<10>({{1, 8 * KiB}, {2, 4 * KiB}, {7, 16 * KiB}});
constexpr auto kAm29F010 = Sectors<8>({{8, 16 * KiB}});
constexpr auto kAm29F100T = Sectors<5>({{1, 64 * KiB}, {1, 32 * KiB}, {2, 8 * KiB}, {1, 16 * KiB}});
constexpr auto kAm29F100B = Sectors<5>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 32 * KiB}, {1, 64 * KiB}});
constexpr auto kAm29F002T = Sectors<7>({{3, 64 * KiB}, {1, 32 * KiB}, {2, 8 * KiB}, {1, 16 * KiB}});
constexpr auto kAm29F002B = Sectors<7>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 32 * KiB}, {3, 64 * KiB}});
constexpr auto kAm29LV020B = Sectors<4>({{4, 64 * KiB}});
constexpr auto kAm29LV004BT = Sectors<11>({{7, 64 * KiB}, {1, 32 * KiB}, {2, 8 * KiB}, {1, 16 * KiB}});
constexpr auto kAm29LV004BB = Sectors<11>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 32 * KiB}, {7, 64 * KiB}});
constexpr auto kAm29F040 = Sectors<8>({{8, 64 * KiB}});
constexpr auto kAm29DL400BT = Sectors<14>({{6, 64 * KiB}, {1, 16 * KiB}, {1, 32 * KiB},
                                           {4, 8 * KiB}, {1, 32 * KiB}, {1, 16 * KiB}});
constexpr auto kAm29DL400BB = Sectors<14>({{1, 16 * KiB}, {1, 32 * KiB}, {4, 8 * KiB},
                                           {1, 32 * KiB}, {1, 16 * KiB}, {6, 64 * KiB}});
constexpr auto kAm29LV008BT = Sectors<19>({{15, 64 * KiB}, {1, 32 * KiB}, {2, 8 * KiB}, {1, 16 * KiB}});
constexpr auto kAm29LV008BB = Sectors<19>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 32 * KiB}, {15, 64 * KiB}});
constexpr auto kAm29F080 = Sectors<16>({{16, 64 * KiB}});
constexpr auto kAm29BL802CB = Sectors<9>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 96 * KiB}, {3, 128 * KiB}, {2, 256 * KiB}});
constexpr auto kAm29DL800BT = Sectors<22>({{14, 64 * KiB}, {1, 16 * KiB}, {1, 32 * KiB},
                                           {4, 8 * KiB}, {1, 32 * KiB}, {1, 16 * KiB}});
constexpr auto kAm29DL800BB = Sectors<22>({{1, 16 * KiB}, {1, 32 * KiB}, {4, 8 * KiB},
                                           {1, 32 * KiB}, {1, 16 * KiB}, {14, 64 * KiB}});
constexpr auto kAm29F016 = Sectors<32>({{32, 64 * KiB}});
constexpr auto kAm29F160DT = Sectors<35>({{31, 64 * KiB}, {1, 32 * KiB}, {2, 8 * KiB}, {1, 16 * KiB}});
constexpr auto kAm29F160DB = Sectors<35>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 32 * KiB}, {31, 64 * KiB}});
constexpr auto kAm29BL162CB = Sectors<11>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 224 * KiB}, {7, 256 * KiB}});
constexpr auto kAm29DL16xCT = Sectors<39>({{31, 64 * KiB}, {8, 8 * KiB}});
constexpr auto kAm29DL16xCB = Sectors<39>({{8, 8 * KiB}, {31, 64 * KiB}});
constexpr auto kAm29F032 = Sectors<64>({{64, 64 * KiB}});
constexpr auto kAm29LV320DT = Sectors<71>({{63, 64 * KiB}, {8, 8 * KiB}});
constexpr auto kAm29LV320DB = Sectors<71>({{8, 8 * KiB}, {63, 64 * KiB}});
constexpr auto kAm29PL320DT = Sectors<19>({{15, 256 * KiB}, {1, 224 * KiB}, {2, 8 * KiB}, {1, 16 * KiB}});
constexpr auto kAm29PL320DB = Sectors<19>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 224 * KiB}, {15, 256 * KiB}});
constexpr auto kAm29DL640D = Sectors<142>({{8, 8 * KiB}, {126, 64 * KiB}, {8, 8 * KiB}});
constexpr auto kAm29LV065D = Sectors<128>({{128, 64 * KiB}});
constexpr auto kAm29LV640MT = Sectors<135>({{127, 64 * KiB}, {8, 8 * KiB}});
constexpr auto kAm29LV640MB = Sectors<135>({{8, 8 * KiB}, {127, 64 * KiB}});
constexpr auto kAm29LV128MH_L = Sectors<256>({{256, 64 * KiB}});
constexpr auto kAm29PDL128G = Sectors<270>({{8, 8 * KiB}, {254, 64 * KiB}, {8, 8 * KiB}});
constexpr auto kAm29LV256MH_L = Sectors<512>({{512, 64 * KiB}});
constexpr auto kAT29C1024 = Sectors<1>({{1, 128 * KiB}});
constexpr auto kAT29C020 = Sectors<1>({{1, 256 * KiB}});
constexpr auto kAT29C040A = Sectors<1>({{1, 512 * KiB}});
constexpr auto kAT49x4096A = Sectors<4>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 480 * KiB}});
constexpr auto kAT49x008A = Sectors<4>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 992 * KiB}});
constexpr auto kAT49x008AT = Sectors<4>({{1, 992 * KiB}, {2, 8 * KiB}, {1, 16 * KiB}});
constexpr auto kAT49F080 = Sectors<1>({{1, 1024 * KiB}});
constexpr auto kAT49BV1604 = Sectors<40>({{8, 8 * KiB}, {2, 32 * KiB}, {30, 64 * KiB}});
constexpr auto kAT49BV1604T = Sectors<40>({{30, 64 * KiB}, {2, 32 * KiB}, {8, 8 * KiB}});
constexpr auto k28F001BX_T = Sectors<4>({{1, 112 * KiB}, {2, 4 * KiB}, {1, 8 * KiB}});
constexpr auto k28F001BX_B = Sectors<4>({{1, 8 * KiB}, {2, 4 * KiB}, {1, 112 * KiB}});
constexpr auto k28F002BX_T = Sectors<5>({{1, 128 * KiB}, {1, 96 * KiB}, {2, 8 * KiB}, {1, 16 * KiB}});
constexpr auto k28F002BX_B = Sectors<5>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 96 * KiB}, {1, 128 * KiB}});
constexpr auto k28F004BX_T = Sectors<7>({{3, 128 * KiB}, {1, 96 * KiB}, {2, 8 * KiB}, {1, 16 * KiB}});
constexpr auto k28F004BX_B = Sectors<7>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 96 * KiB}, {3, 128 * KiB}});
constexpr auto k28F400B3_T = Sectors<15>({{7, 64 * KiB}, {8, 8 * KiB}});
constexpr auto k28F400B3_B = Sectors<15>({{8, 8 * KiB}, {7, 64 * KiB}});
constexpr auto k28F008B3_T = Sectors<23>({{15, 64 * KiB}, {8, 8 * KiB}});
constexpr auto k28F008B3_B = Sectors<23>({{8, 8 * KiB}, {15, 64 * KiB}});
constexpr auto k28F800BV_T = Sectors<11>({{7, 128 * KiB}, {1, 96 * KiB}, {2, 8 * KiB}, {1, 16 * KiB}});
constexpr auto k28F800BV_B = Sectors<11>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 96 * KiB}, {7, 128 * KiB}});
constexpr auto k28F320J5 = Sectors<32>({{32, 128 * KiB}});
constexpr auto k28F640J5 = Sectors<64>({{64, 128 * KiB}});
constexpr auto k28F640P30T = Sectors<67>({{63, 128 * KiB}, {4, 32 * KiB}});
constexpr auto k28F640P30B = Sectors<67>({{4, 32 * KiB}, {63, 128 * KiB}});
constexpr auto k28F128J3 = Sectors<128>({{128, 128 * KiB}});
constexpr auto k28F128P30T = Sectors<131>({{127, 128 * KiB}, {4, 32 * KiB}});
constexpr auto k28F128P30B = Sectors<131>({{4, 32 * KiB}, {127, 128 * KiB}});
constexpr auto k28F256J3 = Sectors<256>({{256, 128 * KiB}});
constexpr auto k28F256P30T = Sectors<259>({{255, 128 * KiB}, {4, 32 * KiB}});
constexpr auto k28F256P30B = Sectors<259>({{4, 32 * KiB}, {255, 128 * KiB}});
constexpr auto k28F512P30 = Sectors<518>({{4, 32 * KiB}, {510, 128 * KiB}, {4, 32 * KiB}});
constexpr auto kS29PL032J = Sectors<78>({{8, 8 * KiB}, {62, 64 * KiB}, {8, 8 * KiB}});
constexpr auto kS29GL512N = Sectors<512>({{512, 128 * KiB}});
constexpr auto kM29W320DT = Sectors<67>({{63, 64 * KiB}, {1, 32 * KiB}, {2, 8 * KiB}, {1, 16 * KiB}});
constexpr auto kM29W320DB = Sectors<67>({{1, 16 * KiB}, {2, 8 * KiB}, {1, 32 * KiB}, {63, 64 * KiB}});
constexpr auto k39LF200A = Sectors<64>({{64, 4 * KiB}});
constexpr auto k39LF400A = Sectors<128>({{128, 4 * KiB}});
constexpr auto k39LF800A = Sectors<256>({{256, 4 * KiB}});
constexpr auto k39VF6401 = Sectors<2048>({{2048, 4 * KiB}});
constexpr auto kMAC7100 = Sectors<32>({{32, 1 * KiB}});
constexpr auto kLPC2000_128K = Sectors<15>({{14, 8 * KiB}, {1, 16 * KiB}});
constexpr auto kLPC2000_256K = Sectors<17>({{8, 8 * KiB}, {2, 64 * KiB}, {6, 8 * KiB}, {1, 16 * KiB}});
constexpr auto kLPC2101 = Sectors<2>({{2, 4 * KiB}});
constexpr auto kLPC2102 = Sectors<4>({{4, 4 * KiB}});
constexpr auto kLPC2103 = Sectors<8>({{8, 4 * KiB}});
constexpr auto kLPC2138_48 = Sectors<27>({{8, 4 * KiB}, {14, 32 * KiB}, {4, 4 * KiB}, {1, 16 * KiB}});
constexpr auto kSTA2051_256K = Sectors<8>({{4, 8 * KiB}, {1, 32 * KiB}, {3, 64 * KiB}});
constexpr auto kSTA2051_16K = Sectors<2>({{2, 8 * KiB}});
constexpr auto kSTR71xF = Sectors<6>({{4, 8 * KiB}, {1, 32 * KiB}, {1, 64 * KiB}});
constexpr auto kST30F774 = Sectors<12>({{4, 8 * KiB}, {1, 32 * KiB}, {7, 64 * KiB}});
constexpr auto kSTR91xF_32K = Sectors<4>({{4, 8 * KiB}});
constexpr auto kSTR91xF_256K_32K = Sectors<8>({{4, 64 * KiB}, {4, 8 * KiB}});
constexpr auto kSTR91xF_512K_32K = Sectors<12>({{8, 64 * KiB}, {4, 8 * KiB}});
constexpr auto kADuC7000 = Sectors<124>({{124, 512}});
constexpr auto kAT91SAM7S32 = Sectors<128>({{127, 128}, {1, 16512}});
constexpr auto kAT91SAM7S64 = Sectors<256>({{255, 128}, {1, 32896}});

// Fields: name, device width, size KiB, page size, program algorithm, erase
// algorithm, sector count, sector table.
constexpr SFlashDevice kRows[] = {
    {"NONE", 0, 0, 0, 0, 0, 0, nullptr},  // 0
    {"AMD  Am29LV001BT", 1, 128, 0, 2, 2, 10, kAm29LV001BT.data()},  // 1
    {"AMD  Am29LV001BB", 1, 128, 0, 2, 2, 10, kAm29LV001BB.data()},  // 2
    {"AMD  Am29F010", 1, 128, 0, 2, 2, 8, kAm29F010.data()},  // 3
    {"AMD  Am29LV010B", 1, 128, 0, 2, 2, 8, kAm29F010.data()},  // 4
    {"AMD  Am29F100T (128K x 8)", 1, 128, 0, 11, 11, 5, kAm29F100T.data()},  // 5
    {"AMD  Am29F100T (64K x 16)", 2, 128, 0, 12, 12, 5, kAm29F100T.data()},  // 6
    {"AMD  Am29F100B (128K x 8)", 1, 128, 0, 11, 11, 5, kAm29F100B.data()},  // 7
    {"AMD  Am29F100B (64K x 16)", 2, 128, 0, 12, 12, 5, kAm29F100B.data()},  // 8
    {"AMD  Am29F002T", 1, 256, 0, 2, 2, 7, kAm29F002T.data()},  // 9
    {"AMD  Am29F002B", 1, 256, 0, 2, 2, 7, kAm29F002B.data()},  // 10
    {"AMD  Am29LV002T", 1, 256, 0, 2, 2, 7, kAm29F002T.data()},  // 11
    {"AMD  Am29LV002B", 1, 256, 0, 2, 2, 7, kAm29F002B.data()},  // 12
    {"AMD  Am29LV020B", 1, 256, 0, 2, 2, 4, kAm29LV020B.data()},  // 13
    {"AMD  Am29LV102BT", 1, 256, 0, 2, 2, 7, kAm29F002T.data()},  // 14
    {"AMD  Am29LV102BB", 1, 256, 0, 2, 2, 7, kAm29F002B.data()},  // 15
    {"AMD  Am29F200T (256K x 8)", 1, 256, 0, 11, 11, 7, kAm29F002T.data()},  // 16
    {"AMD  Am29F200T (128K x 16)", 2, 256, 0, 12, 12, 7, kAm29F002T.data()},  // 17
    {"AMD  Am29F200B (256K x 8)", 1, 256, 0, 11, 11, 7, kAm29F002B.data()},  // 18
    {"AMD  Am29F200B (128K x 16)", 2, 256, 0, 12, 12, 7, kAm29F002B.data()},  // 19
    {"AMD  Am29LV200T (256K x 8)", 1, 256, 0, 11, 11, 7, kAm29F002T.data()},  // 20
    {"AMD  Am29LV200T (128K x 16)", 2, 256, 0, 12, 12, 7, kAm29F002T.data()},  // 21
    {"AMD  Am29LV200B (256K x 8)", 1, 256, 0, 11, 11, 7, kAm29F002B.data()},  // 22
    {"AMD  Am29LV200B (128K x 16)", 2, 256, 0, 12, 12, 7, kAm29F002B.data()},  // 23
    {"AMD  Am29LV004BT", 1, 512, 0, 2, 2, 11, kAm29LV004BT.data()},  // 24
    {"AMD  Am29LV004BB", 1, 512, 0, 2, 2, 11, kAm29LV004BB.data()},  // 25
    {"AMD  Am29F040", 1, 512, 0, 2, 2, 8, kAm29F040.data()},  // 26
    {"AMD  Am29LV040B", 1, 512, 0, 2, 2, 8, kAm29F040.data()},  // 27
    {"AMD  Am29LV104BT", 1, 512, 0, 2, 2, 11, kAm29LV004BT.data()},  // 28
    {"AMD  Am29LV104BB", 1, 512, 0, 2, 2, 11, kAm29LV004BB.data()},  // 29
    {"AMD  Am29F400T (512K x 8)", 1, 512, 0, 11, 11, 11, kAm29LV004BT.data()},  // 30
    {"AMD  Am29F400T (256K x 16)", 2, 512, 0, 12, 12, 11, kAm29LV004BT.data()},  // 31
    {"AMD  Am29F400B (512K x 8)", 1, 512, 0, 11, 11, 11, kAm29LV004BB.data()},  // 32
    {"AMD  Am29F400B (256K x 16)", 2, 512, 0, 12, 12, 11, kAm29LV004BB.data()},  // 33
    {"AMD  Am29LV400T (512K x 8)", 1, 512, 0, 11, 11, 11, kAm29LV004BT.data()},  // 34
    {"AMD  Am29LV400T (256K x 16)", 2, 512, 0, 12, 12, 11, kAm29LV004BT.data()},  // 35
    {"AMD  Am29LV400B (512K x 8)", 1, 512, 0, 11, 11, 11, kAm29LV004BB.data()},  // 36
    {"AMD  Am29LV400B (256K x 16)", 2, 512, 0, 12, 12, 11, kAm29LV004BB.data()},  // 37
    {"AMD  Am29DL400BT (512K x 8)", 1, 512, 0, 11, 11, 14, kAm29DL400BT.data()},  // 38
    {"AMD  Am29DL400BT (256K x 16)", 2, 512, 0, 12, 12, 14, kAm29DL400BT.data()},  // 39
    {"AMD  Am29DL400BB (512K x 8)", 1, 512, 0, 11, 11, 14, kAm29DL400BB.data()},  // 40
    {"AMD  Am29DL400BB (256K x 16)", 2, 512, 0, 12, 12, 14, kAm29DL400BB.data()},  // 41
    {"AMD  Am29LV008BT", 1, 1024, 0, 2, 2, 19, kAm29LV008BT.data()},  // 42
    {"AMD  Am29LV008BB", 1, 1024, 0, 2, 2, 19, kAm29LV008BB.data()},  // 43
    {"AMD  Am29F080", 1, 1024, 0, 2, 2, 16, kAm29F080.data()},  // 44
    {"AMD  Am29LV081", 1, 1024, 0, 2, 2, 16, kAm29F080.data()},  // 45
    {"AMD  Am29F800T (1024K x 8)", 1, 1024, 0, 11, 11, 19, kAm29LV008BT.data()},  // 46
    {"AMD  Am29F800T (512K x 16)", 2, 1024, 0, 12, 12, 19, kAm29LV008BT.data()},  // 47
    {"AMD  Am29F800B (1024K x 8)", 1, 1024, 0, 11, 11, 19, kAm29LV008BB.data()},  // 48
    {"AMD  Am29F800B (512K x 16)", 2, 1024, 0, 12, 12, 19, kAm29LV008BB.data()},  // 49
    {"AMD  Am29LV800BT (1024K x 8)", 1, 1024, 0, 11, 11, 19, kAm29LV008BT.data()},  // 50
    {"AMD  Am29LV800BT (512K x 16)", 2, 1024, 0, 12, 12, 19, kAm29LV008BT.data()},  // 51
    {"AMD  Am29LV800BB (1024K x 8)", 1, 1024, 0, 11, 11, 19, kAm29LV008BB.data()},  // 52
    {"AMD  Am29LV800BB (512K x 16)", 2, 1024, 0, 12, 12, 19, kAm29LV008BB.data()},  // 53
    {"AMD  Am29BL802CB (512K x 16)", 2, 1024, 0, 12, 12, 9, kAm29BL802CB.data()},  // 54
    {"AMD  Am29DL800BT (1024K x 8)", 1, 1024, 0, 11, 11, 22, kAm29DL800BT.data()},  // 55
    {"AMD  Am29DL800BT (512K x 16)", 2, 1024, 0, 12, 12, 22, kAm29DL800BT.data()},  // 56
    {"AMD  Am29DL800BB (1024K x 8)", 1, 1024, 0, 11, 11, 22, kAm29DL800BB.data()},  // 57
    {"AMD  Am29DL800BB (512K x 16)", 2, 1024, 0, 12, 12, 22, kAm29DL800BB.data()},  // 58
    {"AMD  Am29F016", 1, 2048, 0, 2, 2, 32, kAm29F016.data()},  // 59
    {"AMD  Am29F017B", 1, 2048, 0, 2, 2, 32, kAm29F016.data()},  // 60
    {"AMD  Am29F160DT (2M x 8)", 1, 2048, 0, 11, 11, 35, kAm29F160DT.data()},  // 61
    {"AMD  Am29F160DT (1M x 16)", 2, 2048, 0, 12, 12, 35, kAm29F160DT.data()},  // 62
    {"AMD  Am29F160DB (2M x 8)", 1, 2048, 0, 11, 11, 35, kAm29F160DB.data()},  // 63
    {"AMD  Am29F160DB (1M x 16)", 2, 2048, 0, 12, 12, 35, kAm29F160DB.data()},  // 64
    {"AMD  Am29LV017B", 1, 2048, 0, 2, 2, 32, kAm29F016.data()},  // 65
    {"AMD  Am29LV017M", 1, 2048, 0, 31, 31, 32, kAm29F016.data()},  // 66
    {"AMD  Am29LV116BT", 1, 2048, 0, 2, 2, 35, kAm29F160DT.data()},  // 67
    {"AMD  Am29LV116BB", 1, 2048, 0, 2, 2, 35, kAm29F160DB.data()},  // 68
    {"AMD  Am29LV116MT", 1, 2048, 0, 31, 31, 35, kAm29F160DT.data()},  // 69
    {"AMD  Am29LV116MB", 1, 2048, 0, 31, 31, 35, kAm29F160DB.data()},  // 70
    {"AMD  Am29LV160BT (2M x 8)", 1, 2048, 0, 11, 11, 35, kAm29F160DT.data()},  // 71
    {"AMD  Am29LV160BT (1M x 16)", 2, 2048, 0, 12, 12, 35, kAm29F160DT.data()},  // 72
    {"AMD  Am29LV160BB (2M x 8)", 1, 2048, 0, 11, 11, 35, kAm29F160DB.data()},  // 73
    {"AMD  Am29LV160BB (1M x 16)", 2, 2048, 0, 12, 12, 35, kAm29F160DB.data()},  // 74
    {"AMD  Am29LV160MT (2M x 8)", 1, 2048, 0, 32, 32, 35, kAm29F160DT.data()},  // 75
    {"AMD  Am29LV160MT (1M x 16)", 2, 2048, 0, 33, 33, 35, kAm29F160DT.data()},  // 76
    {"AMD  Am29LV160MB (2M x 8)", 1, 2048, 0, 32, 32, 35, kAm29F160DB.data()},  // 77
    {"AMD  Am29LV160MB (1M x 16)", 2, 2048, 0, 33, 33, 35, kAm29F160DB.data()},  // 78
    {"AMD  Am29BL162CB (1M x 16)", 2, 2048, 0, 12, 12, 11, kAm29BL162CB.data()},  // 79
    {"AMD  Am29DL16xCT (2M x 8)", 1, 2048, 0, 11, 11, 39, kAm29DL16xCT.data()},  // 80
    {"AMD  Am29DL16xCT (1M x 16)", 2, 2048, 0, 12, 12, 39, kAm29DL16xCT.data()},  // 81
    {"AMD  Am29DL16xCB (2M x 8)", 1, 2048, 0, 11, 11, 39, kAm29DL16xCB.data()},  // 82
    {"AMD  Am29DL16xCB (1M x 16)", 2, 2048, 0, 12, 12, 39, kAm29DL16xCB.data()},  // 83
    {"AMD  Am29PL160CB (2M x 8)", 1, 2048, 0, 11, 11, 11, kAm29BL162CB.data()},  // 84
    {"AMD  Am29PL160CB (1M x 16)", 2, 2048, 0, 12, 12, 11, kAm29BL162CB.data()},  // 85
    {"AMD  Am29F032", 1, 4096, 0, 2, 2, 64, kAm29F032.data()},  // 86
    {"AMD  Am29LV033C", 1, 4096, 0, 2, 2, 64, kAm29F032.data()},  // 87
    {"AMD  Am29LV033M", 1, 4096, 0, 31, 31, 64, kAm29F032.data()},  // 88
    {"AMD  Am29LV320DT (4M x 8)", 1, 4096, 0, 11, 11, 71, kAm29LV320DT.data()},  // 89
    {"AMD  Am29LV320DT (2M x 16)", 2, 4096, 0, 12, 12, 71, kAm29LV320DT.data()},  // 90
    {"AMD  Am29LV320DB (4M x 8)", 1, 4096, 0, 11, 11, 71, kAm29LV320DB.data()},  // 91
    {"AMD  Am29LV320DB (2M x 16)", 2, 4096, 0, 12, 12, 71, kAm29LV320DB.data()},  // 92
    {"AMD  Am29LV320MH/L (4M x 8)", 1, 4096, 0, 32, 32, 64, kAm29F032.data()},  // 93
    {"AMD  Am29LV320MH/L (2M x 16)", 2, 4096, 0, 33, 33, 64, kAm29F032.data()},  // 94
    {"AMD  Am29LV320MT (4M x 8)", 1, 4096, 0, 32, 32, 71, kAm29LV320DT.data()},  // 95
    {"AMD  Am29LV320MT (2M x 16)", 2, 4096, 0, 33, 33, 71, kAm29LV320DT.data()},  // 96
    {"AMD  Am29LV320MB (4M x 8)", 1, 4096, 0, 32, 32, 71, kAm29LV320DB.data()},  // 97
    {"AMD  Am29LV320MB (2M x 16)", 2, 4096, 0, 33, 33, 71, kAm29LV320DB.data()},  // 98
    {"AMD  Am29DL32xCT (4M x 8)", 1, 4096, 0, 11, 11, 71, kAm29LV320DT.data()},  // 99
    {"AMD  Am29DL32xCT (2M x 16)", 2, 4096, 0, 12, 12, 71, kAm29LV320DT.data()},  // 100
    {"AMD  Am29DL32xCB (4M x 8)", 1, 4096, 0, 11, 11, 71, kAm29LV320DB.data()},  // 101
    {"AMD  Am29DL32xCB (2M x 16)", 2, 4096, 0, 12, 12, 71, kAm29LV320DB.data()},  // 102
    {"AMD  Am29PL320DT (2M x 16)", 2, 4096, 0, 35, 35, 19, kAm29PL320DT.data()},  // 103
    {"AMD  Am29PL320DT (1M x 32)", 4, 4096, 0, 36, 36, 19, kAm29PL320DT.data()},  // 104
    {"AMD  Am29PL320DB (2M x 16)", 2, 4096, 0, 35, 35, 19, kAm29PL320DB.data()},  // 105
    {"AMD  Am29PL320DB (1M x 32)", 4, 4096, 0, 36, 36, 19, kAm29PL320DB.data()},  // 106
    {"AMD  Am29DL640D (8M x 8)", 1, 8192, 0, 11, 11, 142, kAm29DL640D.data()},  // 107
    {"AMD  Am29DL640D (4M x 16)", 2, 8192, 0, 12, 12, 142, kAm29DL640D.data()},  // 108
    {"AMD  Am29LV065D", 1, 8192, 0, 2, 2, 128, kAm29LV065D.data()},  // 109
    {"AMD  Am29LV065M", 1, 8192, 0, 31, 31, 128, kAm29LV065D.data()},  // 110
    {"AMD  Am29LV640D", 2, 8192, 0, 12, 12, 128, kAm29LV065D.data()},  // 111
    {"AMD  Am29LV640MU", 2, 8192, 0, 33, 33, 128, kAm29LV065D.data()},  // 112
    {"AMD  Am29LV640MH/L (8M x 8)", 1, 8192, 0, 32, 32, 128, kAm29LV065D.data()},  // 113
    {"AMD  Am29LV640MH/L (4M x 16)", 2, 8192, 0, 33, 33, 128, kAm29LV065D.data()},  // 114
    {"AMD  Am29LV640MT (8M x 8)", 1, 8192, 0, 32, 32, 135, kAm29LV640MT.data()},  // 115
    {"AMD  Am29LV640MT (4M x 16)", 2, 8192, 0, 33, 33, 135, kAm29LV640MT.data()},  // 116
    {"AMD  Am29LV640MB (8M x 8)", 1, 8192, 0, 32, 32, 135, kAm29LV640MB.data()},  // 117
    {"AMD  Am29LV640MB (4M x 16)", 2, 8192, 0, 33, 33, 135, kAm29LV640MB.data()},  // 118
    {"AMD  Am29LV641D", 2, 8192, 0, 12, 12, 128, kAm29LV065D.data()},  // 119
    {"AMD  Am29LV641MH/L", 2, 8192, 0, 33, 33, 128, kAm29LV065D.data()},  // 120
    {"AMD  Am29LV128MH/L (16M x 8)", 1, 16384, 0, 32, 32, 256, kAm29LV128MH_L.data()},  // 121
    {"AMD  Am29LV128MH/L (8M x 16)", 2, 16384, 0, 33, 33, 256, kAm29LV128MH_L.data()},  // 122
    {"AMD  Am29PDL128G (8M x 16)", 2, 16384, 0, 35, 35, 270, kAm29PDL128G.data()},  // 123
    {"AMD  Am29PDL128G (4M x 32)", 4, 16384, 0, 36, 36, 270, kAm29PDL128G.data()},  // 124
    {"AMD  Am29LV256MH/L (32M x 8)", 1, 32768, 0, 32, 32, 512, kAm29LV256MH_L.data()},  // 125
    {"AMD  Am29LV256MH/L (16M x 16)", 2, 32768, 0, 33, 33, 512, kAm29LV256MH_L.data()},  // 126
    {"Atmel  AT29C1024", 2, 128, 256, 28, 0, 1, kAT29C1024.data()},  // 127
    {"Atmel  AT29LV1024", 2, 128, 256, 28, 0, 1, kAT29C1024.data()},  // 128
    {"Atmel  AT29C020", 1, 256, 256, 27, 0, 1, kAT29C020.data()},  // 129
    {"Atmel  AT29LV020", 1, 256, 256, 27, 0, 1, kAT29C020.data()},  // 130
    {"Atmel  AT29C040A", 1, 512, 256, 27, 0, 1, kAT29C040A.data()},  // 131
    {"Atmel  AT29LV040A", 1, 512, 256, 27, 0, 1, kAT29C040A.data()},  // 132
    {"Atmel  AT49x040 (512K x 8)", 1, 512, 0, 22, 22, 1, kAT29C040A.data()},  // 133
    {"Atmel  AT49x040T (512K x 8)", 1, 512, 0, 22, 22, 1, kAT29C040A.data()},  // 134
    {"Atmel  AT49x4096A (512K x 8)", 1, 512, 0, 23, 23, 4, kAT49x4096A.data()},  // 135
    {"Atmel  AT49x4096A (256K x 16)", 2, 512, 0, 24, 24, 4, kAT49x4096A.data()},  // 136
    {"Atmel  AT49x008A (1M x 8)", 1, 1024, 0, 23, 23, 4, kAT49x008A.data()},  // 137
    {"Atmel  AT49x008AT (1M x 8)", 1, 1024, 0, 23, 23, 4, kAT49x008AT.data()},  // 138
    {"Atmel  AT49F080 (1M x 8)", 1, 1024, 0, 22, 22, 1, kAT49F080.data()},  // 139
    {"Atmel  AT49F080T (1M x 8)", 1, 1024, 0, 22, 22, 1, kAT49F080.data()},  // 140
    {"Atmel  AT49x8011 (1M x 8)", 1, 1024, 0, 23, 23, 22, kAm29DL800BB.data()},  // 141
    {"Atmel  AT49x8011 (512K x 16)", 2, 1024, 0, 24, 24, 22, kAm29DL800BB.data()},  // 142
    {"Atmel  AT49x8011T (1M x 8)", 1, 1024, 0, 23, 23, 22, kAm29DL800BT.data()},  // 143
    {"Atmel  AT49x8011T (512K x 16)", 2, 1024, 0, 24, 24, 22, kAm29DL800BT.data()},  // 144
    {"Atmel  AT49x8192A (1M x 8)", 1, 1024, 0, 23, 23, 4, kAT49x008A.data()},  // 145
    {"Atmel  AT49x8192A (512K x 16)", 2, 1024, 0, 24, 24, 4, kAT49x008A.data()},  // 146
    {"Atmel  AT49x8192AT (1M x 8)", 1, 1024, 0, 23, 23, 4, kAT49x008AT.data()},  // 147
    {"Atmel  AT49x8192AT (512K x 16)", 2, 1024, 0, 24, 24, 4, kAT49x008AT.data()},  // 148
    {"Atmel  AT49BV160 (1M x 16)", 2, 2048, 0, 12, 12, 39, kAm29DL16xCB.data()},  // 149
    {"Atmel  AT49BV160T (1M x 16)", 2, 2048, 0, 12, 12, 39, kAm29DL16xCT.data()},  // 150
    {"Atmel  AT49BV161 (2M x 8)", 1, 2048, 0, 11, 11, 39, kAm29DL16xCB.data()},  // 151
    {"Atmel  AT49BV161 (1M x 16)", 2, 2048, 0, 12, 12, 39, kAm29DL16xCB.data()},  // 152
    {"Atmel  AT49BV161T (2M x 8)", 1, 2048, 0, 11, 11, 39, kAm29DL16xCT.data()},  // 153
    {"Atmel  AT49BV161T (1M x 16)", 2, 2048, 0, 12, 12, 39, kAm29DL16xCT.data()},  // 154
    {"Atmel  AT49BV1604 (1M x 16)", 2, 2048, 0, 24, 24, 40, kAT49BV1604.data()},  // 155
    {"Atmel  AT49BV1604T (1M x 16)", 2, 2048, 0, 24, 24, 40, kAT49BV1604T.data()},  // 156
    {"Atmel  AT49BV1614 (2M x 8)", 1, 2048, 0, 23, 23, 40, kAT49BV1604.data()},  // 157
    {"Atmel  AT49BV1614 (1M x 16)", 2, 2048, 0, 24, 24, 40, kAT49BV1604.data()},  // 158
    {"Atmel  AT49BV1614T (2M x 8)", 1, 2048, 0, 23, 23, 40, kAT49BV1604T.data()},  // 159
    {"Atmel  AT49BV1614T (1M x 16)", 2, 2048, 0, 24, 24, 40, kAT49BV1604T.data()},  // 160
    {"Atmel  AT49BV320 (2M x 16)", 2, 4096, 0, 12, 12, 71, kAm29LV320DB.data()},  // 161
    {"Atmel  AT49BV320T (2M x 16)", 2, 4096, 0, 12, 12, 71, kAm29LV320DT.data()},  // 162
    {"Atmel  AT49BV321 (4M x 8)", 1, 4096, 0, 11, 11, 71, kAm29LV320DB.data()},  // 163
    {"Atmel  AT49BV321 (2M x 16)", 2, 4096, 0, 12, 12, 71, kAm29LV320DB.data()},  // 164
    {"Atmel  AT49BV321T (4M x 8)", 1, 4096, 0, 11, 11, 71, kAm29LV320DT.data()},  // 165
    {"Atmel  AT49BV321T (2M x 16)", 2, 4096, 0, 12, 12, 71, kAm29LV320DT.data()},  // 166
    {"Atmel  AT49BV6416 (4M x 16)", 2, 8192, 0, 12, 12, 135, kAm29LV640MB.data()},  // 167
    {"Atmel  AT49BV6416T (4M x 16)", 2, 8192, 0, 12, 12, 135, kAm29LV640MT.data()},  // 168
    {"Intel  28F001BX-T", 1, 128, 0, 5, 5, 4, k28F001BX_T.data()},  // 169
    {"Intel  28F001BX-B", 1, 128, 0, 5, 5, 4, k28F001BX_B.data()},  // 170
    {"Intel  28F002BX-T", 1, 256, 0, 5, 5, 5, k28F002BX_T.data()},  // 171
    {"Intel  28F002BX-B", 1, 256, 0, 5, 5, 5, k28F002BX_B.data()},  // 172
    {"Intel  28F002BV-T", 1, 256, 0, 5, 5, 5, k28F002BX_T.data()},  // 173
    {"Intel  28F002BV-B", 1, 256, 0, 5, 5, 5, k28F002BX_B.data()},  // 174
    {"Intel  28F002BX-TL", 1, 256, 0, 5, 5, 5, k28F002BX_T.data()},  // 175
    {"Intel  28F002BX-BL", 1, 256, 0, 5, 5, 5, k28F002BX_B.data()},  // 176
    {"Intel  28F002BC-T", 1, 256, 0, 5, 5, 5, k28F002BX_T.data()},  // 177
    {"Intel  28F002BC-B", 1, 256, 0, 5, 5, 5, k28F002BX_B.data()},  // 178
    {"Intel  28F200BX-T (256K x 8)", 1, 256, 0, 5, 5, 5, k28F002BX_T.data()},  // 179
    {"Intel  28F200BX-T (128K x 16)", 2, 256, 0, 6, 6, 5, k28F002BX_T.data()},  // 180
    {"Intel  28F200BX-B (256K x 8)", 1, 256, 0, 5, 5, 5, k28F002BX_B.data()},  // 181
    {"Intel  28F200BX-B (128K x 16)", 2, 256, 0, 6, 6, 5, k28F002BX_B.data()},  // 182
    {"Intel  28F200BV-T (256K x 8)", 1, 256, 0, 5, 5, 5, k28F002BX_T.data()},  // 183
    {"Intel  28F200BV-T (128K x 16)", 2, 256, 0, 6, 6, 5, k28F002BX_T.data()},  // 184
    {"Intel  28F200BV-B (256K x 8)", 1, 256, 0, 5, 5, 5, k28F002BX_B.data()},  // 185
    {"Intel  28F200BV-B (128K x 16)", 2, 256, 0, 6, 6, 5, k28F002BX_B.data()},  // 186
    {"Intel  28F200BX-TL (256K x 8)", 1, 256, 0, 5, 5, 5, k28F002BX_T.data()},  // 187
    {"Intel  28F200BX-TL (128K x 16)", 2, 256, 0, 6, 6, 5, k28F002BX_T.data()},  // 188
    {"Intel  28F200BX-BL (256K x 8)", 1, 256, 0, 5, 5, 5, k28F002BX_B.data()},  // 189
    {"Intel  28F200BX-BL (128K x 16)", 2, 256, 0, 6, 6, 5, k28F002BX_B.data()},  // 190
    {"Intel  28F200B5-T (256K x 8)", 1, 256, 0, 5, 5, 5, k28F002BX_T.data()},  // 191
    {"Intel  28F200B5-T (128K x 16)", 2, 256, 0, 6, 6, 5, k28F002BX_T.data()},  // 192
    {"Intel  28F200B5-B (256K x 8)", 1, 256, 0, 5, 5, 5, k28F002BX_B.data()},  // 193
    {"Intel  28F200B5-B (128K x 16)", 2, 256, 0, 6, 6, 5, k28F002BX_B.data()},  // 194
    {"Intel  28F004BX-T", 1, 512, 0, 5, 5, 7, k28F004BX_T.data()},  // 195
    {"Intel  28F004BX-B", 1, 512, 0, 5, 5, 7, k28F004BX_B.data()},  // 196
    {"Intel  28F004BV-T", 1, 512, 0, 5, 5, 7, k28F004BX_T.data()},  // 197
    {"Intel  28F004BV-B", 1, 512, 0, 5, 5, 7, k28F004BX_B.data()},  // 198
    {"Intel  28F004B5-T", 1, 512, 0, 5, 5, 7, k28F004BX_T.data()},  // 199
    {"Intel  28F004B5-B", 1, 512, 0, 5, 5, 7, k28F004BX_B.data()},  // 200
    {"Intel  28F004S3", 1, 512, 0, 5, 5, 8, kAm29F040.data()},  // 201
    {"Intel  28F004S5", 1, 512, 0, 5, 5, 8, kAm29F040.data()},  // 202
    {"Intel  28F400BX-T (512K x 8)", 1, 512, 0, 5, 5, 7, k28F004BX_T.data()},  // 203
    {"Intel  28F400BX-T (256K x 16)", 2, 512, 0, 6, 6, 7, k28F004BX_T.data()},  // 204
    {"Intel  28F400BX-B (512K x 8)", 1, 512, 0, 5, 5, 7, k28F004BX_B.data()},  // 205
    {"Intel  28F400BX-B (256K x 16)", 2, 512, 0, 6, 6, 7, k28F004BX_B.data()},  // 206
    {"Intel  28F400BV-T (512K x 8)", 1, 512, 0, 5, 5, 7, k28F004BX_T.data()},  // 207
    {"Intel  28F400BV-T (256K x 16)", 2, 512, 0, 6, 6, 7, k28F004BX_T.data()},  // 208
    {"Intel  28F400BV-B (512K x 8)", 1, 512, 0, 5, 5, 7, k28F004BX_B.data()},  // 209
    {"Intel  28F400BV-B (256K x 16)", 2, 512, 0, 6, 6, 7, k28F004BX_B.data()},  // 210
    {"Intel  28F400B5-T (512K x 8)", 1, 512, 0, 5, 5, 7, k28F004BX_T.data()},  // 211
    {"Intel  28F400B5-T (256K x 16)", 2, 512, 0, 6, 6, 7, k28F004BX_T.data()},  // 212
    {"Intel  28F400B5-B (512K x 8)", 1, 512, 0, 5, 5, 7, k28F004BX_B.data()},  // 213
    {"Intel  28F400B5-B (256K x 16)", 2, 512, 0, 6, 6, 7, k28F004BX_B.data()},  // 214
    {"Intel  28F400B3-T", 2, 512, 0, 6, 6, 15, k28F400B3_T.data()},  // 215
    {"Intel  28F400B3-B", 2, 512, 0, 6, 6, 15, k28F400B3_B.data()},  // 216
    {"Intel  28F008B3-T", 1, 1024, 0, 5, 5, 23, k28F008B3_T.data()},  // 217
    {"Intel  28F008B3-B", 1, 1024, 0, 5, 5, 23, k28F008B3_B.data()},  // 218
    {"Intel  28F008SA", 1, 1024, 0, 5, 5, 16, kAm29F080.data()},  // 219
    {"Intel  28F008S3", 1, 1024, 0, 5, 5, 16, kAm29F080.data()},  // 220
    {"Intel  28F008S5", 1, 1024, 0, 5, 5, 16, kAm29F080.data()},  // 221
    {"Intel  28F800BV-T (1024K x 8)", 1, 1024, 0, 5, 5, 11, k28F800BV_T.data()},  // 222
    {"Intel  28F800BV-T (512K x 16)", 2, 1024, 0, 6, 6, 11, k28F800BV_T.data()},  // 223
    {"Intel  28F800BV-B (1024K x 8)", 1, 1024, 0, 5, 5, 11, k28F800BV_B.data()},  // 224
    {"Intel  28F800BV-B (512K x 16)", 2, 1024, 0, 6, 6, 11, k28F800BV_B.data()},  // 225
    {"Intel  28F800B5-T (1024K x 8)", 1, 1024, 0, 5, 5, 11, k28F800BV_T.data()},  // 226
    {"Intel  28F800B5-T (512K x 16)", 2, 1024, 0, 6, 6, 11, k28F800BV_T.data()},  // 227
    {"Intel  28F800B5-B (1024K x 8)", 1, 1024, 0, 5, 5, 11, k28F800BV_B.data()},  // 228
    {"Intel  28F800B5-B (512K x 16)", 2, 1024, 0, 6, 6, 11, k28F800BV_B.data()},  // 229
    {"Intel  28F800B3-T", 2, 1024, 0, 6, 6, 23, k28F008B3_T.data()},  // 230
    {"Intel  28F800B3-B", 2, 1024, 0, 6, 6, 23, k28F008B3_B.data()},  // 231
    {"Intel  28F800C3-T", 2, 1024, 0, 6, 6, 23, k28F008B3_T.data()},  // 232
    {"Intel  28F800C3-B", 2, 1024, 0, 6, 6, 23, k28F008B3_B.data()},  // 233
    {"Intel  28F800F3-T", 2, 1024, 0, 6, 6, 23, k28F008B3_T.data()},  // 234
    {"Intel  28F800F3-B", 2, 1024, 0, 6, 6, 23, k28F008B3_B.data()},  // 235
    {"Intel  28F016B3-T", 1, 2048, 0, 5, 5, 39, kAm29DL16xCT.data()},  // 236
    {"Intel  28F016B3-B", 1, 2048, 0, 5, 5, 39, kAm29DL16xCB.data()},  // 237
    {"Intel  28F016SA (2M x 8)", 1, 2048, 0, 5, 5, 32, kAm29F016.data()},  // 238
    {"Intel  28F016SA (1M x 16)", 2, 2048, 0, 6, 6, 32, kAm29F016.data()},  // 239
    {"Intel  28F016SV (2M x 8)", 1, 2048, 0, 5, 5, 32, kAm29F016.data()},  // 240
    {"Intel  28F016SV (1M x 16)", 2, 2048, 0, 6, 6, 32, kAm29F016.data()},  // 241
    {"Intel  28F016S3", 1, 2048, 0, 5, 5, 32, kAm29F016.data()},  // 242
    {"Intel  28F016S5", 1, 2048, 0, 5, 5, 32, kAm29F016.data()},  // 243
    {"Intel  28F160B3-T", 2, 2048, 0, 6, 6, 39, kAm29DL16xCT.data()},  // 244
    {"Intel  28F160B3-B", 2, 2048, 0, 6, 6, 39, kAm29DL16xCB.data()},  // 245
    {"Intel  28F160C3-T", 2, 2048, 0, 6, 6, 39, kAm29DL16xCT.data()},  // 246
    {"Intel  28F160C3-B", 2, 2048, 0, 6, 6, 39, kAm29DL16xCB.data()},  // 247
    {"Intel  28F160F3-T", 2, 2048, 0, 6, 6, 39, kAm29DL16xCT.data()},  // 248
    {"Intel  28F160F3-B", 2, 2048, 0, 6, 6, 39, kAm29DL16xCB.data()},  // 249
    {"Intel  28F160S3 (2M x 8)", 1, 2048, 0, 5, 5, 32, kAm29F016.data()},  // 250
    {"Intel  28F160S3 (1M x 16)", 2, 2048, 0, 6, 6, 32, kAm29F016.data()},  // 251
    {"Intel  28F160S5 (2M x 8)", 1, 2048, 0, 5, 5, 32, kAm29F016.data()},  // 252
    {"Intel  28F160S5 (1M x 16)", 2, 2048, 0, 6, 6, 32, kAm29F016.data()},  // 253
    {"Intel  28F032B3-T", 1, 4096, 0, 5, 5, 71, kAm29LV320DT.data()},  // 254
    {"Intel  28F032B3-B", 1, 4096, 0, 5, 5, 71, kAm29LV320DB.data()},  // 255
    {"Intel  28F032SA (4M x 8)", 1, 4096, 0, 5, 5, 64, kAm29F032.data()},  // 256
    {"Intel  28F032SA (2M x 16)", 2, 4096, 0, 6, 6, 64, kAm29F032.data()},  // 257
    {"Intel  28F320B3-T", 2, 4096, 0, 6, 6, 71, kAm29LV320DT.data()},  // 258
    {"Intel  28F320B3-B", 2, 4096, 0, 6, 6, 71, kAm29LV320DB.data()},  // 259
    {"Intel  28F320C3-T", 2, 4096, 0, 6, 6, 71, kAm29LV320DT.data()},  // 260
    {"Intel  28F320C3-B", 2, 4096, 0, 6, 6, 71, kAm29LV320DB.data()},  // 261
    {"Intel  28F320S3 (4M x 8)", 1, 4096, 0, 5, 5, 64, kAm29F032.data()},  // 262
    {"Intel  28F320S3 (2M x 16)", 2, 4096, 0, 6, 6, 64, kAm29F032.data()},  // 263
    {"Intel  28F320S5 (4M x 8)", 1, 4096, 0, 5, 5, 64, kAm29F032.data()},  // 264
    {"Intel  28F320S5 (2M x 16)", 2, 4096, 0, 6, 6, 64, kAm29F032.data()},  // 265
    {"Intel  28F320J5 (4M x 8)", 1, 4096, 0, 29, 29, 32, k28F320J5.data()},  // 266
    {"Intel  28F320J5 (2M x 16)", 2, 4096, 0, 30, 30, 32, k28F320J5.data()},  // 267
    {"Intel  28F320J3 (4M x 8)", 1, 4096, 0, 29, 29, 32, k28F320J5.data()},  // 268
    {"Intel  28F320J3 (2M x 16)", 2, 4096, 0, 30, 30, 32, k28F320J5.data()},  // 269
    {"Intel  28F640C3-T", 2, 8192, 0, 6, 6, 135, kAm29LV640MT.data()},  // 270
    {"Intel  28F640C3-B", 2, 8192, 0, 6, 6, 135, kAm29LV640MB.data()},  // 271
    {"Intel  28F640J5 (8M x 8)", 1, 8192, 0, 29, 29, 64, k28F640J5.data()},  // 272
    {"Intel  28F640J5 (4M x 16)", 2, 8192, 0, 30, 30, 64, k28F640J5.data()},  // 273
    {"Intel  28F640J3 (8M x 8)", 1, 8192, 0, 29, 29, 64, k28F640J5.data()},  // 274
    {"Intel  28F640J3 (4M x 16)", 2, 8192, 0, 30, 30, 64, k28F640J5.data()},  // 275
    {"Intel  28F640K3 (4M x 16)", 2, 8192, 0, 30, 30, 64, k28F640J5.data()},  // 276
    {"Intel  28F640P30T (4M x 16)", 2, 8192, 0, 30, 30, 67, k28F640P30T.data()},  // 277
    {"Intel  28F640P30B (4M x 16)", 2, 8192, 0, 30, 30, 67, k28F640P30B.data()},  // 278
    {"Intel  28F128J3 (16M x 8)", 1, 16384, 0, 29, 29, 128, k28F128J3.data()},  // 279
    {"Intel  28F128J3 (8M x 16)", 2, 16384, 0, 30, 30, 128, k28F128J3.data()},  // 280
    {"Intel  28F128K3 (8M x 16)", 2, 16384, 0, 30, 30, 128, k28F128J3.data()},  // 281
    {"Intel  28F128P30T (8M x 16)", 2, 16384, 0, 30, 30, 131, k28F128P30T.data()},  // 282
    {"Intel  28F128P30B (8M x 16)", 2, 16384, 0, 30, 30, 131, k28F128P30B.data()},  // 283
    {"Intel  28F256J3 (32M x 8)", 1, 32768, 0, 29, 29, 256, k28F256J3.data()},  // 284
    {"Intel  28F256J3 (16M x 16)", 2, 32768, 0, 30, 30, 256, k28F256J3.data()},  // 285
    {"Intel  28F256K3 (16M x 16)", 2, 32768, 0, 30, 30, 256, k28F256J3.data()},  // 286
    {"Intel  28F256P30T (16M x 16)", 2, 32768, 0, 30, 30, 259, k28F256P30T.data()},  // 287
    {"Intel  28F256P30B (16M x 16)", 2, 32768, 0, 30, 30, 259, k28F256P30B.data()},  // 288
    {"Intel  28F512P30 (32M x 16)", 2, 65536, 0, 30, 30, 518, k28F512P30.data()},  // 289
    {"Sharp  28F320BF-T", 2, 4096, 0, 6, 6, 71, kAm29LV320DT.data()},  // 290
    {"Sharp  28F320BF-B", 2, 4096, 0, 30, 30, 71, kAm29LV320DB.data()},  // 291
    {"Sharp  28F640BF-T", 2, 8192, 0, 30, 30, 135, kAm29LV640MT.data()},  // 292
    {"Sharp  28F640BF-B", 2, 8192, 0, 30, 30, 135, kAm29LV640MB.data()},  // 293
    {"Spansion  S29PL032J", 2, 4096, 0, 12, 12, 78, kS29PL032J.data()},  // 294
    {"Spansion  S29PL064J", 2, 8192, 0, 12, 12, 142, kAm29DL640D.data()},  // 295
    {"Spansion  S29WS064J", 2, 8192, 0, 12, 12, 142, kAm29DL640D.data()},  // 296
    {"Spansion  S29GL128N (16M x 8)", 1, 16384, 0, 32, 32, 128, k28F128J3.data()},  // 297
    {"Spansion  S29GL128N (8M x 16)", 2, 16384, 0, 33, 33, 128, k28F128J3.data()},  // 298
    {"Spansion  S29PL127J", 2, 16384, 0, 12, 12, 270, kAm29PDL128G.data()},  // 299
    {"Spansion  S29PL129J", 2, 16384, 0, 12, 12, 270, kAm29PDL128G.data()},  // 300
    {"Spansion  S29WS128J", 2, 16384, 0, 12, 12, 270, kAm29PDL128G.data()},  // 301
    {"Spansion  S29GL256N (32M x 8)", 1, 32768, 0, 32, 32, 256, k28F256J3.data()},  // 302
    {"Spansion  S29GL256N (16M x 16)", 2, 32768, 0, 33, 33, 256, k28F256J3.data()},  // 303
    {"Spansion  S29GL512N (64M x 8)", 1, 65536, 0, 32, 32, 512, kS29GL512N.data()},  // 304
    {"Spansion  S29GL512N (32M x 16)", 2, 65536, 0, 33, 33, 512, kS29GL512N.data()},  // 305
    {"ST  M29W320DT (4M x 8)", 1, 4096, 0, 11, 11, 67, kM29W320DT.data()},  // 306
    {"ST  M29W320DT (2M x 16)", 2, 4096, 0, 12, 12, 67, kM29W320DT.data()},  // 307
    {"ST  M29W320DB (4M x 8)", 1, 4096, 0, 11, 11, 67, kM29W320DB.data()},  // 308
    {"ST  M29W320DB (2M x 16)", 2, 4096, 0, 12, 12, 67, kM29W320DB.data()},  // 309
    {"SST 39LF200A (128K x 16)", 2, 256, 0, 24, 24, 64, k39LF200A.data()},  // 310
    {"SST 39VF200A (128K x 16)", 2, 256, 0, 24, 24, 64, k39LF200A.data()},  // 311
    {"SST 39LF400A (256K x 16)", 2, 512, 0, 24, 24, 128, k39LF400A.data()},  // 312
    {"SST 39VF400A (256K x 16)", 2, 512, 0, 24, 24, 128, k39LF400A.data()},  // 313
    {"SST 39LF800A (512K x 16)", 2, 1024, 0, 24, 24, 256, k39LF800A.data()},  // 314
    {"SST 39VF800A (512K x 16)", 2, 1024, 0, 24, 24, 256, k39LF800A.data()},  // 315
    {"SST 39VF1601 (1M x 16)", 2, 2048, 0, 24, 24, 512, k39VF6401.data()},  // 316
    {"SST 39VF1602 (1M x 16)", 2, 2048, 0, 24, 24, 512, k39VF6401.data()},  // 317
    {"SST 39VF3201 (2M x 16)", 2, 4096, 0, 24, 24, 1024, k39VF6401.data()},  // 318
    {"SST 39VF3202 (2M x 16)", 2, 4096, 0, 24, 24, 1024, k39VF6401.data()},  // 319
    {"SST 39VF6401 (4M x 16)", 2, 8192, 0, 24, 24, 2048, k39VF6401.data()},  // 320
    {"SST 39VF6402 (4M x 16)", 2, 8192, 0, 24, 24, 2048, k39VF6401.data()},  // 321
    {"SST 39VF6401B (4M x 16)", 2, 8192, 0, 24, 24, 128, kAm29LV065D.data()},  // 322
    {"SST 39VF6402B (4M x 16)", 2, 8192, 0, 24, 24, 128, kAm29LV065D.data()},  // 323
    {"MAC71x6 Program Flash (1M)", 4, 1024, 0, 40, 40, 256, k39LF800A.data()},  // 324
    {"MAC7111 Program Flash (512K)", 4, 512, 0, 40, 40, 128, k39LF400A.data()},  // 325
    {"MAC7112 Program Flash (256K)", 4, 256, 0, 40, 40, 64, k39LF200A.data()},  // 326
    {"MAC7100 Data Flash (32K)", 2, 32, 0, 41, 41, 32, kMAC7100.data()},  // 327
    {"LPC2000 Flash (128K)", 1, 128, 0, 42, 42, 15, kLPC2000_128K.data()},  // 328
    {"LPC2000 Flash (256K)", 1, 256, 0, 42, 42, 17, kLPC2000_256K.data()},  // 329
    {"LPC2101 Flash (8K)", 1, 8, 0, 42, 42, 2, kLPC2101.data()},  // 330
    {"LPC2102 Flash (16K)", 1, 16, 0, 42, 42, 4, kLPC2102.data()},  // 331
    {"LPC2103 Flash (32K)", 1, 32, 0, 42, 42, 8, kLPC2103.data()},  // 332
    {"LPC2131/41 Flash (32K)", 1, 512, 0, 42, 42, 8, kLPC2138_48.data()},  // 333
    {"LPC2132/42 Flash (64K)", 1, 512, 0, 42, 42, 9, kLPC2138_48.data()},  // 334
    {"LPC2134/44 Flash (128K)", 1, 512, 0, 42, 42, 11, kLPC2138_48.data()},  // 335
    {"LPC2136/46 Flash (256K)", 1, 512, 0, 42, 42, 15, kLPC2138_48.data()},  // 336
    {"LPC2138/48 Flash (512K)", 1, 512, 0, 42, 42, 27, kLPC2138_48.data()},  // 337
    {"STA2051 Flash (256K)", 4, 256, 0, 43, 43, 8, kSTA2051_256K.data()},  // 338
    {"STA2051 Flash (16K)", 4, 16, 0, 43, 43, 2, kSTA2051_16K.data()},  // 339
    {"STR71xF Flash (256K)", 4, 256, 0, 43, 43, 8, kSTA2051_256K.data()},  // 340
    {"STR71xF Flash (128K)", 4, 128, 0, 43, 43, 6, kSTR71xF.data()},  // 341
    {"STR71xF Flash (16K)", 4, 16, 0, 43, 43, 2, kSTA2051_16K.data()},  // 342
    {"ST30F772 Flash (256K)", 4, 256, 0, 45, 45, 8, kSTA2051_256K.data()},  // 343
    {"ST30F774 Flash (512K)", 4, 512, 0, 45, 45, 12, kST30F774.data()},  // 344
    {"STR91xF Flash (32K)", 2, 32, 0, 49, 49, 4, kSTR91xF_32K.data()},  // 345
    {"STR91xF Flash (256K)", 2, 256, 0, 49, 49, 4, kAm29LV020B.data()},  // 346
    {"STR91xF Flash (512K)", 2, 512, 0, 49, 49, 8, kAm29F040.data()},  // 347
    {"STR91xF Flash (256K+32K)", 2, 288, 0, 49, 49, 8, kSTR91xF_256K_32K.data()},  // 348
    {"STR91xF Flash (512K+32K)", 2, 544, 0, 49, 49, 12, kSTR91xF_512K_32K.data()},  // 349
    {"ADuC7000 Flash", 2, 62, 0, 44, 44, 124, kADuC7000.data()},  // 350
    {"AT91SAM7S32 Flash", 4, 32, 0, 46, 46, 128, kAT91SAM7S32.data()},  // 351
    {"AT91SAM7S64 Flash", 4, 64, 0, 46, 46, 256, kAT91SAM7S64.data()},  // 352
    {"AT91SAM7S128 Flash", 4, 128, 0, 46, 46, 1, kAT29C1024.data()},  // 353
    {"AT91SAM7S256 Flash", 4, 256, 0, 46, 46, 1, kAT29C020.data()},  // 354
};

static_assert(std::size(kRows) == CFlashCatalogue::kRowCount);

// Every row against the catalogue's rules: row 0 empty; every device with a
// width its algorithm implies, erase code equal to the program code (0 for
// page-write rows), page size 256 exactly for page-write rows, and a sector
// table that starts at 0, ascends and stays below the device size. Reading a
// table past its array's end is itself a compile error, so a sector count
// longer than its array cannot slip through either.
consteval bool RowsAreValid()
{
    const SFlashDevice& none = kRows[0];
    if (std::string_view(none.name) != "NONE" || none.deviceWidth || none.deviceSizeKiB || none.pageSize ||
        none.programAlgorithm || none.eraseAlgorithm || none.sectorCount || none.sectorTable)
        return false;
    for (std::size_t i = 1; i < std::size(kRows); ++i) {
        const SFlashDevice& d = kRows[i];
        const bool pageWrite = CFlashAlgorithms::Find(d.programAlgorithm).pageWrite;
        if (d.name[0] == '\0' || d.deviceWidth == 0 ||
            d.deviceWidth != CFlashCatalogue::AlgorithmWidth(d.programAlgorithm))
            return false;
        if (d.eraseAlgorithm != (pageWrite ? 0 : d.programAlgorithm) || d.pageSize != (pageWrite ? 256u : 0u))
            return false;
        if (d.sectorCount == 0 || d.sectorTable == nullptr || d.sectorTable[0] != 0)
            return false;
        for (uint32_t k = 1; k < d.sectorCount; ++k)
            if (d.sectorTable[k] <= d.sectorTable[k - 1])
                return false;
        if (d.sectorTable[d.sectorCount - 1] >= d.deviceSizeKiB * KiB)
            return false;
    }
    return true;
}
static_assert(RowsAreValid(), "a catalogue row breaks the catalogue's rules");

} // namespace

std::span<const SFlashDevice> CFlashCatalogue::Rows()
{
    return kRows;
}
