#include "gui/dialogs/verify_dialog.h"

#include "commands/verify_command.h"

CVerifyDialog::CVerifyDialog(CVerifyCommand& command, CWorkerBridge& bridge, const SDialogServices& services,
                         QWidget* parent)
    : CRangeTargetDialog("verifyDialog", tr("Verify"), command.rangeEntry, [&command] { return command.Start(); },
                         bridge, services, parent)
{
}
