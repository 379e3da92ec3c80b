#include "gui/dialogs/fill_dialog.h"

#include "commands/fill_command.h"
#include "gui/widgets/hex_edit.h"
#include "gui/widgets/range_entry_widget.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CFillDialog::CFillDialog(CFillCommand& command, const SDialogServices& services, QWidget* parent)
    : CCommandDialog("fillDialog", tr("Fill"), services, parent), command_(command)
{
    CFillModel& model = command_.model;

    range_ = new CRangeEntryWidget(model.entry, this);

    auto* patternGroup = new QGroupBox(tr("&Pattern"), this);
    const char* names[3] = {"byteRadio", "wordRadio", "longRadio"};
    const QString texts[3] = {tr("&Byte"), tr("&Word"), tr("L&ong")};
    auto* group = new QButtonGroup(this);
    auto* unitColumn = new QVBoxLayout;
    for (int i = 0; i < 3; ++i) {
        units_[i] = new QRadioButton(texts[i], patternGroup);
        units_[i]->setObjectName(names[i]);
        group->addButton(units_[i], i);
        unitColumn->addWidget(units_[i]);
    }
    pattern_ = new CHexEdit(patternGroup);
    pattern_->setObjectName("patternEdit");
    auto* patternRow = new QHBoxLayout(patternGroup);
    patternRow->addLayout(unitColumn);
    patternRow->addSpacing(16);
    patternRow->addWidget(pattern_, 0, Qt::AlignVCenter);
    patternRow->addWidget(new QLabel(tr("Hex"), patternGroup), 0, Qt::AlignVCenter);
    patternRow->addStretch(1);

    auto* fill = CreateButton(tr("&Fill"), "fillButton", true);
    QPushButton* close = CreateCloseButton();
    close->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(fill);
    buttons->addWidget(close);

    // Fill has no status line: the wait cursor is its only feedback.

    auto* top = new QVBoxLayout(this);
    top->addWidget(range_);
    top->addWidget(patternGroup);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    units_[model.UnitIndex()]->setChecked(true);
    pattern_->Bind(&model.pattern);

    connect(group, &QButtonGroup::idClicked, this, &CFillDialog::SelectUnit);
    connect(fill, &QPushButton::clicked, this, &CFillDialog::RunFill);
}

CFillDialog::~CFillDialog() = default;

void CFillDialog::StoreFields()
{
    range_->Store();
    pattern_->Store();
}

void CFillDialog::SelectUnit(int index)
{
    if (index == command_.model.UnitIndex())
        return;
    pattern_->Store();
    command_.model.SetUnitIndex(index);
    pattern_->Load();
}

void CFillDialog::RunFill()
{
    StoreFields();
    command_.Fill(View(), Box());
    range_->FocusFailedField();
}
