#include "commands/ui/store_dialog.h"

#include "commands/store_command.h"
#include "common/ui/file_chooser.h"
#include "common/ui/qt_message_box.h"
#include "common/ui/status_label.h"
#include "common/ui/status_line_view.h"
#include "files/ui/range_entry_widget.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CStoreDialog::CStoreDialog(CStoreCommand& command, CMessageBox* box, CFileChooser* chooser, QWidget* parent)
    : QDialog(parent), command_(command), box_(box), chooser_(chooser ? chooser : &CFileChooser::System())
{
    setWindowTitle(tr("Store"));
    setObjectName("storeDialog");
    if (!box_) {
        ownBox_ = std::make_unique<CQtMessageBox>(this);
        box_ = ownBox_.get();
    }
    CStoreModel& model = command_.model;

    range_ = new CRangeEntryWidget(model.entry, this);
    auto* fit = new QPushButton(tr("Fit to &Memory Image"), this);
    fit->setObjectName("fitButton");
    fit->setAutoDefault(false);
    auto* rangeRow = new QHBoxLayout;
    rangeRow->addWidget(range_);
    rangeRow->addSpacing(16);
    rangeRow->addWidget(fit, 0, Qt::AlignTop);

    auto* fileGroup = new QGroupBox(tr("&Filename"), this);
    fileName_ = new QLineEdit(QString::fromStdString(model.fileName), fileGroup);
    fileName_->setObjectName("fileNameEdit");
    fileName_->setMaxLength(static_cast<int>(CStoreModel::kMaxFileName));
    fileName_->setMinimumWidth(fileName_->fontMetrics().averageCharWidth() * 48);
    auto* change = new QPushButton(tr("&Change..."), fileGroup);
    change->setObjectName("changeButton");
    change->setAutoDefault(false);
    auto* fileRow = new QHBoxLayout(fileGroup);
    fileRow->addWidget(fileName_, 1);
    fileRow->addWidget(change);

    auto* store = new QPushButton(tr("S&tore"), this);
    store->setObjectName("storeButton");
    store->setDefault(true);
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName("closeButton");
    close->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(store);
    buttons->addWidget(close);

    status_ = MakeStatusLabel(this);
    view_ = std::make_unique<CStatusLineView>(status_);

    auto* top = new QVBoxLayout(this);
    top->addLayout(rangeRow);
    top->addWidget(fileGroup);
    top->addLayout(buttons);
    top->addWidget(status_);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(fit, &QPushButton::clicked, this, &CStoreDialog::FitToImage);
    connect(change, &QPushButton::clicked, this, &CStoreDialog::ChooseFile);
    connect(store, &QPushButton::clicked, this, &CStoreDialog::RunStore);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(this, &QDialog::finished, this, &CStoreDialog::Store);
}

CStoreDialog::~CStoreDialog() = default;

void CStoreDialog::Store()
{
    range_->Store();
    command_.model.fileName = fileName_->text().toStdString();
}

void CStoreDialog::RunStore()
{
    Store();
    command_.Store(*view_, *box_);
    range_->FocusFailedField();
}

void CStoreDialog::FitToImage()
{
    Store();
    command_.model.FitToMemoryImage(*box_);
    range_->Load();
}

void CStoreDialog::ChooseFile()
{
    Store();
    command_.model.BeforeChooseFile(*box_);
    if (auto path = chooser_->ChooseSave(this, CStoreModel::kFileFilter, command_.model.fileName, false))
        fileName_->setText(QString::fromStdString(*path));
}
