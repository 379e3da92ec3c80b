#include "target/dump_operation.h"

#include "probe/target_connection.h"
#include "target/flash_catalogue.h"
#include "target/transfer.h"

ETargetResult CDumpOperation::Start()
{
    Begin();
    if (!RangeInside(range, physical))
        return ETargetResult::InvalidRange;
    uint32_t algorithm = 0;
    if (!CFlashCatalogue::GetFlashProgramAlgorithm(flashDevice, algorithm))
        return NoDevice();
    SSequence sequence;
    sequence.failureBox = "Dumping error!";
    return Sequence(sequence, [this](CTargetConnection& connection) {
        return CTransfer(connection, image_, view_).DumpRange(range);
    });
}
