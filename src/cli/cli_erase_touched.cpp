#include "catalogue/flash_catalogue.h"
#include "cli/cli_step.h"
#include "cli/cli_target.h"
#include "common/text_format.h"
#include "commands/erase_command.h"
#include "flash/erase_plan.h"
#include "flash/sector_cover.h"

#include <cstdio>

int CliEraseTouched(CCliSession& session, const std::vector<CMemoryRange>& ranges, const char* step)
{
    CQpgDoc& doc = session.Doc();
    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice(doc.memoryType);
    if (!device || CErasePlan::FamilyOf(device->eraseAlgorithm) == EEraseFamily::None) {
        session.View().SetStatus(Format("%s: the device \"%s\" needs no erase", step, doc.memoryType.c_str()));
        return kExitOk;
    }
    const SFlashArray array{device, doc.physicalRange.GetStart(), doc.BusWidthBytes(),
                            static_cast<uint32_t>(doc.bankCount)};
    CEraseCommand command(doc, CliTargetContext(session));
    const ETargetResult result = command.EraseSectors([&](CEraseMap& map) {
        SelectSectorsTouching(array, ranges, map);
        return true;
    });
    session.NoteResult(command.Result(), ranges, SectorsTouching(array, ranges));
    if (result == ETargetResult::NothingSelected)
        std::fprintf(stderr, "tarvel-cli: %s: the range touches no sector of the flash\n", step);
    return CliTargetExit(result);
}
