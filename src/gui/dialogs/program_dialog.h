#pragma once

#include "gui/dialogs/range_target_dialog.h"

class CProgramCommand;

// "Program": see CRangeTargetDialog.
class CProgramDialog final : public CRangeTargetDialog {
    Q_OBJECT
public:
    CProgramDialog(CProgramCommand& command, CWorkerBridge& bridge, const SDialogServices& services = {},
                QWidget* parent = nullptr);
};
