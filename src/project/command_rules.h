#pragma once

#include "project/memory_range.h"
#include "project/qpg_doc_fields.h"

#include <cstdint>

class CMemoryImage;

// The menu commands that work on the project, by command id.
enum class EDocCommand : int {
    Load = 32768,
    Store = 32769,
    Dump = 32770,
    Edit = 32771,
    Checksum = 32773,
    Erase = 32774,
    Program = 32775,
    Verify = 32776,
    Communication = 32777,
    Firmware = 32778,
    TargetMemory = 32779,
    Fill = 32786,
    PrintComment = 32787,
    MainList = 32788,
    PreEraseList = 32789,
    PostEraseList = 32790,
    PreProgramList = 32791,
    PostProgramList = 32792,
    Clear = 57632,
};

// The rules the document's commands share, over a project's fields and its
// image: which range a command's dialog starts with, and whether a command
// can be chosen now.
class CCommandRules {
  public:
    CCommandRules(const SQpgDocFields &fields, const CMemoryImage &image) : fields_(fields), image_(image) {}

    // The range a command's dialog starts with: `range` when it is not empty
    // and lies inside physicalRange, else `fallback` on the same terms, else
    // physicalRange. Silent.
    CMemoryRange PrepareRange(const CMemoryRange &range, const CMemoryRange &fallback) const;
    // The starting ranges of the commands that have one.
    CMemoryRange StoreStartRange() const;
    CMemoryRange FillStartRange() const;
    CMemoryRange ChecksumStartRange() const;
    CMemoryRange DumpStartRange() const;
    CMemoryRange ProgramStartRange() const;
    CMemoryRange VerifyStartRange() const;

    // Whether a menu command can be chosen now: the image and target commands
    // need a flash device (memoryType not "NONE"); Erase also needs a device
    // the catalogue knows with an erase algorithm (not 0). Others always.
    bool IsCommandEnabled(EDocCommand command) const;

    // Bus width in bytes (1, 2, 4); 1 for a bus width the file held out of range.
    uint32_t BusWidthBytes() const;

  private:
    bool Inside(const CMemoryRange &range) const;

    const SQpgDocFields &fields_;
    const CMemoryImage &image_;
};
