#pragma once

// Shared fixture for the program file tests: a fresh memory image (base 0)
// in a temporary directory of its own, and helpers to write files and read
// image bytes.

#include "project/memory_image.h"
#include "project/memory_range.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(image.Open(0), 0); }

    std::string Write(const std::string& name, const std::string& bytes)
    {
        const std::string path = dir.File(name);
        WriteFileBytes(path, bytes);
        return path;
    }

    std::vector<uint8_t> Read(uint32_t address, uint32_t count)
    {
        std::vector<uint8_t> out(count);
        image.ReadBlock(address, out.data(), count);
        return out;
    }

    std::string ReadString(uint32_t address, uint32_t count)
    {
        const auto v = Read(address, count);
        return std::string(v.begin(), v.end());
    }

    CTempDir dir{true};
    CMemoryImage image;
    CMemoryRange physical{0, 0x10000000, 1};
};

inline std::vector<uint8_t> Bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> v;
    for (int b : list)
        v.push_back(static_cast<uint8_t>(b));
    return v;
}
