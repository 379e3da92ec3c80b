#include "catalogue/flash_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

// The catalogue is checked row by row against reference lists kept as text in
// tests/data/catalogue, transcribed from the catalogue's description and never
// generated from the code: names, codes, sizes, every sector start.

namespace {

using Catalogue = CFlashCatalogue;

std::vector<std::string> ReadDataLines(const std::string& file)
{
    std::ifstream in(std::string(TARVEL_TEST_DATA_DIR) + "/catalogue/" + file);
    EXPECT_TRUE(in) << "cannot open " << file;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    return lines;
}

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// A sector layout: every start in device bytes and where the last sector ends.
struct SLayout {
    std::vector<uint32_t> starts;
    uint64_t end = 0;
};

// "7 x 16 KiB, 2 x 4 KiB, 1 x 8 KiB" or "124 x 512 bytes": runs from offset 0.
std::optional<SLayout> ParseRuns(const std::string& text)
{
    static const std::regex run(R"(^\s*(\d+) x (\d+) (KiB|bytes)\s*$)");
    SLayout layout;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t comma = text.find(',', pos);
        if (comma == std::string::npos)
            comma = text.size();
        std::smatch m;
        const std::string part = text.substr(pos, comma - pos);
        if (!std::regex_match(part, m, run))
            return std::nullopt;
        const uint64_t count = std::stoul(m[1]);
        const uint64_t size = std::stoul(m[2]) * (m[3] == "KiB" ? 1024 : 1);
        for (uint64_t i = 0; i < count; ++i) {
            layout.starts.push_back(static_cast<uint32_t>(layout.end));
            layout.end += size;
        }
        pos = comma + 1;
    }
    return layout;
}

// "starts 0 to 0x7000, 4 KiB apart; the last sector runs to the 512 KiB size"
std::optional<SLayout> ParseStartsApart(const std::string& text)
{
    static const std::regex form(
        R"(^starts (\w+) to (\w+), (\d+) (KiB|bytes) apart; the last sector runs to the (\d+) KiB size$)");
    std::smatch m;
    if (!std::regex_match(text, m, form))
        return std::nullopt;
    const uint32_t first = std::stoul(m[1], nullptr, 0), last = std::stoul(m[2], nullptr, 0);
    const uint32_t step = std::stoul(m[3]) * (m[4] == "KiB" ? 1024 : 1);
    SLayout layout;
    for (uint32_t s = first; s <= last; s += step)
        layout.starts.push_back(s);
    layout.end = std::stoull(m[5]) * 1024;
    return layout;
}

// "row 1", "rows 9, 11, 14, 16-17, 20-21"
std::vector<int> ParseRowList(const std::string& text)
{
    std::vector<int> rows;
    static const std::regex item(R"((\d+)(?:-(\d+))?)");
    for (std::sregex_iterator it(text.begin(), text.end(), item), end; it != end; ++it) {
        const int a = std::stoi((*it)[1]);
        const int b = (*it)[2].matched ? std::stoi((*it)[2]) : a;
        for (int r = a; r <= b; ++r)
            rows.push_back(r);
    }
    return rows;
}

// Cells of a "| a | b |" table line; empty for the heading rule.
std::vector<std::string> TableCells(const std::string& line)
{
    std::vector<std::string> cells;
    size_t pos = 1;
    for (size_t bar; (bar = line.find('|', pos)) != std::string::npos; pos = bar + 1)
        cells.push_back(Trim(line.substr(pos, bar - pos)));
    if (!cells.empty() && cells[0].starts_with("---"))
        cells.clear();
    return cells;
}

std::string Unquote(const std::string& s)
{
    return s.size() >= 2 && s.front() == '"' && s.back() == '"' ? s.substr(1, s.size() - 2) : s;
}

// Code -> implied device width, from the codes table.
std::map<uint32_t, uint32_t> CodeWidths()
{
    std::map<uint32_t, uint32_t> widths;
    const auto lines = ReadDataLines("catalogue_codes.txt");
    for (size_t i = 1; i < lines.size(); ++i) {   // line 0 is the heading
        const auto cells = TableCells(lines[i]);
        if (cells.size() >= 2)
            widths[std::stoul(cells[0])] = std::stoul(cells[1]);
    }
    return widths;
}

struct SListedRow {
    int number;
    std::string name;
    uint32_t code, sizeKiB, sectors;
};

