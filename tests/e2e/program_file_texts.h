#pragma once

// Program files for the end-to-end runs: byte patterns and the S-record
// text of them.

#include "files/srecord_writer.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

inline bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

inline std::vector<uint8_t> Pattern(size_t n, int seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(i * 7 + seed);
    return v;
}

// An S-record file of the bytes at `address`: a header, S3 records of 32
// bytes and an S7 end record.
inline std::string SRecords(uint32_t address, const std::vector<uint8_t>& data)
{
    std::string s = FormatSRecord(0, 0, reinterpret_cast<const uint8_t*>("t"), 1) + "\n";
    for (size_t i = 0; i < data.size(); i += 32) {
        const size_t n = std::min<size_t>(32, data.size() - i);
        s += FormatSRecord(3, address + static_cast<uint32_t>(i), data.data() + i, n) + "\n";
    }
    return s + FormatSRecord(7, address, nullptr, 0) + "\n";
}
