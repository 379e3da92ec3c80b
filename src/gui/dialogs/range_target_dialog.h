#pragma once

#include "gui/dialogs/target_dialog.h"

class CRangeEntryWidget;
class CTargetRangeModel;

// The Dump, Program and Verify dialogs: the range entry, "Fit To Memory
// Image", "S&tart...", "Close", the progress bar and the status line. Start
// reads the range (a refused range keeps the dialog as it is, the focus on
// the field at fault) and runs the command; Close hands the range back.
class CRangeTargetDialog : public CTargetDialog {
    Q_OBJECT
public:
    ~CRangeTargetDialog() override;

    void Start();
    void FitToImage();

protected:
    CRangeTargetDialog(const char* objectName, const QString& caption, CTargetRangeModel& range,
                       std::function<ETargetResult()> start, CWorkerBridge& bridge, const SDialogServices& services,
                       QWidget* parent);

private:
    // A range the fields hold on closing goes back when it passes the checks;
    // otherwise the last good one stays (nothing is asked on the way out).
    void StoreFields() override;

    CTargetRangeModel& range_;
    std::function<ETargetResult()> start_;
    CRangeEntryWidget* entry_;
};
