#include "gui/widgets/range_entry_widget.h"

#include "gui/widgets/hex_edit.h"
#include "files/range_entry.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>

CRangeEntryWidget::CRangeEntryWidget(CRangeEntry& entry, QWidget* parent) : QWidget(parent), entry_(entry)
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);

    auto* startLabel = new QLabel(tr("&Startaddress:"), this);
    start_ = new CHexEdit(this);
    start_->setObjectName("startEdit");
    startLabel->setBuddy(start_);
    grid->addWidget(startLabel, 0, 0);
    grid->addWidget(start_, 0, 1);
    grid->addWidget(new QLabel(tr("Hex"), this), 0, 2);

    length_ = new QRadioButton(tr("&Length:"), this);
    length_->setObjectName("lengthRadio");
    end_ = new QRadioButton(tr("&Endaddress:"), this);
    end_->setObjectName("endRadio");
    auto* group = new QButtonGroup(this);
    group->addButton(length_);
    group->addButton(end_);
    second_ = new CHexEdit(this);
    second_->setObjectName("secondEdit");
    grid->addWidget(length_, 1, 0);
    grid->addWidget(second_, 1, 1, 2, 1, Qt::AlignVCenter);
    grid->addWidget(new QLabel(tr("Hex"), this), 1, 2, 2, 1, Qt::AlignVCenter);
    grid->addWidget(end_, 2, 0);
    grid->setColumnStretch(3, 1);

    start_->Bind(&entry_.start);
    second_->Bind(&entry_.second);
    connect(length_, &QRadioButton::clicked, this, [this] { Select(1); });
    connect(end_, &QRadioButton::clicked, this, [this] { Select(0); });
    connect(start_, &QLineEdit::textEdited, this, &CRangeEntryWidget::edited);
    connect(second_, &QLineEdit::textEdited, this, &CRangeEntryWidget::edited);
    Load();
}

void CRangeEntryWidget::Load()
{
    start_->Load();
    second_->Load();
    length_->setChecked(entry_.LengthMode() != 0);
    end_->setChecked(entry_.LengthMode() == 0);
}

void CRangeEntryWidget::Store()
{
    start_->Store();
    second_->Store();
}

void CRangeEntryWidget::FocusFailedField()
{
    switch (entry_.FailedField()) {
    case CRangeEntry::EField::Start:
        start_->setFocus();
        start_->selectAll();
        break;
    case CRangeEntry::EField::Second:
        second_->setFocus();
        second_->selectAll();
        break;
    case CRangeEntry::EField::None:
        break;
    }
}

void CRangeEntryWidget::Select(int lengthMode)
{
    Store();
    const int before = entry_.LengthMode();
    if (modeHandler_)
        modeHandler_(lengthMode);
    else
        entry_.SelectMode(lengthMode);
    const bool changed = entry_.LengthMode() != before;
    Load();
    if (changed)
        emit modeChanged();
}
