#include "flash/program_operation.h"

#include "probe/target_connection.h"
#include "project/memory_image.h"
#include "catalogue/flash_catalogue.h"
#include "flash/transfer.h"

ETargetResult CProgramOperation::Start()
{
    Begin();
    if (!RangeInside(range, physical))
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

    if (CFlashAlgorithms::Find(target.programAlgorithm).securityBits && range.GetSize() != 0 &&
        range.GetStart() <= kSecurityAddress && kSecurityAddress <= range.GetEnd() &&
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
    return Sequence(sequence, [this, &target](CTargetConnection& connection) {
        return CTransfer(connection, image_, view_).ProgramRange(range, target);
    });
}
