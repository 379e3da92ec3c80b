#pragma once

#include "gui/dialogs/range_target_dialog.h"

class CVerifyCommand;

// "Verify": see CRangeTargetDialog.
class CVerifyDialog final : public CRangeTargetDialog {
    Q_OBJECT
public:
    CVerifyDialog(CVerifyCommand& command, CWorkerBridge& bridge, const SDialogServices& services = {},
                QWidget* parent = nullptr);
};
