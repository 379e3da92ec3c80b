#include "gui/dialogs/range_target_dialog.h"

#include "commands/target_range_model.h"
#include "gui/widgets/range_entry_widget.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

CRangeTargetDialog::CRangeTargetDialog(const char* objectName, const QString& caption, CTargetRangeModel& range,
                                       std::function<ETargetResult()> start, CWorkerBridge& bridge,
                                       const SDialogServices& services, QWidget* parent)
    : CTargetDialog(objectName, caption, bridge, services, parent), range_(range), start_(std::move(start))
{
    entry_ = new CRangeEntryWidget(range_.entry, this);

    auto* fit = CreateButton(tr("Fit To Memory Image"), "fitButton");
    auto* startButton = CreateButton(tr("S&tart..."), "startButton", true);
    QPushButton* close = CreateCloseButton();
    close->setAutoDefault(false);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(fit);
    buttons->addWidget(startButton);
    buttons->addWidget(close);
    buttons->addStretch(1);

    auto* upper = new QHBoxLayout;
    upper->addWidget(entry_, 1, Qt::AlignTop);
    upper->addSpacing(16);
    upper->addLayout(buttons);

    auto* top = new QVBoxLayout(this);
    top->addLayout(upper);
    AddStatusArea(top);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(fit, &QPushButton::clicked, this, &CRangeTargetDialog::FitToImage);
    connect(startButton, &QPushButton::clicked, this, &CRangeTargetDialog::Start);
}

CRangeTargetDialog::~CRangeTargetDialog() = default;

void CRangeTargetDialog::StoreFields()
{
    entry_->Store();
    range_.Read(nullptr);
}

void CRangeTargetDialog::FitToImage()
{
    if (!range_.FitToMemoryImage()) {
        View().SetStatus(CTargetRangeModel::kNothingLoaded);
        return;
    }
    View().SetStatus("");
    entry_->Load();
}

void CRangeTargetDialog::Start()
{
    if (Busy())
        return;
    View().SetStatus("");
    View().SetProgress(0);
    entry_->Store();
    if (!range_.Read(&Box())) {
        entry_->FocusFailedField();
        return;
    }
    entry_->Load();
    RunOperation(start_);
}
