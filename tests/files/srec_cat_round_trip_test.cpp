// Round trips with srec_cat (Debian package srecord, installed by
// scripts/setup): files it writes load into the image byte for byte as its
// own binary conversion has them, and files we store read back in srec_cat.
#include "files/program_file_readers.h"
#include "files/srecord_writer.h"
#include "files_test_support.h"

#include <cstdlib>

namespace {

class SrecCatRoundTrip : public FilesTest {
protected:
    void SetUp() override
    {
        FilesTest::SetUp();
        ASSERT_EQ(std::system("command -v srec_cat >/dev/null 2>&1"), 0)
            << "srec_cat is missing: run scripts/setup (it installs the Debian package srecord)";
    }

    void Run(const std::string& command)
    {
        const std::string full = "cd '" + dir.Path().string() + "' && " + command + " 2>/dev/null";
        ASSERT_EQ(std::system(full.c_str()), 0) << full;
    }

    // Deterministic data with runs of 0xFF, so that gaps and partly 0xFF
    // records occur.
    static std::string Data(size_t n, uint32_t seed)
    {
        std::string s(n, '\0');
        uint32_t x = seed;
        for (size_t i = 0; i < n; ++i) {
            x = x * 1664525u + 1013904223u;
            s[i] = (i / 4096) % 5 == 3 ? '\xFF' : static_cast<char>(x >> 24);
        }
        return s;
    }
};

TEST_F(SrecCatRoundTrip, FilesSrecCatWritesLoadAsItsBinary)
{
    Write("a.bin", Data(100000, 1));
    Write("b.bin", Data(1400000, 2)); // several MiB of text: lines cross the read buffer
    const std::string inputs = "a.bin -binary -offset 0x1000 b.bin -binary -offset 0x400000";
    Run("srec_cat " + inputs + " -o s3.s19 -motorola -address-length=4");
    Run("srec_cat " + inputs + " -o s2.s19 -motorola -line-length=78");
    Run("srec_cat " + inputs + " -o x.hex -intel");
    // srec_cat's own binary, holes filled with 0xFF, from 0x1000 on.
    Run("srec_cat '(' s3.s19 -motorola -fill 0xFF -over s3.s19 -motorola ')' -offset -0x1000 -o ref.bin -binary");
    const std::string reference = ReadFileBytes(dir.File("ref.bin"));
    ASSERT_EQ(reference.size(), 0x400000u + 1400000u - 0x1000u);

    struct {
        const char* file;
        decltype(&LoadSRecordFile) reader;
    } cases[] = {{"s3.s19", LoadSRecordFile}, {"s2.s19", LoadSRecordFile}, {"x.hex", LoadIntelHexFile}};
    for (const auto& c : cases) {
        image.Clear();
        uint32_t bytes = 0;
        CMemoryRange range;
        ASSERT_EQ(c.reader(dir.File(c.file), image, bytes, range, physical, 0, nullptr), 0) << c.file;
        EXPECT_EQ(bytes, 1500000u) << c.file;
        EXPECT_EQ(range, CMemoryRange(0x1000, 0x400000 + 1400000 - 1, 0)) << c.file;
        EXPECT_TRUE(ReadString(0x1000, static_cast<uint32_t>(reference.size())) == reference) << c.file;
    }

    // The binary reader at an offset gives the same bytes.
    image.Clear();
    uint32_t bytes = 0;
    CMemoryRange range;
    ASSERT_EQ(LoadBinaryFile(dir.File("ref.bin"), image, bytes, range, physical, 0x1000), 0);
    EXPECT_EQ(bytes, reference.size());
    EXPECT_TRUE(ReadString(0x1000, static_cast<uint32_t>(reference.size())) == reference);
}

TEST_F(SrecCatRoundTrip, FilesWeStoreReadBackInSrecCat)
{
    const std::string data = Data(300000, 3);
    image.WriteBlock(0x20003, reinterpret_cast<const uint8_t*>(data.data()), static_cast<uint32_t>(data.size()));
    uint32_t stored = 0;
    const CMemoryRange range(0x20000, static_cast<uint32_t>(data.size()) + 10, 1);
    ASSERT_EQ(WriteSRecordFile(image, range, dir.File("ours.s19"), stored), 0);
    Run("srec_cat ours.s19 -motorola -fill 0xFF 0x20000 " + std::to_string(0x20000 + data.size() + 10) +
        " -offset -0x20000 -o back.bin -binary");
    EXPECT_TRUE(ReadFileBytes(dir.File("back.bin")) == ReadString(0x20000, range.GetSize()));
}

} // namespace
