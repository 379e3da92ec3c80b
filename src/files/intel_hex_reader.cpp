// The Intel HEX reader.
#include "common/hex_digits.h"
#include "files/line_reader.h"
#include "files/load_tracker.h"
#include "files/program_file_readers.h"

namespace {

// The 16-bit number of the four digits at p; false when one is not a hex digit.
bool DecodeWord(const char* p, uint32_t& out)
{
    uint8_t hi = 0;
    uint8_t lo = 0;
    if (!hexdigits::DecodeByte(p, hi) || !hexdigits::DecodeByte(p + 2, lo))
        return false;
    out = uint32_t{hi} << 8 | lo;
    return true;
}

} // namespace

int LoadIntelHexFile(const std::string& fileName, CMemoryImage& image, uint32_t& bytesLoaded,
                     CMemoryRange& fileRange, const CMemoryRange& physical, uint32_t loadOffset)
{
    bytesLoaded = 0;
    CLineReader file;
    if (!file.Open(fileName))
        return kLoadCannotOpen;
    CLoadTracker tracker(image, bytesLoaded);
    uint32_t extended = 0;
    uint8_t data[255];
    for (;;) {
        const char* line = nullptr;
        size_t length = 0;
        const CLineReader::EStatus status = file.NextLine(kIntelHexMaxLine, line, length);
        if (status == CLineReader::EStatus::End)
            break;
        if (status == CLineReader::EStatus::Error)
            return kLoadCannotOpen;
        if (status == CLineReader::EStatus::TooLong)
            return kLoadNotFormat;
        // Fixed positions: ":" LL AAAA TT DD... ; the type is its second digit alone.
        if (length < 9 || line[0] != ':')
            return kLoadNotFormat;
        switch (line[8]) {
        case '0': {
            uint8_t count = 0;
            uint32_t address = 0;
            if (!hexdigits::DecodeByte(line + 1, count) || !DecodeWord(line + 3, address))
                return kLoadNotFormat;
            // The data must lie wholly inside the line (the checksum digits need not).
            if (length < 9 + size_t{2} * count || !hexdigits::DecodeBytes(line + 9, data, count))
                return kLoadNotFormat;
            if (!tracker.Write(address + extended + loadOffset, data, count))
                return kLoadImageFailed;
            break;
        }
        case '2':
        case '4': {
            uint32_t value = 0;
            if (length < 13 || !DecodeWord(line + 9, value))
                return kLoadNotFormat;
            extended = line[8] == '2' ? value << 4 : value << 16;
            break;
        }
        case '1': // end of file: the rest of the file is still read
        case '3':
        case '5':
            break;
        default:
            return kLoadNotFormat;
        }
    }
    return tracker.Finish(fileRange, physical);
}
