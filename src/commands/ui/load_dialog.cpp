#include "commands/ui/load_dialog.h"

#include "commands/load_command.h"
#include "common/ui/file_chooser.h"
#include "common/ui/hex_edit.h"
#include "common/ui/qt_message_box.h"
#include "common/ui/status_line_view.h"
#include "common/ui/status_label.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

CLoadDialog::CLoadDialog(CLoadCommand& command, CMessageBox* box, CFileChooser* chooser, QWidget* parent)
    : QDialog(parent), command_(command), box_(box), chooser_(chooser ? chooser : &CFileChooser::System())
{
    setWindowTitle(tr("Load"));
    setObjectName("loadDialog");
    if (!box_) {
        ownBox_ = std::make_unique<CQtMessageBox>(this);
        box_ = ownBox_.get();
    }
    CLoadModel& model = command_.model;

    auto* fileGroup = new QGroupBox(tr("&Program File"), this);
    fileName_ = new QLineEdit(QString::fromStdString(model.fileName), fileGroup);
    fileName_->setObjectName("fileNameEdit");
    fileName_->setMaxLength(static_cast<int>(CLoadModel::kMaxFileName));
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

    auto* load = new QPushButton(tr("&Load"), this);
    load->setObjectName("loadButton");
    load->setDefault(true);
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName("closeButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(load);
    buttons->addWidget(close);

    status_ = MakeStatusLabel(this);
    view_ = std::make_unique<CStatusLineView>(status_);

    auto* top = new QVBoxLayout(this);
    top->addWidget(fileGroup);
    top->addLayout(optionRow);
    top->addLayout(buttons);
    top->addWidget(status_);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(change, &QPushButton::clicked, this, &CLoadDialog::ChooseFile);
    connect(load, &QPushButton::clicked, this, &CLoadDialog::RunLoad);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    // Whatever closes the dialog, its values go back to the command.
    connect(this, &QDialog::finished, this, &CLoadDialog::Store);

    if (model.openedForAutoload)
        QTimer::singleShot(0, this, &CLoadDialog::RunLoad);
}

CLoadDialog::~CLoadDialog() = default;

void CLoadDialog::Store()
{
    CLoadModel& model = command_.model;
    model.fileName = fileName_->text().toStdString();
    model.autoload = autoload_->isChecked();
    offset_->Store();
}

void CLoadDialog::RunLoad()
{
    Store();
    lastResult_ = command_.Load(*view_, *box_);
    if (command_.model.CloseRequested())
        accept();
}

void CLoadDialog::ChooseFile()
{
    Store();
    if (auto path = chooser_->ChooseOpen(this, CLoadModel::kFileFilter, command_.model.fileName))
        fileName_->setText(QString::fromStdString(*path));
}
