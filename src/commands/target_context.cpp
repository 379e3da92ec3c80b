#include "commands/target_context.h"

#include "flash/target_operation.h"
#include "project/qpg_doc.h"

const std::string& STargetContext::ChannelFor(const CQpgDoc& doc) const
{
    return channelText.empty() ? doc.ChannelText() : channelText;
}

void TakeTargetSettings(const CQpgDoc& doc, CTargetOperation& operation)
{
    operation.targetOptions = doc.targetOptions;
    operation.mainList = doc.mainList;
    operation.flashDevice = doc.memoryType;
    operation.flashBanks = doc.bankCount > 0 ? static_cast<uint32_t>(doc.bankCount) : 1;
    operation.busWidth = doc.busWidth;
}

uint32_t ProjectWorkspace(const CQpgDoc& doc)
{
    return doc.useTargetAlgorithm ? doc.workspace : 0xFFFFFFFF;
}
