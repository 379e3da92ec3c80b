#include "commands/ui/fill_dialog.h"

#include "commands/fill_command.h"
#include "common/ui/hex_edit.h"
#include "common/ui/qt_message_box.h"
#include "common/ui/status_line_view.h"
#include "files/ui/range_entry_widget.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CFillDialog::CFillDialog(CFillCommand& command, CMessageBox* box, QWidget* parent)
    : QDialog(parent), command_(command), box_(box)
{
    setWindowTitle(tr("Fill"));
    setObjectName("fillDialog");
    if (!box_) {
        ownBox_ = std::make_unique<CQtMessageBox>(this);
        box_ = ownBox_.get();
    }
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

    auto* fill = new QPushButton(tr("&Fill"), this);
    fill->setObjectName("fillButton");
    fill->setDefault(true);
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName("closeButton");
    close->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(fill);
    buttons->addWidget(close);

    // Fill has no status line: the wait cursor is its only feedback.
    view_ = std::make_unique<CStatusLineView>(nullptr);

    auto* top = new QVBoxLayout(this);
    top->addWidget(range_);
    top->addWidget(patternGroup);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    units_[model.UnitIndex()]->setChecked(true);
    pattern_->Bind(&model.pattern);

    connect(group, &QButtonGroup::idClicked, this, &CFillDialog::SelectUnit);
    connect(fill, &QPushButton::clicked, this, &CFillDialog::RunFill);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(this, &QDialog::finished, this, &CFillDialog::Store);
}

CFillDialog::~CFillDialog() = default;

void CFillDialog::Store()
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
    Store();
    command_.Fill(*view_, *box_);
    range_->FocusFailedField();
}
