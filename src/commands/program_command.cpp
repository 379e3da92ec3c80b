#include "commands/program_command.h"

#include "catalogue/flash_catalogue.h"
#include "common/message_box.h"
#include "common/operation_view.h"
#include "project/qpg_doc.h"

CProgramCommand::CProgramCommand(CQpgDoc& doc, const STargetContext& context)
    : operation(context.library, context.box, context.view, context.ChannelFor(doc), doc.image, context.clock),
      rangeEntry(operation.range, operation.physical, doc.image, CTargetRangeModel::EFit::UsedRange,
                 CFlashCatalogue::BusWidthBytes(doc.busWidth)),
      doc_(doc),
      box_(context.box),
      view_(context.view)
{
    TakeTargetSettings(doc, operation);
    operation.physical = doc.physicalRange;
    operation.range = doc.ProgramStartRange();
    operation.preList = doc.preProgramList;
    operation.postList = doc.postProgramList;
    operation.flashBase = doc.physicalRange.GetStart();
    operation.workspace = ProjectWorkspace(doc);
    operation.busWidthBytes = CFlashCatalogue::BusWidthBytes(doc.busWidth);
    rangeEntry.Show();
}

ETargetResult CProgramCommand::StartLoaded()
{
    // Without a device the operation's own check speaks first.
    if (doc_.image.IsEmpty() && CFlashCatalogue::FindFlashDevice(doc_.memoryType) != nullptr) {
        view_.SetStatus(CTargetRangeModel::kNothingLoaded);
        box_.Show(CTargetRangeModel::kNothingLoaded, "Warning", EMsgIcon::Exclamation, EMsgButtons::Ok);
        return ETargetResult::InvalidRange;
    }
    return Start();
}

bool CProgramCommand::StoreBack()
{
    return doc_.StoreBackProgram(operation.range);
}
