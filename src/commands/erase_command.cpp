#include "commands/erase_command.h"

#include "catalogue/flash_catalogue.h"
#include "flash/erase_all_operation.h"
#include "catalogue/flash_catalogue.h"
#include "project/qpg_doc.h"

CEraseCommand::CEraseCommand(CQpgDoc& doc, const STargetContext& context)
    : eraseMap(doc.eraseMap), doc_(doc), context_(context)
{
}

void CEraseCommand::Prepare(CEraseOperation& operation) const
{
    TakeTargetSettings(doc_, operation);
    operation.deviceCheck = context_.deviceCheck;
    operation.preList = doc_.preEraseList;
    operation.postList = doc_.postEraseList;
    operation.eraseMap = eraseMap;
    operation.flashBase = doc_.physicalRange.GetStart();
    operation.workspace = ProjectWorkspace(doc_);
    operation.banks = static_cast<uint32_t>(doc_.bankCount);
    operation.busWidthBytes = CFlashCatalogue::BusWidthBytes(doc_.busWidth);
}

ETargetResult CEraseCommand::EraseAll()
{
    CEraseAllOperation operation(context_.library, context_.box, context_.view, context_.ChannelFor(doc_),
                                 context_.clock);
    Prepare(operation);
    const ETargetResult result = operation.Start();
    eraseMap = operation.eraseMap;
    lastResult_ = operation.Result();
    return result;
}

ETargetResult CEraseCommand::EraseSectors(const CEraseSectorsOperation::FChooseSectors& chooseSectors)
{
    CEraseSectorsOperation operation(context_.library, context_.box, context_.view, context_.ChannelFor(doc_),
                                     context_.clock);
    Prepare(operation);
    const ETargetResult result = operation.Start(chooseSectors);
    eraseMap = operation.eraseMap;
    lastResult_ = operation.Result();
    return result;
}

bool CEraseCommand::StoreBack()
{
    doc_.eraseMap = eraseMap;
    return doc_.StoreBackErase();
}

bool CEraseCommand::CanChooseSectors() const
{
    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice(doc_.memoryType);
    if (!device || device->sectorTable == nullptr)
        return false;
    return !(doc_.bankCount == 1 && device->sectorCount == 1);
}

std::optional<CEraseSectorSelection> CEraseCommand::SectorSelection(const CEraseMap& map) const
{
    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice(doc_.memoryType);
    if (!device || device->sectorTable == nullptr)
        return std::nullopt;
    std::vector<uint32_t> starts(device->sectorTable, device->sectorTable + device->sectorCount);
    return CEraseSectorSelection(map, std::move(starts), doc_.BusWidthBytes(), device->deviceWidth);
}
