#include "flash/dump_operation.h"

#include "probe/target_connection.h"
#include "flash/transfer.h"

ETargetResult CDumpOperation::Start()
{
    if (const ETargetResult checked = BeginWithDevice(range, physical); checked != ETargetResult::Done)
        return checked;
    SSequence sequence;
    sequence.failureBox = "Dumping error!";
    return Sequence(sequence, [this](CTargetConnection& connection) {
        return CTransfer(connection, image_, view_).DumpRange(range);
    });
}
