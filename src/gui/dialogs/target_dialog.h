#pragma once

#include "gui/dialogs/command_dialog.h"

#include "flash/target_operation.h"

#include <QList>
#include <QPointer>

#include <functional>

class CWorkerBridge;
class QBoxLayout;
class QPushButton;
class QWidget;

// What the Dump, Program, Verify and Erase dialogs share: the progress bar,
// the status line in its "Info" frame, a "Stop" button, and the running of
// one operation on the worker thread of a CWorkerBridge.
//
// While an operation runs, the dialog keeps painting and showing the
// operation's progress, but takes no input but a stop: every control is
// disabled except "Stop"; Escape and the window's close button ask the
// operation to stop instead of closing. The operation ends its probe
// connection on every path (the core's sequence sees to it), and the dialog
// is usable again for a retry as soon as it has ended.
class CTargetDialog : public CCommandDialog {
    Q_OBJECT
public:
    ~CTargetDialog() override;

    // Whether an operation is running now.
    bool Busy() const;
    // How the last operation ended.
    ETargetResult LastResult() const { return last_; }
    // Escape: closes the dialog when idle, asks a running operation to stop.
    void reject() override;

protected:
    CTargetDialog(const char* objectName, const QString& caption, CWorkerBridge& bridge,
                  const SDialogServices& services, QWidget* parent);

    // The progress bar with "Stop" beside it and the status line under them.
    void AddStatusArea(QBoxLayout* layout);
    // Runs `operation` on the worker thread (see above) and answers its result.
    ETargetResult RunOperation(const std::function<ETargetResult()>& operation);
    CWorkerBridge& Bridge() const { return bridge_; }
    // Whether "Stop" can be pressed: a running operation that waits for the
    // person (a choice it asks for) has nothing to stop meanwhile.
    void SetStopEnabled(bool enabled);

    void closeEvent(QCloseEvent* event) override;

private:
    void SetInputEnabled(bool enabled);

    CWorkerBridge& bridge_;
    QPushButton* stop_ = nullptr;
    ETargetResult last_ = ETargetResult::Done;
    // The controls disabled for a run, to be enabled again after it.
    QList<QPointer<QWidget>> disabled_;
};
