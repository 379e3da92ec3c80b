#pragma once

#include "project/erase_map.h"
#include "flash/target_operation.h"

struct SFlashDevice;

// What the Erase dialog's two commands share: the erase map, the pre- and
// post-erase lists and the flash geometry of the project.
class CEraseOperation : public CTargetOperation {
public:
    using CTargetOperation::CTargetOperation;

    CEraseMap eraseMap;
    CCodeList preList;
    CCodeList postList;
    uint32_t flashBase = 0;
    uint32_t workspace = 0xFFFFFFFF;
    uint32_t banks = 1;
    uint32_t busWidthBytes = 0;

protected:
    // Looks the device up; false (the box shown) when there is none.
    bool FindDevice();
    // The sequence around EraseFlash, of everything or of `selection`'s
    // sectors (the erase map as the project's banks and device see it).
    ETargetResult Erase(bool eraseAll, const CEraseMap& selection);

    const SFlashDevice* device_ = nullptr;
};
