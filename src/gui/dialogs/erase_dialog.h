#pragma once

#include "gui/dialogs/target_dialog.h"

class CEraseCommand;
class CEraseMap;

// "Erase": "Erase Sectors..." (the sectors chosen in the Erase Sectors
// dialog), "Erase All" (every bank whole), "Close", the progress bar and the
// status line. The erase map the sector choice changes goes back to the
// project when the dialog has closed.
class CEraseDialog final : public CTargetDialog {
    Q_OBJECT
public:
    CEraseDialog(CEraseCommand& command, CWorkerBridge& bridge, const SDialogServices& services = {},
                 QWidget* parent = nullptr);
    ~CEraseDialog() override;

    void EraseAll();
    void EraseSectors();

private:
    // The Erase Sectors dialog on `map` (UI thread); true when confirmed.
    bool ChooseSectors(CEraseMap& map);

    CEraseCommand& command_;
};
