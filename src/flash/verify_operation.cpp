#include "flash/verify_operation.h"

#include "probe/target_connection.h"
#include "flash/transfer.h"

ETargetResult CVerifyOperation::Start()
{
    if (const ETargetResult checked = BeginWithDevice(range, physical); checked != ETargetResult::Done)
        return checked;
    SSequence sequence;
    sequence.statusText = "Verifying ...";
    sequence.failureBox = "Verifying error!";
    return Sequence(sequence, [this](CTargetConnection& connection) {
        return CTransfer(connection, image_, view_).VerifyRange(range);
    });
}
