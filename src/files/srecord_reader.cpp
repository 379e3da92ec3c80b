// The Motorola S-record reader.
#include "common/hex_digits.h"
#include "files/line_reader.h"
#include "files/load_tracker.h"
#include "files/program_file_readers.h"

#include <cstring>

int SSRecord::AddressLength() const
{
    switch (type) {
    case 0: case 1: case 5: case 9: return 2;
    case 2: case 6: case 8: return 3;
    case 3: case 7: return 4;
    default: return 0;
    }
}

uint32_t SSRecord::Address() const
{
    uint32_t a = 0;
    for (int i = 0; i < AddressLength() && i < count; ++i)
        a = a << 8 | bytes[i];
    return a;
}

bool SSRecord::ChecksumOk() const
{
    if (count == 0)
        return false;
    unsigned sum = count;
    for (int i = 0; i + 1 < count; ++i)
        sum += bytes[i];
    return static_cast<uint8_t>(~sum) == bytes[count - 1];
}

ESRecordLine DecodeSRecordLine(const char* line, size_t length, SSRecord& record)
{
    // The first "S" of the line, in either case (the line is read upper-cased).
    const char* s = static_cast<const char*>(std::memchr(line, 'S', length));
    const char* lower = static_cast<const char*>(std::memchr(line, 's', s ? static_cast<size_t>(s - line) : length));
    if (lower)
        s = lower;
    if (!s)
        return ESRecordLine::NoRecord;
    const size_t rest = length - static_cast<size_t>(s - line) - 1;
    const char* p = s + 1;
    if (rest < 3 || p[0] < '0' || p[0] > '9')
        return ESRecordLine::Malformed;
    record.type = p[0] - '0';
    if (!hexdigits::DecodeByte(p + 1, record.count))
        return ESRecordLine::Malformed;
    // The record must lie wholly inside the line: never read past its end.
    if (rest - 3 < size_t{2} * record.count)
        return ESRecordLine::Malformed;
    if (record.count == 0 || !hexdigits::DecodeBytes(p + 3, record.bytes, record.count))
        return ESRecordLine::Malformed;
    // A data record needs room for its address and its checksum.
    if (record.type >= 1 && record.type <= 3 && record.count < record.AddressLength() + 1)
        return ESRecordLine::Malformed;
    return ESRecordLine::Record;
}

ESRecordLine ParseSRecordLine(CLineReader& file, SSRecord& record)
{
    const char* text = nullptr;
    size_t length = 0;
    switch (file.NextLine(kSRecordMaxLine, text, length)) {
    case CLineReader::EStatus::End: return ESRecordLine::EndOfFile;
    case CLineReader::EStatus::TooLong: return ESRecordLine::TooLong;
    case CLineReader::EStatus::Error: return ESRecordLine::ReadError;
    case CLineReader::EStatus::Line: break;
    }
    return DecodeSRecordLine(text, length, record);
}

int LoadSRecordFile(const std::string& fileName, CMemoryImage& image, uint32_t& bytesLoaded,
                    CMemoryRange& fileRange, const CMemoryRange& physical, uint32_t loadOffset)
{
    bytesLoaded = 0;
    CLineReader file;
    if (!file.Open(fileName))
        return kLoadCannotOpen;
    CLoadTracker tracker(image, bytesLoaded);
    SSRecord record;
    bool first = true;
    for (;;) {
        const ESRecordLine line = ParseSRecordLine(file, record);
        if (line == ESRecordLine::ReadError)
            return kLoadCannotOpen;
        if (first) {
            // Only a file that opens with a header or data record is taken as S-records.
            if (line != ESRecordLine::Record || record.type > 3)
                return kLoadNotFormat;
            first = false;
        }
        if (line == ESRecordLine::EndOfFile)
            break;
        if (line == ESRecordLine::NoRecord)
            continue;
        if (line != ESRecordLine::Record || !record.ChecksumOk() || record.type == 4)
            return kLoadNotFormat;
        if (record.type < 1 || record.type > 3)
            continue; // header, count and termination records end nothing
        const int addressLength = record.type + 1;
        const uint32_t dataLength = record.count - addressLength - 1u;
        if (!tracker.Write(record.Address() + loadOffset, record.bytes + addressLength, dataLength))
            return kLoadImageFailed;
    }
    return tracker.Finish(fileRange, physical);
}
