#include "probe/maintenance/firmware_record.h"

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool HexByte(const std::string& text, size_t at, uint8_t& value)
{
    const int high = HexDigit(text[at]);
    const int low = HexDigit(text[at + 1]);
    if (high < 0 || low < 0)
        return false;
    value = static_cast<uint8_t>(high * 16 + low);
    return true;
}

} // namespace

CFirmwareRecord::EKind CFirmwareRecord::Parse(const std::string& line, bool hasNewline, uint32_t& address,
                                              std::vector<uint8_t>& data, std::string& error)
{
    data.clear();
    address = 0;
    std::string record;
    const size_t s = [&line] {
        for (size_t i = 0; i < line.size(); ++i)
            if (line[i] == 'S' || line[i] == 's')
                return i;
        return std::string::npos;
    }();
    if (s == std::string::npos) {
        error = "no record (no \"S\")";
        return EKind::Bad;
    }
    for (size_t i = s; i < line.size(); ++i)
        record.push_back(line[i] >= 'a' && line[i] <= 'z' ? static_cast<char>(line[i] - 'a' + 'A') : line[i]);
    uint8_t count = 0;
    if (record.size() < 4 || !HexByte(record, 2, count)) {
        error = "no byte count";
        return EKind::Bad;
    }
    if (!hasNewline || record.size() != 4 + 2 * size_t(count)) {
        error = hasNewline ? "length does not match the byte count" : "no line end after the record";
        return EKind::Bad;
    }
    const char type = record[1];
    size_t addressLength = 0;
    switch (type) {
    case '1': addressLength = 2; break;
    case '2': addressLength = 3; break;
    case '3': addressLength = 4; break;
    default: return EKind::Skipped;
    }
    if (count < addressLength + 1) {
        error = "byte count too small for the address";
        return EKind::Bad;
    }
    unsigned sum = count;
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) {
        if (!HexByte(record, 4 + 2 * i, bytes[i])) {
            error = "not a hexadecimal digit";
            return EKind::Bad;
        }
        sum += bytes[i];
    }
    if ((sum & 0xFF) != 0xFF) {
        error = "checksum wrong";
        return EKind::Bad;
    }
    for (size_t i = 0; i < addressLength; ++i)
        address = (address << 8) | bytes[i];
    data.assign(bytes.begin() + static_cast<long>(addressLength), bytes.end() - 1);
    return EKind::Data;
}
