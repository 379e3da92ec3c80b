#include "gui/dialogs/checksum_dialog.h"

#include "commands/checksum_command.h"
#include "gui/widgets/hex_edit.h"
#include "gui/widgets/qt_message_box.h"
#include "gui/widgets/status_line_view.h"
#include "gui/widgets/range_entry_widget.h"

#include <QButtonGroup>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// A "Byte" / "Word" / "Long" radio group in a row; the buttons carry `prefix`
// + "ByteRadio" and so on as names.
QButtonGroup* MakeUnitGroup(QGroupBox* box, const QString& prefix, QRadioButton* (&buttons)[3])
{
    const char* names[3] = {"ByteRadio", "WordRadio", "LongRadio"};
    const QString texts[3] = {QObject::tr("Byte"), QObject::tr("Word"), QObject::tr("Long")};
    auto* group = new QButtonGroup(box);
    auto* row = new QHBoxLayout(box);
    for (int i = 0; i < 3; ++i) {
        buttons[i] = new QRadioButton(texts[i], box);
        buttons[i]->setObjectName(prefix + names[i]);
        group->addButton(buttons[i], i);
        row->addWidget(buttons[i]);
    }
    return group;
}

} // namespace

CChecksumDialog::CChecksumDialog(CChecksumCommand& command, const SDialogServices& services, QWidget* parent)
    : CCommandDialog("checksumDialog", tr("Checksum"), services, parent), command_(command)
{
    CChecksumModel& model = command_.model;

    auto* source = new QGroupBox(tr("Source"), this);
    range_ = new CRangeEntryWidget(model.entry, source);
    auto* sourceType = new QGroupBox(tr("&Type"), source);
    QButtonGroup* sourceGroup = MakeUnitGroup(sourceType, "source", sourceUnits_);
    auto* sourceColumn = new QVBoxLayout(source);
    sourceColumn->addWidget(range_);
    sourceColumn->addWidget(sourceType);
    sourceColumn->addStretch(1);

    auto* destination = new QGroupBox(tr("Destination"), this);
    auto* destLabel = new QLabel(tr("&Destination Addr:"), destination);
    dest_ = new CHexEdit(destination);
    dest_->setObjectName("destEdit");
    destLabel->setBuddy(dest_);
    auto* sumLabel = new QLabel(tr("C&hecksum:"), destination);
    checksum_ = new QLineEdit(destination);
    checksum_->setObjectName("checksumEdit");
    checksum_->setReadOnly(true);
    checksum_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    checksum_->setFixedWidth(dest_->sizeHint().width());
    sumLabel->setBuddy(checksum_);
    auto* destType = new QGroupBox(tr("T&ype"), destination);
    QButtonGroup* destGroup = MakeUnitGroup(destType, "dest", destUnits_);
    auto* destGrid = new QGridLayout(destination);
    destGrid->addWidget(destLabel, 0, 0);
    destGrid->addWidget(dest_, 0, 1);
    destGrid->addWidget(new QLabel(tr("Hex"), destination), 0, 2);
    destGrid->addWidget(sumLabel, 1, 0);
    destGrid->addWidget(checksum_, 1, 1);
    destGrid->addWidget(new QLabel(tr("Hex"), destination), 1, 2);
    destGrid->addWidget(destType, 2, 0, 1, 4);
    destGrid->setColumnStretch(3, 1);
    destGrid->setRowStretch(3, 1);

    auto* groups = new QHBoxLayout;
    groups->addWidget(source);
    groups->addWidget(destination);

    store_ = CreateButton(tr("Store to &Memory Image"), "storeButton");
    auto* calculate = CreateButton(tr("&Calculate"), "calculateButton", true);
    QPushButton* close = CreateCloseButton();
    close->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(store_);
    buttons->addWidget(calculate);
    buttons->addWidget(close);

    // No status line here: the wait cursor is the only feedback.

    auto* top = new QVBoxLayout(this);
    top->addLayout(groups);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    dest_->Bind(&model.dest);
    sourceUnits_[model.SourceUnitIndex()]->setChecked(true);
    destUnits_[model.DestUnitIndex()]->setChecked(true);
    Refresh();

    connect(sourceGroup, &QButtonGroup::idClicked, this, [this](int index) {
        command_.model.SetSourceUnitIndex(index);
        Refresh();
    });
    connect(destGroup, &QButtonGroup::idClicked, this, [this](int index) {
        command_.model.SetDestUnitIndex(index);
        Refresh();
    });
    range_->SetModeHandler([this](int lengthMode) { command_.model.SelectMode(lengthMode); });
    connect(range_, &CRangeEntryWidget::modeChanged, this, &CChecksumDialog::Refresh);
    connect(range_, &CRangeEntryWidget::edited, this, [this] {
        command_.model.RangeEdited();
        Refresh();
    });
    connect(store_, &QPushButton::clicked, this, &CChecksumDialog::RunStore);
    connect(calculate, &QPushButton::clicked, this, &CChecksumDialog::RunCalculate);
}

CChecksumDialog::~CChecksumDialog() = default;

void CChecksumDialog::StoreFields()
{
    range_->Store();
    dest_->Store();
}

void CChecksumDialog::Refresh()
{
    checksum_->setText(QString::fromStdString(command_.model.ChecksumText()));
    store_->setEnabled(command_.model.StoreEnabled());
}

void CChecksumDialog::RunCalculate()
{
    StoreFields();
    command_.Calculate(View(), Box());
    range_->FocusFailedField();
    Refresh();
}

void CChecksumDialog::RunStore()
{
    StoreFields();
    command_.StoreSum(Box());
    range_->FocusFailedField();
    Refresh();
}
