#pragma once

#include <array>
#include <string>

// The logic design in a JEDEC fuse file: 134 rows of 240 fuses, each fuse the
// character '0' or '1'.
//
// The file is read as text in pieces of at most 80 characters (a longer line
// comes in pieces of 80, the newline in the last piece; "\r\n" counts as one
// newline). The fuse map starts after the piece that is exactly "*L00000" and
// its newline; each row is then made of the next four pieces, from each its
// leading run of '0' and '1' characters. A row must come out exactly 240
// fuses long. Whatever follows row 133 is not read.
class CJedecFile {
public:
    static constexpr int kRows = 134;
    static constexpr size_t kRowFuses = 240;
    static constexpr size_t kPieceLength = 80;
    static constexpr int kPiecesPerRow = 4;
    // A file is read up to this size (a device such as /dev/zero never ends).
    static constexpr size_t kMaxFileBytes = 4 << 20;

    enum class EResult { Ok, CannotOpen, NoFuseMap, BadRow };

    using FuseMap = std::array<std::string, kRows>;

    // Reads `path` into `map` (whose rows are emptied first). Failure leaves
    // the detail in the fields below.
    EResult Read(const std::string& path, FuseMap& map);
    // Reads file text already in memory.
    EResult ReadText(const std::string& text, FuseMap& map);

    // After BadRow: the row, the fuses it got and the line of the file
    // where it starts (1 is the first line).
    int badRow = -1;
    size_t badRowFuses = 0;
    size_t badRowLine = 0;
    // A description of the failure for the person ("" after success).
    std::string detail;
};
