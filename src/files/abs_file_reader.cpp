// The HIWARE absolute reader: a binary file of big-endian numbers.
#include "files/line_reader.h"
#include "files/load_tracker.h"
#include "files/program_file_readers.h"

namespace {

constexpr uint32_t kPiece = 512;

bool ReadExact(CLineReader& file, uint8_t* out, size_t count)
{
    return file.Read(out, count) == static_cast<long>(count);
}

bool ReadNumber(CLineReader& file, int width, uint32_t& value)
{
    uint8_t b[4];
    if (!ReadExact(file, b, static_cast<size_t>(width)))
        return false;
    value = 0;
    for (int i = 0; i < width; ++i)
        value = value << 8 | b[i];
    return true;
}

// Skips one zero-terminated string; false when the file ends first.
bool SkipString(CLineReader& file)
{
    uint8_t c = 0;
    do {
        if (!ReadExact(file, &c, 1))
            return false;
    } while (c != 0);
    return true;
}

} // namespace

int LoadAbsFile(const std::string& fileName, CMemoryImage& image, uint32_t& bytesLoaded, CMemoryRange& fileRange,
                const CMemoryRange& physical, uint32_t loadOffset,
                SLoadReport* report)
{
    bytesLoaded = 0;
    CLineReader file;
    if (!file.Open(fileName))
        return kLoadCannotOpen;
    // A file that cannot be read is reported as not opened, not as another format.
    auto notFormat = [&file] { return file.Failed() ? kLoadCannotOpen : kLoadNotFormat; };
    uint8_t magic[2];
    if (!ReadExact(file, magic, 2) || magic[0] != 0xFE || magic[1] != 0x81)
        return notFormat();
    uint32_t value = 0;
    for (int i = 0; i < 5; ++i) {
        if (!ReadNumber(file, 2, value))
            return notFormat();
    }
    for (int i = 0; i < 5; ++i) {
        if (!SkipString(file))
            return notFormat();
    }
    if (!ReadNumber(file, 4, value))
        return notFormat();

    CLoadTracker tracker(image, bytesLoaded, report);
    uint8_t piece[kPiece];
    for (;;) {
        uint32_t length = 0;
        if (!ReadNumber(file, 2, length))
            return notFormat();
        if (length == 0)
            break;
        uint32_t address = 0;
        if (!ReadNumber(file, 4, address))
            return notFormat();
        address += loadOffset;
        tracker.Count(length);
        for (uint32_t done = 0; done < length;) {
            const uint32_t n = length - done < kPiece ? length - done : kPiece;
            if (!ReadExact(file, piece, n))
                return notFormat();
            if (!tracker.Place(address, piece, n))
                return kLoadImageFailed;
            address += n;
            done += n;
        }
    }
    return tracker.Finish(fileRange, physical);
}
