#include "probe/gdb/gdb_packet_codec.h"

#include <gtest/gtest.h>

TEST(GdbPacketCodec, FramesEscapeTheProtocolsOwnBytesAndSumWhatIsSent)
{
    EXPECT_EQ(CGdbPacketCodec::Frame("OK"), "$OK#9a");
    EXPECT_EQ(CGdbPacketCodec::Frame(""), "$#00");
    // '$', '#', '}' and '*' go as '}' and the byte XOR 0x20; the checksum is
    // over the escaped bytes.
    const std::string framed = CGdbPacketCodec::Frame("a$b#c}d*");
    EXPECT_EQ(framed.substr(0, 13), "$a}\x04" "b}\x03" "c}]d}\x0a");
    std::string payload;
    ASSERT_TRUE(CGdbPacketCodec::Expand(framed.substr(1, framed.size() - 4), payload, 100));
    EXPECT_EQ(payload, "a$b#c}d*");
    EXPECT_EQ(CGdbPacketCodec::Checksum(framed.substr(1, framed.size() - 4)),
              std::stoi(framed.substr(framed.size() - 2), nullptr, 16));
}

TEST(GdbPacketCodec, ExpandsRunsAndRefusesMalformedForms)
{
    struct SCase {
        std::string raw;
        bool ok;
        std::string payload;
    };
    const SCase cases[] = {
        {"0* ", true, "0000"},                       // ' ' is 32: three more of the byte
        {"ab*\"c", true, "abbbbbbc"},                // '"' is 34: five more
        {"x*~", true, std::string(98, 'x')},         // '~' is 126: 97 more
        {"*!", false, ""},                           // a run with nothing before it
        {"a*\x1f", false, ""},                       // count below three
        {"ab}", false, ""},                          // an escape at the end
        {"a*", false, ""},                           // a run without its count
        {"0123456789", false, ""},                   // longer than allowed (8)
    };
    for (const SCase& c : cases) {
        std::string payload;
        EXPECT_EQ(CGdbPacketCodec::Expand(c.raw, payload, 8 + (c.ok ? 1000 : 0)), c.ok) << c.raw;
        if (c.ok) {
            EXPECT_EQ(payload, c.payload) << c.raw;
        }
    }
}

TEST(GdbPacketCodec, HexGoesBothWaysAndRefusesWrongLengthsAndDigits)
{
    const uint8_t bytes[] = {0x00, 0x7f, 0xA5, 0xff};
    EXPECT_EQ(CGdbPacketCodec::Hex(bytes, 4), "007fa5ff");
    uint8_t back[4] = {};
    EXPECT_TRUE(CGdbPacketCodec::FromHex("007FA5ff", back, 4));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 4), std::string(reinterpret_cast<const char*>(bytes), 4));
    EXPECT_FALSE(CGdbPacketCodec::FromHex("007fa5f", back, 4));
    EXPECT_FALSE(CGdbPacketCodec::FromHex("007fa5fg", back, 4));
    EXPECT_EQ(CGdbPacketCodec::Hex("reset"), "7265736574");
}
