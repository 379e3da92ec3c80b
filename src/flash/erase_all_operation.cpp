#include "flash/erase_all_operation.h"

ETargetResult CEraseAllOperation::Start()
{
    Begin();
    if (!FindDevice())
        return NoDevice();
    return Erase(true, eraseMap);
}
