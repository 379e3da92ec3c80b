// The Intel HEX reader.
#include "common/hex_digits.h"
#include "common/text_format.h"
#include "files/line_reader.h"
#include "files/load_tracker.h"
#include "files/program_file_readers.h"
#include "files/record_line.h"

namespace {

// Data bytes a record of each type 01 to 05 must carry.
constexpr int kFixedLength[] = {-1, 0, 2, 4, 2, 4};

} // namespace

int LoadIntelHexFile(const std::string& fileName, CMemoryImage& image, uint32_t& bytesLoaded,
                     CMemoryRange& fileRange, const CMemoryRange& physical, uint32_t loadOffset,
                     SLoadReport* report)
{
    bytesLoaded = 0;
    CLineReader file;
    if (!file.Open(fileName))
        return kLoadCannotOpen;
    CLoadTracker tracker(image, bytesLoaded, report);
    uint32_t extended = 0;
    // Length, address (2), type, up to 255 data bytes and the checksum.
    uint8_t record[4 + 255 + 1];
    unsigned long lineNumber = 0;
    bool first = true;
    const auto refuse = [&](std::string why) { return recordline::Refuse(report, lineNumber, std::move(why)); };
    for (;;) {
        const char* line = nullptr;
        size_t length = 0;
        const CLineReader::EStatus status = file.NextLine(kIntelHexMaxLine, line, length);
        if (status == CLineReader::EStatus::End)
            break;
        if (status == CLineReader::EStatus::Error)
            return kLoadCannotOpen;
        ++lineNumber;
        const bool tooLong = status == CLineReader::EStatus::TooLong;
        if (!tooLong && recordline::IsBlank(line, length))
            continue;
        // The first line that is not blank decides: a file that opens with
        // ":" is Intel HEX, and every bad line of it, this one included,
        // refuses it.
        if (first && !recordline::StartsLikeIntelHex(line, length))
            return recordline::NotFormat(report, lineNumber, "the first line is no Intel HEX record");
        first = false;
        if (tooLong)
            return refuse(recordline::TooLongReason(kIntelHexMaxLine));
        // ":" LL AAAA TT DD... CC
        if (line[0] != ':')
            return refuse("the line does not begin with ':'");
        const size_t digits = length - 1;
        if (digits >= 2) {
            if (!hexdigits::DecodeByte(line + 1, record[0]))
                return refuse(recordline::NotHexReason(line, recordline::FirstNonHex(line, 1, 2)));
        }
        const size_t total = 5 + size_t{digits >= 2 ? record[0] : 0u};
        if (digits < 2 * total) {
            const size_t nonHex = recordline::FirstNonHex(line, 1, digits);
            if (nonHex < length)
                return refuse(recordline::NotHexReason(line, nonHex));
            return refuse(digits < 10 ? std::string("the line is too short for a record")
                                      : Format("the record's length (%u bytes) runs past the end of the line",
                                               record[0]));
        }
        uint8_t sum = 0;
        const size_t decoded = hexdigits::DecodeRun(line + 1, record, total, sum);
        if (decoded != total)
            return refuse(recordline::NotHexReason(line, recordline::FirstNonHex(line, 1 + 2 * decoded, 2)));
        // Nothing but blanks may follow the checksum.
        for (size_t i = 1 + 2 * total; i < length; ++i) {
            if (line[i] != ' ' && line[i] != '\t')
                return refuse(recordline::AfterChecksumReason(line, i));
        }
        const unsigned count = record[0];
        const unsigned type = record[3];
        if (type > 5)
            return refuse(Format("unknown record type %02X", type));
        if (kFixedLength[type] >= 0 && count != static_cast<unsigned>(kFixedLength[type]))
            return refuse(Format("a record of type %02X with %u data bytes (it has %d)", type, count,
                                 kFixedLength[type]));
        if (sum != 0) {
            const auto expected = static_cast<uint8_t>(record[total - 1] - sum);
            return refuse(Format("checksum mismatch (the record says %02X, its bytes give %02X)", record[total - 1],
                                 expected));
        }
        const uint32_t address = uint32_t{record[1]} << 8 | record[2];
        switch (type) {
        case 0:
            if (!tracker.Write(address + extended + loadOffset, record + 4, count))
                return kLoadImageFailed;
            break;
        case 2:
        case 4: {
            const uint32_t value = uint32_t{record[4]} << 8 | record[5];
            extended = type == 2 ? value << 4 : value << 16;
            break;
        }
        default: // end of file, start addresses: the rest of the file is still read
            break;
        }
    }
    if (first)
        return recordline::NotFormat(report, 0, "the file holds no Intel HEX record"); // empty, or blank lines only
    if (!tracker.WroteData()) {
        lineNumber = 0;
        return refuse(recordline::kNoDataReason);
    }
    return tracker.Finish(fileRange, physical);
}
