#include "probe/link/wire_decoder.h"
#include "probe/link/wire_packet.h"
#include "probe/link/wire_payload.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Encode(uint8_t op, uint32_t sequence, const Bytes& payload, bool checksum, uint8_t flags = 0)
{
    Bytes out;
    EncodeWirePacket(op, flags, sequence, payload.data(), payload.size(), checksum, out);
    return out;
}

TEST(WirePacket, Crc16IsTheCcittFalseVariant)
{
    const std::string check = "123456789";
    EXPECT_EQ(WireCrc16(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0x29B1);
}

TEST(WirePacket, HeaderLayout)
{
    const Bytes frame = Encode(kOpTargetRead32, 0x01020304, {0xAA, 0xBB}, false, kWireFlagReply);
    EXPECT_EQ(frame, (Bytes{0x51, 0x58, 39, 1, 1, 2, 3, 4, 0, 0, 0, 2, 0xAA, 0xBB}));
    const Bytes withCrc = Encode(kOpTargetRead32, 0x01020304, {0xAA, 0xBB}, true, kWireFlagReply);
    ASSERT_EQ(withCrc.size(), frame.size() + 2);
    const uint16_t crc = WireCrc16(frame.data(), frame.size());
    EXPECT_EQ(withCrc[14], crc >> 8);
    EXPECT_EQ(withCrc[15], crc & 0xFF);
}

TEST(WireDecoder, FramesSurviveAnySplitOfTheStream)
{
    for (bool checksum : {false, true}) {
        Bytes stream = Encode(kOpHello, 1, {0, 1}, checksum);
        const Bytes second = Encode(kOpStreamBlock, 2, Bytes(3000, 0x5A), checksum);
        stream.insert(stream.end(), second.begin(), second.end());
        for (size_t piece : {size_t(1), size_t(7), size_t(13), stream.size()}) {
            CWireDecoder decoder(checksum);
            std::vector<SWirePacket> frames;
            for (size_t at = 0; at < stream.size(); at += piece) {
                decoder.Feed(stream.data() + at, std::min(piece, stream.size() - at));
                SWirePacket frame;
                while (decoder.Next(frame))
                    frames.push_back(frame);
            }
            ASSERT_EQ(frames.size(), 2u) << piece;
            EXPECT_EQ(frames[0].op, kOpHello);
            EXPECT_EQ(frames[0].sequence, 1u);
            EXPECT_EQ(frames[0].payload, (Bytes{0, 1}));
            EXPECT_EQ(frames[1].sequence, 2u);
            EXPECT_EQ(frames[1].payload, Bytes(3000, 0x5A));
            EXPECT_EQ(decoder.SkippedBytes(), 0u);
        }
    }
}

TEST(WireDecoder, NoiseAndCorruptedFramesAreSkippedOnASerialLine)
{
    Bytes stream = {0x00, 0x51, 0x13, 0xFF};  // noise, one false start
    Bytes corrupt = Encode(kOpTransact, 7, {1, 2, 3, 4}, true);
    corrupt[14] ^= 0x10;  // a bit flipped in the payload
    const Bytes good = Encode(kOpTransact, 8, {5, 6}, true);
    stream.insert(stream.end(), corrupt.begin(), corrupt.end());
    stream.insert(stream.end(), good.begin(), good.end());

    CWireDecoder decoder(true);
    decoder.Feed(stream.data(), stream.size());
    SWirePacket frame;
    ASSERT_TRUE(decoder.Next(frame));
    EXPECT_EQ(frame.sequence, 8u);
    EXPECT_EQ(frame.payload, (Bytes{5, 6}));
    EXPECT_FALSE(decoder.Next(frame));
    EXPECT_EQ(decoder.SkippedBytes(), 4 + corrupt.size());
}

TEST(WireDecoder, ALengthAboveTheLimitIsNoFrame)
{
    Bytes stream = {0x51, 0x58, 1, 0, 0, 0, 0, 1, 0x7F, 0xFF, 0xFF, 0xFF};
    const Bytes good = Encode(kOpHello, 2, {}, false);
    stream.insert(stream.end(), good.begin(), good.end());
    CWireDecoder decoder(false);
    decoder.Feed(stream.data(), stream.size());
    SWirePacket frame;
    ASSERT_TRUE(decoder.Next(frame));
    EXPECT_EQ(frame.sequence, 2u);
    EXPECT_EQ(decoder.SkippedBytes(), 12u);
}

TEST(WireDecoder, MissingBytesOfTheFrameUnderWay)
{
    const Bytes frame = Encode(kOpTargetReadBlock, 3, Bytes(100, 1), true);
    CWireDecoder decoder(true);
    decoder.Feed(frame.data(), 11);
    EXPECT_EQ(decoder.MissingBytes(), 0u) << "header incomplete";
    decoder.Feed(frame.data() + 11, 20);
    EXPECT_EQ(decoder.MissingBytes(), frame.size() - 31);
}

TEST(WirePayload, ReaderNeverReadsPastTheEnd)
{
    CWireWriter writer;
    writer.U8(1).U16(0x0203).U32(0x04050607).I32(-1206).Text8("SN");
    CWireReader reader(writer.bytes);
    EXPECT_EQ(reader.U8(), 1);
    EXPECT_EQ(reader.U16(), 0x0203);
    EXPECT_EQ(reader.U32(), 0x04050607u);
    EXPECT_EQ(reader.I32(), -1206);
    EXPECT_EQ(reader.Text8(), "SN");
    EXPECT_TRUE(reader.Done());
    EXPECT_EQ(reader.U32(), 0u);
    EXPECT_FALSE(reader.Ok());

    const Bytes cut = {5, 'a', 'b'};  // text of 5 announced, 2 present
    CWireReader shortText(cut);
    EXPECT_EQ(shortText.Text8(), "");
    EXPECT_FALSE(shortText.Ok());
}

} // namespace
