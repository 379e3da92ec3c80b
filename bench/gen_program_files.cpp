// Writes the benchmark's program files, deterministically:
//   program.bin  64 MiB (or --mib N) of pseudo-random bytes with gaps of 0xFF
//   program.s19  the same as S3 records of 32 data bytes, gaps left out
//   program.hex  the same as Intel HEX records of 16 data bytes, gaps left out
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
        !WriteFile(dir + "/program.hex", hex) || !WriteFile(dir + "/big.bin", big)) {
        std::fprintf(stderr, "cannot write the files into %s\n", dir.c_str());
        return 1;
    }
    std::printf("%s: program.bin (%u MiB), program.s19, program.hex, big.bin (256 MiB)\n", dir.c_str(), mib);
    return 0;
}
