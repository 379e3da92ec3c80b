#include "gui/dialogs/erase_sectors_dialog.h"

#include "flash/erase_sector_selection.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CEraseSectorsDialog::CEraseSectorsDialog(CEraseSectorSelection& selection, CEraseMap& map, QWidget* parent)
    : QDialog(parent), selection_(selection), map_(map), rows_(selection.GetRowsPerPage())
{
    setObjectName("eraseSectorsDialog");
    setWindowTitle(tr("Erase Sectors"));
    const int banks = selection_.GetBanks();

    // The offsets are right-aligned in an 8-character field: a fixed-pitch
    // font keeps their digits in columns.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(font().pointSizeF());

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(fontMetrics().averageCharWidth() * 2);
    auto* bankLabel = new QLabel(tr("Bank:"), this);
    bankLabel->setObjectName("bankLabel");
    bankLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(bankLabel, 0, 0);
    for (int bank = 0; bank < banks; ++bank) {
        auto* header = new QLabel(QString::number(bank), this);
        header->setObjectName(QStringLiteral("bankHeader%1").arg(bank));
        header->setAlignment(Qt::AlignCenter);
        grid->addWidget(header, 0, 1 + bank);
    }
    for (int row = 0; row < rows_; ++row) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("rowLabel%1").arg(row));
        label->setFont(fixed);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QStringLiteral("00000000")));
        rowLabels_.push_back(label);
        grid->addWidget(label, 1 + row, 0);
        for (int bank = 0; bank < banks; ++bank) {
            auto* box = new QCheckBox(this);
            box->setObjectName(QStringLiteral("sector_%1_%2").arg(bank).arg(row));
            boxes_.push_back(box);
            grid->addWidget(box, 1 + row, 1 + bank, Qt::AlignCenter);
        }
    }
    grid->setRowStretch(1 + rows_, 1);

    auto* erase = new QPushButton(tr("Erase"), this);
    erase->setObjectName("eraseButton");
    erase->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName("cancelButton");
    cancel->setAutoDefault(false);
    prev_ = new QPushButton(tr("Prev"), this);
    prev_->setObjectName("prevButton");
    prev_->setAutoDefault(false);
    next_ = new QPushButton(tr("Next"), this);
    next_->setObjectName("nextButton");
    next_->setAutoDefault(false);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(erase);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(prev_);
    buttons->addWidget(next_);
    // Devices with one page have no use for paging.
    prev_->setVisible(selection_.HasPages());
    next_->setVisible(selection_.HasPages());

    auto* top = new QHBoxLayout(this);
    top->addLayout(grid);
    top->addSpacing(fontMetrics().averageCharWidth() * 4);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(erase, &QPushButton::clicked, this, &CEraseSectorsDialog::Erase);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(prev_, &QPushButton::clicked, this, &CEraseSectorsDialog::Prev);
    connect(next_, &QPushButton::clicked, this, &CEraseSectorsDialog::Next);
    ShowPage();
}

CEraseSectorsDialog::~CEraseSectorsDialog() = default;

QCheckBox* CEraseSectorsDialog::Box(int bank, int row) const
{
    return boxes_[row * selection_.GetBanks() + bank];
}

void CEraseSectorsDialog::ShowPage()
{
    for (int row = 0; row < rows_; ++row) {
        const bool exists = selection_.RowExists(row);
        rowLabels_[row]->setText(QString::fromStdString(selection_.GetRowLabel(row)));
        rowLabels_[row]->setEnabled(exists);
        for (int bank = 0; bank < selection_.GetBanks(); ++bank) {
            QCheckBox* box = Box(bank, row);
            if (exists)
                box->setChecked(selection_.IsChecked(bank, row));
            if (selection_.HasPages())
                box->setVisible(exists);
        }
    }
    prev_->setEnabled(selection_.CanPrev());
    next_->setEnabled(selection_.CanNext());
}

void CEraseSectorsDialog::StorePage()
{
    for (int row = 0; row < rows_; ++row) {
        if (!selection_.RowExists(row))
            continue;
        for (int bank = 0; bank < selection_.GetBanks(); ++bank)
            selection_.SetChecked(bank, row, Box(bank, row)->isChecked());
    }
}

void CEraseSectorsDialog::Prev()
{
    StorePage();
    if (selection_.Prev())
        ShowPage();
}

void CEraseSectorsDialog::Next()
{
    StorePage();
    if (selection_.Next())
        ShowPage();
}

void CEraseSectorsDialog::Erase()
{
    StorePage();
    selection_.Confirm(map_);
    accept();
}