std::vector<SListedRow> ListedRows()
{
    static const std::regex form(R"re(^(\d+) "([^"]+)" \[(\d+); (\d+) KiB; (\d+)\]$)re");
    std::vector<SListedRow> rows;
    for (const std::string& line : ReadDataLines("catalogue_rows.txt")) {
        std::smatch m;
        EXPECT_TRUE(std::regex_match(line, m, form)) << line;
        if (!m.empty())
            rows.push_back({std::stoi(m[1]), m[2], static_cast<uint32_t>(std::stoul(m[3])),
                            static_cast<uint32_t>(std::stoul(m[4])), static_cast<uint32_t>(std::stoul(m[5]))});
    }
    return rows;
}

struct SListedLayout {
    std::string text;
    SLayout layout;
    std::vector<int> rows;
};

std::vector<SListedLayout> ListedLayouts()
{
    std::vector<SListedLayout> layouts;
    for (const std::string& line : ReadDataLines("catalogue_layouts.txt")) {
        const size_t colon = line.find(": row");
        EXPECT_TRUE(line.starts_with("- ") && colon != std::string::npos) << line;
        if (colon == std::string::npos)
            continue;
        const std::string runs = line.substr(2, colon - 2);
        const auto layout = ParseRuns(runs);
        EXPECT_TRUE(layout) << line;
        if (layout)
            layouts.push_back({runs, *layout, ParseRowList(line.substr(colon + 2))});
    }
    return layouts;
}

bool IsAt29Row(const std::string& name)
{
    return name.starts_with("Atmel  AT29");
}

} // namespace

TEST(FlashCatalogue, EveryRowMatchesTheListedRows)
{
    const auto widths = CodeWidths();
    ASSERT_EQ(widths.size(), 25u);
    const auto listed = ListedRows();
    ASSERT_EQ(listed.size(), 354u);
    ASSERT_EQ(Catalogue::FlashDeviceCount(), 355);

    std::set<uint32_t> codesUsed;
    for (size_t i = 0; i < listed.size(); ++i) {
        const SListedRow& row = listed[i];
        SCOPED_TRACE("row " + std::to_string(row.number) + " \"" + row.name + "\"");
        ASSERT_EQ(row.number, static_cast<int>(i) + 1);
        const SFlashDevice* d = Catalogue::FlashDeviceAt(row.number);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(std::string(d->name), row.name);
        EXPECT_EQ(d->programAlgorithm, row.code);
        EXPECT_EQ(d->deviceSizeKiB, row.sizeKiB);
        EXPECT_EQ(d->sectorCount, row.sectors);
        ASSERT_TRUE(widths.contains(row.code));
        EXPECT_EQ(d->deviceWidth, widths.at(row.code));
        EXPECT_EQ(Catalogue::AlgorithmWidth(row.code), widths.at(row.code));
        EXPECT_EQ(d->eraseAlgorithm, IsAt29Row(row.name) ? 0u : row.code);
        EXPECT_EQ(d->pageSize, IsAt29Row(row.name) ? 256u : 0u);
        codesUsed.insert(row.code);

        // The lookups by name find this very row and give its fields.
        EXPECT_EQ(Catalogue::FindFlashDevice(row.name), d);
        EXPECT_EQ(Catalogue::FlashDeviceIndex(d), row.number);
        std::string name;
        EXPECT_TRUE(Catalogue::GetFlashName(row.number, name));
        EXPECT_EQ(name, row.name);
        uint32_t width = 0, size = 0, page = 1, program = 0, erase = 1, sectors = 0;
        const uint32_t* table = nullptr;
        ASSERT_TRUE(Catalogue::GetFlashInfo(row.name, width, size, page, program, erase, sectors, table));
        EXPECT_EQ(width, d->deviceWidth);
        EXPECT_EQ(size, row.sizeKiB * 1024);
        EXPECT_EQ(page, d->pageSize);
        EXPECT_EQ(program, row.code);
        EXPECT_EQ(erase, d->eraseAlgorithm);
        EXPECT_EQ(sectors, row.sectors);
        EXPECT_EQ(table, d->sectorTable);
        uint32_t v = 0;
        EXPECT_TRUE(Catalogue::GetFlashWidth(row.name, v) && v == width);
        EXPECT_TRUE(Catalogue::GetFlashSize(row.name, v) && v == size);
        EXPECT_TRUE(Catalogue::GetFlashPageSize(row.name, v) && v == page);
        EXPECT_TRUE(Catalogue::GetFlashProgramAlgorithm(row.name, v) && v == program);
        EXPECT_TRUE(Catalogue::GetFlashEraseAlgorithm(row.name, v) && v == erase);
        EXPECT_TRUE(Catalogue::GetFlashSectorCount(row.name, v) && v == sectors);
        EXPECT_TRUE(Catalogue::IsFlashName(row.name));
    }
    // Every code of the codes table is used by some row, and no other.
    std::set<uint32_t> listedCodes;
    for (const auto& [code, width] : widths)
        listedCodes.insert(code);
    EXPECT_EQ(codesUsed, listedCodes);
}

TEST(FlashCatalogue, EverySectorStartMatchesTheListedLayouts)
{
    const auto layouts = ListedLayouts();
    ASSERT_EQ(layouts.size(), 100u);
    std::map<int, const SListedLayout*> layoutOfRow;
    for (const SListedLayout& l : layouts)
        for (int row : l.rows)
            EXPECT_TRUE(layoutOfRow.emplace(row, &l).second) << "row " << row << " listed twice";
    ASSERT_EQ(layoutOfRow.size(), 354u);
    ASSERT_EQ(layoutOfRow.begin()->first, 1);
    ASSERT_EQ(layoutOfRow.rbegin()->first, 354);

    for (const auto& [row, l] : layoutOfRow) {
        const SFlashDevice& d = *Catalogue::FlashDeviceAt(row);
        SCOPED_TRACE("row " + std::to_string(row) + " \"" + d.name + "\": " + l->text);
        ASSERT_EQ(d.sectorCount, l->layout.starts.size());
        EXPECT_EQ(d.DeviceSizeBytes(), l->layout.end) << "the last sector must end at the device size";
        const std::vector<uint32_t> starts(d.Sectors().begin(), d.Sectors().end());
        EXPECT_EQ(starts, l->layout.starts);
        // Sector sizes follow from the starts, the last one running to the device size.
        for (uint32_t k = 0; k < d.sectorCount; ++k) {
            const uint64_t next = k + 1 < d.sectorCount ? l->layout.starts[k + 1] : l->layout.end;
            EXPECT_EQ(d.SectorSize(k), next - l->layout.starts[k]) << "sector " << k;
        }
        EXPECT_EQ(d.SectorSize(d.sectorCount), 0u);
    }
}

TEST(FlashCatalogue, SectorArraysAreSharedByRowsWithOneLayout)
{
    // Rows of one layout share one array; beyond that, the array of 2048
    // starts 4 KiB apart serves the SST rows of 512, 1024 and 2048 sectors,
    // and the LPC2138/48 array the five LPC213x rows as prefixes.
    for (const SListedLayout& l : ListedLayouts())
        for (int row : l.rows)
            EXPECT_EQ(Catalogue::FlashDeviceAt(row)->sectorTable, Catalogue::FlashDeviceAt(l.rows[0])->sectorTable)
                << l.text << ": row " << row;
    for (int row = 316; row <= 321; ++row)
        EXPECT_EQ(Catalogue::FlashDeviceAt(row)->sectorTable, Catalogue::FlashDeviceAt(320)->sectorTable) << row;
    for (int row = 333; row <= 337; ++row)
        EXPECT_EQ(Catalogue::FlashDeviceAt(row)->sectorTable, Catalogue::FlashDeviceAt(337)->sectorTable) << row;

    std::set<const uint32_t*> arrays;
    uint32_t largest = 0;
    for (int row = 1; row < Catalogue::FlashDeviceCount(); ++row) {
        const SFlashDevice& d = *Catalogue::FlashDeviceAt(row);
        arrays.insert(d.sectorTable);
        largest = std::max(largest, d.sectorCount);
        // Every table ascends from 0 and its last start lies inside the device.
        ASSERT_GT(d.sectorCount, 0u) << row;
        EXPECT_EQ(d.sectorTable[0], 0u) << row;
        for (uint32_t k = 1; k < d.sectorCount; ++k)
            ASSERT_LT(d.sectorTable[k - 1], d.sectorTable[k]) << row << " sector " << k;
        EXPECT_LT(d.sectorTable[d.sectorCount - 1], d.DeviceSizeBytes()) << row;
    }
    // 100 layouts, less 2 for the SST and 4 for the LPC213x prefixes.
    EXPECT_EQ(arrays.size(), 94u);
    EXPECT_EQ(arrays.count(nullptr), 0u);
    EXPECT_EQ(largest, 2048u);
}

TEST(FlashCatalogue, TellingRowsHaveAllTheirFields)
{
    const auto lines = ReadDataLines("catalogue_telling_rows.txt");
    ASSERT_EQ(lines.size(), 20u);   // heading, rule, 18 rows
    const SFlashDevice* previous = nullptr;
    int checked = 0;
    for (const std::string& line : lines) {
        const auto cells = TableCells(line);
        if (cells.size() != 8 || cells[0] == "Name")
            continue;
        const std::string name = Unquote(cells[0]);
        SCOPED_TRACE(name);
        const SFlashDevice* d = name == "NONE" ? Catalogue::FlashDeviceAt(0) : Catalogue::FindFlashDevice(name);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(std::string(d->name), name);
        EXPECT_EQ(d->deviceWidth, std::stoul(cells[1]));
        EXPECT_EQ(d->deviceSizeKiB, std::stoul(cells[2]));
        EXPECT_EQ(d->pageSize, std::stoul(cells[3]));
        EXPECT_EQ(d->programAlgorithm, std::stoul(cells[4]));
        EXPECT_EQ(d->eraseAlgorithm, std::stoul(cells[5]));
        EXPECT_EQ(d->sectorCount, std::stoul(cells[6]));
        const std::string& layoutText = cells[7];
        if (layoutText == "none") {
            EXPECT_EQ(d->sectorTable, nullptr);
        } else if (layoutText == "the same array as the row above") {
            ASSERT_NE(previous, nullptr);
            EXPECT_EQ(d->sectorTable, previous->sectorTable);
        } else {
            auto layout = ParseRuns(layoutText);
            if (!layout)
                layout = ParseStartsApart(layoutText);
            ASSERT_TRUE(layout) << layoutText;
            EXPECT_EQ(std::vector<uint32_t>(d->Sectors().begin(), d->Sectors().end()), layout->starts);
            EXPECT_EQ(uint64_t{d->DeviceSizeBytes()}, layout->end);
        }
        previous = d;
        ++checked;
    }
    EXPECT_EQ(checked, 18);

    // The two rows described in words only.
    const SFlashDevice* sam64 = Catalogue::FindFlashDevice("AT91SAM7S64 Flash");
    ASSERT_NE(sam64, nullptr);
    ASSERT_EQ(sam64->sectorCount, 256u);
    for (uint32_t k = 0; k < 256; ++k)
        EXPECT_EQ(sam64->sectorTable[k], k * 128) << k;
    uint32_t count = 0;
    EXPECT_TRUE(Catalogue::GetFlashSectorCount("AT91SAM7S128 Flash", count));
    EXPECT_EQ(count, 1u);
}

TEST(FlashCatalogue, NameLookupsAreExactAndNeverFindNone)
{
    struct Case {
        const char* name;
        bool device;    // found by the Get... lookups
        bool flashName; // accepted by IsFlashName
    } cases[] = {
        {"AMD  Am29F010", true, true},
        {"AMD Am29F010", false, false},      // one space between maker and part
        {"AMD   Am29F010", false, false},
        {"amd  am29f010", false, false},     // case matters
        {"AMD  Am29F01", false, false},      // a prefix is not the name
        {"AMD  Am29F010 ", false, false},
        {" AMD  Am29F010", false, false},
        {"SST 39VF1601 (1M x 16)", true, true},
        {"SST  39VF1601 (1M x 16)", false, false},
        {"NONE", false, true},
        {"none", false, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.name + "\"");
        EXPECT_EQ(Catalogue::FindFlashDevice(c.name) != nullptr, c.device);
        EXPECT_EQ(Catalogue::IsFlashName(c.name), c.flashName);

        // Out-parameters keep their values when the lookup fails.
        const uint32_t kUntouched = 0xDEADBEEF;
        uint32_t w = kUntouched, s = kUntouched, p = kUntouched, pa = kUntouched, ea = kUntouched, n = kUntouched;
        const uint32_t untouchedTable[1] = {0};
        const uint32_t* table = untouchedTable;
        EXPECT_EQ(Catalogue::GetFlashInfo(c.name, w, s, p, pa, ea, n, table), c.device);
        if (!c.device) {
            EXPECT_EQ(w, kUntouched);
            EXPECT_EQ(s, kUntouched);
            EXPECT_EQ(p, kUntouched);
            EXPECT_EQ(pa, kUntouched);
            EXPECT_EQ(ea, kUntouched);
            EXPECT_EQ(n, kUntouched);
            EXPECT_EQ(table, untouchedTable);
        }
        using Getter = bool (*)(std::string_view, uint32_t&);
        for (Getter get : {Getter(&Catalogue::GetFlashWidth), Getter(&Catalogue::GetFlashSize),
                           Getter(&Catalogue::GetFlashPageSize), Getter(&Catalogue::GetFlashProgramAlgorithm),
                           Getter(&Catalogue::GetFlashEraseAlgorithm), Getter(&Catalogue::GetFlashSectorCount)}) {
            uint32_t out = kUntouched;
            EXPECT_EQ(get(c.name, out), c.device);
            if (!c.device) {
                EXPECT_EQ(out, kUntouched);
            }
        }
    }
    // A name with an embedded NUL is not a catalogue name.
    EXPECT_FALSE(Catalogue::IsFlashName(std::string_view("AMD  Am29F010\0X", 15)));
}

TEST(FlashCatalogue, GetFlashNameRunsFromNoneToTheLastRow)
{
    std::string name = "untouched";
    EXPECT_TRUE(Catalogue::GetFlashName(0, name));
    EXPECT_EQ(name, "NONE");
    EXPECT_TRUE(Catalogue::GetFlashName(354, name));
    EXPECT_EQ(name, "AT91SAM7S256 Flash");
    for (int index : {355, 356, 100000, -1}) {
        name = "untouched";
        EXPECT_FALSE(Catalogue::GetFlashName(index, name)) << index;
        EXPECT_EQ(name, "untouched");
        EXPECT_EQ(Catalogue::FlashDeviceAt(index), nullptr);
    }
    int rows = 0;
    while (Catalogue::GetFlashName(rows, name))
        ++rows;
    EXPECT_EQ(rows, 355);
    const SFlashDevice* none = Catalogue::FlashDeviceAt(0);
    EXPECT_EQ(none->sectorCount, 0u);
    EXPECT_EQ(Catalogue::FlashDeviceIndex(nullptr), -1);
}

TEST(FlashCatalogue, At29PageWriteDeviceHasNoSeparateErase)
{
    uint32_t width = 0, size = 0, page = 0, program = 0, erase = 99, sectors = 0;
    const uint32_t* table = nullptr;
    ASSERT_TRUE(Catalogue::GetFlashInfo("Atmel  AT29C020", width, size, page, program, erase, sectors, table));
    EXPECT_EQ(width, 1u);
    EXPECT_EQ(size, 256u * 1024);
    EXPECT_EQ(page, 256u);
    EXPECT_EQ(program, 27u);
    EXPECT_EQ(erase, 0u);
    EXPECT_EQ(sectors, 1u);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table[0], 0u);
}

