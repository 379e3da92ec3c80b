#include "flash/dump_operation.h"

#include "probe/target_connection.h"
#include "flash/transfer.h"

ETargetResult CDumpOperation::Start()
{
    const std::vector<CMemoryRange> covered = spans.empty() ? std::vector<CMemoryRange>{range} : spans;
    for (const CMemoryRange& span : covered)
        if (const ETargetResult checked = BeginWithDevice(span, physical); checked != ETargetResult::Done)
            return checked;
    SSequence sequence;
    sequence.failureBox = "Dumping error!";
    return Sequence(sequence, [this, &covered](CTargetConnection& connection) {
        return CTransfer(connection, image_, view_).DumpSpans(covered);
    });
}
