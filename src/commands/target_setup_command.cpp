#include "commands/target_setup_command.h"

#include "catalogue/flash_catalogue.h"
#include "commands/identify_command.h"
#include "project/qpg_doc.h"

CTargetSetupCommand::CTargetSetupCommand(CQpgDoc& doc) : setup(CTargetMemorySetup::RecordOf(doc)), doc_(doc) {}

bool CTargetSetupCommand::StoreBack()
{
    if (!confirmed_)
        return false;
    setup.ApplyTo(doc_);
    return true;
}

ETargetResult CTargetSetupCommand::Identify(const STargetContext& context, std::vector<const SFlashDevice*>& fits,
                                            std::string& report)
{
    const CTargetMemorySetup::SRecord& r = setup.Record();
    CIdentifyCommand command(doc_, context);
    CIdentifyOperation& op = command.operation;
    op.flashDevice = r.memoryType;
    op.busWidthBytes = CFlashCatalogue::BusWidthBytes(r.busWidth);
    op.flashBase = r.baseAddress;
    op.flashBanks = r.bankCount > 0 ? static_cast<uint32_t>(r.bankCount) : 1;
    op.targetOptions = r.targetOptions;
    const ETargetResult result = command.Start();
    fits = op.Fits();
    report = op.Report();
    return result;
}
