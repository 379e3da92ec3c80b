#include "gui/dialogs/dump_dialog.h"

#include "commands/dump_command.h"

CDumpDialog::CDumpDialog(CDumpCommand& command, CWorkerBridge& bridge, const SDialogServices& services,
                         QWidget* parent)
    : CRangeTargetDialog("dumpDialog", tr("Dump"), command.rangeEntry, [&command] { return command.Start(); },
                         bridge, services, parent)
{
}
