// Writes the benchmark's program files, deterministically:
//   program.bin  64 MiB (or --mib N) of pseudo-random bytes with gaps of 0xFF
//   program.s19  the same as S3 records of 32 data bytes, gaps left out
//   program.hex  the same as Intel HEX records of 16 data bytes, gaps left out
//   program.elf  the same as a 32-bit ARM executable: .text (15/16 of the
//                bytes, loaded at 0) and .data (the rest, run at 0x20000000,
//                loaded behind .text), a .bss and the section names
//   big.bin      256 MiB (program.bin repeated), for the checksum comparison
// Usage: bench_gen_program_files OUTDIR [--mib N]
#include "files/srecord_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Every 1 MiB ends in a 64 KiB gap of 0xFF, and every 4 KiB a 96-byte run.
bool InGap(uint32_t a)
{
    return (a & 0xFFFFF) >= 0xF0000 || (a & 0xFFF) >= 0xFA0;
}

std::vector<uint8_t> Program(uint32_t size)
{
    std::vector<uint8_t> data(size);
    uint32_t x = 0x2545F491;
    for (uint32_t a = 0; a < size; ++a) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data[a] = InGap(a) ? 0xFF : static_cast<uint8_t>(x);
    }
    return data;
}

bool WriteFile(const std::string& path, const std::string& text)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

std::string IntelRecord(int type, uint32_t address, const uint8_t* data, size_t n)
{
    static const char* digits = "0123456789ABCDEF";
    std::string line = ":";
    unsigned sum = 0;
    auto put = [&](uint8_t b) {
        line += digits[b >> 4];
        line += digits[b & 15];
        sum += b;
    };
    put(static_cast<uint8_t>(n));
    put(static_cast<uint8_t>(address >> 8));
    put(static_cast<uint8_t>(address));
    put(static_cast<uint8_t>(type));
    for (size_t i = 0; i < n; ++i)
        put(data[i]);
    put(static_cast<uint8_t>(-sum));
    return line + "\n";
}

bool AllFF(const uint8_t* p, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (p[i] != 0xFF)
            return false;
    }
    return true;
}

// Little-endian fields of an ELF file.
void Put16(std::string& s, size_t at, uint16_t v)
{
    s[at] = static_cast<char>(v);
    s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}

// A linked 32-bit little-endian ARM executable of the program's bytes: two
// loadable segments, their data from file offset 0x10000, section headers
// behind the data.
std::string ElfFile(const std::vector<uint8_t>& data)
{
    constexpr uint32_t kDataAt = 0x10000;
    const auto size = static_cast<uint32_t>(data.size());
    const uint32_t dataSize = size / 16;
    const uint32_t textSize = size - dataSize;
    const std::string names = std::string("\0.text\0.data\0.bss\0.shstrtab\0", 28);
    const uint32_t namesAt = kDataAt + size;
    const uint32_t sectionsAt = (namesAt + static_cast<uint32_t>(names.size()) + 3) & ~3u;
    std::string elf(sectionsAt + 5 * 40, '\0');
    elf.replace(0, 4, "\x7F" "ELF");
    elf[4] = 1; // 32-bit
    elf[5] = 1; // little-endian
    elf[6] = 1; // version
    Put16(elf, 16, 2);  // executable
    Put16(elf, 18, 40); // ARM
    Put32(elf, 20, 1);
    Put32(elf, 24, 0x00000101); // entry
    Put32(elf, 28, 52);         // program headers
    Put32(elf, 32, sectionsAt);
    Put32(elf, 36, 0x05000200); // flags: EABI 5, hard float
    Put16(elf, 40, 52);
    Put16(elf, 42, 32);
    Put16(elf, 44, 2);
    Put16(elf, 46, 40);
    Put16(elf, 48, 5);
    Put16(elf, 50, 4); // .shstrtab
    // type, offset, virtual, physical, file size, memory size, flags, align
    const uint32_t segments[2][8] = {
        {1, kDataAt, 0, 0, textSize, textSize, 5, 0x10000},
        {1, kDataAt + textSize, 0x20000000, textSize, dataSize, dataSize + 0x100000, 6, 0x10000},
    };
    for (int i = 0; i < 2; ++i)
        for (int f = 0; f < 8; ++f)
            Put32(elf, 52 + 32 * i + 4 * f, segments[i][f]);
    elf.replace(kDataAt, size, reinterpret_cast<const char*>(data.data()), size);
    elf.replace(namesAt, names.size(), names);
    // name, type, flags, address, offset, size, link, info, align, entry size
    const uint32_t sections[5][10] = {
        {},
        {1, 1, 6, 0, kDataAt, textSize, 0, 0, 4, 0},
        {7, 1, 3, 0x20000000, kDataAt + textSize, dataSize, 0, 0, 4, 0},
        {13, 8, 3, 0x20000000 + dataSize, kDataAt + size, 0x100000, 0, 0, 4, 0},
        {18, 3, 0, 0, namesAt, static_cast<uint32_t>(names.size()), 0, 0, 1, 0},
    };
    for (int i = 0; i < 5; ++i)
        for (int f = 0; f < 10; ++f)
            Put32(elf, sectionsAt + 40 * i + 4 * f, sections[i][f]);
    return elf;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR [--mib N]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    uint32_t mib = 64;
    if (argc >= 4 && std::strcmp(argv[2], "--mib") == 0)
        mib = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
    if (mib == 0 || mib > 255) {
        std::fprintf(stderr, "--mib wants 1 to 255\n");
        return 2;
    }
    const uint32_t size = mib << 20;
    const std::vector<uint8_t> data = Program(size);

    std::string srec = FormatSRecord(0, 0, reinterpret_cast<const uint8_t*>("bench"), 5) + "\n";
    std::string hex;
    srec.reserve(size_t{size} * 5 / 2);
    hex.reserve(size_t{size} * 3);
    for (uint32_t a = 0; a < size; a += 32) {
        if (!AllFF(&data[a], 32))
            srec += FormatSRecord(3, a, &data[a], 32) + "\n";
    }
    srec += FormatSRecord(7, 0, nullptr, 0) + "\n";
    for (uint32_t a = 0; a < size; a += 16) {
        if ((a & 0xFFFF) == 0) {
            const uint8_t upper[2] = {static_cast<uint8_t>(a >> 24), static_cast<uint8_t>(a >> 16)};
            hex += IntelRecord(4, 0, upper, 2);
        }
        if (!AllFF(&data[a], 16))
            hex += IntelRecord(0, a & 0xFFFF, &data[a], 16);
    }
    hex += ":00000001FF\n";

    const std::string bin(data.begin(), data.end());
    std::string big;
    big.reserve(size_t{256} << 20);
    while (big.size() < (size_t{256} << 20))
        big.append(bin, 0, std::min(bin.size(), (size_t{256} << 20) - big.size()));
    if (!WriteFile(dir + "/program.bin", bin) || !WriteFile(dir + "/program.s19", srec) ||
        !WriteFile(dir + "/program.hex", hex) || !WriteFile(dir + "/program.elf", ElfFile(data)) ||
        !WriteFile(dir + "/big.bin", big)) {
        std::fprintf(stderr, "cannot write the files into %s\n", dir.c_str());
        return 1;
    }
    std::printf("%s: program.bin (%u MiB), program.s19, program.hex, program.elf, big.bin (256 MiB)\n", dir.c_str(), mib);
    return 0;
}
