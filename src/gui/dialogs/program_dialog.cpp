#include "gui/dialogs/program_dialog.h"

#include "commands/program_command.h"

CProgramDialog::CProgramDialog(CProgramCommand& command, CWorkerBridge& bridge, const SDialogServices& services,
                         QWidget* parent)
    : CRangeTargetDialog("programDialog", tr("Program"), command.rangeEntry, [&command] { return command.StartLoaded(); },
                         bridge, services, parent)
{
}
