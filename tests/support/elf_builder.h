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

// A 32-bit ELF executable with the given segments, in either byte order;
// no section headers.
inline std::string Elf(const std::vector<SElfSegment>& segments, bool big, int elfClass = 1, int type = 2,
                       uint32_t machine = 40)
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
    put(18, machine, 2); // 40: ARM
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


struct SElfProgramHeader {
    uint32_t offset;
    uint32_t virtualAddress;
    uint32_t physicalAddress;
    uint32_t fileSize;
    uint32_t memorySize;
};

struct SElfSection {
    uint32_t type; // 1 PROGBITS, 8 NOBITS
    uint32_t flags; // 2 ALLOC, 4 EXECINSTR
    uint32_t address;
    uint32_t offset;
    uint32_t size;
};

// A 32-bit ARM ELF executable laid out as a linker does: `size` bytes of
// zeros with `fill` written at their file offsets, the ELF header and the
// loadable program headers at the start (a segment at offset 0 covers them),
// and the section headers, after the null section, at the end.
inline std::string ElfWithSections(bool big, uint32_t size, const std::vector<SElfProgramHeader>& segments,
                                   const std::vector<SElfSection>& sections,
                                   const std::vector<std::pair<uint32_t, std::vector<uint8_t>>>& fill)
{
    std::string f(size, '\0');
    const auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            f[at + i] = static_cast<char>(big ? v >> (8 * (n - 1 - i)) : v >> (8 * i));
    };
    for (const auto& [offset, bytes] : fill)
        f.replace(offset, bytes.size(), std::string(bytes.begin(), bytes.end()));
    f.replace(0, 4, "\x7F" "ELF");
    f[4] = 1;
    f[5] = big ? 2 : 1;
    f[6] = 1;
    put(16, 2, 2);
    put(18, 40, 2);
    put(20, 1, 4);
    put(28, 52, 4);
    put(32, size, 4); // the section headers follow the file's bytes
    put(40, 52, 2);
    put(42, 32, 2);
    put(44, static_cast<uint32_t>(segments.size()), 2);
    put(46, 40, 2);
    put(48, static_cast<uint32_t>(sections.size() + 1), 2);
    for (size_t i = 0; i < segments.size(); ++i) {
        const SElfProgramHeader& s = segments[i];
        const size_t ph = 52 + 32 * i;
        put(ph, 1, 4);
        put(ph + 4, s.offset, 4);
        put(ph + 8, s.virtualAddress, 4);
        put(ph + 12, s.physicalAddress, 4);
        put(ph + 16, s.fileSize, 4);
        put(ph + 20, s.memorySize, 4);
    }
    f.append(40, '\0'); // the null section
    for (const SElfSection& s : sections) {
        const size_t sh = f.size();
        f.append(40, '\0');
        put(sh + 4, s.type, 4);
        put(sh + 8, s.flags, 4);
        put(sh + 12, s.address, 4);
        put(sh + 16, s.offset, 4);
        put(sh + 20, s.size, 4);
    }
    return f;
}
