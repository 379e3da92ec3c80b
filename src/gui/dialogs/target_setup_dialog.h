#pragma once

#include "gui/dialogs/command_dialog.h"

#include <functional>

class CHexEdit;
class CTargetSetupCommand;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

// "Target Memory Setup": the flash device on the target bus (catalogue
// name, bus width, banks, base address), the target algorithm and its
// workspace, CPU type, JTAG clock and byte order. The controls follow the
// chosen device (CTargetMemorySetup holds every rule); OK closes only when
// the values pass their checks, and the command then stores them.
class CTargetSetupDialog : public CCommandDialog {
    Q_OBJECT
public:
    CTargetSetupDialog(CTargetSetupCommand& command, const SDialogServices& services = {},
                       QWidget* parent = nullptr);
    ~CTargetSetupDialog() override;

    void accept() override;

    // The default beep before the CFMCLKD reminder (tests listen to it).
    std::function<void()> beep;
    // The reminder waits until the "Memory Type:" list has rested this long
    // after its last change, so that type-ahead passing a device on the way
    // to another is not interrupted (the keyboard's type-ahead interval).
    QTimer& ReminderTimer() const { return *reminder_; }
    // Shows a reminder that still waits for the list to rest, at once.
    void ShowPendingReminder();

private:
    void StoreControls();
    void LoadControls();
    void SelectMemoryType(int row);
    void SelectBusWidth(int width);
    void ToggleTargetAlgorithm(bool checked);
    void RemindOfClock();

    CTargetSetupCommand& command_;
    QComboBox* memory_;
    QRadioButton* bus_[3];
    CHexEdit* base_;
    QLineEdit* banks_;
    QCheckBox* targetAlgorithm_;
    CHexEdit* workspace_;
    QComboBox* cpu_;
    QComboBox* clock_;
    QCheckBox* bigEndian_;
    QPushButton* option_;
    QTimer* reminder_;
    bool loading_ = false;
};
