#include "gui/dialogs/target_setup_dialog.h"

#include "catalogue/flash_catalogue.h"
#include "commands/target_setup_command.h"
#include "gui/widgets/hex_edit.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

CTargetSetupDialog::CTargetSetupDialog(CTargetSetupCommand& command, const SDialogServices& services,
                                       QWidget* parent)
    : CCommandDialog("targetSetupDialog", tr("Target Memory Setup"), services, parent),
      beep([] { QApplication::beep(); }),
      command_(command)
{
    CTargetMemorySetup& setup = command_.setup;
    // Opening writes the device list file next to the project's work; the
    // dialog goes on without it when it cannot be written.
    (void)setup.Open();

    memory_ = new QComboBox(this);
    memory_->setObjectName("memoryTypeCombo");
    memory_->setMaxVisibleItems(24);
    std::string name;
    for (int row = 0; CFlashCatalogue::GetFlashName(row, name); ++row)
        memory_->addItem(QString::fromLatin1(name.c_str()));
    auto* memoryLabel = new QLabel(tr("&Memory Type:"), this);
    memoryLabel->setBuddy(memory_);

    auto* bus = new QGroupBox(tr("Databus"), this);
    auto* busGroup = new QButtonGroup(this);
    const char* busNames[3] = {"bus8Radio", "bus16Radio", "bus32Radio"};
    const QString busTexts[3] = {tr("&8 Bit"), tr("1&6 Bit"), tr("&32 Bit")};
    auto* busColumn = new QVBoxLayout(bus);
    for (int i = 0; i < 3; ++i) {
        bus_[i] = new QRadioButton(busTexts[i], bus);
        bus_[i]->setObjectName(busNames[i]);
        busGroup->addButton(bus_[i], i);
        busColumn->addWidget(bus_[i]);
    }

    base_ = new CHexEdit(this);
    base_->setObjectName("baseEdit");
    auto* baseLabel = new QLabel(tr("&Base Address (Hex)"), this);
    baseLabel->setBuddy(base_);
    banks_ = new QLineEdit(this);
    banks_->setObjectName("banksEdit");
    banks_->setMaxLength(10);
    auto* banksLabel = new QLabel(tr("&Number of Banks"), this);
    banksLabel->setBuddy(banks_);

    targetAlgorithm_ = new QCheckBox(tr("Use &target algorithm"), this);
    targetAlgorithm_->setObjectName("targetAlgorithmCheck");
    workspace_ = new CHexEdit(this);
    workspace_->setObjectName("workspaceEdit");
    auto* workspaceLabel = new QLabel(tr("&Workspace (Hex)"), this);
    workspaceLabel->setBuddy(workspace_);

    cpu_ = new QComboBox(this);
    cpu_->setObjectName("cpuTypeCombo");
    for (const char* type : CTargetMemorySetup::kCpuTypes)
        cpu_->addItem(QString::fromLatin1(type));
    auto* cpuLabel = new QLabel(tr("&CPU Type"), this);
    cpuLabel->setBuddy(cpu_);
    clock_ = new QComboBox(this);
    clock_->setObjectName("jtagClockCombo");
    for (const char* clock : CTargetMemorySetup::kJtagClocks)
        clock_->addItem(QString::fromLatin1(clock));
    auto* clockLabel = new QLabel(tr("&JTAG Clock"), this);
    clockLabel->setBuddy(clock_);
    bigEndian_ = new QCheckBox(tr("Big &Endian"), this);
    bigEndian_->setObjectName("bigEndianCheck");

    option_ = CreateButton(tr("&Option..."), "optionButton");
    auto* ok = CreateButton(tr("OK"), "okButton", true);
    auto* cancel = CreateButton(tr("Cancel"), "cancelButton");

    // Device row, then the bus group beside the address fields, then the
    // target algorithm, then the core's settings.
    auto* flash = new QGridLayout;
    flash->addWidget(baseLabel, 0, 0);
    flash->addWidget(base_, 0, 1);
    flash->addWidget(banksLabel, 1, 0);
    flash->addWidget(banks_, 1, 1);
    flash->addWidget(targetAlgorithm_, 2, 0, 1, 2);
    flash->addWidget(workspaceLabel, 3, 0);
    flash->addWidget(workspace_, 3, 1);
    flash->setColumnStretch(2, 1);

    auto* middle = new QHBoxLayout;
    middle->addWidget(bus);
    middle->addLayout(flash, 1);

    auto* core = new QGridLayout;
    core->addWidget(cpuLabel, 0, 0);
    core->addWidget(cpu_, 1, 0);
    core->addWidget(clockLabel, 0, 1);
    core->addWidget(clock_, 1, 1);
    core->addWidget(bigEndian_, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(option_);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* top = new QVBoxLayout(this);
    top->addWidget(memoryLabel);
    top->addWidget(memory_);
    top->addLayout(middle);
    top->addLayout(core);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    base_->Bind(&setup.baseField);
    workspace_->Bind(&setup.workspaceField);
    LoadControls();

    reminder_ = new QTimer(this);
    reminder_->setSingleShot(true);
    reminder_->setInterval(QApplication::keyboardInputInterval());
    connect(reminder_, &QTimer::timeout, this, &CTargetSetupDialog::RemindOfClock);
    connect(memory_, &QComboBox::currentIndexChanged, this, &CTargetSetupDialog::SelectMemoryType);
    connect(busGroup, &QButtonGroup::idClicked, this, &CTargetSetupDialog::SelectBusWidth);
    connect(targetAlgorithm_, &QCheckBox::clicked, this, &CTargetSetupDialog::ToggleTargetAlgorithm);
    connect(ok, &QPushButton::clicked, this, &CTargetSetupDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    memory_->setFocus();
}

CTargetSetupDialog::~CTargetSetupDialog() = default;

void CTargetSetupDialog::StoreControls()
{
    CTargetMemorySetup& setup = command_.setup;
    setup.memoryIndex = memory_->currentIndex();
    base_->Store();
    workspace_->Store();
    setup.banksText = banks_->text().toStdString();
    setup.targetAlgorithmChecked = targetAlgorithm_->isChecked();
    setup.cpuIndex = cpu_->currentIndex();
    setup.clockIndex = clock_->currentIndex();
    setup.bigEndianChecked = bigEndian_->isChecked();
}

void CTargetSetupDialog::LoadControls()
{
    const CTargetMemorySetup& setup = command_.setup;
    loading_ = true;
    memory_->setCurrentIndex(setup.memoryIndex);
    base_->Load();
    workspace_->Load();
    banks_->setText(QString::fromStdString(setup.banksText));
    targetAlgorithm_->setChecked(setup.targetAlgorithmChecked);
    cpu_->setCurrentIndex(setup.cpuIndex);
    clock_->setCurrentIndex(setup.clockIndex);
    bigEndian_->setChecked(setup.bigEndianChecked);
    for (int i = 0; i < 3; ++i)
        bus_[i]->setChecked(i == setup.BusWidth());

    const CTargetMemorySetup::SEnabled& e = setup.enabled;
    memory_->setEnabled(e.memoryType);
    base_->setEnabled(e.baseAddress);
    banks_->setEnabled(e.banks);
    bus_[0]->setEnabled(e.bus8);
    bus_[1]->setEnabled(e.bus16);
    bus_[2]->setEnabled(e.bus32);
    targetAlgorithm_->setEnabled(e.targetAlgorithm);
    workspace_->setEnabled(e.workspace);
    option_->setEnabled(e.option);
    loading_ = false;
}

void CTargetSetupDialog::SelectMemoryType(int row)
{
    if (loading_)
        return;
    StoreControls();
    reminder_->stop();
    const bool taken = command_.setup.ChooseMemoryType(row, Box());
    LoadControls();
    if (taken)
        reminder_->start();
}

void CTargetSetupDialog::ShowPendingReminder()
{
    if (reminder_->isActive())
        RemindOfClock();
}

void CTargetSetupDialog::RemindOfClock()
{
    reminder_->stop();
    command_.setup.RemindOfClock(Box(), beep);
}

void CTargetSetupDialog::SelectBusWidth(int width)
{
    StoreControls();
    command_.setup.SelectBusWidth(width);
    LoadControls();
}

void CTargetSetupDialog::ToggleTargetAlgorithm(bool checked)
{
    StoreControls();
    command_.setup.SetTargetAlgorithm(checked, Box());
    LoadControls();
}

void CTargetSetupDialog::accept()
{
    // A reminder still waiting for the typing to pause is shown first.
    ShowPendingReminder();
    StoreControls();
    if (!command_.Confirm(Box()))
        return;
    QDialog::accept();
}
