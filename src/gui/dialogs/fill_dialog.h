#pragma once

#include "gui/dialogs/command_dialog.h"

class CFillCommand;
class CHexEdit;
class CRangeEntryWidget;
class QRadioButton;

// "Fill": a range of the memory image filled with a byte, word or long pattern.
class CFillDialog : public CCommandDialog {
    Q_OBJECT
public:
    CFillDialog(CFillCommand& command, const SDialogServices& services = {}, QWidget* parent = nullptr);
    ~CFillDialog() override;

    void RunFill();

private:
    void StoreFields() override;
    void SelectUnit(int index);

    CFillCommand& command_;
    CRangeEntryWidget* range_;
    QRadioButton* units_[3];
    CHexEdit* pattern_;
};
