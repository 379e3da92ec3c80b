#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The packet form of the GDB remote protocol: '$', the payload, '#' and two
// hexadecimal digits of the checksum (the sum of the payload's bytes as sent,
// modulo 256). Inside a payload the bytes '$', '#', '}' and '*' are sent as
// '}' followed by the byte XOR 0x20; a server may compress a run of one byte
// as the byte, '*' and a count character (repeats + 29).
class CGdbPacketCodec {
public:
    // The bytes that carry `payload`, escaped where needed.
    static std::string Frame(std::string_view payload);
    // The checksum of a packet's bytes between '$' and '#'.
    static uint8_t Checksum(std::string_view raw);
    // The payload of a received packet's bytes between '$' and '#', with
    // escapes and runs expanded. False for a malformed form: an escape at the
    // end, a run with no byte before it or with a count outside 3..97, or an
    // expansion past `maxPayload` bytes.
    static bool Expand(std::string_view raw, std::string& payload, size_t maxPayload);

    // Two lower-case hexadecimal digits per byte.
    static std::string Hex(const uint8_t* bytes, size_t length);
    static std::string Hex(std::string_view text);
    // The value of one hexadecimal digit, -1 for any other character.
    static int HexDigit(char c);
    // Exactly `length` bytes from 2 * `length` hexadecimal digits.
    static bool FromHex(std::string_view hex, uint8_t* bytes, size_t length);
};
