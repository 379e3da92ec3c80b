#pragma once

#include "gui/dialogs/command_dialog.h"

class CChecksumCommand;
class CHexEdit;
class CRangeEntryWidget;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Checksum": the sum of a source range in bytes, words or longs, shown for
// the destination unit and, after "&Calculate", stored into the image.
class CChecksumDialog : public CCommandDialog {
    Q_OBJECT
public:
    CChecksumDialog(CChecksumCommand& command, const SDialogServices& services = {}, QWidget* parent = nullptr);
    ~CChecksumDialog() override;

    void RunCalculate();
    void RunStore();

private:
    void StoreFields() override;
    void Refresh();

    CChecksumCommand& command_;
    CRangeEntryWidget* range_;
    QRadioButton* sourceUnits_[3];
    QRadioButton* destUnits_[3];
    CHexEdit* dest_;
    QLineEdit* checksum_;
    QPushButton* store_;
};
