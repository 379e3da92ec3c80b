#pragma once

// Builds small 32-bit ELF executables for the loader's tests.

#include <cstdint>
#include <string>
#include <vector>

struct SElfSegment {
    uint32_t type = 1; // PT_LOAD
    uint32_t virtualAddress;
    uint32_t physicalAddress;
    std::vector<uint8_t> bytes;
    uint32_t memorySize; // at least bytes.size(): the rest is .bss
};

// A 32-bit ELF executable with the given segments, in either byte order.
inline std::string Elf(const std::vector<SElfSegment>& segments, bool big, int elfClass = 1, int type = 2)
{
    std::string f(52 + 32 * segments.size(), '\0');
    const auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            f[at + i] = static_cast<char>(big ? v >> (8 * (n - 1 - i)) : v >> (8 * i));
    };
    f.replace(0, 4, "\x7F" "ELF");
    f[4] = static_cast<char>(elfClass);
    f[5] = big ? 2 : 1;
    f[6] = 1;
    put(16, static_cast<uint32_t>(type), 2);
    put(18, 40, 2); // ARM
    put(20, 1, 4);
    put(28, 52, 4);
    put(40, 52, 2);
    put(42, 32, 2);
    put(44, static_cast<uint32_t>(segments.size()), 2);
    for (size_t i = 0; i < segments.size(); ++i) {
        const SElfSegment& s = segments[i];
        const size_t ph = 52 + 32 * i;
        put(ph, s.type, 4);
        put(ph + 4, static_cast<uint32_t>(f.size()), 4);
        put(ph + 8, s.virtualAddress, 4);
        put(ph + 12, s.physicalAddress, 4);
        put(ph + 16, static_cast<uint32_t>(s.bytes.size()), 4);
        put(ph + 20, s.memorySize, 4);
        f.append(s.bytes.begin(), s.bytes.end());
    }
    return f;
}

