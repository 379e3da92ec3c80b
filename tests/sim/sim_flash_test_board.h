#pragma once

// Helpers shared by the simulated board tests: a board from board file text,
// and a host's-eye view of the bus (replicated commands, unlock cycles).

#include "sim/board_file.h"
#include "support/manual_clock.h"
#include "sim/sim_board_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

inline std::unique_ptr<CSimBoardModel> MakeBoard(const std::string& text,
                                                 std::shared_ptr<CClock> clock = nullptr)
{
    CBoardFile file;
    std::string error;
    EXPECT_TRUE(CBoardFile::Parse(text, file, error)) << error;
    auto board = std::make_unique<CSimBoardModel>(std::move(clock));
    EXPECT_TRUE(board->Build(file, error)) << error;
    return board;
}

// The value of a command byte in every byte of a bus word.
inline uint32_t Replicated(uint8_t command, int busBytes)
{
    uint32_t value = 0;
    for (int i = 0; i < busBytes; ++i)
        value |= uint32_t(command) << (8 * i);
    return value;
}

inline uint32_t Read(CSimBoardModel& board, uint32_t address, int width)
{
    uint32_t value = 0;
    EXPECT_TRUE(board.BusRead(address, width, value)) << std::hex << address;
    return value;
}

// Bytes as stored, without bus cycles.
inline std::vector<uint8_t> PeekBytes(CSimBoardModel& board, uint32_t address, uint32_t length)
{
    std::vector<uint8_t> out(length);
    for (uint32_t i = 0; i < length; ++i)
        EXPECT_TRUE(board.Peek(address + i, out[i]));
    return out;
}

inline std::vector<uint8_t> Pattern(uint32_t length, uint8_t seed = 0x3C)
{
    std::vector<uint8_t> out(length);
    for (uint32_t i = 0; i < length; ++i)
        out[i] = uint8_t(seed + i * 7 + (i >> 8));
    return out;
}

// The JEDEC erase cycles a host writes, with bus-width writes whose results
// are ignored (a wrong address may not even be a valid bus cycle).
inline void JedecErase(CSimBoardModel& board, int busBytes, uint32_t u1, uint32_t u2, uint32_t eraseAddress,
                       uint8_t command)
{
    const uint8_t cycles[] = {0xAA, 0x55, 0x80, 0xAA, 0x55};
    const uint32_t at[] = {u1, u2, u1, u1, u2};
    for (int i = 0; i < 5; ++i)
        board.BusWrite(at[i], busBytes, Replicated(cycles[i], busBytes));
    board.BusWrite(eraseAddress, busBytes, Replicated(command, busBytes));
}

inline void JedecReset(CSimBoardModel& board, int busBytes, uint32_t u1, uint32_t u2)
{
    board.BusWrite(u1, busBytes, Replicated(0xAA, busBytes));
    board.BusWrite(u2, busBytes, Replicated(0x55, busBytes));
    board.BusWrite(u1, busBytes, Replicated(0xF0, busBytes));
}

// Programs through the firmware's algorithm; returns the FlashProgram status.
inline int FirmwareProgram(CSimBoardModel& board, uint8_t code, uint8_t busBytes, uint32_t p1, uint32_t address,
                           const std::vector<uint8_t>& data, uint32_t* failAddress = nullptr,
                           uint32_t workspace = 0xFFFFFFFF)
{
    int setup = board.FlashSetup(code, busBytes, p1, workspace, 0);
    EXPECT_EQ(setup, 0) << "FlashSetup(" << int(code) << ")";
    uint32_t fail = 0;
    int status = board.FlashProgram(address, data.data(), uint32_t(data.size()), fail);
    if (failAddress)
        *failAddress = fail;
    board.FlashSetup(0, 0, 0, 0, 0);
    return status;
}
