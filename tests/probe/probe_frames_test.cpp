// Command frames against a library that records each request and answers
// with a crafted reply.

#include "probe/probe_frames.h"
#include "probe/probe_status.h"
#include "support/null_probe_library.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Answers LinkTransact with `reply` (or with `status` when it is negative)
// and records what was sent; the typed operations are not used by frames.
class CCraftedLibrary final : public CNullProbeLibrary {
public:
    int LinkTransact(int requestLength, const uint8_t* request, int replyCapacity, uint8_t* replyBuffer,
                     int timeoutMs) override
    {
        ++calls;
        sent.assign(request, request + requestLength);
        capacity = replyCapacity;
        timeout = timeoutMs;
        if (status < 0)
            return status;
        if (!reply.empty())
            std::memcpy(replyBuffer, reply.data(), reply.size());
        return static_cast<int>(reply.size());
    }


    Bytes reply;
    int status = 0;
    Bytes sent;
    int capacity = 0;
    int timeout = 0;
    int calls = 0;
};

Bytes WithLength(Bytes head, size_t total, uint8_t fill = 0)
{
    head.resize(total, fill);
    return head;
}

// One command, sent through CProbeFrames; the result.
using Command = int (*)(CProbeFrames&);

struct SCommandCase {
    const char* name;
    Command send;
    Bytes request;   // exact request bytes
    int timeout;     // ms
    Bytes goodReply; // a reply the command accepts
    bool checked;    // false: "any" reply is accepted
};

std::string Row(char c)
{
    return std::string(kLogicRowFuses, c);
}

const std::vector<SCommandCase>& Commands()
{
    static const std::vector<SCommandCase> cases = {
        {"LoaderIdentify",
         [](CProbeFrames& f) {
             SLoaderIdentity id;
             return f.LoaderIdentify(id);
         },
         {100}, 1000, {100, 0, 105, 0, 113, 0, 112, 3, '1', '2', '3'}, true},
        {"ReadProbeMemory",
         [](CProbeFrames& f) {
             uint8_t data[4];
             return f.ReadProbeMemory(0x01008000, 4, data);
         },
         {101, 0x01, 0x00, 0x80, 0x00, 0x00, 0x04}, 1000, WithLength({101}, 11), true},
        {"EraseProbeSector", [](CProbeFrames& f) { return f.EraseProbeSector(0x0100C000); },
         {103, 0x01, 0x00, 0xC0, 0x00}, 10000, {103, 0}, true},
        {"ProgramProbeMemory",
         [](CProbeFrames& f) {
             const uint8_t data[2] = {0xAB, 0xCD};
             uint32_t value = 0;
             return f.ProgramProbeMemory(0x01040000, 2, data, value);
         },
         {104, 0x01, 0x04, 0x00, 0x00, 0x00, 0x02, 0xAB, 0xCD}, 1000, {104, 0, 0, 0, 0, 0}, true},
        {"LogicAccess", [](CProbeFrames& f) { return f.LogicAccess(1); }, {105, 1}, 100, {}, false},
        {"LogicReadId",
         [](CProbeFrames& f) {
             uint8_t code = 0;
             return f.LogicReadId(code);
         },
         {106}, 100, {106, 19}, false},
        {"LogicReadRow",
         [](CProbeFrames& f) {
             std::string a, b;
             return f.LogicReadRow(133, a, b);
         },
         {107, 133}, 100, WithLength({0}, 481, '1'), true},
        {"LogicProgramRow", [](CProbeFrames& f) { return f.LogicProgramRow(5, Row('0')); },
         [] {
             Bytes b = {108, 5};
             b.resize(2 + kLogicRowFuses, '0');
             return b;
         }(),
         300, {}, false},
        {"LogicReadUes",
         [](CProbeFrames& f) {
             std::string ues;
             return f.LogicReadUes(ues);
         },
         {109}, 100, WithLength({0}, 121, '0'), true},
        {"LogicProgramUes", [](CProbeFrames& f) { return f.LogicProgramUes(std::string(kLogicUesFuses, '1')); },
         WithLength({110}, 121, '1'), 300, {}, false},
        {"LogicErase", [](CProbeFrames& f) { return f.LogicErase(); }, {112}, 600, {}, false},
        {"StartFirmware", [](CProbeFrames& f) { return f.StartFirmware(); }, {113}, 200, {}, false},
        {"StartProgramming", [](CProbeFrames& f) { return f.StartProgramming(); }, {140}, 2000, {}, false},
        {"FlashSetup", [](CProbeFrames& f) { return f.FlashSetup(12, 4, 0xFF000000, 0x40000000, 0); },
         {141, 12, 4, 0xFF, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0}, 3000, {141, 0}, true},
        {"FlashErase",
         [](CProbeFrames& f) { return f.FlashErase(42, 0, 0x20000, 0x80000001, 0x40000000, 0); },
         {144, 42, 0, 0, 2, 0, 0, 0x80, 0, 0, 1, 0x40, 0, 0, 0, 0, 0, 0, 0}, 3000, {144, 0}, true},
        {"FlashEraseStatus",
         [](CProbeFrames& f) {
             uint8_t state = 0;
             uint32_t value = 0;
             return f.FlashEraseStatus(state, value);
         },
         {145}, 3000, {145, 0, 0, 0, 0, 7}, true},
    };
    return cases;
}

