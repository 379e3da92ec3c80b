#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A firmware image file read and checked whole before anything reaches the
// probe: every line must be a good record (CFirmwareRecord), at most 254
// characters long before its newline, and no data byte may lie below the
// firmware's first sector (the loader and the network setup lie there) nor
// past the end of the 32-bit address space. Where the area ends is the
// probe's business: a byte the loader cannot program fails the update there.
// The start marker's word is written last and by the programmer alone: data
// on it must be 0xFF (erased flash, which programming leaves as it is). A
// file without data is refused.
class CFirmwareImage {
public:
    static constexpr uint32_t kAreaStart = 0x0100C000;
    static constexpr uint32_t kMarkerAddress = 0x01040000;
    static constexpr size_t kMaxLineLength = 254;
    // The whole area as S-records of short lines fits well within this; a
    // larger file (or a device that never ends) is refused unread.
    static constexpr size_t kMaxFileBytes = 16 << 20;

    enum class EResult { Ok, CannotOpen, BadRecord };

    struct SBlock {
        uint32_t address = 0;
        std::vector<uint8_t> data;  // padded with 0xFF to a multiple of 4
        uint64_t filePosition = 0;  // bytes of the file up to the end of the record's line
        size_t line = 0;
    };

    EResult Read(const std::string& path);
    EResult ReadText(const std::string& text);

    const std::vector<SBlock>& Blocks() const { return blocks_; }
    uint64_t FileLength() const { return fileLength_; }

    // After BadRecord: the line (1 is the first) and what is wrong with it.
    size_t badLine = 0;
    std::string detail;

private:
    std::vector<SBlock> blocks_;
    uint64_t fileLength_ = 0;
};