TEST(FlashCatalogue, DerivedSizesOfBanksAndSectorsOnTheBus)
{
    // Two banks of x16 devices on a 32-bit bus.
    const SFlashDevice& f100 = *Catalogue::FindFlashDevice("AMD  Am29F100T (64K x 16)");
    const uint32_t bus32 = Catalogue::BusWidthBytes(2);
    EXPECT_EQ(Catalogue::Lanes(f100, bus32), 2u);
    EXPECT_EQ(Catalogue::BankSize(f100, bus32), 256u * 1024);
    EXPECT_EQ(Catalogue::FlashArraySize(f100, bus32, 2), 512u * 1024);
    EXPECT_EQ(f100.SectorStart(2), 0x18000u);
    EXPECT_EQ(Catalogue::SectorBusOffset(f100, 2, bus32), 0x30000u);

    // Bus offsets of an x8 device, two side by side on a 16-bit bus.
    const SFlashDevice& lv001 = *Catalogue::FindFlashDevice("AMD  Am29LV001BT");
    const uint32_t expected[] = {0, 0x8000, 0x10000, 0x18000, 0x20000, 0x28000, 0x30000, 0x38000, 0x3A000, 0x3C000};
    ASSERT_EQ(lv001.sectorCount, std::size(expected));
    for (uint32_t k = 0; k < lv001.sectorCount; ++k)
        EXPECT_EQ(Catalogue::SectorBusOffset(lv001, k, Catalogue::BusWidthBytes(1)), expected[k]) << k;
    EXPECT_EQ(Catalogue::SectorBusOffset(lv001, 10, 2), 0u);

    // The largest arrays: 16 banks of 64 MiB devices on a 32-bit bus. The x16
    // form is 2 GiB, the x8 form 4 GiB; neither wraps to 0.
    const SFlashDevice& gl512x16 = *Catalogue::FindFlashDevice("Spansion  S29GL512N (32M x 16)");
    const SFlashDevice& gl512x8 = *Catalogue::FindFlashDevice("Spansion  S29GL512N (64M x 8)");
    EXPECT_EQ(Catalogue::FlashArraySize(gl512x16, bus32, 16), uint64_t{1} << 31);
    EXPECT_EQ(Catalogue::FlashArraySize(gl512x8, bus32, 16), uint64_t{1} << 32);
    EXPECT_EQ(Catalogue::BankSize(gl512x8, bus32), 256u << 20);

    // "NONE" has width 0: every derived quantity is 0 instead of a division by zero.
    const SFlashDevice& none = *Catalogue::FlashDeviceAt(0);
    EXPECT_EQ(Catalogue::Lanes(none, 4), 0u);
    EXPECT_EQ(Catalogue::BankSize(none, 4), 0u);
    EXPECT_EQ(Catalogue::FlashArraySize(none, 4, 16), 0u);
    EXPECT_EQ(Catalogue::SectorBusOffset(none, 0, 4), 0u);
    EXPECT_EQ(none.SectorSize(0), 0u);

    for (auto [code, bytes] : {std::pair{0, 1u}, {1, 2u}, {2, 4u}, {3, 0u}, {-1, 0u}})
        EXPECT_EQ(Catalogue::BusWidthBytes(code), bytes) << code;
}