class ProbeFramesCommand : public ::testing::TestWithParam<size_t> {};

TEST_P(ProbeFramesCommand, SendsItsRequestAndChecksItsReply)
{
    const SCommandCase& c = Commands()[GetParam()];
    CCraftedLibrary library;
    CProbeFrames frames(library);

    library.reply = c.goodReply;
    EXPECT_EQ(c.send(frames), kStatusOk);
    EXPECT_EQ(library.sent, c.request);
    EXPECT_EQ(library.timeout, c.timeout);
    EXPECT_EQ(library.capacity, 1500);

    // A transport error passes through unchanged, for every command.
    library.status = kStatusTimeout;
    EXPECT_EQ(c.send(frames), kStatusTimeout);
    library.status = 0;

    if (!c.goodReply.empty()) {
        Bytes shortReply(c.goodReply.begin(), c.goodReply.end() - 1);
        Bytes longReply = c.goodReply;
        longReply.push_back(0);
        library.reply = shortReply;
        const int shortResult = c.send(frames);
        library.reply = longReply;
        const int longResult = c.send(frames);
        if (c.checked) {
            EXPECT_EQ(shortResult, kStatusUnexpectedReply);
            EXPECT_EQ(longResult, kStatusUnexpectedReply);
        } else {
            EXPECT_EQ(longResult, kStatusOk);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, ProbeFramesCommand, ::testing::Range<size_t>(0, 16),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             return std::string(Commands()[info.param].name);
                         });

TEST(ProbeFrames, AnyReplyCommandsAcceptEmptyReplies)
{
    CCraftedLibrary library;
    CProbeFrames frames(library);
    library.reply = {};
    EXPECT_EQ(frames.LogicAccess(0), kStatusOk);
    EXPECT_EQ(frames.LogicErase(), kStatusOk);
    EXPECT_EQ(frames.StartFirmware(), kStatusOk);
    EXPECT_EQ(frames.StartProgramming(), kStatusOk);
    EXPECT_EQ(frames.LogicProgramUes(std::string(120, '0')), kStatusOk);
}

TEST(ProbeFrames, WrongEchoIsRejectedWhereTheReplyNamesIt)
{
    CCraftedLibrary library;
    CProbeFrames frames(library);
    uint8_t data[4];
    uint32_t value = 0;
    uint8_t state = 0;
    SLoaderIdentity id;

    library.reply = WithLength({102}, 11);
    EXPECT_EQ(frames.ReadProbeMemory(0, 4, data), kStatusUnexpectedReply);
    library.reply = {104 ^ 0xFF, 0};
    EXPECT_EQ(frames.EraseProbeSector(0x01008000), kStatusUnexpectedReply);
    library.reply = {103, 0, 0, 0, 0, 0};
    EXPECT_EQ(frames.ProgramProbeMemory(0, 0, nullptr, value), kStatusUnexpectedReply);
    library.reply = {144, 0};
    EXPECT_EQ(frames.FlashSetup(1, 0, 0, 0, 0), kStatusUnexpectedReply);
    library.reply = {141, 0};
    EXPECT_EQ(frames.FlashErase(40, 1, 0, 0, 0, 0), kStatusUnexpectedReply);
    library.reply = {144, 0, 0, 0, 0, 0};
    EXPECT_EQ(frames.FlashEraseStatus(state, value), kStatusUnexpectedReply);
    library.reply = {101, 0, 1, 0, 1, 0, 1, 0};
    EXPECT_EQ(frames.LoaderIdentify(id), kStatusUnexpectedReply);

    // The logic's read replies are not checked at byte 0.
    std::string a, b;
    library.reply = WithLength({0xEE}, 481, '0');
    EXPECT_EQ(frames.LogicReadRow(0, a, b), kStatusOk);
}

TEST(ProbeFrames, ReadProbeMemoryOfTwentyAcceptsOnlyTwentySevenBytesAndCopiesFromByteSeven)
{
    CCraftedLibrary library;
    CProbeFrames frames(library);
    Bytes reply = {101, 1, 2, 3, 4, 0, 20};
    for (uint8_t i = 0; i < 20; ++i)
        reply.push_back(static_cast<uint8_t>(0xA0 + i));
    uint8_t data[20] = {};

    for (size_t length : {26u, 28u}) {
        library.reply = WithLength(reply, length, 0x55);
        EXPECT_EQ(frames.ReadProbeMemory(0x01000000, 20, data), kStatusUnexpectedReply) << length;
        EXPECT_EQ(data[0], 0) << "untouched on a bad reply";
    }
    library.reply = reply;
    ASSERT_EQ(frames.ReadProbeMemory(0x01000000, 20, data), kStatusOk);
    EXPECT_EQ(Bytes(data, data + 20), Bytes(reply.begin() + 7, reply.end()));
}

TEST(ProbeFrames, FlashStatusesMapToTheirCodes)
{
    CCraftedLibrary library;
    CProbeFrames frames(library);
    const struct {
        uint8_t status;
        int result;
    } table[] = {{0, 0}, {1, -4102}, {2, -1205}, {3, -4101}, {4, -4103}, {5, -1205}, {255, -1205}};
    for (const auto& row : table) {
        library.reply = {141, row.status};
        EXPECT_EQ(frames.FlashSetup(2, 2, 0, 0, 0), row.result) << int(row.status);
        library.reply = {144, row.status};
        EXPECT_EQ(frames.FlashErase(44, 1, 0, 0, 0, 0), row.result) << int(row.status);
    }
}

TEST(ProbeFrames, ProbeMemoryStatusesAndTheValueHandedOverInBothCases)
{
    CCraftedLibrary library;
    CProbeFrames frames(library);
    uint32_t value = 0;
    const uint8_t data[1] = {0};

    library.reply = {104, 2, 0x01, 0x04, 0x00, 0x10};
    EXPECT_EQ(frames.ProgramProbeMemory(0x01040000, 1, data, value), kStatusProbeProgramFailed);
    EXPECT_EQ(value, 0x01040010u);
    library.reply = {104, 0, 0, 0, 0, 9};
    EXPECT_EQ(frames.ProgramProbeMemory(0x01040000, 1, data, value), kStatusOk);
    EXPECT_EQ(value, 9u);

    library.reply = {103, 1};
    EXPECT_EQ(frames.EraseProbeSector(0x01000000), kStatusProbeEraseFailed);
}

TEST(ProbeFrames, ProgramProbeMemoryOfLengthZeroSendsSevenBytes)
{
    CCraftedLibrary library;
    CProbeFrames frames(library);
    uint32_t value = 0;
    library.reply = {104, 0, 0, 0, 0, 0};
    EXPECT_EQ(frames.ProgramProbeMemory(0x01008000, 0, nullptr, value), kStatusOk);
    EXPECT_EQ(library.sent, (Bytes{104, 0x01, 0x00, 0x80, 0x00, 0x00, 0x00}));
}

TEST(ProbeFrames, LogicReadRowOf480BytesIsRejectedAndLeavesTheStrings)
{
    CCraftedLibrary library;
    CProbeFrames frames(library);
    std::string first = "keep", second = "these";
    library.reply = WithLength({107}, 480, '1');
    EXPECT_EQ(frames.LogicReadRow(0, first, second), kStatusUnexpectedReply);
    EXPECT_EQ(first, "keep");
    EXPECT_EQ(second, "these");

    Bytes good = {107};
    good.insert(good.end(), 240, '1');
    good.insert(good.end(), 240, '0');
    library.reply = good;
    ASSERT_EQ(frames.LogicReadRow(0, first, second), kStatusOk);
    EXPECT_EQ(first, Row('1'));
    EXPECT_EQ(second, Row('0'));
}

TEST(ProbeFrames, LogicReadIdHandsOverByteOneAndNeedsIt)
{
    CCraftedLibrary library;
    CProbeFrames frames(library);
    uint8_t code = 0;
    library.reply = {0, 19, 7, 7};
    EXPECT_EQ(frames.LogicReadId(code), kStatusOk);
    EXPECT_EQ(code, 19);
    code = 0;
    library.reply = {106};
    EXPECT_EQ(frames.LogicReadId(code), kStatusUnexpectedReply);
    EXPECT_EQ(code, 0);
}

TEST(ProbeFrames, LoaderIdentifyTakesVersionsAndSerialNumber)
{
    CCraftedLibrary library;
    CProbeFrames frames(library);
    SLoaderIdentity id;
    library.reply = {100, 0, 105, 0, 113, 0, 7, 10, '1', '2', '3', '4', '5', '6', '0', '0', '0', 'C'};
    ASSERT_EQ(frames.LoaderIdentify(id), kStatusOk);
    EXPECT_EQ(id.loaderVersion, 105);
    EXPECT_EQ(id.firmwareVersion, 113);
    EXPECT_EQ(id.logicVersion, 7);
    EXPECT_EQ(id.serialNumber, "123456000C");
}

TEST(ProbeFrames, OversizedOrMalformedArgumentsAreRefusedBeforeSending)
{
    CCraftedLibrary library;
    CProbeFrames frames(library);
    std::vector<uint8_t> data(1494);
    uint32_t value = 0;
    EXPECT_EQ(frames.ReadProbeMemory(0x01000000, 1494, data.data()), kStatusInvalidArgument);
    EXPECT_EQ(frames.ProgramProbeMemory(0x01000000, 1494, data.data(), value), kStatusInvalidArgument);
    EXPECT_EQ(frames.LogicProgramRow(0, std::string(239, '0')), kStatusInvalidArgument);
    EXPECT_EQ(frames.LogicProgramUes(std::string(121, '0')), kStatusInvalidArgument);
    EXPECT_EQ(library.calls, 0);

    // The largest ones fit the 1500-byte buffers exactly.
    library.reply = {104, 0, 0, 0, 0, 0};
    EXPECT_EQ(frames.ProgramProbeMemory(0x01000000, 1493, data.data(), value), kStatusOk);
    EXPECT_EQ(library.sent.size(), 1500u);
}

TEST(ProbeFrames, FieldHelpersAreBigEndianAndReturnTheNextPosition)
{
    uint8_t buffer[16] = {};
    size_t pos = PutU8(buffer, 0, 0x11);
    pos = PutU16(buffer, pos, 0x2233);
    pos = PutU32(buffer, pos, 0x44556677);
    const uint8_t run[2] = {0x88, 0x99};
    pos = PutBytes(buffer, pos, run, 2);
    EXPECT_EQ(pos, 9u);
    EXPECT_EQ(Bytes(buffer, buffer + 9), (Bytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99}));
    EXPECT_EQ(TakeU8(buffer, 0), 0x11);
    EXPECT_EQ(TakeU16(buffer, 1), 0x2233);
    EXPECT_EQ(TakeU32(buffer, 3), 0x44556677u);
}

} // namespace
