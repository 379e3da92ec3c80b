#include "gui/dialogs/load_dialog.h"

#include "commands/load_command.h"
#include "gui/widgets/file_chooser.h"
#include "gui/widgets/file_name_edit.h"
#include "gui/widgets/hex_edit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

CLoadDialog::CLoadDialog(CLoadCommand& command, const SDialogServices& services, QWidget* parent)
    : CCommandDialog("loadDialog", tr("Load"), services, parent), command_(command)
{
    CLoadModel& model = command_.model;

    auto* fileGroup = new QGroupBox(tr("&Program File"), this);
    fileName_ = new CFileNameEdit(model.fileName, fileGroup);
    fileName_->setObjectName("fileNameEdit");
    fileName_->setMinimumWidth(fileName_->fontMetrics().averageCharWidth() * 48);
    auto* change = new QPushButton(tr("&Change..."), fileGroup);
    change->setObjectName("changeButton");
    auto* fileRow = new QHBoxLayout(fileGroup);
    fileRow->addWidget(fileName_, 1);
    fileRow->addWidget(change);

    auto* offsetLabel = new QLabel(tr("Offset"), this);
    offset_ = new CHexEdit(this);
    offset_->setObjectName("offsetEdit");
    offset_->Bind(&model.offset);
    offsetLabel->setBuddy(offset_);
    autoload_ = new QCheckBox(tr("&Autoload"), this);
    autoload_->setObjectName("autoloadCheck");
    autoload_->setChecked(model.autoload);
    auto* optionRow = new QHBoxLayout;
    optionRow->addWidget(offsetLabel);
    optionRow->addWidget(offset_);
    optionRow->addWidget(new QLabel(tr("Hex"), this));
    optionRow->addSpacing(24);
    optionRow->addWidget(autoload_);
    optionRow->addStretch(1);

    auto* load = CreateButton(tr("&Load"), "loadButton", true);
    QPushButton* close = CreateCloseButton();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(load);
    buttons->addWidget(close);

    QLabel* status = CreateStatusLine();

    auto* top = new QVBoxLayout(this);
    top->addWidget(fileGroup);
    top->addLayout(optionRow);
    top->addLayout(buttons);
    top->addWidget(status);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(change, &QPushButton::clicked, this, &CLoadDialog::ChooseFile);
    connect(load, &QPushButton::clicked, this, &CLoadDialog::RunLoad);

    if (model.openedForAutoload)
        QTimer::singleShot(0, this, &CLoadDialog::RunLoad);
}

CLoadDialog::~CLoadDialog() = default;

void CLoadDialog::StoreFields()
{
    CLoadModel& model = command_.model;
    model.fileName = fileName_->Path();
    model.autoload = autoload_->isChecked();
    offset_->Store();
}

void CLoadDialog::RunLoad()
{
    StoreFields();
    lastResult_ = command_.Load(View(), Box());
    if (command_.model.CloseRequested())
        accept();
}

void CLoadDialog::ChooseFile()
{
    StoreFields();
    if (auto path = Chooser().ChooseOpen(this, CLoadModel::kFileFilter, command_.model.fileName))
        fileName_->SetPath(*path);
}
