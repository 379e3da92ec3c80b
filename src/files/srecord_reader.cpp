// The Motorola S-record reader.
#include "common/hex_digits.h"
#include "files/line_reader.h"
#include "files/load_tracker.h"
#include "common/text_format.h"
#include "files/program_file_readers.h"
#include "files/record_line.h"


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

ESRecordLine DecodeSRecordLine(const char* line, size_t length, SSRecord& record, std::string* reason)
{
    // The first "S" of the line, in either case (the line is read upper-cased);
    // nearly always its first character.
    const char* s = line;
    if (length == 0 || (line[0] != 'S' && line[0] != 's')) {
        s = static_cast<const char*>(std::memchr(line, 'S', length));
        const char* lower =
            static_cast<const char*>(std::memchr(line, 's', s ? static_cast<size_t>(s - line) : length));
        if (lower)
            s = lower;
    }
    if (!s)
        return ESRecordLine::NoRecord;
    const auto bad = [reason](std::string why) {
        if (reason)
            *reason = std::move(why);
        return ESRecordLine::Malformed;
    };
    const size_t at = static_cast<size_t>(s - line);
    const size_t rest = length - at - 1;
    const char* p = s + 1;
    if (rest < 1 || p[0] < '0' || p[0] > '9')
        return bad(rest < 1 ? std::string("'S' without a record type")
                            : Format("'S' in column %zu is not followed by a record type digit", at + 1));
    if (rest < 3)
        return bad("the record ends before its length");
    record.type = p[0] - '0';
    if (!hexdigits::DecodeByte(p + 1, record.count))
        return bad(recordline::NotHexReason(line, recordline::FirstNonHex(line, at + 2, 2)));
    if (record.count == 0)
        return bad("record length 0");
    // The record must lie wholly inside the line: never read past its end.
    const size_t digits = size_t{2} * record.count;
    if (rest - 3 < digits) {
        const size_t nonHex = recordline::FirstNonHex(line, at + 4, rest - 3);
        if (nonHex < length)
            return bad(recordline::NotHexReason(line, nonHex));
        return bad(Format("the record's length (%u bytes) runs past the end of the line", record.count));
    }
    const size_t decoded = hexdigits::DecodeRun(p + 3, record.bytes, record.count, record.byteSum);
    if (decoded != record.count)
        return bad(recordline::NotHexReason(line, recordline::FirstNonHex(line, at + 4 + 2 * decoded, 2)));
    // A data record needs room for its address and its checksum.
    if (record.type >= 1 && record.type <= 3 && record.count < record.AddressLength() + 1)
        return bad(Format("S%d record of length %u cannot hold its address and checksum", record.type,
                          record.count));
    // Nothing but blanks may follow the checksum: a digit more means the
    // record's length or its digits are wrong.
    const size_t after = at + 4 + digits;
    for (size_t i = after; i < length; ++i) {
        if (line[i] != ' ' && line[i] != '\t')
            return bad(recordline::AfterChecksumReason(line, i));
    }
    return ESRecordLine::Record;
}

ESRecordLine ParseSRecordLine(CLineReader& file, SSRecord& record, std::string* reason)
{
    const char* text = nullptr;
    size_t length = 0;
    switch (file.NextLine(kSRecordMaxLine, text, length)) {
    case CLineReader::EStatus::End: return ESRecordLine::EndOfFile;
    case CLineReader::EStatus::TooLong: return ESRecordLine::TooLong;
    case CLineReader::EStatus::Error: return ESRecordLine::ReadError;
    case CLineReader::EStatus::Line: break;
    }
    return DecodeSRecordLine(text, length, record, reason);
}

int LoadSRecordFile(const std::string& fileName, CMemoryImage& image, uint32_t& bytesLoaded,
                    CMemoryRange& fileRange, const CMemoryRange& physical, uint32_t loadOffset,
                    SLoadReport* report)
{
    bytesLoaded = 0;
    CLineReader file;
    if (!file.Open(fileName))
        return kLoadCannotOpen;
    CLoadTracker tracker(image, bytesLoaded, report);
    SSRecord record;
    std::string reason;
    unsigned long lineNumber = 0;
    bool first = true;
    const auto refuse = [&](std::string why) { return recordline::Refuse(report, lineNumber, std::move(why)); };
    for (;;) {
        const char* text = nullptr;
        size_t length = 0;
        const CLineReader::EStatus status = file.NextLine(kSRecordMaxLine, text, length);
        if (status == CLineReader::EStatus::End)
            break;
        if (status == CLineReader::EStatus::Error)
            return kLoadCannotOpen;
        ++lineNumber;
        const bool tooLong = status == CLineReader::EStatus::TooLong;
        if (first && !tooLong && recordline::IsBlank(text, length))
            continue;
        // The first line that is not blank decides: a file that opens like
        // an S-record ("S" and a digit) is one, and every bad line of it,
        // this one included, refuses it.
        if (first && !recordline::StartsLikeSRecord(text, length))
            return recordline::NotFormat(report, lineNumber, "the first line is no S-record");
        first = false;
        if (tooLong)
            return refuse(recordline::TooLongReason(kSRecordMaxLine));
        const ESRecordLine line = DecodeSRecordLine(text, length, record, &reason);
        if (line == ESRecordLine::NoRecord)
            continue; // a line without "S" holds no record
        if (line != ESRecordLine::Record)
            return refuse(reason);
        const uint8_t checksum = record.bytes[record.count - 1];
        const uint8_t expected = static_cast<uint8_t>(~(record.count + record.byteSum - checksum));
        if (expected != checksum)
            return refuse(Format("checksum mismatch (the record says %02X, its bytes give %02X)", checksum,
                                 expected));
        if (record.type == 4)
            return refuse("S4 records are not supported");
        if (record.type < 1 || record.type > 3)
            continue; // header, count and termination records end nothing
        const int addressLength = record.type + 1;
        const uint32_t dataLength = record.count - addressLength - 1u;
        if (!tracker.Write(record.Address() + loadOffset, record.bytes + addressLength, dataLength))
            return kLoadImageFailed;
    }
    if (first)
        return recordline::NotFormat(report, 0, "the file holds no S-record"); // empty, or blank lines only
    if (!tracker.WroteData()) {
        lineNumber = 0;
        return refuse(recordline::kNoDataReason);
    }
    return tracker.Finish(fileRange, physical);
}
