#pragma once

#include "gui/dialogs/range_target_dialog.h"

class CDumpCommand;

// "Dump": see CRangeTargetDialog.
class CDumpDialog final : public CRangeTargetDialog {
    Q_OBJECT
public:
    CDumpDialog(CDumpCommand& command, CWorkerBridge& bridge, const SDialogServices& services = {},
                QWidget* parent = nullptr);
};
