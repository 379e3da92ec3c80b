#pragma once

#include "gui/dialogs/command_dialog.h"

class CCommSetupCommand;
class QLineEdit;
class QRadioButton;

// "Communication Setup": the channel (COM1 to COM4 or the network), the
// serial baud rate and the probe's IP address, with OK (the values checked
// by CCommSetup before the dialog closes), Cancel and "Test" (the link test
// on the values as they stand, which stores nothing).
class CCommSetupDialog : public CCommandDialog {
    Q_OBJECT
public:
    CCommSetupDialog(CCommSetupCommand& command, const SDialogServices& services = {}, QWidget* parent = nullptr);
    ~CCommSetupDialog() override;

    void accept() override;
    void TestLink();

private:
    void StoreFields() override;
    void LoadFields();

    CCommSetupCommand& command_;
    QRadioButton* channels_[5];
    QRadioButton* bauds_[5];
    QLineEdit* ip_;
};
