#include "files/record_line.h"

#include "common/hex_digits.h"
#include "common/text_format.h"
#include "files/program_file_readers.h"

namespace recordline {

bool IsBlank(const char* line, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        if (line[i] != ' ' && line[i] != '\t')
            return false;
    }
    return true;
}

namespace {

// A character as a message shows it: 'G', or byte 0x01 when it cannot be printed.
std::string Shown(char character)
{
    const auto c = static_cast<unsigned char>(character);
    return c >= 0x20 && c < 0x7F ? Format("'%c'", c) : Format("byte 0x%02X", c);
}

} // namespace

std::string NotHexReason(const char* line, size_t at)
{
    return Format("%s in column %zu is not a hexadecimal digit", Shown(line[at]).c_str(), at + 1);
}

size_t FirstNonHex(const char* line, size_t from, size_t count)
{
    for (size_t i = from; i < from + count; ++i) {
        if (hexdigits::kValue[static_cast<unsigned char>(line[i])] < 0)
            return i;
    }
    return from + count;
}

std::string AfterChecksumReason(const char* line, size_t at)
{
    return Format("%s in column %zu follows the record's checksum", Shown(line[at]).c_str(), at + 1);
}

namespace {

size_t FirstNonBlank(const char* line, size_t length)
{
    size_t i = 0;
    while (i < length && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    return i;
}

} // namespace

bool StartsLikeSRecord(const char* line, size_t length)
{
    const size_t i = FirstNonBlank(line, length);
    return i + 1 < length && (line[i] == 'S' || line[i] == 's') && line[i + 1] >= '0' && line[i + 1] <= '9';
}

bool StartsLikeIntelHex(const char* line, size_t length)
{
    const size_t i = FirstNonBlank(line, length);
    return i < length && line[i] == ':';
}

std::string TooLongReason(size_t maxLength)
{
    return Format("line longer than %zu characters", maxLength);
}

int Refuse(SLoadReport* report, unsigned long lineNumber, std::string reason)
{
    if (report) {
        report->line = lineNumber;
        report->reason = std::move(reason);
    }
    return kLoadRefused;
}

int NotFormat(SLoadReport* report, unsigned long lineNumber, std::string reason)
{
    if (report) {
        report->line = lineNumber;
        report->reason = std::move(reason);
    }
    return kLoadNotFormat;
}

} // namespace recordline
