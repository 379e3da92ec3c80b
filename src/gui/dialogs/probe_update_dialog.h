#pragma once

#include "gui/dialogs/command_dialog.h"

#include <functional>
#include <memory>
#include <string>

class CProbeLibrary;
class CProbeUpdateCommand;
class CQpgDoc;
class CWorkerBridge;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

// "QDX7000 Update/Setup": connects to the probe's loader on a serial port,
// shows its serial number, MAC address and the current and newest versions
// of loader, firmware and logic, updates firmware and logic, transmits the
// network setup; OK and Cancel start the firmware. The buttons' enabling and
// every step are CUpdateSetupModel's; the dialog shows its fields.
//
// Every step runs on a worker thread, as the target dialogs' operations do:
// meanwhile the window repaints and shows the step's texts and bar, and
// every control is disabled, so that a click or key pressed during a step is
// dropped instead of running afterwards (an update cannot be stopped, and
// Escape and the window's close button wait for it). "Ok" is the default
// button: Enter never starts Update or Transmit, which want a click or
// their mnemonic.
class CProbeUpdateDialog : public CCommandDialog {
    Q_OBJECT
public:
    CProbeUpdateDialog(CQpgDoc& doc, CProbeLibrary& library, const std::string& programDirectory,
                       const SDialogServices& services = {}, QWidget* parent = nullptr);
    ~CProbeUpdateDialog() override;

    CProbeUpdateCommand& Command() const { return *command_; }

    void Connect();
    void Current();
    void Update();
    void Transmit();
    void accept() override;
    void reject() override;

    // Whether a step runs now.
    bool Busy() const;

signals:
    // A step begins (true, its controls already disabled) or has ended.
    void busyChanged(bool busy);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void StoreFields() override;
    void LoadFields();
    // Takes the controls' values, runs `step` on the worker thread with the
    // controls disabled, then shows the model again. False when a step
    // already runs (nothing is done then).
    bool RunStep(const std::function<void()>& step);

    CWorkerBridge* bridge_;
    std::unique_ptr<CProbeUpdateCommand> command_;
    QRadioButton* ports_[4];
    QRadioButton* bauds_[4];
    QPushButton* connect_;
    QLabel* serial_;
    QLabel* mac_;
    QLabel* loaderCurrent_;
    QLabel* firmwareCurrent_;
    QLabel* firmwareNewest_;
    QLabel* logicCurrent_;
    QLabel* logicNewest_;
    QPushButton* current_;
    QPushButton* update_;
    QLineEdit* ip_;
    QLineEdit* mask_;
    QLineEdit* gateway_;
    QPushButton* transmit_;
    QProgressBar* progress_;
    QPushButton* ok_;
    QPushButton* cancel_;
    bool finished_ = false;
};
