#include "flash/program_operation.h"

#include "probe/target_connection.h"
#include "project/memory_image.h"
#include "catalogue/flash_catalogue.h"
#include "flash/transfer.h"

#include <algorithm>

ETargetResult CProgramOperation::Start()
{
    Begin();
    const std::vector<CMemoryRange> covered = spans.empty() ? std::vector<CMemoryRange>{range} : spans;
    for (const CMemoryRange& span : covered)
        if (!RangeInside(span, physical))
            return ETargetResult::InvalidRange;
    SProgramTarget target;
    uint32_t eraseAlgorithm = 0, sectorCount = 0;
    const uint32_t* sectorTable = nullptr;
    if (!CFlashCatalogue::GetFlashInfo(flashDevice, target.deviceWidth, target.deviceSize, target.pageSize,
                                       target.programAlgorithm, eraseAlgorithm, sectorCount, sectorTable))
        return NoDevice();
    if (!BusWidthValid(busWidthBytes))
        return ETargetResult::InvalidSetup;
    target.busWidthBytes = busWidthBytes;
    target.flashBase = flashBase;
    target.workspace = workspace;

    const auto holdsSecurity = [](const CMemoryRange& r) {
        return r.GetSize() != 0 && r.GetStart() <= kSecurityAddress && kSecurityAddress <= r.GetEnd();
    };
    if (CFlashAlgorithms::Find(target.programAlgorithm).securityBits &&
        std::any_of(covered.begin(), covered.end(), holdsSecurity) &&
        (image_.ReadByte(kSecurityAddress) & 0x03) != 0x02) {
        if (box_.Show("The security bits will be changed to 10 (not Secured) !", "WARNING", EMsgIcon::Exclamation,
                      EMsgButtons::OkCancel) != EMsgResult::Ok)
            return ETargetResult::Cancelled;
    }

    SSequence sequence;
    sequence.preList = &preList;
    sequence.preListName = "Pre-program init list";
    sequence.postListName = "Post-program init list";
    sequence.statusText = "Programming ...";
    sequence.postList = &postList;
    sequence.failureBox = "Programming error!";
    const SFlashArray array{CFlashCatalogue::FindFlashDevice(flashDevice), flashBase, busWidthBytes, flashBanks};
    sequence.identify = &array;
    return Sequence(sequence, [this, &target, &covered](CTargetConnection& connection) {
        return CTransfer(connection, image_, view_).ProgramSpans(covered, target);
    });
}
