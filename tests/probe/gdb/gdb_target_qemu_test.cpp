// The GDB packet layer against a GDB server that no one here wrote: QEMU's,
// in front of an ARM926 machine with a JEDEC flash on a 16-bit bus
// (musicpal: RAM at 0, flash at 0xFE000000). Skipped where qemu-system-arm is
// not installed.

#include "common/clock.h"
#include "probe/gdb/gdb_remote_session.h"
#include "probe/gdb/gdb_target.h"
#include "probe/link/tcp_connector.h"
#include "probe/probe_status.h"
#include "support/qemu_gdb_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

constexpr uint32_t kFlashBase = 0xFE000000;

class GdbTargetAgainstQemu : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string qemu = FindProgramOnPath("qemu-system-arm");
        if (qemu.empty())
            GTEST_SKIP() << kQemuMissing;
        image_ = dir_.File("flash.bin");
        WriteFileBytes(image_, std::string(8 << 20, '\xff'));
        const uint16_t port = FreeLoopbackPort();
        ASSERT_NE(port, 0);
        server_ = std::make_unique<CQemuGdbServer>(qemu, "musicpal", "if=pflash,format=raw,file=" + image_,
                                                   std::vector<std::string>{}, port, dir_.File("qemu.log"));
        ASSERT_TRUE(server_->Running());
        // QEMU needs a moment before its server listens.
        std::unique_ptr<CLinkTransport> transport;
        int status = kStatusConnectionRefused;
        for (int i = 0; i < 100 && status != kStatusOk; ++i) {
            status = CTcpConnector::Connect("127.0.0.1", port, 1000, CSystemClock::Instance(), transport);
            if (status != kStatusOk)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_EQ(status, kStatusOk) << ProbeStatusText(status);
        session_ = std::make_unique<CGdbRemoteSession>(std::move(transport), CSystemClock::Instance());
        target_ = std::make_unique<CGdbTarget>(*session_, 5000);
        ASSERT_EQ(target_->Attach(), kStatusOk);
    }

    CTempDir dir_;
    std::string image_;
    std::unique_ptr<CQemuGdbServer> server_;
    std::unique_ptr<CGdbRemoteSession> session_;
    std::unique_ptr<CGdbTarget> target_;
};

} // namespace

TEST_F(GdbTargetAgainstQemu, MemoryAndRegistersGoBothWaysAndARoutineRunsToItsBreakpoint)
{
    for (const char* name : {"r0", "r3", "sp", "lr", "pc", "cpsr"})
        EXPECT_NE(target_->Description().Find(name), nullptr) << name;

    // RAM, in more than one packet.
    std::string bytes(3 * target_->MaxBlock() + 5, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + 3);
    ASSERT_EQ(target_->WriteMemory(0x10000, uint32_t(bytes.size()), reinterpret_cast<const uint8_t*>(bytes.data())),
              kStatusOk);
    std::string back(bytes.size(), '\0');
    ASSERT_EQ(target_->ReadMemory(0x10000, uint32_t(back.size()), reinterpret_cast<uint8_t*>(back.data())),
              kStatusOk);
    EXPECT_EQ(back, bytes);

    // mov r0, #42 ; b . (ARM, little-endian), a breakpoint on the branch.
    const uint8_t routine[] = {0x2A, 0x00, 0xA0, 0xE3, 0xFE, 0xFF, 0xFF, 0xEA};
    ASSERT_EQ(target_->WriteMemory(0x2000, sizeof routine, routine), kStatusOk);
    ASSERT_EQ(target_->WriteRegister("r0", 0x12345678), kStatusOk);
    uint32_t value = 0;
    ASSERT_EQ(target_->ReadRegister("r0", value), kStatusOk);
    EXPECT_EQ(value, 0x12345678u);
    ASSERT_EQ(target_->WriteRegister("pc", 0x2000), kStatusOk);
    ASSERT_EQ(target_->InsertBreakpoint(0x2004), kStatusOk);
    std::string stop;
    ASSERT_EQ(target_->Continue(5000, stop), kStatusOk) << stop;
    ASSERT_EQ(target_->ReadRegister("r0", value), kStatusOk);
    EXPECT_EQ(value, 42u);
    ASSERT_EQ(target_->ReadRegister("pc", value), kStatusOk);
    EXPECT_EQ(value, 0x2004u);
    EXPECT_EQ(target_->RemoveBreakpoint(0x2004), kStatusOk);

    // A register the target does not have is refused before anything is sent.
    EXPECT_EQ(target_->WriteRegister("r99", 1), kStatusInvalidArgument);
}

TEST_F(GdbTargetAgainstQemu, HalfwordWritesAreBusCyclesThatProgramTheJedecFlash)
{
    ASSERT_EQ(target_->UsePhysicalBusCycles(), kStatusOk);
    const auto write16 = [&](uint32_t address, uint16_t value) {
        const uint8_t le[2] = {uint8_t(value), uint8_t(value >> 8)};
        return target_->WriteMemory(address, 2, le);
    };
    // Unlock, program command, then the word: x16 device on a 16-bit bus.
    const uint16_t words[] = {0x1234, 0xA55A};
    for (uint32_t i = 0; i < 2; ++i) {
        ASSERT_EQ(write16(kFlashBase + 0xAAAA, 0xAA), kStatusOk);
        ASSERT_EQ(write16(kFlashBase + 0x5554, 0x55), kStatusOk);
        ASSERT_EQ(write16(kFlashBase + 0xAAAA, 0xA0), kStatusOk);
        ASSERT_EQ(write16(kFlashBase + 0x100 + 2 * i, words[i]), kStatusOk);
    }
    uint8_t read[4] = {};
    ASSERT_EQ(target_->ReadMemory(kFlashBase + 0x100, 4, read), kStatusOk);
    EXPECT_EQ(read[0], 0x34);
    EXPECT_EQ(read[1], 0x12);
    EXPECT_EQ(read[2], 0x5A);
    EXPECT_EQ(read[3], 0xA5);

    target_.reset();
    session_.reset();
    server_->Stop();
    const std::string file = ReadFileBytes(image_);
    ASSERT_EQ(file.size(), size_t(8) << 20);
    EXPECT_EQ(file.substr(0x100, 4), std::string("\x34\x12\x5a\xa5", 4));
    // The command cycles themselves were not stored: the flash decoded them.
    EXPECT_EQ(file.substr(0xAAAA, 2), std::string("\xff\xff", 2));
    EXPECT_EQ(file.find_first_not_of('\xff', 0x104), std::string::npos);
}
