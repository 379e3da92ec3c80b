#include "gui/dialogs/store_dialog.h"

#include "commands/store_command.h"
#include "gui/widgets/file_chooser.h"
#include "gui/widgets/file_name_edit.h"
#include "gui/widgets/range_entry_widget.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CStoreDialog::CStoreDialog(CStoreCommand& command, const SDialogServices& services, QWidget* parent)
    : CCommandDialog("storeDialog", tr("Store"), services, parent), command_(command)
{
    CStoreModel& model = command_.model;

    range_ = new CRangeEntryWidget(model.entry, this);
    auto* fit = CreateButton(tr("Fit to &Memory Image"), "fitButton");
    auto* rangeRow = new QHBoxLayout;
    rangeRow->addWidget(range_);
    rangeRow->addSpacing(16);
    rangeRow->addWidget(fit, 0, Qt::AlignTop);

    auto* fileGroup = new QGroupBox(tr("&Filename"), this);
    fileName_ = new CFileNameEdit(model.fileName, fileGroup);
    fileName_->setObjectName("fileNameEdit");
    fileName_->setMinimumWidth(fileName_->fontMetrics().averageCharWidth() * 48);
    auto* change = new QPushButton(tr("&Change..."), fileGroup);
    change->setObjectName("changeButton");
    change->setAutoDefault(false);
    auto* fileRow = new QHBoxLayout(fileGroup);
    fileRow->addWidget(fileName_, 1);
    fileRow->addWidget(change);

    auto* store = CreateButton(tr("S&tore"), "storeButton", true);
    QPushButton* close = CreateCloseButton();
    close->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(store);
    buttons->addWidget(close);

    QLabel* status = CreateStatusLine();

    auto* top = new QVBoxLayout(this);
    top->addLayout(rangeRow);
    top->addWidget(fileGroup);
    top->addLayout(buttons);
    top->addWidget(status);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(fit, &QPushButton::clicked, this, &CStoreDialog::FitToImage);
    connect(change, &QPushButton::clicked, this, &CStoreDialog::ChooseFile);
    connect(store, &QPushButton::clicked, this, &CStoreDialog::RunStore);
}

CStoreDialog::~CStoreDialog() = default;

void CStoreDialog::StoreFields()
{
    range_->Store();
    command_.model.fileName = fileName_->Path();
}

void CStoreDialog::RunStore()
{
    StoreFields();
    command_.Store(View(), Box());
    range_->FocusFailedField();
}

void CStoreDialog::FitToImage()
{
    StoreFields();
    command_.model.FitToMemoryImage(Box());
    range_->Load();
}

void CStoreDialog::ChooseFile()
{
    StoreFields();
    command_.model.BeforeChooseFile(Box());
    if (auto path = Chooser().ChooseSave(this, CStoreModel::kFileFilter, command_.model.fileName, false))
        fileName_->SetPath(*path);
}
