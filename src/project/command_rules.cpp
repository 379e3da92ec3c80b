#include "project/command_rules.h"

#include "catalogue/flash_catalogue.h"
#include "project/memory_image.h"

bool CCommandRules::Inside(const CMemoryRange &range) const
{
    // In 64 bits: an empty physical range holds nothing, and no end wraps.
    return range.GetSize() != 0 && fields_.physicalRange.GetSize() != 0 &&
           range.GetStart() >= fields_.physicalRange.GetStart() &&
           uint64_t{range.GetStart()} + range.GetSize() <=
               uint64_t{fields_.physicalRange.GetStart()} + fields_.physicalRange.GetSize();
}

CMemoryRange CCommandRules::PrepareRange(const CMemoryRange &range, const CMemoryRange &fallback) const
{
    if (Inside(range))
        return range;
    if (Inside(fallback))
        return fallback;
    return fields_.physicalRange;
}

uint32_t CCommandRules::BusWidthBytes() const
{
    const uint32_t bytes = CFlashCatalogue::BusWidthBytes(fields_.busWidth);
    return bytes == 0 ? 1 : bytes;
}

CMemoryRange CCommandRules::StoreStartRange() const
{
    return PrepareRange(fields_.storeRange, image_.GetUsedRange(1));
}

CMemoryRange CCommandRules::FillStartRange() const
{
    return PrepareRange(fields_.fillRange, fields_.physicalRange);
}

CMemoryRange CCommandRules::ChecksumStartRange() const
{
    return PrepareRange(fields_.checksumRange, image_.GetUsedRange(1));
}

CMemoryRange CCommandRules::DumpStartRange() const
{
    return PrepareRange(fields_.dumpRange, fields_.physicalRange);
}

CMemoryRange CCommandRules::ProgramStartRange() const
{
    return PrepareRange(fields_.programRange, image_.GetUsedRange(BusWidthBytes()));
}

CMemoryRange CCommandRules::VerifyStartRange() const
{
    return PrepareRange(fields_.verifyRange, image_.GetUsedRange(BusWidthBytes()));
}

bool CCommandRules::IsCommandEnabled(EDocCommand command) const
{
    const bool device = fields_.memoryType != CFlashCatalogue::kNoDeviceName;
    switch (command) {
    case EDocCommand::Checksum:
    case EDocCommand::Clear:
    case EDocCommand::Dump:
    case EDocCommand::Edit:
    case EDocCommand::Fill:
    case EDocCommand::Load:
    case EDocCommand::Store:
    case EDocCommand::Program:
    case EDocCommand::Verify:
        return device;
    case EDocCommand::Erase: {
        // The same test the report makes before it lists sectors.
        uint32_t eraseAlgorithm = 0;
        return device && CFlashCatalogue::GetFlashEraseAlgorithm(fields_.memoryType, eraseAlgorithm) &&
               eraseAlgorithm != 0;
    }
    default:
        return true;
    }
}
