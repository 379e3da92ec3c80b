#include "probe/gdb/gdb_packet_codec.h"

namespace {

constexpr char kDigits[] = "0123456789abcdef";

bool NeedsEscape(char c)
{
    return c == '$' || c == '#' || c == '}' || c == '*';
}

} // namespace

int CGdbPacketCodec::HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

uint8_t CGdbPacketCodec::Checksum(std::string_view raw)
{
    uint8_t sum = 0;
    for (const char c : raw)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
    return sum;
}

std::string CGdbPacketCodec::Frame(std::string_view payload)
{
    std::string framed;
    framed.reserve(payload.size() + 4);
    framed.push_back('$');
    for (const char c : payload) {
        if (NeedsEscape(c)) {
            framed.push_back('}');
            framed.push_back(static_cast<char>(c ^ 0x20));
        } else {
            framed.push_back(c);
        }
    }
    const uint8_t sum = Checksum(std::string_view(framed).substr(1));
    framed.push_back('#');
    framed.push_back(kDigits[sum >> 4]);
    framed.push_back(kDigits[sum & 0x0F]);
    return framed;
}

bool CGdbPacketCodec::Expand(std::string_view raw, std::string& payload, size_t maxPayload)
{
    payload.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '}') {
            if (i + 1 >= raw.size())
                return false;
            payload.push_back(static_cast<char>(raw[++i] ^ 0x20));
        } else if (c == '*') {
            if (payload.empty() || i + 1 >= raw.size())
                return false;
            const int repeats = static_cast<unsigned char>(raw[++i]) - 29;
            if (repeats < 3 || repeats > 97)
                return false;
            if (payload.size() + static_cast<size_t>(repeats) > maxPayload)
                return false;
            payload.append(static_cast<size_t>(repeats), payload.back());
        } else {
            payload.push_back(c);
        }
        if (payload.size() > maxPayload)
            return false;
    }
    return true;
}

std::string CGdbPacketCodec::Hex(const uint8_t* bytes, size_t length)
{
    std::string hex(length * 2, '0');
    for (size_t i = 0; i < length; ++i) {
        hex[2 * i] = kDigits[bytes[i] >> 4];
        hex[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    return hex;
}

std::string CGdbPacketCodec::Hex(std::string_view text)
{
    return Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

bool CGdbPacketCodec::FromHex(std::string_view hex, uint8_t* bytes, size_t length)
{
    if (hex.size() != length * 2)
        return false;
    for (size_t i = 0; i < length; ++i) {
        const int hi = HexDigit(hex[2 * i]);
        const int lo = HexDigit(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return true;
}
