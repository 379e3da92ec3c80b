// Version texts, the newest-version scan, the IP text rule and the network
// setup record.

#include "probe/ip_text.h"
#include "probe/maintenance/network_setup_record.h"
#include "probe/maintenance/probe_image_files.h"
#include "probe/maintenance/probe_version.h"
#include "probe/maintenance/update_setup_model.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

TEST(ProbeVersion, TextsAndThreeDigitForms)
{
    struct SCase {
        uint16_t version;
        const char* text;
        const char* digits;
    };
    const SCase cases[] = {
        {113, "1.13", "113"}, {7, "0.07", "007"},      {100, "1.00", "100"}, {255, "2.55", "255"},
        {0, "unknown", "000"}, {256, "unknown", "000"}, {300, "unknown", "000"}, {65535, "unknown", "000"},
    };
    for (const SCase& c : cases) {
        EXPECT_EQ(CProbeVersion::Text(c.version), c.text) << c.version;
        EXPECT_EQ(CProbeVersion::ThreeDigits(c.version), c.digits) << c.version;
    }
}

TEST(ProbeImageFiles, NewestVersionCountsOnlyThreeDigitExtensions)
{
    CTempDir dir;
    for (const char* name : {"QX7ARMFW.113", "QX7ARMFW.012", "QX7ARMFW.12", "QX7ARMFW.1a3", "QX7ARMFW.9999",
                             "QX7ARMFWX.200", "qx7armfw.250", "ARMJED70.007", "ARMJED71.200"})
        WriteFileBytes(dir.File(name), "x");
    const CProbeImageFiles files(dir.Path().string());
    EXPECT_EQ(files.Newest("QX7ARMFW"), 113);
    EXPECT_EQ(files.Newest("ARMJED70"), 7) << "the C family is never scanned";

    WriteFileBytes(dir.File("QX7ARMFW.300"), "x");
    EXPECT_EQ(files.Newest("QX7ARMFW"), 300);
    EXPECT_EQ(CProbeVersion::Text(300), "unknown");
    EXPECT_EQ(files.Path("QX7ARMFW", 300), "") << "an invalid version has no file";
    EXPECT_EQ(files.Path("QX7ARMFW", 7), dir.File("QX7ARMFW.007"));

    EXPECT_EQ(CProbeImageFiles(dir.File("missing")).Newest("QX7ARMFW"), 0);
}

TEST(ProbeImageFiles, LogicFamilyFollowsTheSerialNumber)
{
    EXPECT_STREQ(CUpdateSetupModel::LogicFamilyFor("123456789C"), "ARMJED71");
    EXPECT_STREQ(CUpdateSetupModel::LogicFamilyFor("123456789c"), "ARMJED70");
    EXPECT_STREQ(CUpdateSetupModel::LogicFamilyFor("12345678C"), "ARMJED70");
    EXPECT_STREQ(CUpdateSetupModel::LogicFamilyFor("1234567890C"), "ARMJED70");
}

TEST(IpText, ValuesAndInvalidTexts)
{
    EXPECT_EQ(CIpText::Value("192.168.1.10"), 0xC0A8010Au);
    EXPECT_EQ(CIpText::Value("1..2.3"), 0x01000203u);
    EXPECT_EQ(CIpText::Value("0.0.0.1"), 0x00000001u);
    EXPECT_EQ(CIpText::Value("010.001.000.255"), 0x0A0100FFu);
    for (const char* text : {"1.2.3", "1.2.3.4.5", "1.2.3.256", "1.2.3.0004", "0.0.0.0", "255.255.255.255",
                             " 1.2.3.4", "1.2.3.4 ", "1.2.3.x", "", "...", "1.2.3.4."})
        EXPECT_EQ(CIpText::Value(text), CIpText::kInvalid) << '"' << text << '"';
}

TEST(NetworkSetupRecord, MacFromTheSerialNumberAndAddressesBigEndian)
{
    const CNetworkSetupRecord::Bytes record =
        CNetworkSetupRecord::Build("123456", "192.168.1.10", "255.255.255.0", "bad");
    const CNetworkSetupRecord::Bytes expected = {0x0A, 0x4D, 0x17, 0x12, 0x34, 0x56, 0xFF, 0xFF, 192,  168,
                                                 1,    10,   255,  255,  255,  0,    0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(record, expected);
    EXPECT_EQ(CNetworkSetupRecord::MacText("1234560001"), "0A4D17123456");

    // Pairs are taken modulo 256 whatever the characters.
    const auto letters = CNetworkSetupRecord::Build("AB9:??", "1.2.3.4", "1.2.3.4", "1.2.3.4");
    EXPECT_EQ(letters[3], static_cast<uint8_t>(('A' - 48) * 16 + ('B' - 48)));
    EXPECT_EQ(letters[4], static_cast<uint8_t>(9 * 16 + 10));

    // A serial number shorter than six characters: the missing characters
    // count as "0"; the MAC text shows only the characters present.
    const auto shorter = CNetworkSetupRecord::Build("1234", "1.2.3.4", "1.2.3.4", "1.2.3.4");
    EXPECT_EQ(shorter[3], 0x12);
    EXPECT_EQ(shorter[4], 0x34);
    EXPECT_EQ(shorter[5], 0x00);
    EXPECT_EQ(CNetworkSetupRecord::MacText("1234"), "0A4D171234");
    EXPECT_EQ(CNetworkSetupRecord::Build("", "1.2.3.4", "1.2.3.4", "1.2.3.4")[3], 0x00);
}

} // namespace