namespace {

std::vector<std::string> Names(const std::vector<const SFlashDevice*>& devices)
{
    std::vector<std::string> names;
    for (const SFlashDevice* d : devices)
        names.emplace_back(d->name);
    return names;
}

} // namespace

TEST(FlashCatalogue, LooseMatchIgnoresCaseAndRunsOfSpaces)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(Names(Catalogue::FindFlashDevicesLoose("am29f010")), V{"AMD  Am29F010"});
    EXPECT_EQ(Names(Catalogue::FindFlashDevicesLoose("amd am29lv001b")), (V{"AMD  Am29LV001BT", "AMD  Am29LV001BB"}));
    EXPECT_EQ(Names(Catalogue::FindFlashDevicesLoose("  sst\t 39vf6401 ")),
              (V{"SST 39VF6401 (4M x 16)", "SST 39VF6401B (4M x 16)"}));
    EXPECT_EQ(Names(Catalogue::FindFlashDevicesLoose("AT49bv161T")),
              (V{"Atmel  AT49BV161T (2M x 8)", "Atmel  AT49BV161T (1M x 16)"}));
    EXPECT_TRUE(Catalogue::FindFlashDevicesLoose("amdam29f010").empty());
    EXPECT_TRUE(Catalogue::FindFlashDevicesLoose("none").empty());   // "NONE" is not a device
    EXPECT_EQ(Catalogue::FindFlashDevicesLoose("").size(), 354u);
    EXPECT_EQ(Catalogue::FindFlashDevicesLoose("flash").size(), 31u);   // the on-chip rows, in table order
    EXPECT_EQ(Catalogue::FindFlashDevicesLoose("flash").front(), Catalogue::FlashDeviceAt(324));

    EXPECT_EQ(Catalogue::NormaliseName("  AMD \t Am29F010  "), "amd am29f010");
}

TEST(FlashCatalogue, NormalisedMatchFindsExactlyOneDeviceForEveryName)
{
    // No two names fold alike, so every name typed in any case with any runs
    // of spaces gives its own row and only that.
    for (int row = 1; row < Catalogue::FlashDeviceCount(); ++row) {
        const SFlashDevice* d = Catalogue::FlashDeviceAt(row);
        std::string shouted;
        for (char c : std::string(d->name))
            shouted += c == ' ' ? std::string("   ") : std::string(1, static_cast<char>(std::toupper(c)));
        for (const std::string& typed : {std::string(d->name), Catalogue::NormaliseName(d->name), shouted}) {
            const auto found = Catalogue::FindFlashDevicesNormalised(typed);
            ASSERT_EQ(found.size(), 1u) << typed;
            EXPECT_EQ(found[0], d);
        }
    }
    EXPECT_TRUE(Catalogue::FindFlashDevicesNormalised("amd am29f01").empty());
    EXPECT_TRUE(Catalogue::FindFlashDevicesNormalised("NONE").empty());
    EXPECT_TRUE(Catalogue::FindFlashDevicesNormalised("   ").empty());
}
