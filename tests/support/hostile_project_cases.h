#pragma once

// Project fields at values no dialog would write: every index and width at
// 0xFFFF, bank counts of 0 and 17, a base address at the top of the address
// space, all target option bits set. The command tests and the desktop's
// dialog tests run through the same table.
#include "flash/target_operation.h"
#include "project/qpg_doc.h"

#include <functional>
#include <memory>
#include <ostream>

struct SHostileCase {
    const char* name;
    std::function<void(CQpgDoc&)> set;
    // How Program and Erase All end: refused before the probe is touched
    // (InvalidSetup, InvalidRange, InitListFailed), or they get as far as
    // connecting.
    ETargetResult program;
    ETargetResult erase;
};

inline const SHostileCase kHostileCases[] = {
    {"UnitsAt0xFFFF",
     [](CQpgDoc& d) { d.fillUnit = d.checksumType = d.checksumDestType = d.editUnit = 0xFFFF; },
     ETargetResult::ConnectFailed, ETargetResult::ConnectFailed},
    {"ChannelsAndBaudsAt0xFFFF",
     [](CQpgDoc& d) { d.targetBaud = d.targetChannel = d.loaderBaud = d.loaderChannel = 0xFFFF; },
     ETargetResult::ConnectFailed, ETargetResult::ConnectFailed},
    {"BusWidthAt0xFFFF", [](CQpgDoc& d) { d.busWidth = 0xFFFF; }, ETargetResult::InvalidSetup,
     ETargetResult::InvalidSetup},
    {"BusWidth3", [](CQpgDoc& d) { d.busWidth = 3; }, ETargetResult::InvalidSetup, ETargetResult::InvalidSetup},
    {"NoBank", [](CQpgDoc& d) { d.bankCount = 0; }, ETargetResult::ConnectFailed, ETargetResult::InvalidSetup},
    {"SeventeenBanks", [](CQpgDoc& d) { d.bankCount = 17; }, ETargetResult::ConnectFailed,
     ETargetResult::InvalidSetup},
    {"BanksAt0xFFFF", [](CQpgDoc& d) { d.bankCount = 0xFFFF; }, ETargetResult::ConnectFailed,
     ETargetResult::InvalidSetup},
    {"BaseAtTheTop",
     [](CQpgDoc& d) {
         d.physicalRange.Set(0xFFFFFFFF, 0x200000, 1);
         d.programRange.Set(0xFFFFFFFF, 1, 1);
     },
     ETargetResult::ConnectFailed, ETargetResult::InvalidSetup},
    {"TargetOptionsAllOnes", [](CQpgDoc& d) { d.targetOptions = 0xFFFFFFFF; }, ETargetResult::ConnectFailed,
     ETargetResult::ConnectFailed},
    {"InitListsOfOddEntries",
     [](CQpgDoc& d) {
         for (const char* text : {"", "\t", "BOGUS\tZZZZZZZZ\t-1\t", "LOOP\tFFFFFFFF\tFFFFFFFF",
                                  "DELAY\t00000000\tFFFFFFFF\tlong", "WGPR\tFFFFFFFF\t00000000\t\t\t"}) {
             CCodeItem item;
             item.SetText(text);
             d.mainList.Add(item);
             d.postEraseList.Add(item);
         }
         d.preProgramList.Add(std::unique_ptr<CCodeItem>()); // an empty slot
     },
     // The LOOP's count is refused, naming list and entry, before connecting.
     ETargetResult::InitListFailed, ETargetResult::InitListFailed},
    {"EraseMapOf17Banks", [](CQpgDoc& d) { d.eraseMap.Resize(17, 35); }, ETargetResult::ConnectFailed,
     ETargetResult::ConnectFailed},
};

// The case's name in test output.
inline void PrintTo(const SHostileCase& c, std::ostream* os)
{
    *os << c.name;
}
