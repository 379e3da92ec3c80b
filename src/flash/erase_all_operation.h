#pragma once

#include "flash/erase_operation.h"

// The "Erase All" command: erases every bank of the flash array whole.
class CEraseAllOperation final : public CEraseOperation {
public:
    using CEraseOperation::CEraseOperation;

    ETargetResult Start();
};
