#include "gui/dialogs/target_dialog.h"

#include "gui/widgets/worker_bridge.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

CTargetDialog::CTargetDialog(const char* objectName, const QString& caption, CWorkerBridge& bridge,
                             const SDialogServices& services, QWidget* parent)
    : CCommandDialog(objectName, caption, services, parent), bridge_(bridge)
{
}

CTargetDialog::~CTargetDialog() = default;

bool CTargetDialog::Busy() const
{
    return bridge_.Running();
}

void CTargetDialog::AddStatusArea(QBoxLayout* layout)
{
    auto* progress = new QProgressBar(this);
    progress->setObjectName("progressBar");
    progress->setRange(0, 100);
    progress->setValue(0);
    progress->setTextVisible(false);

    stop_ = CreateButton(tr("Stop"), "stopButton");
    stop_->setEnabled(false);
    stop_->setToolTip(tr("Stops the running operation (Escape); the connection to the probe is ended"));
    connect(stop_, &QPushButton::clicked, this, [this] { bridge_.RequestStop(); });

    auto* bar = new QHBoxLayout;
    bar->addWidget(progress, 1);
    bar->addWidget(stop_);

    auto* info = new QGroupBox(tr("Info"), this);
    auto* infoLayout = new QVBoxLayout(info);
    QLabel* status = CreateStatusLine(progress);
    // Room for the running line with its byte counts and rate.
    status->setMinimumWidth(status->fontMetrics().horizontalAdvance(
        QStringLiteral("Programming 16777216 of 16777216 bytes (100 %), 9999 kB/s")));
    infoLayout->addWidget(status);

    layout->addLayout(bar);
    layout->addWidget(info);
    bridge_.Attach(View(), Box());
}

void CTargetDialog::SetStopEnabled(bool enabled)
{
    if (stop_)
        stop_->setEnabled(enabled && Busy());
}

void CTargetDialog::SetInputEnabled(bool enabled)
{
    if (!enabled) {
        disabled_.clear();
        const auto controls = findChildren<QWidget*>();
        for (QWidget* control : controls) {
            const bool input = qobject_cast<QAbstractButton*>(control) || qobject_cast<QLineEdit*>(control);
            if (input && control != stop_ && control->isEnabled()) {
                control->setEnabled(false);
                disabled_.push_back(control);
            }
        }
        if (stop_)
            stop_->setEnabled(true);
        return;
    }
    for (const QPointer<QWidget>& control : disabled_)
        if (control)
            control->setEnabled(true);
    disabled_.clear();
    if (stop_)
        stop_->setEnabled(false);
}

ETargetResult CTargetDialog::RunOperation(const std::function<ETargetResult()>& operation)
{
    if (Busy())
        return ETargetResult::Cancelled;
    QWidget* focused = focusWidget();
    SetInputEnabled(false);
    if (stop_)
        stop_->setFocus();
    ETargetResult result = ETargetResult::Done;
    bridge_.Run([&result, &operation] { result = operation(); });
    SetInputEnabled(true);
    if (focused && focused->isEnabled())
        focused->setFocus();
    last_ = result;
    return result;
}

void CTargetDialog::reject()
{
    // Escape while an operation runs asks it to stop; the dialog stays.
    if (Busy()) {
        bridge_.RequestStop();
        return;
    }
    CCommandDialog::reject();
}

void CTargetDialog::closeEvent(QCloseEvent* event)
{
    if (Busy()) {
        bridge_.RequestStop();
        event->ignore();
        return;
    }
    CCommandDialog::closeEvent(event);
}
