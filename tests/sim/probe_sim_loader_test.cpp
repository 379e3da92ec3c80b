// The simulated probe's loader, reached through the link library and the
// command frames: identification, probe flash, logic device, firmware start.

#include "sim_link_test.h"

#include "probe/maintenance/firmware_image.h"
#include "probe/maintenance/jedec_file.h"
#include "probe/probe_status.h"
#include "sim/sim_probe_images.h"

namespace {

using Bytes = std::vector<uint8_t>;

class SimLoader : public SimLinkTest {
protected:
    uint16_t RunningKind()
    {
        SProbeIdentification id;
        EXPECT_EQ(library.TargetConnect(id), 0);
        return id.firmwareKind;
    }
};

TEST_F(SimLoader, IdentifyHandsTheProbeToItsLoaderAndStartFirmwareBack)
{
    EXPECT_EQ(RunningKind(), kFirmwareKindFlashProgramming);
    SLoaderIdentity id;
    ASSERT_EQ(frames.LoaderIdentify(id), 0);
    EXPECT_EQ(id.loaderVersion, 105);
    EXPECT_EQ(id.firmwareVersion, 113);
    EXPECT_EQ(id.logicVersion, 112);
    EXPECT_EQ(id.serialNumber, "1234560001");
    EXPECT_EQ(RunningKind(), kFirmwareKindLoader);

    uint32_t value = 0;
    EXPECT_EQ(library.TargetRead32(kSimRamBase, value), kStatusNotSupported);
    EXPECT_EQ(frames.FlashSetup(1, 0, 0, 0, 0), kStatusNotSupported);

    EXPECT_EQ(frames.StartFirmware(), 0);
    EXPECT_EQ(RunningKind(), kFirmwareKindFlashProgramming);
    uint8_t data[4];
    EXPECT_EQ(frames.ReadProbeMemory(0x01008000, 4, data), kStatusNotSupported)
        << "the firmware knows no loader memory commands";
}

TEST_F(SimLoader, NetworkSetupRecordIsErasedProgrammedAndReadBack)
{
    SLoaderIdentity id;
    ASSERT_EQ(frames.LoaderIdentify(id), 0);
    const Bytes record = {0x0A, 0x4D, 0x17, 0x12, 0x34, 0x56, 0xFF, 0xFF, 192, 168, 1, 10,
                          255,  255,  255,  0,    192,  168,  1,    1};
    uint32_t value = 0;
    ASSERT_EQ(frames.EraseProbeSector(0x01008000), 0);
    ASSERT_EQ(frames.ProgramProbeMemory(0x01008000, 20, record.data(), value), 0);
    EXPECT_EQ(value, 0x01008014u);
    Bytes back(20);
    ASSERT_EQ(frames.ReadProbeMemory(0x01008000, 20, back.data()), 0);
    EXPECT_EQ(back, record);

    // Programming cannot bring a 0 bit back to 1: the loader names the byte.
    const Bytes other = {0xFF, 0x4D};
    EXPECT_EQ(frames.ProgramProbeMemory(0x01008000, 2, other.data(), value), kStatusProbeProgramFailed);
    EXPECT_EQ(value, 0x01008000u);
    EXPECT_EQ(frames.ProgramProbeMemory(0x01008000, 0, nullptr, value), 0);

    // Reads of a full frame, and past the end of probe flash.
    Bytes big(kMaxProbeMemoryData);
    EXPECT_EQ(frames.ReadProbeMemory(0x01000000, kMaxProbeMemoryData, big.data()), 0);
    EXPECT_EQ(frames.ReadProbeMemory(0x010FFFFE, 4, big.data()), kStatusUnexpectedReply);
}

TEST_F(SimLoader, LoaderSectorsAreProtectedAndOnlySectorStartsErase)
{
    SLoaderIdentity id;
    ASSERT_EQ(frames.LoaderIdentify(id), 0);
    const Bytes zero = {0};
    uint32_t value = 0;
    EXPECT_EQ(frames.EraseProbeSector(0x01000000), kStatusProbeEraseFailed);
    EXPECT_EQ(frames.EraseProbeSector(0x01004000), kStatusProbeEraseFailed);
    EXPECT_EQ(frames.EraseProbeSector(0x01008001), kStatusProbeEraseFailed);
    EXPECT_EQ(frames.EraseProbeSector(0x02000000), kStatusProbeEraseFailed);
    EXPECT_EQ(frames.ProgramProbeMemory(0x01004000, 1, zero.data(), value), kStatusProbeProgramFailed);
    EXPECT_EQ(value, 0x01004000u);
    for (uint32_t sector : {0x01008000u, 0x0100C000u, 0x01040000u, 0x01080000u, 0x010C0000u})
        EXPECT_EQ(frames.EraseProbeSector(sector), 0) << std::hex << sector;
}

TEST_F(SimLoader, FirmwareStartsOnlyWithItsStartMarker)
{
    SLoaderIdentity id;
    ASSERT_EQ(frames.LoaderIdentify(id), 0);
    for (uint32_t sector : {0x0100C000u, 0x01040000u, 0x01080000u, 0x010C0000u})
        ASSERT_EQ(frames.EraseProbeSector(sector), 0);
    EXPECT_EQ(frames.StartFirmware(), 0) << "the reply is not examined";
    EXPECT_EQ(RunningKind(), kFirmwareKindLoader);

    const Bytes marker = {0xAA, 0x55, 0x55, 0xAA};
    uint32_t value = 0;
    ASSERT_EQ(frames.ProgramProbeMemory(0x01040000, 4, marker.data(), value), 0);
    EXPECT_EQ(frames.StartFirmware(), 0);
    EXPECT_EQ(RunningKind(), kFirmwareKindFlashProgramming);
}

std::string RowPattern(int row)
{
    std::string fuses;
    for (size_t i = 0; i < kLogicRowFuses; ++i)
        fuses.push_back(((i * 7 + static_cast<size_t>(row)) % 3) ? '1' : '0');
    return fuses;
}

std::string SignatureBits(const std::string& text)
{
    std::string bits;
    for (size_t i = 0; i < 15; ++i) {
        const uint8_t byte = i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
        for (int bit = 7; bit >= 0; --bit)
            bits.push_back((byte >> bit) & 1 ? '1' : '0');
    }
    return bits;
}

TEST_F(SimLoader, LogicDeviceIsErasedProgrammedAndReadTwicePerRow)
{
    SLoaderIdentity id;
    ASSERT_EQ(frames.LoaderIdentify(id), 0);
    std::string first, second;
    uint8_t code = 0;

    // Outside logic access the device does not answer properly.
    EXPECT_EQ(frames.LogicReadRow(0, first, second), kStatusUnexpectedReply);
    ASSERT_EQ(frames.LogicReadId(code), 0);
    EXPECT_NE(code, kLogicDeviceCode);

    ASSERT_EQ(frames.LogicAccess(1), 0);
    ASSERT_EQ(frames.LogicReadId(code), 0);
    EXPECT_EQ(code, kLogicDeviceCode);
    ASSERT_EQ(frames.LogicErase(), 0);
    for (int row = 0; row < kLogicRows; ++row)
        ASSERT_EQ(frames.LogicProgramRow(static_cast<uint8_t>(row), RowPattern(row)), 0);
    ASSERT_EQ(frames.LogicProgramUes(SignatureBits("B6001E8114")), 0);
    for (int row = 0; row < kLogicRows; ++row) {
        ASSERT_EQ(frames.LogicReadRow(static_cast<uint8_t>(row), first, second), 0);
        EXPECT_EQ(first, RowPattern(row)) << row;
        EXPECT_EQ(second, RowPattern(row)) << row;
    }
    std::string ues;
    ASSERT_EQ(frames.LogicReadUes(ues), 0);
    EXPECT_EQ(ues, SignatureBits("B6001E8114"));
    EXPECT_EQ(frames.LogicReadRow(134, first, second), kStatusUnexpectedReply);

    // Programming without erasing only clears fuses: the rows no longer match.
    ASSERT_EQ(frames.LogicProgramRow(1, RowPattern(0)), 0);
    ASSERT_EQ(frames.LogicReadRow(1, first, second), 0);
    EXPECT_NE(first, RowPattern(0));
    ASSERT_EQ(frames.LogicAccess(0), 0);

    // The loader reports the logic version from the signature.
    ASSERT_EQ(frames.LoaderIdentify(id), 0);
    EXPECT_EQ(id.logicVersion, 114);
}

TEST_F(SimLoader, UnknownCommandFramesAreRefused)
{
    const uint8_t request[1] = {99};
    uint8_t reply[1500];
    EXPECT_EQ(library.LinkTransact(1, request, 1500, reply, 500), kStatusNotSupported);
}

TEST_F(SimLoader, FirmwareVersionComesFromTheImageHeaderWhileTheMarkerIsThere)
{
    SLoaderIdentity id;
    ASSERT_EQ(frames.LoaderIdentify(id), 0);
    EXPECT_EQ(id.firmwareVersion, 113);
    // The sample image of version 130, programmed as the update does it.
    CFirmwareImage image;
    ASSERT_EQ(image.ReadText(CSimProbeImages::FirmwareImage(130)), CFirmwareImage::EResult::Ok) << image.detail;
    for (uint32_t sector : {0x0100C000u, 0x01040000u, 0x01080000u, 0x010C0000u})
        ASSERT_EQ(frames.EraseProbeSector(sector), 0);
    uint32_t value = 0;
    for (const auto& block : image.Blocks())
        ASSERT_EQ(frames.ProgramProbeMemory(block.address, static_cast<uint16_t>(block.data.size()),
                                            block.data.data(), value),
                  0);
    ASSERT_EQ(frames.LoaderIdentify(id), 0);
    EXPECT_EQ(id.firmwareVersion, 0) << "no marker: no firmware that starts";
    const Bytes marker = {0xAA, 0x55, 0x55, 0xAA};
    ASSERT_EQ(frames.ProgramProbeMemory(0x01040000, 4, marker.data(), value), 0);
    ASSERT_EQ(frames.LoaderIdentify(id), 0);
    EXPECT_EQ(id.firmwareVersion, 130);
}

TEST(SimLoaderFaults, DeviceCodeStuckFusesWeakFuseAndWeakSetupByte)
{
    SProbeSimConfig config;
    config.logicDeviceCode = 0x22;
    config.stuckFuseRow = 4;
    config.stuckFuse = 9;
    config.weakFuseRow = 5;
    config.weakFuse = 200;
    config.stuckUesFuse = 119;
    config.weakSetupByte = 2;
    CSimFixture sim = CSimFixture::OnRamBoard(CSimFixture::Tcp({}, config));
    CLinkLibrary library;
    ASSERT_EQ(library.LinkOpen(sim.ChannelText()), 0);
    CProbeFrames frames(library);
    SLoaderIdentity id;
    ASSERT_EQ(frames.LoaderIdentify(id), 0);

    ASSERT_EQ(frames.LogicAccess(1), 0);
    uint8_t code = 0;
    ASSERT_EQ(frames.LogicReadId(code), 0);
    EXPECT_EQ(code, 0x22);
    ASSERT_EQ(frames.LogicErase(), 0);
    ASSERT_EQ(frames.LogicProgramRow(4, std::string(240, '0')), 0);
    std::string first, second;
    ASSERT_EQ(frames.LogicReadRow(4, first, second), 0);
    EXPECT_EQ(first, std::string(9, '0') + "1" + std::string(230, '0'));
    EXPECT_EQ(second, first);
    // The weak fuse programs; only the row's second read gets it wrong.
    ASSERT_EQ(frames.LogicProgramRow(5, std::string(240, '0')), 0);
    ASSERT_EQ(frames.LogicReadRow(5, first, second), 0);
    EXPECT_EQ(first, std::string(240, '0'));
    EXPECT_EQ(second, std::string(200, '0') + "1" + std::string(39, '0'));
    ASSERT_EQ(frames.LogicProgramUes(std::string(120, '0')), 0);
    std::string ues;
    ASSERT_EQ(frames.LogicReadUes(ues), 0);
    EXPECT_EQ(ues, std::string(119, '0') + "1");
    ASSERT_EQ(frames.LogicAccess(0), 0);

    const Bytes record = {0x0A, 0x4D, 0x17, 0x12};
    uint32_t value = 0;
    ASSERT_EQ(frames.EraseProbeSector(0x01008000), 0);
    ASSERT_EQ(frames.ProgramProbeMemory(0x01008000, 4, record.data(), value), 0) << "the byte programs";
    Bytes back(4);
    ASSERT_EQ(frames.ReadProbeMemory(0x01008000, 4, back.data()), 0);
    EXPECT_EQ(back, (Bytes{0x0A, 0x4D, 0x16, 0x12})) << "but reads back wrong";
}

TEST(SimProbeImages, SampleFilesReadAsTheyAreMeant)
{
    CJedecFile jedec;
    CJedecFile::FuseMap map;
    ASSERT_EQ(jedec.ReadText(CSimProbeImages::JedecFile(113), map), CJedecFile::EResult::Ok) << jedec.detail;
    EXPECT_EQ(map[10], CSimProbeImages::FuseRow(113, 10));
    EXPECT_NE(CSimProbeImages::FuseRow(113, 10), CSimProbeImages::FuseRow(114, 10));
    EXPECT_NE(CSimProbeImages::FuseRow(113, 10), CSimProbeImages::FuseRow(113, 11));

    CFirmwareImage image;
    ASSERT_EQ(image.ReadText(CSimProbeImages::FirmwareImage(114)), CFirmwareImage::EResult::Ok) << image.detail;
    ASSERT_FALSE(image.Blocks().empty());
    const auto& header = image.Blocks().front();
    EXPECT_EQ(header.address, 0x0100C000u);
    EXPECT_EQ(std::string(header.data.begin(), header.data.begin() + 8), "QX7ARMFW");
    EXPECT_EQ(header.data[8], 0);
    EXPECT_EQ(header.data[9], 114);
}

} // namespace
