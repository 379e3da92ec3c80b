// The host's algorithm table against the catalogue and against the simulated
// probe's own table, which was written separately from the device
// descriptions: where both describe the same property they must agree.
#include "catalogue/flash_algorithm.h"
#include "catalogue/flash_catalogue.h"
#include "sim/sim_flash_algorithm.h"

#include <gtest/gtest.h>

namespace {

TEST(FlashAlgorithms, EveryCatalogueDeviceHasItsRow)
{
    for (int i = 1; i < CFlashCatalogue::FlashDeviceCount(); ++i) {
        const SFlashDevice& d = *CFlashCatalogue::FlashDeviceAt(i);
        const SFlashAlgorithm& program = CFlashAlgorithms::Find(d.programAlgorithm);
        EXPECT_EQ(program.deviceWidth, d.deviceWidth) << d.name;
        EXPECT_FALSE(program.targetAlgorithm == ETargetAlgorithm::Unavailable && program.code != 46) << d.name;
        // A device with an erase code is erased by some family; page-write devices have none.
        if (d.eraseAlgorithm != 0) {
            EXPECT_NE(CFlashAlgorithms::Find(d.eraseAlgorithm).eraseFamily, EEraseFamily::None) << d.name;
        } else {
            EXPECT_TRUE(program.pageWrite) << d.name;
        }
    }
}

TEST(FlashAlgorithms, AgreeWithTheSimulatedProbe)
{
    int count = 0;
    const CSimFlashAlgorithm* rows = SimFlashAlgorithms(count);
    ASSERT_GT(count, 0);
    for (int i = 0; i < count; ++i) {
        const CSimFlashAlgorithm& sim = rows[i];
        const SFlashAlgorithm& host = CFlashAlgorithms::Find(sim.code);
        SCOPED_TRACE(sim.code);
        EXPECT_EQ(host.deviceWidth, sim.deviceWidth);
        EXPECT_EQ(host.sizeInSetup, sim.sizeInP1);
        EXPECT_EQ(host.pageWrite, sim.commandSet == ESimCommandSet::PageWrite);
        EXPECT_EQ(host.eraseFamily == EEraseFamily::OnChip, sim.commandSet == ESimCommandSet::OnChip);
        const bool hostIntel =
            host.eraseFamily == EEraseFamily::IntelBlock || host.eraseFamily == EEraseFamily::IntelBank0;
        EXPECT_EQ(hostIntel, sim.commandSet == ESimCommandSet::Intel);
        if (sim.commandSet == ESimCommandSet::Jedec) {
            const EEraseFamily expected[] = {EEraseFamily::None, EEraseFamily::JedecX8, EEraseFamily::JedecByteWord,
                                             EEraseFamily::JedecX16X32};
            EXPECT_EQ(host.eraseFamily, expected[static_cast<int>(sim.family)]);
            EXPECT_EQ(host.jedecPoll == EJedecPoll::FailureBit, sim.failureBit);
        }
        if (sim.workspace == ESimWorkspace::Required) {
            EXPECT_EQ(host.targetAlgorithm, ETargetAlgorithm::Required);
        }
        if (sim.fixedBusWidth != 0) {
            EXPECT_EQ(host.busRule.busWidth, sim.fixedBusWidth == 1 ? 0 : sim.fixedBusWidth == 2 ? 1 : 2);
        }
    }
}

TEST(FlashAlgorithms, CodesOutsideTheTableHaveNoProperties)
{
    for (uint32_t code : {50u, 255u, 0xFFFFFFFFu}) {
        const SFlashAlgorithm& a = CFlashAlgorithms::Find(code);
        EXPECT_EQ(a.eraseFamily, EEraseFamily::None);
        EXPECT_EQ(a.deviceWidth, 0u);
        EXPECT_EQ(a.targetAlgorithm, ETargetAlgorithm::Unavailable);
    }
}

} // namespace
