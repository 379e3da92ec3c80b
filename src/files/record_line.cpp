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

std::string NotHexReason(const char* line, size_t at)
{
    const auto c = static_cast<unsigned char>(line[at]);
    const std::string shown = c >= 0x20 && c < 0x7F ? Format("'%c'", c) : Format("byte 0x%02X", c);
    return Format("%s in column %zu is not a hexadecimal digit", shown.c_str(), at + 1);
}

size_t FirstNonHex(const char* line, size_t from, size_t count)
{
    for (size_t i = from; i < from + count; ++i) {
        if (hexdigits::kValue[static_cast<unsigned char>(line[i])] < 0)
            return i;
    }
    return from + count;
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

} // namespace recordline
