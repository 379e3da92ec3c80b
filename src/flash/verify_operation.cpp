#include "flash/verify_operation.h"

#include "probe/target_connection.h"
#include "flash/operation_texts.h"
#include "flash/transfer.h"

ETargetResult CVerifyOperation::Start()
{
    if (const ETargetResult checked = BeginWithDevice(range, physical); checked != ETargetResult::Done)
        return checked;
    SSequence sequence;
    sequence.statusText = "Verifying ...";
    sequence.failureBox = "Verifying error!";
    // The first differing byte stays in the box after the status line has
    // moved on. A fuller account of the differences belongs here too.
    sequence.failureDetails = [this] {
        return result_.status == EOperationStatus::CompareFailed ? COperationTexts::Result(result_) : std::string();
    };
    return Sequence(sequence, [this](CTargetConnection& connection) {
        return CTransfer(connection, image_, view_).VerifyRange(range);
    });
}
