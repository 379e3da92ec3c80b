#pragma once

#include "gui/dialogs/command_dialog.h"

#include <memory>
#include <string>

class CProbeLibrary;
class CProbeUpdateCommand;
class CQpgDoc;
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

private:
    void StoreFields() override;
    void LoadFields();

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
    bool finished_ = false;
};
