// The simulator's board files: parsed, and when they parse, built into a
// simulated board.
#include "sim/board_file.h"
#include "sim/sim_board_model.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    CBoardFile board;
    std::string error;
    if (!CBoardFile::Parse(text, board, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    CSimBoardModel model;
    if (!model.Build(board, error) && error.empty())
        std::abort();
    return 0;
}
