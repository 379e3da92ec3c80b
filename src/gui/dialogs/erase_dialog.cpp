#include "gui/dialogs/erase_dialog.h"

#include "commands/erase_command.h"
#include "gui/dialogs/erase_sectors_dialog.h"
#include "gui/widgets/worker_bridge.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

CEraseDialog::CEraseDialog(CEraseCommand& command, CWorkerBridge& bridge, const SDialogServices& services,
                           QWidget* parent)
    : CTargetDialog("eraseDialog", tr("Erase"), bridge, services, parent), command_(command)
{
    auto* sectors = CreateButton(tr("Erase Sectors..."), "eraseSectorsButton");
    sectors->setEnabled(command_.CanChooseSectors());
    auto* all = CreateButton(tr("Erase All"), "eraseAllButton");
    QPushButton* close = CreateCloseButton();
    close->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sectors);
    buttons->addWidget(all);
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto* top = new QVBoxLayout(this);
    top->addLayout(buttons);
    AddStatusArea(top);
    setMinimumWidth(fontMetrics().averageCharWidth() * 64);

    connect(sectors, &QPushButton::clicked, this, &CEraseDialog::EraseSectors);
    connect(all, &QPushButton::clicked, this, &CEraseDialog::EraseAll);
}

CEraseDialog::~CEraseDialog() = default;

void CEraseDialog::EraseAll()
{
    RunOperation([this] { return command_.EraseAll(); });
}

void CEraseDialog::EraseSectors()
{
    RunOperation([this] {
        return command_.EraseSectors(
            [this](CEraseMap& map) { return Bridge().OnUiThread([this, &map] { return ChooseSectors(map); }); });
    });
}

bool CEraseDialog::ChooseSectors(CEraseMap& map)
{
    auto selection = command_.SectorSelection(map);
    if (!selection)
        return false;
    CEraseSectorsDialog dialog(*selection, map, this);
    AddHelpKey(&dialog, Help(), [&dialog] { return dialog.windowTitle(); });
    // Nothing runs while the sectors are chosen: Stop waits for the erase.
    SetStopEnabled(false);
    const bool confirmed = dialog.exec() == QDialog::Accepted;
    SetStopEnabled(true);
    // The grid is gone before the erase begins: both windows are painted anew at once.
    repaint();
    if (parentWidget())
        parentWidget()->repaint();
    return confirmed;
}
