#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One line of a firmware image file: a Motorola S-record.
//
// The line is taken in upper case from its first "S"; the character after it
// is the type, the next two the byte count (address, data and checksum bytes
// that follow). The line must end in a newline right behind the record:
// 4 + 2 x count characters from the "S". Types 1, 2 and 3 carry data at a 2-,
// 3- and 4-byte address and are checked through: hexadecimal digits only,
// count at least address length + 1, count + address + data + checksum
// bytes summing to 0xFF. Any other type of the right length is skipped
// without a look at its checksum.
class CFirmwareRecord {
public:
    enum class EKind { Bad, Skipped, Data };

    // Reads `line` (without its newline; `hasNewline` says whether one ended
    // it). For a bad record `error` says why.
    static EKind Parse(const std::string& line, bool hasNewline, uint32_t& address, std::vector<uint8_t>& data,
                       std::string& error);
};
